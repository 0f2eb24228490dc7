// Upload of the editor pane's saved document to the FTP server its project
// file names; the editor's toolbar shows the transfer while it runs.
#include <string>

#include "PascalCarbonCommon.h"
#include "ApplicationFramework.h"
#include "FileUploadUnit.h"
#include "Icons.h"
#include "PreferenceUtilities.h"
#include "QVGlobals.h"
#include "TEditorPaneUnit.h"
#include "TFTPUnit.h"
#include "TProjectUnit.h"
#include "TQVEditorUnit.h"
#include "plinthora/Plinthora.h"

namespace {

constexpr OSType kUploadIconType = 'aOUL';
constexpr SInt16 kIconRefType = 6;  // the button's icon is an IconRef

Str255 FileInfoText(CFDictionaryRef info, const char* key) {
  if (info == nullptr) return Str255();
  CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  CFTypeRef value = CFDictionaryGetValue(info, name);
  CFRelease(name);
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() ? CFStringToPascal(static_cast<CFStringRef>(value))
                                                                       : Str255();
}

IconRef UploadIcon() {
  IconRef icon = nullptr;
  const OSType creator = ApplicationSignature != 0 ? ApplicationSignature : OSType('QVRL');
  if (GetIconRef(kOnSystemDisk, creator, kUploadIconType, &icon) != noErr) icon = nullptr;
  return icon;
}

void FinishUpload(TEditorPane* pane) {
  pane->uploadStream = 0;
  if (pane->project != nullptr && pane->document != nullptr) {
    TProjectGroup* sources = pane->project->FindGroupByType(kProjectSourceType);
    NodeInfoPtr node = sources != nullptr ? sources->GetFileItem(pane->document->name) : nullptr;
    if (node != nullptr) pane->project->RemoveTransfer(node->INDEX);
  }
  ControlRef toolbar = pane->editor != nullptr ? pane->editor->toolbar : nullptr;
  if (pane->uploadItem != 0 && toolbar != nullptr) ToolbarRemoveItem(toolbar, pane->uploadItem);
  pane->uploadItem = 0;
}

}  // namespace

void UploadNotification(SInt16 code, float ratio, CFStreamError error, TFTPStream*, void* data) {
  auto* pane = static_cast<TEditorPane*>(data);
  if (pane == nullptr) return;
  ControlRef toolbar = pane->editor != nullptr ? pane->editor->toolbar : nullptr;
  switch (code) {
    case kFTPNotifyOpened:
      if (pane->uploadItem != 0 && toolbar != nullptr) ToolbarSetItemText(toolbar, pane->uploadItem, "Transfering");
      break;
    case kFTPNotifyProgress:
      if (pane->uploadItem != 0 && toolbar != nullptr)
        ToolbarSetItemText(toolbar, pane->uploadItem, UploadProgressText(ratio * 100.0f));
      break;
    case kFTPNotifyFinished:
      FinishUpload(pane);
      break;
    case kFTPNotifyFailed: {
      const Str63 name = pane->document != nullptr ? pane->document->name : Str63();
      FinishUpload(pane);
      UserNotificationDialog(UploadErrorMessage(name, error));
      break;
    }
    default:
      break;
  }
}

void TEditorPane::Upload() {
  if (document == nullptr || !FSRefExists(document->file)) return;
  // One upload at a time per pane: the running one goes on.
  if (uploadStream != 0 && TFTPStream::FromHandle(uploadStream) != nullptr) return;
  const EditorPaneHooks& hooks = EditorPaneGetHooks();
  CFDictionaryRef info =
      project != nullptr && hooks.CopyFileInfo != nullptr ? hooks.CopyFileInfo(project, document->name) : nullptr;
  FTPServerInfo server{};
  if (!GetFTPServer(Str63(FileInfoText(info, "FileInfoServer")), server)) {
    if (info != nullptr) CFRelease(info);
    UserNotificationDialog("This file has no server specified. Please select a server before attempting to upload.");
    return;
  }
  const Str255 directory = FileInfoText(info, "FileInfoDirectory");
  if (info != nullptr) CFRelease(info);
  std::string remote;
  TFTPStream* stream = StartFileUpload(server, directory, document->file, UploadNotification, this, remote);
  if (stream == nullptr) {
    UserNotificationDialog(Str255("There was an error uploading the file to " + remote + "."));
    return;
  }
  uploadStream = stream->GetHandle();
  ControlRef toolbar = editor != nullptr ? editor->toolbar : nullptr;
  if (toolbar != nullptr && uploadItem == 0)
    uploadItem = ToolbarAddButton(toolbar, "Uploading", UploadIcon(), kIconRefType, nullptr, 0, ToolbarOption(31),
                                  nullptr);
  if (project != nullptr) project->AppendTransfer(document->name);
}
