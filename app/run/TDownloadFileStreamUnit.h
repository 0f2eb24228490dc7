// One file fetched from an FTP account into a local folder, told to a
// callback: progress, the file when it has arrived (with its text when asked
// for), or the error's message.
#pragma once
#include "Files.h"
#include "TFTPUnit.h"

// data: the file's bytes (NUL-terminated) when text was asked for, else nil;
// file: the arrived file (empty while in progress or on failure); ratio 0..1,
// 100 when the file has arrived; message: the error's, empty otherwise.
typedef void (*TDownloadFileStreamNotificationCallback)(Ptr data, const FSRef& file, float ratio,
                                                        const Str255& message, void* userData);

class TDownloadFileStream : public TObject {
 public:
  FSRef folder{};
  Str255 path;
  FTPStreamHandle stream = 0;  // the running download's; 0 when none
  Boolean readText = false;
  TDownloadFileStreamNotificationCallback callback = nullptr;
  void* userData = nullptr;

  // Starts fetching the path (relative to the account's root) from the host
  // ("name" or "name:port", port 21 when none); false when nothing started.
  // The object releases itself when the download has ended.
  virtual Boolean DownloadFile(const Str255& host, const Str255& user, const Str255& password, const Str255& path);
  virtual void GotFile(Ptr, const FSRef&) {}
  virtual void GotError(const Str255&) {}
  virtual void SetReadText(Boolean flag) { readText = flag; }
  virtual void SetFolder(const FSRef& destination) { folder = destination; }
  virtual void SetNotificationCallback(TDownloadFileStreamNotificationCallback inCallback, void* data) {
    callback = inCallback;
    userData = data;
  }
  // Ends the download without a word to the callback, and the object.
  virtual void Cancel();
  virtual void Release();

  // The file name the path arrives under: its last component.
  static Str255 FileNameOf(const Str255& path);

 protected:
  ~TDownloadFileStream() override = default;

 private:
  static void StreamNotificationCallback(SInt16 kind, float ratio, CFStreamError error, TFTPStream* stream,
                                         void* data);
};
