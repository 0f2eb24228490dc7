// Standard alerts and the beep, through the display host's presenters.
#include <new>
#include <unordered_set>

#include "AlertsInternal.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "DesktopHost.h"
#include "EventTargetInternal.h"
#include "headless/HeadlessInternal.h"

struct __CDialog {
  AlertRequest request;
};

namespace {

AlertPresenter gAlertPresenter = nullptr;
BeepPresenter gBeepPresenter = nullptr;

std::unordered_set<DialogRef>& LiveDialogs() {
  static auto* s = new std::unordered_set<DialogRef>;
  return *s;
}

const char* const kOKText = "OK";
const char* const kCancelText = "Cancel";
const char* const kOtherText = "Don't Save";

std::string MacRomanToUTF8(ConstStringPtr p) {
  std::string out;
  if (p == nullptr) return out;
  for (int i = 1; i <= p[0]; ++i) {
    UniChar ch = __CFMacRomanToUnicode(p[i]);
    __CFAppendUTF8(out, &ch, 1);
  }
  return out;
}

std::string ButtonText(ConstStringPtr p, const char* standard) {
  if (p == nullptr) return std::string();
  if (p == reinterpret_cast<ConstStringPtr>(-1)) return standard;
  std::string s = MacRomanToUTF8(p);
  return s.empty() ? std::string(standard) : s;
}

std::string CFText(CFStringRef s) {
  if (s == nullptr || CFGetTypeID(s) != CFStringGetTypeID()) return std::string();
  return __CFStringGetUTF8(s);
}

std::string ButtonText(CFStringRef s, const char* standard) {
  if (s == nullptr) return std::string();
  if (s == reinterpret_cast<CFStringRef>(-1)) return standard;
  std::string t = CFText(s);
  return t.empty() ? std::string(standard) : t;
}

bool Has(const AlertRequest& r, SInt16 item) {
  switch (item) {
    case kAlertStdAlertOKButton: return !r.okText.empty();
    case kAlertStdAlertCancelButton: return !r.cancelText.empty();
    case kAlertStdAlertOtherButton: return !r.otherText.empty();
    case kAlertStdAlertHelpButton: return r.helpButton;
  }
  return false;
}

// An alert always has a way out: without any button it gets OK, and the
// default and cancel buttons name buttons it has.
void Settle(AlertRequest& r, SInt16 defaultButton, SInt16 cancelButton) {
  if (r.okText.empty() && r.cancelText.empty() && r.otherText.empty()) r.okText = kOKText;
  if (!Has(r, defaultButton) || defaultButton == kAlertStdAlertHelpButton) {
    defaultButton = !r.okText.empty()       ? kAlertStdAlertOKButton
                    : !r.cancelText.empty() ? kAlertStdAlertCancelButton
                                            : kAlertStdAlertOtherButton;
  }
  r.defaultButton = defaultButton;
  r.cancelButton = Has(r, cancelButton) && cancelButton != kAlertStdAlertHelpButton ? cancelButton : 0;
}

SInt16 Present(const AlertRequest& r) {
  SInt16 hit = gAlertPresenter ? gAlertPresenter(r) : HeadlessPresentAlert(r);
  return Has(r, hit) ? hit : r.defaultButton;
}

}  // namespace

void DesktopHostSetAlertPresenter(AlertPresenter presenter) { gAlertPresenter = presenter; }
void DesktopHostSetBeepPresenter(BeepPresenter presenter) { gBeepPresenter = presenter; }

// The buttons of either parameter record (short-string or CFString texts);
// no record means OK alone.
template <typename ParamRec>
static void SettleButtons(AlertRequest& r, const ParamRec* param) {
  SInt16 defaultButton = kAlertStdAlertOKButton;
  SInt16 cancelButton = 0;
  if (param == nullptr) {
    r.okText = kOKText;
  } else {
    r.okText = ButtonText(param->defaultText, kOKText);
    r.cancelText = ButtonText(param->cancelText, kCancelText);
    r.otherText = ButtonText(param->otherText, kOtherText);
    r.helpButton = param->helpButton != 0;
    defaultButton = param->defaultButton;
    cancelButton = param->cancelButton;
  }
  Settle(r, defaultButton, cancelButton);
}

OSErr StandardAlert(AlertType inAlertType, ConstStr255Param inError, ConstStr255Param inExplanation,
                    const AlertStdAlertParamRec* inAlertParam, SInt16* outItemHit) {
  if (!EventCoreCheckMainThread("StandardAlert")) return paramErr;
  AlertRequest r;
  r.kind = inAlertType;
  r.error = MacRomanToUTF8(inError);
  r.explanation = MacRomanToUTF8(inExplanation);
  SettleButtons(r, inAlertParam);
  SInt16 hit = Present(r);
  if (outItemHit) *outItemHit = hit;
  return noErr;
}

OSStatus GetStandardAlertDefaultParams(AlertStdCFStringAlertParamRec* param, UInt32 version) {
  if (param == nullptr || version != kStdCFStringAlertVersionOne) return paramErr;
  *param = AlertStdCFStringAlertParamRec{};
  param->version = kStdCFStringAlertVersionOne;
  param->defaultText = kAlertDefaultOKTextCF;
  param->defaultButton = kAlertStdAlertOKButton;
  param->position = kWindowDefaultPosition;
  return noErr;
}

OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                             const AlertStdCFStringAlertParamRec* param, DialogRef* outAlert) {
  if (outAlert == nullptr) return paramErr;
  *outAlert = nullptr;
  if (!EventCoreCheckMainThread("CreateStandardAlert")) return paramErr;
  auto* d = new (std::nothrow) __CDialog;
  if (d == nullptr) return memFullErr;
  AlertRequest& r = d->request;
  r.kind = alertType;
  r.error = CFText(error);
  r.explanation = CFText(explanation);
  SettleButtons(r, param);
  LiveDialogs().insert(d);
  *outAlert = d;
  return noErr;
}

OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP, DialogItemIndex* outItemHit) {
  if (!EventCoreCheckMainThread("RunStandardAlert")) return paramErr;
  if (inAlert == nullptr || LiveDialogs().count(inAlert) == 0) return paramErr;
  // Taken out of the registry before it is shown: a nested loop cannot run it twice.
  LiveDialogs().erase(inAlert);
  SInt16 hit = Present(inAlert->request);
  delete inAlert;
  if (outItemHit) *outItemHit = hit;
  return noErr;
}

void DisposeDialog(DialogRef theDialog) {
  if (theDialog == nullptr || LiveDialogs().erase(theDialog) == 0) return;
  delete theDialog;
}

void SysBeep(short) {
  if (gBeepPresenter)
    gBeepPresenter();
  else
    HeadlessBeep();
}

void RunStopAlert(const std::string& error, const std::string& explanation) {
  const auto copy = [](const std::string& text) {
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                   kCFStringEncodingUTF8, false);
  };
  CFStringRef e = copy(error), x = copy(explanation);
  DialogRef alert = nullptr;
  if (e != nullptr && CreateStandardAlert(kAlertStopAlert, e, x, nullptr, &alert) == noErr && alert != nullptr) {
    DialogItemIndex hit = 0;
    RunStandardAlert(alert, nullptr, &hit);
  }
  if (e != nullptr) CFRelease(e);
  if (x != nullptr) CFRelease(x);
}
