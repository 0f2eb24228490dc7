// Preview of the editor pane's document comes with the preview unit; until
// then the pane offers none, and its temporary copy is never written.
#include "TEditorPaneUnit.h"

void TEditorPane::PreviewDocument(const Str63&, Boolean, const FSRef*, const FTPServerInfo&) {}
void TEditorPane::PreviewNewWindow() {}
void TEditorPane::IdleTyping() {}
FSRef TEditorPane::UpdateTemporaryFile() { return FSRef{}; }
