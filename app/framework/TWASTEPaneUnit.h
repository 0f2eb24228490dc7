// TWASTEPane: a document pane whose content is a text view ('WAST', 128) of
// the pane's interface file; the base of the source editor. THIWASTEPane is
// a lighter variant that puts the text engine's own view inside a system
// scroll view.
#pragma once

#include "TDocumentTabsUnit.h"
#include "TPaneUnit.h"
#include "WASTE.h"

class TDocument;
class TWASTEDocument;
class TWASTEView;

constexpr OSType kTWASTEViewSignature = 'WAST';
constexpr SInt32 kTWASTEViewID = 128;

// A document pane: shown in a tab, or attached to fill a window.
class TWASTEPane : public TDocumentPane {
 public:
  TWASTEView* view = nullptr;  // ends with its text view

  void ReleaseViewObject() override;
  void SelectViewObject() override;
  void Create(const Str63& name, IBNibRef nib) override;
  // Puts the text view itself into the window, filling its content.
  void Attach(WindowRef window) override;
  void PrepareDestination(WindowRef window) override;
  void Release() override;
};

class THIWASTEPane : public TPane {
 public:
  HIViewRef scrollView = nullptr;
  WEReference controller = nullptr;
  TWASTEDocument* document = nullptr;  // not owned; the pane is its owner

  void Create(const Str63& name, IBNibRef nib) override;
  // The engine ends with the pane's view: the document lets go of both.
  void Release() override;
};
