// TFTPProcess: one server-side file operation (a new file or folder, a
// deletion, a move or a rename) done by the helper script SharedSupport
// "ftp.php" under "/usr/bin/php", with the server, the credentials and the
// operation as key=value arguments. The result goes to the browser that
// asked, through the callback: an empty message means success.
//
// The script ends a failure with its message line and then a number line,
// and a success with a number line alone. The first number line decides;
// a script that ends without one succeeded only when it exited normally with
// status 0, else its last line (or "The server operation failed (status N)")
// is the message.
#pragma once

#include <string>
#include <vector>

#include "CFString.h"
#include "ProcessUtils.h"
#include "ShortString.h"
#include "TFTPUnit.h"
#include "TProcessUtilsUnit.h"

class TFTPBrowser;

typedef void (*TFTPProcessNotificationCallback)(const Str31& action, const Str255& message, TFTPBrowser* browser,
                                                void* userData);

class TFTPProcess : public TProcessUtils {
 public:
  TFTPProcess() = default;

  virtual void Initialize();
  virtual void SetBrowser(TFTPBrowser* browser);
  virtual void SetCallback(TFTPProcessNotificationCallback callback, void* userData);
  virtual void SetConnection(const FTPConnection& connection);
  virtual void AppendArgument(const Str255& key, const Str255& value);
  virtual void NewFile(const Str255& path);
  virtual void NewDirectory(const Str255& path);
  virtual void DeleteFile(const Str255& path);
  virtual void DeleteDirectory(const Str255& path);
  virtual void Move(const Str255& path, const Str255& where);
  virtual void Rename(const Str255& path, const Str63& name);
  void Release() override;
  void GotData(CFStringRef text) override;
  void Terminated(Boolean killed, SInt16 status) override;

  FTPConnection fConnection{};
  // The command as text, for showing it; the child gets fArguments, one
  // "key=value" word each, never re-parsed.
  CFMutableStringRef fCommandLine = nullptr;
  TFTPBrowser* fBrowser = nullptr;  // the FTP browser that asked
  Str31 fAction;
  TFTPProcessNotificationCallback fCallback = nullptr;
  void* fUserData = nullptr;
  Str255 fLastLine;
  Boolean fReported = false;

  ArgvType fArguments;
  // The interpreter and the script ("" : the bundle's SharedSupport "ftp.php").
  std::string fInterpreter = "/usr/bin/php";
  std::string fScript;

 protected:
  ~TFTPProcess() override = default;

 private:
  void Start(const char* action, const Str255& path);
  void Report(const Str255& message);
};
