#include "TSourceDocumentUnit.h"

#include "PascalCarbonCommon.h"
#include "TSourceEditorUnit.h"
#include "TSyntaxCollectionUnit.h"

// ---------------------------------------------------------------------------
// TSourceDocument

void TSourceDocument::SetEditor(TSourceEditor* inEditor) { editor = inEditor; }

WEReference TSourceDocument::GetController() { return editor != nullptr ? SourceEditorGetController(editor) : nullptr; }

SInt32 TSourceDocument::Open() {
  if (editor == nullptr || editor->view == nullptr) return TSourceDocumentAbstract::Open();
  // The editor's load reads the file's text (through the document's reader)
  // and starts the first parse; a chunked read besides it would put the
  // text in twice.
  TDocument::Open();
  editor->Load();
  return noErr;
}

SInt32 TSourceDocument::Save() {
  if (editor != nullptr) editor->Save();
  const SInt32 status = TSourceDocumentAbstract::Save();
  if (editor != nullptr) editor->Save();
  return status;
}

void TSourceDocument::SavedAs() {
  if (editor == nullptr || editor->parser == nullptr) return;
  WEReference we = GetController();
  if (we == nullptr) return;
  SyntaxParserSource& source = editor->source;
  source.file = file;
  // The new name may name another language: find it as a file's first
  // parse would (a page language starts from its root).
  if (TSyntaxCollection* collection = editor->destination.collection) {
    const Str63 fileName = FSGetDisplayName(file);
    if (SyntaxLibraryPtr library = collection->GetFileLibrary(fileName)) {
      if (!library->rootLanguage.empty() && !(library->rootLanguage == library->language))
        if (SyntaxLibraryPtr root = collection->GetLanguageLibrary(library->rootLanguage)) library = root;
      source.library = library;
    }
  }
  source.span = CFRangeMake(0, WEGetTextLength(we));
  source.options = 0;
  // A whole-file parse under way would keep the driver to itself.
  if (editor->parser->busy) editor->parser->Terminate();
  editor->parser->ParseDynamic(source);
}

void TSourceDocument::SetQueryString(const Str255& query) {
  queryString = query;
  WEReference we = GetController();
  if (we != nullptr && WEGetTextLength(we) > 0) SelectQuery();
}

void TSourceDocument::SetDefaultLine(SInt16 line) {
  defaultLine = line;
  WEReference we = GetController();
  if (we != nullptr && WEGetTextLength(we) > 0) SelectDefaultLine();
}

namespace {

void FocusAndScroll(TSourceEditor* editor, WEReference we) {
  editor->SelectViewObject();
  WEFeatureFlag(weFAutoScroll, weBitSet, we);
}

}  // namespace

void TSourceDocument::SelectQuery() {
  WEReference we = GetController();
  if (queryString.empty() || we == nullptr) return;
  FocusAndScroll(editor, we);
  const Str255 query = queryString;
  // Shown once, after the text came in: a later whole-text parse must not
  // take the selection back to it.
  queryString = Str255();
  SInt32 start = 0, end = 0;
  if (WEFind(query.view().data(), SInt32(query.len()), kTextEncodingMacRoman, 0, 0,
             WEGetTextLength(we), &start, &end, we) == noErr &&
      end > start)
    WESetSelection(start, end, we);
}

void TSourceDocument::SelectDefaultLine() {
  WEReference we = GetController();
  if (defaultLine <= 0 || we == nullptr) return;
  FocusAndScroll(editor, we);
  const SInt32 wanted = defaultLine;
  defaultLine = 0;
  // Lines as the file has them (counted from 1), not as the view wraps them.
  const SInt32 length = WEGetTextLength(we);
  SInt32 line = 1, start = 0;
  for (SInt32 i = 0; i < length && line < wanted; ++i)
    if (WEGetChar(i, we) == '\r') {
      ++line;
      start = i + 1;
    }
  if (line < wanted) return;  // past the last line: the selection stays
  SInt32 end = start;
  while (end < length && WEGetChar(end, we) != '\r') ++end;
  if (end < length) ++end;  // the whole line, with its break
  WESetSelection(start, end, we);
}

void TSourceDocument::Release() {
  // The editor may end after the document (with its view); its parser
  // source must not lead back here. Panes let go of it in TDocument::Release.
  if (editor != nullptr && TTabPaneIsLive(editor) && editor->source.document == this) editor->source.document = nullptr;
  editor = nullptr;
  TSourceDocumentAbstract::Release();
}

// ---------------------------------------------------------------------------
// TURLDocument

void TURLDocument::CreateWithURL(const Str255& inURL) {
  CreateEmpty();
  url = inURL;
  name = Str63(inURL);
}
