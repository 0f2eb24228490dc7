// TSourceDocumentUnit: the documents editor windows open. TSourceDocument is
// one source file shown in a source editor: once its text is in, it selects
// the text or the line it was opened for; it saves through the text engine
// and is re-parsed after "save as" so colours and symbols follow the new
// name. TURLDocument is a page opened by its address in a preview tab.
#pragma once

#include "ShortString.h"
#include "TDocumentUnit.h"
#include "TSyntaxParserUnit.h"
#include "WASTE.h"

class TSourceEditor;

class TSourceDocument : public TSourceDocumentAbstract {
 public:
  TSourceEditor* editor = nullptr;  // the editor that shows it; not owned

  // With an editor, the file is read again through the editor's own load
  // (one clear, one parse that brings the text in); without, as any text
  // document.
  SInt32 Open() override;
  // The editor's save hook before (1) and after (2) the write; the status of
  // the write, so a failed save is never taken for a done one.
  SInt32 Save() override;
  // The editor parses the whole text again under the new file.
  void SavedAs() override;
  // Stored; applied at once when the text is already in, otherwise by the
  // editor when its first parse has finished.
  void SetQueryString(const Str255& query) override;
  void SetDefaultLine(SInt16 line) override;
  // The first occurrence of the query (case-sensitive, not whole words) is
  // selected and scrolled to; nothing when the query is empty or absent.
  void SelectQuery() override;
  // The whole line (counted from 1) is selected; nothing for line 0.
  void SelectDefaultLine() override;

  // The text engine instance of the editor's controller; nil without either.
  virtual WEReference GetController();
  virtual void SetEditor(TSourceEditor* inEditor);

  void Release() override;
};

class TURLDocument : public TDocument {
 public:
  Str255 url;

  // The display name is the address, cut to 63 characters.
  virtual void CreateWithURL(const Str255& inURL);
};
