// Standard alerts and the system beep. Alerts are application-modal: the call
// returns the item the user chose. The display host shows them; the headless
// host answers from a queue that a test fills (HeadlessHost.h).
#pragma once

#include "CFBase.h"
#include "MacTypes.h"

typedef SInt16 AlertType;
enum : AlertType {
  kAlertStopAlert = 0,
  kAlertNoteAlert = 1,
  kAlertCautionAlert = 2,
  kAlertPlainAlert = 3,
};

typedef SInt16 DialogItemIndex;
enum : DialogItemIndex {
  kAlertStdAlertOKButton = 1,
  kAlertStdAlertCancelButton = 2,
  kAlertStdAlertOtherButton = 3,
  kAlertStdAlertHelpButton = 4,
};

typedef struct __CDialog* DialogRef;
typedef DialogRef DialogPtr;

struct EventRecord;
typedef Boolean (*ModalFilterProcPtr)(DialogRef theDialog, EventRecord* theEvent, DialogItemIndex* itemHit);
typedef ModalFilterProcPtr ModalFilterUPP;

// Button texts: nil means no such button; these markers ask for the standard
// text ("OK", "Cancel", "Don't Save").
#define kAlertDefaultOKText (reinterpret_cast<ConstStringPtr>(-1))
#define kAlertDefaultCancelText (reinterpret_cast<ConstStringPtr>(-1))
#define kAlertDefaultOtherText (reinterpret_cast<ConstStringPtr>(-1))

enum : UInt16 {
  kWindowDefaultPosition = 0,
  kWindowCenterMainScreen = 1,
  kWindowAlertPositionMainScreen = 2,
  kWindowAlertPositionParentWindow = 0xB00A,
  kWindowAlertPositionParentWindowScreen = 0x700A,
};

struct AlertStdAlertParamRec {
  Boolean movable;
  Boolean helpButton;
  ModalFilterUPP filterProc;
  ConstStringPtr defaultText;  // Mac Roman short strings, or the markers above
  ConstStringPtr cancelText;
  ConstStringPtr otherText;
  SInt16 defaultButton;  // which button answers Return (an item number above)
  SInt16 cancelButton;   // which answers Escape (0: none)
  UInt16 position;
};

// Shows the alert and waits for the answer. error and explanation are Mac
// Roman short strings (explanation may be nil). With nil params the alert has
// only an OK button, which is the default.
OSErr StandardAlert(AlertType inAlertType, ConstStr255Param inError, ConstStr255Param inExplanation,
                    const AlertStdAlertParamRec* inAlertParam, SInt16* outItemHit);

// The same with CFStrings: create, then run (running disposes the alert).
enum : UInt32 { kStdCFStringAlertVersionOne = 1 };
enum : OptionBits {
  kStdAlertDoNotDisposeSheet = 1 << 0,
  kStdAlertDoNotAnimateOnDefault = 1 << 2,
  kStdAlertDoNotAnimateOnCancel = 1 << 3,
  kStdAlertDoNotAnimateOnOther = 1 << 4,
  kStdAlertDoNotCloseOnHelp = 1 << 5,
};
// Button texts: nil means no such button; these markers ask for the standard text.
#define kAlertDefaultOKTextCF (reinterpret_cast<CFStringRef>(-1))
#define kAlertDefaultCancelTextCF (reinterpret_cast<CFStringRef>(-1))
#define kAlertDefaultOtherTextCF (reinterpret_cast<CFStringRef>(-1))

struct AlertStdCFStringAlertParamRec {
  UInt32 version;
  Boolean movable;
  Boolean helpButton;
  CFStringRef defaultText;
  CFStringRef cancelText;
  CFStringRef otherText;
  SInt16 defaultButton;
  SInt16 cancelButton;
  UInt16 position;
  OptionBits flags;
};

OSStatus GetStandardAlertDefaultParams(AlertStdCFStringAlertParamRec* param, UInt32 version);
OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                             const AlertStdCFStringAlertParamRec* param, DialogRef* outAlert);
OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP filterProc, DialogItemIndex* outItemHit);
void DisposeDialog(DialogRef theDialog);

// The system beep (the headless host counts them).
void SysBeep(short duration);
