// TWASTEView: a control object over one text view of the text view library:
// it makes the view's controller, registers itself as a callback client, and
// offers whole-text and ranged puts, copies, style and option changes. Every
// range here holds a start offset and an END offset (not a length).
#pragma once

#include "CFString.h"
#include "TControlUnit.h"
#include "fenwicket/Fenwicket.h"

class TWASTEDocument;

class TWASTEView : public TControl {
 public:
  WEReference controller = nullptr;  // the view's: not freed here
  TWASTEDocument* document = nullptr;  // not owned
  WindowRef viewWindow = nullptr;    // the window given to the controller
  WasteViewOptions options = 0;

  // Binds the object to the text view, makes its controller and registers
  // as a client that hears every change.
  void Create(ControlRef inControl) override;
  // The text engine ends with the view: its document lets go of it.
  void Release() override;
  // Shows the document: it takes the view's controller and opens.
  virtual void Load(TWASTEDocument* inDocument);
  virtual void Clear();
  virtual void SetStyle(const Str255& fontName, SInt16 size);
  virtual void SetText(CFStringRef text);
  // The block's bytes in the encoding, over the whole text.
  virtual void Put(Ptr data, UInt32 encoding);
  virtual void PutBytes(Ptr data, UInt32 encoding, CFRange range);
  virtual void PutPascalString(const Str255& text, CFRange range);
  virtual void PutCFString(CFStringRef text, CFRange range);
  virtual void SetOptions(WasteViewOptions inOptions);
  virtual void ChangeOptions(WasteViewOptions inOptions, Boolean remove);
  virtual Boolean GetModified();
  virtual SInt32 GetTextLength();
  // The whole text in the flavour, in a new block the caller disposes; nil
  // when it cannot be streamed.
  virtual Ptr CopyText(UInt32 flavor);
  // start..end as a new string (an end of 0: to the end of the text); nil
  // when it cannot be streamed.
  virtual CFStringRef CopyRange(CFRange range);
};

// The view's change callback: every change the view reports marks its
// document modified (loads run with the reports off).
void ControllerFlux(SInt32 offset, SInt32 delta, UInt8 ch, WEReference controller, void* context);
// The view's input callback: no typing while a document is being read in.
void ControllerAcceptInput(Boolean& accept, WEReference controller, void* context);
