#include "TFTPProcessUnit.h"

#include "CFBundle.h"
#include "CFURL.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"

namespace {

std::string Bytes(const Str255& s) { return std::string(reinterpret_cast<const char*>(s.s + 1), size_t(s.len())); }

std::string SharedSupportScript() {
  CFBundleRef bundle = CFBundleGetMainBundle();
  CFURLRef folder = bundle != nullptr ? CFBundleCopySharedSupportURL(bundle) : nullptr;
  std::string path;
  if (folder != nullptr) {
    UInt8 buf[4096];
    if (CFURLGetFileSystemRepresentation(folder, true, buf, sizeof buf)) path = reinterpret_cast<char*>(buf);
    CFRelease(folder);
  }
  return path + "/ftp.php";
}

void AppendText(CFMutableStringRef line, const std::string& text) {
  CFStringRef s = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                          kCFStringEncodingUTF8, false);
  if (s == nullptr)
    s = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                kCFStringEncodingMacRoman, false);
  if (s != nullptr) {
    CFStringAppend(line, s);
    CFRelease(s);
  }
}

}  // namespace

void TFTPProcess::SetBrowser(TFTPBrowser* browser) { fBrowser = browser; }

void TFTPProcess::SetCallback(TFTPProcessNotificationCallback callback, void* userData) {
  fCallback = callback;
  fUserData = userData;
}

void TFTPProcess::SetConnection(const FTPConnection& connection) { fConnection = connection; }

void TFTPProcess::Initialize() {
  if (fCommandLine != nullptr) CFRelease(fCommandLine);
  fCommandLine = CFStringCreateMutable(nullptr, 0);
  if (fScript.empty()) fScript = SharedSupportScript();
  fArguments = {fInterpreter, fScript};
  AppendText(fCommandLine, fInterpreter + " \"" + fScript + "\" ");
  AppendArgument("server", fConnection.hostName);
  AppendArgument("user", fConnection.userName);
  AppendArgument("password", fConnection.password);
}

void TFTPProcess::AppendArgument(const Str255& key, const Str255& value) {
  fArguments.push_back(Bytes(key) + "=" + Bytes(value));
  if (fCommandLine != nullptr) AppendText(fCommandLine, Bytes(key) + "=\"" + Bytes(value) + "\" ");
}

void TFTPProcess::Start(const char* action, const Str255& path) {
  fAction = action;
  fReported = false;
  fLastLine.Clear();
  AppendArgument("file", path);
}

void TFTPProcess::NewFile(const Str255& path) {
  Initialize();
  Start("mkfile", path);
  AppendArgument("action", fAction);
  LaunchWords(fArguments, nullptr);
}

void TFTPProcess::NewDirectory(const Str255& path) {
  Initialize();
  Start("mkdir", path);
  AppendArgument("action", fAction);
  LaunchWords(fArguments, nullptr);
}

void TFTPProcess::DeleteFile(const Str255& path) {
  Initialize();
  Start("delete", path);
  AppendArgument("action", fAction);
  LaunchWords(fArguments, nullptr);
}

void TFTPProcess::DeleteDirectory(const Str255& path) {
  Initialize();
  Start("rmdir", path);
  AppendArgument("action", fAction);
  LaunchWords(fArguments, nullptr);
}

void TFTPProcess::Move(const Str255& path, const Str255& where) {
  Initialize();
  Start("move", path);
  AppendArgument("where", where);
  AppendArgument("action", fAction);
  LaunchWords(fArguments, nullptr);
}

void TFTPProcess::Rename(const Str255& path, const Str63& name) {
  Initialize();
  Start("rename", path);
  AppendArgument("name", name);
  AppendArgument("action", fAction);
  LaunchWords(fArguments, nullptr);
}

void TFTPProcess::Release() {
  if (fCommandLine != nullptr) CFRelease(fCommandLine);
  fCommandLine = nullptr;
  TProcessUtils::Release();
}

void TFTPProcess::Report(const Str255& message) {
  fReported = true;
  if (fCallback != nullptr) fCallback(fAction, message, fBrowser, fUserData);
}

void TFTPProcess::GotData(CFStringRef text) {
  Str255 line = FTPShortString(text);
  WriteLog(CFStringToPascal(text));
  if (!fReported && StringIsNumber(line) && fCallback != nullptr) Report(fLastLine);
  fLastLine = line;
}

void TFTPProcess::Terminated(Boolean killed, SInt16 status) {
  if (fReported || fCallback == nullptr) return;
  const int code = UInt16(status);
  if (!killed && code == 0) {
    Report(Str255());
  } else if (!killed && code == (127 << 8)) {
    Report(Str255("The PHP interpreter " + fInterpreter + " could not be started"));
  } else if (!fLastLine.empty()) {
    Report(fLastLine);
  } else if (killed) {
    Report(Str255("The server operation was stopped"));
  } else {
    int shown = (code & 0xff) == 0 ? code >> 8 : code & 0x7f;
    Report(Str255("The server operation failed (status " + std::to_string(shown) + ")"));
  }
}
