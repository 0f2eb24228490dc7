#include "TDownloadFileStreamUnit.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "CFString.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

CFStringRef CreateUTF8(const Str255& text) {
  return CFStringCreateWithBytes(nullptr, text.data() + 1, text.len(), kCFStringEncodingUTF8, false);
}

std::string FolderPath(const FSRef& folder) {
  UInt8 path[4096] = {};
  if (FSRefMakePath(&folder, path, sizeof path) != noErr) return {};
  return reinterpret_cast<const char*>(path);
}

}  // namespace

Str255 TDownloadFileStream::FileNameOf(const Str255& path) {
  std::string text = path.str();
  size_t slash = text.rfind('/');
  std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
  return Str255(name.empty() ? text : name);
}

Boolean TDownloadFileStream::DownloadFile(const Str255& host, const Str255& user, const Str255& password,
                                          const Str255& inPath) {
  path = inPath;
  CFURLRef folderURL = CFURLCreateFromFSRef(nullptr, &folder);
  if (folderURL == nullptr) {
    std::printf("TDownloadFileStream Can't find the destination folder.\n");
    std::fflush(stdout);
    return false;
  }
  std::string hostText = host.str();
  if (hostText.find(':') == std::string::npos) hostText += ":21";
  std::string remote = path.str();
  while (!remote.empty() && remote.front() == '/') remote.erase(remote.begin());
  // The user name and password go to the stream, never into the URL.
  const std::string url = "ftp://" + hostText + "/" + remote;
  CFStringRef urlText = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(url.data()),
                                                CFIndex(url.size()), kCFStringEncodingUTF8, false);
  CFStringRef userText = CreateUTF8(user), passwordText = CreateUTF8(password);
  auto* ftp = new TFTPStream();
  ftp->SetCallback(StreamNotificationCallback, this);
  stream = ftp->GetHandle();
  Boolean started = urlText != nullptr && ftp->Download(urlText, folderURL, userText, passwordText);
  for (CFTypeRef t : {CFTypeRef(urlText), CFTypeRef(userText), CFTypeRef(passwordText), CFTypeRef(folderURL)})
    if (t != nullptr) CFRelease(t);
  if (!started) {
    if (TFTPStream::FromHandle(stream) != nullptr) TFTPStream::TerminateHandle(stream);
    stream = 0;
  }
  return started;
}

void TDownloadFileStream::StreamNotificationCallback(SInt16 kind, float ratio, CFStreamError error, TFTPStream*,
                                                     void* data) {
  auto* self = static_cast<TDownloadFileStream*>(data);
  const FSRef none{};
  switch (kind) {
    case kFTPNotifyProgress:
      if (self->callback != nullptr) self->callback(nullptr, none, ratio, Str255(), self->userData);
      break;
    case kFTPNotifyFinished: {
      self->stream = 0;
      std::string file = FolderPath(self->folder) + "/" + FileNameOf(self->path).str();
      FSRef ref{};
      FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &ref, nullptr);
      Ptr block = nullptr;
      if (self->readText) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const std::string text = bytes.str();
        block = NewPtr(Size(text.size() + 1));
        if (block != nullptr) {
          std::memcpy(block, text.data(), text.size());
          block[text.size()] = 0;
        }
      }
      self->GotFile(block, ref);
      if (self->callback != nullptr) self->callback(block, ref, 100, Str255(), self->userData);
      if (block != nullptr) DisposePtr(block);
      self->Release();
      break;
    }
    case kFTPNotifyFailed: {
      self->stream = 0;
      Str255 message = GetStreamErrorString(error);
      // An end is told by its message: never an empty one.
      if (message.empty()) message = "The transfer failed";
      self->GotError(message);
      if (self->callback != nullptr) self->callback(nullptr, none, 0, message, self->userData);
      self->Release();
      break;
    }
    default:
      break;
  }
}

void TDownloadFileStream::Cancel() {
  callback = nullptr;
  Release();
}

void TDownloadFileStream::Release() {
  if (stream != 0) {
    FTPStreamHandle running = stream;
    stream = 0;
    TFTPStream::TerminateHandle(running);
  }
  delete this;
}
