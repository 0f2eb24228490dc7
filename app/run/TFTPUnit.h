// TFTPStream: one FTP transfer (a folder listing, the upload of a local file
// into a remote folder, or the download of a remote file into a local
// folder). It is made for that transfer, started by one call, reports
// through its notification callback, and releases itself when it ends.
//
// Notification kinds: 1 opened (the login is done), 3 progress, and exactly
// one of 2 (the transfer completed: for an upload, the server confirmed the
// store) or 4 (it failed, with the error) at its end, after which the stream
// is released. A receiver may read the stream's fields and listings during
// the call, never after it. Holders keep the stream's handle, not the
// object: FromHandle gives nil once the stream has ended, so terminating an
// ended stream does nothing.
#pragma once

#include <string>

#include "CFArray.h"
#include "CFDictionary.h"
#include "CFFTPStream.h"
#include "CFURL.h"
#include "Files.h"
#include "Icons.h"
#include "ShortString.h"
#include "TObjectUnit.h"

// A transfer's identity, copied whole between the FTP pane, the browser,
// documents and streams.
struct FTPConnection {
  Str255 URL;        // listing: the folder URL; download: the remote file URL; upload: the destination
  Str63 hostName;    // filled by the FTP pane
  Boolean upload;
  Str255 userName;
  Str255 password;
  Str255 spare;      // not written by the FTP classes
  UInt32 item;       // the browser item the transfer belongs to
  FSRef local;       // a download's folder; a document's temporary folder
};
static_assert(sizeof(FTPConnection) == 1176, "FTPConnection is copied whole");

// One entry of a listing; owned by the stream's listings array until a user
// takes it out.
struct FTPDirectoryListing {
  Str255 URL;         // the listing URL + the name, + "/" for a folder
  UInt32 node;        // 0 here; the browser keeps the entry's tree node in it
  Str63 parentName;   // the listed folder's name, "/" at the server's root
  SInt32 type;        // 4 a folder, 8 a file, others as the listing gives
  SInt32 mode;
  Str255 owner;
  Str255 group;
  SInt64 size;
  Str255 date;        // the short date, a blank and the short time, of the current locale
  Str255 name;        // UTF-8
  Str255 link;        // UTF-8
};
typedef FTPDirectoryListing* FTPDirectoryListingPtr;

class TFTPStream;
typedef void (*FTPStreamNotificationCallback)(SInt16 kind, float ratio, CFStreamError error, TFTPStream* stream,
                                              void* userData);

// A stream's weak handle: never reused within a run of the program.
typedef UInt32 FTPStreamHandle;

enum : SInt16 {
  kFTPNotifyOpened = 1,
  kFTPNotifyFinished = 2,
  kFTPNotifyProgress = 3,
  kFTPNotifyFailed = 4,
};

// Errors of the stream itself (not of the server or the network).
enum : CFIndex { kFTPStreamErrorDomain = kCFStreamErrorDomainCustom };
enum : SInt32 {
  kFTPErrorUnreadableListing = 1,  // the server's listing is not one the parser reads
};

constexpr CFIndex kFTPBufferSize = 32768;

class TFTPStream : public TObject {
 public:
  TFTPStream();

  virtual Boolean Download(CFStringRef url, CFURLRef folder, CFStringRef user, CFStringRef password);
  virtual Boolean Upload(CFStringRef url, CFURLRef file, CFStringRef user, CFStringRef password);
  virtual Boolean DirectoryListing(CFStringRef url, CFStringRef user, CFStringRef password);
  virtual void HandleNotification(SInt16 kind, float ratio, CFStreamError error);
  virtual void Terminate();
  virtual void SetCallback(FTPStreamNotificationCallback callback, void* userData);
  virtual Str255 GetFileRatioString();
  virtual CFRange GetTransferRatio();
  virtual FTPDirectoryListingPtr NewDirectoryListing(CFDictionaryRef entry);
  virtual void SetUserNamePassword(CFTypeRef stream, CFStringRef user, CFStringRef password);
  virtual void SetFTPProxy(CFTypeRef stream, CFDictionaryRef& proxies);
  virtual void Release();
  // Free ends a stream as Release does.
  void Free() override { Release(); }

  FTPStreamHandle GetHandle() const { return fHandle; }
  // The file a download writes (its final place); empty for other transfers.
  const std::string& LocalPath() const { return fLocalPath; }
  // The stream of a handle while it runs; nil once it has ended or was released.
  static TFTPStream* FromHandle(FTPStreamHandle handle);
  // Terminates the stream of a handle; does nothing when it has ended.
  static void TerminateHandle(FTPStreamHandle handle);

  FTPConnection fConnection{};
  CFWriteStreamRef fWriteStream = nullptr;
  CFReadStreamRef fReadStream = nullptr;
  CFDictionaryRef fProxies = nullptr;
  SInt64 fTotalSize = 0;
  UInt32 fTransferred = 0;
  UInt32 fPending = 0;
  UInt8* fBuffer = nullptr;
  CFMutableArrayRef fListings = nullptr;
  FTPStreamNotificationCallback fCallback = nullptr;
  void* fUserData = nullptr;

 protected:
  ~TFTPStream() override;

 private:
  static void DirectoryListingCallback(CFReadStreamRef stream, CFStreamEventType event, void* info);
  static void DownloadCallback(CFReadStreamRef stream, CFStreamEventType event, void* info);
  static void UploadCallback(CFWriteStreamRef stream, CFStreamEventType event, void* info);

  void ListingEvent(CFStreamEventType event);
  void DownloadEvent(CFStreamEventType event);
  void UploadEvent(CFStreamEventType event);
  // Parses the buffer's first `count` bytes into entries and keeps the tail
  // as pending; false when a line cannot be read.
  bool ParseListing(CFIndex count);
  // Tells the end (kind 2) or the failure (kind 4), once; the stream is
  // released when the notification has returned.
  void End(SInt16 kind, CFStreamError error);
  void Notify(SInt16 kind, float ratio, CFStreamError error);
  bool StartFailed();
  void Detach();
  void BeforeEvent();
  void AfterEvent();

  FTPStreamHandle fHandle;
  int fDepth = 0;           // callbacks of this stream running
  bool fEnded = false;      // kind 2 or 4 told
  bool fReleased = false;   // released; freed once no callback runs
  bool fEndOfFile = false;  // an upload's local file is all read
  std::string fLocalPath;   // a download's file, and the file it is written to until it ends
  std::string fTempPath;
};

// The user message of a stream error.
Str255 GetStreamErrorString(CFStreamError error);
// The icon of a listing entry; the caller releases it. The toolbox status goes to Err.
IconRef GetFTPListingIcon(FTPDirectoryListingPtr entry);
// The array callbacks of the listings array.
const void* RetainListingCallback(CFAllocatorRef allocator, const void* value);
void ReleaseListingCallback(CFAllocatorRef allocator, const void* value);
// Transfers that run to their end unobserved.
void SimpleDownload(const Str255& url, const Str255& user, const Str255& password, const FSRef& folder);
void SimpleUpload(const Str255& url, const Str255& user, const Str255& password, const FSRef& file);

// A CFURL for the URL text of a transfer (ftp://host[:port]/path, the path's
// names as they are, blanks and all): each path segment is percent-encoded;
// a "%" that already starts an escape ("%20") is kept. Nil for a text that
// is no FTP URL.
CFURLRef FTPCreateURL(CFStringRef text);
// Text of the short strings the FTP classes keep (UTF-8, cut at 255 bytes on
// a character boundary), and back.
Str255 FTPShortString(CFStringRef text);
CFStringRef FTPCreateString(const Str255& text);
