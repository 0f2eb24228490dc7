// Upload of the editor pane's document to its FTP server; nothing uploads yet.
#include "TEditorPaneUnit.h"

void TEditorPane::Upload() {}
