#include "FileUploadUnit.h"

#include <cmath>

#include "CFString.h"
#include "CFURL.h"
#include "Files.h"

namespace {

// Leading and trailing slashes go: the pieces are joined with one each.
std::string TrimSlashes(std::string text) {
  while (!text.empty() && text.front() == '/') text.erase(text.begin());
  while (!text.empty() && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace

std::string FileUploadFolderURL(const FTPServerInfo& server, const Str255& directory) {
  FTPServerInfo root = server;
  root.RootFolder = Str255(TrimSlashes(std::string(server.RootFolder.view())));
  const std::string folder = TrimSlashes(std::string(directory.view()));
  return GetFTPServerURL(root, folder.empty() ? std::string() : folder + "/");
}

TFTPStream* StartFileUpload(const FTPServerInfo& server, const Str255& directory, const FSRef& file,
                            FTPStreamNotificationCallback callback, void* data, std::string& remote) {
  remote = FileUploadFolderURL(server, directory);
  CFURLRef local = CFURLCreateFromFSRef(nullptr, &file);
  if (local == nullptr) return nullptr;
  CFStringRef url = CFStringCreateWithCString(nullptr, remote.c_str(), kCFStringEncodingUTF8);
  CFStringRef user = FTPCreateString(server.UserName);
  CFStringRef password = FTPCreateString(server.Password);
  auto* stream = new TFTPStream();
  stream->SetCallback(callback, data);
  const FTPStreamHandle handle = stream->GetHandle();
  const Boolean started = url != nullptr && stream->Upload(url, local, user, password);
  // A failed start has freed the stream already.
  if (!started && TFTPStream::FromHandle(handle) != nullptr) stream->Release();
  if (url != nullptr) CFRelease(url);
  if (user != nullptr) CFRelease(user);
  if (password != nullptr) CFRelease(password);
  CFRelease(local);
  return started ? TFTPStream::FromHandle(handle) : nullptr;
}

Boolean UploadsOnSave(const Str255& fileMode, const Str255& projectMode) {
  const Str255 mode = fileMode.empty() || fileMode == "Default" ? projectMode : fileMode;
  return mode == "Server";
}

Str255 UploadProgressText(float percent) {
  const long whole = std::isfinite(percent) ? long(std::floor(percent)) : 0;
  return Str255("Transfered " + std::to_string(whole) + "%");
}

Str255 UploadErrorMessage(const Str63& name, CFStreamError error) {
  return Str255("The file \"" + std::string(name.view()) + "\" could not be uploaded: " +
                std::string(GetStreamErrorString(error).view()));
}
