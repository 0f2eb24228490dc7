// Preview and upload of the editor pane's document come with the preview
// and transfer units; until then the pane offers neither, and its temporary
// copy is never written.
#include "TEditorPaneUnit.h"

void TEditorPane::PreviewDocument(const Str63&, Boolean, const FSRef*, const FTPServerInfo&) {}
void TEditorPane::PreviewNewWindow() {}
void TEditorPane::Upload() {}
void TEditorPane::IdleTyping() {}
FSRef TEditorPane::UpdateTemporaryFile() { return FSRef{}; }
