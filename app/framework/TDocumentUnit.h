// TDocument: the framework's document. Only what the language engine needs of
// it is declared so far: a whole-file parse tells its document that the text
// has been loaded.
#pragma once

#include "TObjectUnit.h"

class TDocument : public TObject {
 public:
  TDocument() = default;

  // The document's text has been read in full (a parse of its file ended).
  virtual void Loaded() {}
};
