// Uploads of a project's files: the selected items, or every source file
// that changed since its last upload (publishing). Each running upload marks
// its row as transferring; a failed one keeps its error in the row and says
// which file failed.
#include <algorithm>
#include <cstring>

#include "FileUploadUnit.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "TProjectUnit.h"
#include "TPreferencesUnit.h"
#include "brackenrow/Brackenrow.h"

namespace {

// One running upload of a tree item.
struct FileUploadContext {
  SInt32 index = 0;  // the tree item
  TProject* project = nullptr;
  Str63 name;
  FTPStreamHandle stream = 0;
};

ProjectItemData ReadItem(NodeInfoPtr node) {
  return DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), kProjectItemDataSize);
}

void WriteItem(NodeInfoPtr node, const ProjectItemData& item) {
  UInt8 bytes[kProjectItemDataSize];
  EncodeProjectItemData(item, bytes);
  std::memcpy(node->DATA, bytes, kProjectItemDataSize);
}

struct Applier {
  TProject* project = nullptr;
  int started = 0;
  bool onlyNeedingUpload = false;
};

}  // namespace

// The stream callback of a project upload.
void ProjectUploadNotification(SInt16 kind, float, CFStreamError error, TFTPStream*, void* data) {
  auto* context = static_cast<FileUploadContext*>(data);
  if (kind != kFTPNotifyFinished && kind != kFTPNotifyFailed) return;
  TProject* project = context->project;
  auto& streams = project->uploadStreams;
  streams.erase(std::remove(streams.begin(), streams.end(), context->stream), streams.end());
  ControlRef browser = project->browserControl;
  NodeInfoPtr node = browser != nullptr ? BrackenrowGetNodeAtIndex(context->index, browser) : nullptr;
  if (node != nullptr && node->DATA != nullptr && !node->CONTAINER && MakeProjectRecordWhole(node)) {
    ProjectItemData item = ReadItem(node);
    if (kind == kFTPNotifyFinished) {
      item.needsUpload = false;
      item.errorDomain = item.errorCode = 0;
    } else {
      item.errorDomain = SInt32(error.domain);
      item.errorCode = error.error;
    }
    WriteItem(node, item);
  }
  project->RemoveTransfer(context->index);
  const Str63 name = context->name;
  delete context;
  if (kind == kFTPNotifyFailed) UserNotificationDialog(UploadErrorMessage(name, error));
}

// Starts the upload of one tree item: files only, each once at a time, with
// a known server; anything else is passed over.
void UploadFiles(ControlRef browser, NodeInfoPtr node, void* data) {
  auto* applier = static_cast<Applier*>(data);
  TProject* project = applier->project;
  if (node == nullptr || node->DATA == nullptr || node->CONTAINER) return;
  if (node->DATATYPE != kProjectSourceType && node->DATATYPE != kProjectResourceType) return;
  if (project->IsFileTransfering(node->INDEX)) return;
  if (!MakeProjectRecordWhole(node)) return;
  if (applier->onlyNeedingUpload && !ReadItem(node).needsUpload) return;
  const Str63 name = ReadItem(node).name;
  FSRef file;
  if (!project->ResolveFile(name, file)) return;
  TPreferenceHandlerDictionary* info = project->CopyFileInfo(name);
  FTPServerInfo server = NewFTPServerInfo();
  const Boolean known = info != nullptr && GetFTPServer(Str63(info->GetStringValue("FileInfoServer")), server);
  const Str255 directory = info != nullptr ? info->GetStringValue("FileInfoDirectory") : Str255();
  if (info != nullptr) info->Release();
  if (!known) return;
  auto* context = new FileUploadContext{node->INDEX, project, name, 0};
  std::string remote;
  TFTPStream* stream = StartFileUpload(server, directory, file, ProjectUploadNotification, context, remote);
  if (stream == nullptr) {
    delete context;
    UserNotificationDialog(Str255("There was an error uploading the file \"" + std::string(name.view()) + "\" to " +
                                  remote + "."));
    return;
  }
  context->stream = stream->GetHandle();
  project->uploadStreams.push_back(context->stream);
  ++applier->started;
  // The row: transferring, its old error gone.
  project->transfers.push_back(node->INDEX);
  ProjectItemData item = ReadItem(node);
  item.transferring = true;
  item.errorCode = 0;
  WriteItem(node, item);
  if (browser != nullptr) BrackenrowUpdateItem(node->INDEX, browser);
}

Boolean TProject::UploadSelection() {
  if (browserControl == nullptr) return false;
  if (BrackenrowGetSelection(browserControl) == nullptr) return false;
  Applier applier{this};
  BrackenrowApplyFunction(browserControl, UploadFiles, 0, kDataBrowserItemIsSelected, true, &applier);
  return true;
}

void TProject::Publish() {
  TProjectGroup* sources = FindGroupByType(kProjectSourceType);
  Applier applier{this, 0, true};
  if (browserControl != nullptr && sources != nullptr && sources->ROOTITEM != 0)
    BrackenrowApplyFunction(browserControl, UploadFiles, sources->ROOTITEM, kDataBrowserItemAnyState, true, &applier);
  if (applier.started == 0) UserNotificationDialog("There were no files needing to be uploaded.");
}

void TProject::EndUploads() {
  // Ending a stream tells no one: the contexts go with the project.
  const std::vector<UInt32> streams = uploadStreams;
  uploadStreams.clear();
  for (UInt32 handle : streams) {
    TFTPStream* stream = TFTPStream::FromHandle(handle);
    if (stream == nullptr) continue;
    delete static_cast<FileUploadContext*>(stream->fUserData);
    stream->SetCallback(nullptr, nullptr);
    stream->Terminate();
  }
}
