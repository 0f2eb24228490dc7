#include "TFileStampUnit.h"

#include <sys/stat.h>

#include <string>

#include "CFString.h"
#include "Dialogs.h"
#include "TDocumentUnit.h"

TFileStamp FileStampOf(const FSRef& file) {
  TFileStamp stamp;
  UInt8 path[4096];
  struct stat st {};
  if (FSRefMakePath(&file, path, sizeof path) != noErr || stat(reinterpret_cast<const char*>(path), &st) != 0)
    return stamp;
  stamp.known = true;
  stamp.size = SInt64(st.st_size);
  stamp.seconds = SInt64(st.st_mtim.tv_sec);
  stamp.nanoseconds = SInt64(st.st_mtim.tv_nsec);
  stamp.device = UInt64(st.st_dev);
  stamp.inode = UInt64(st.st_ino);
  return stamp;
}

Boolean FileChangedSince(const FSRef& file, const TFileStamp& stamp) {
  if (!stamp.known) return false;
  const TFileStamp now = FileStampOf(file);
  if (!now.known) return false;
  return now.size != stamp.size || now.seconds != stamp.seconds || now.nanoseconds != stamp.nanoseconds ||
         now.device != stamp.device || now.inode != stamp.inode;
}

namespace {

// The file's own name as the disk has it, in any characters.
std::string LeafName(const FSRef& file) {
  UInt8 path[4096];
  if (FSRefMakePath(&file, path, sizeof path) != noErr) return {};
  const std::string whole(reinterpret_cast<const char*>(path));
  const size_t slash = whole.rfind('/');
  return slash == std::string::npos ? whole : whole.substr(slash + 1);
}

CFStringRef Text(const std::string& utf8) {
  CFStringRef text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()),
                                             CFIndex(utf8.size()), kCFStringEncodingUTF8, false);
  // A name that is not UTF-8 still reads, byte for byte, as Latin-1.
  if (text == nullptr)
    text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()),
                                   kCFStringEncodingISOLatin1, false);
  return text;
}

}  // namespace

TChangedFileAnswer AskAboutChangedFile(TDocument* document) {
  if (document == nullptr) return kChangedFileCancel;
  CFStringRef error =
      Text("The file \"" + LeafName(document->file) + "\" has been changed by another program since it was opened.");
  CFStringRef explanation =
      Text(document->modified ? "If you save, the changes made by the other program are lost."
                              : "If you save, the changes made by the other program are lost. Reload shows them.");
  AlertStdCFStringAlertParamRec param{};
  GetStandardAlertDefaultParams(&param, kStdCFStringAlertVersionOne);
  CFStringRef overwrite = Text("Overwrite");
  CFStringRef reload = document->modified ? nullptr : Text("Reload");
  param.defaultText = overwrite;
  param.cancelText = kAlertDefaultCancelTextCF;
  param.otherText = reload;
  // Return keeps the other program's work; writing over it takes a click.
  param.defaultButton = kAlertStdAlertCancelButton;
  param.cancelButton = kAlertStdAlertCancelButton;
  DialogRef alert = nullptr;
  DialogItemIndex hit = kAlertStdAlertCancelButton;
  if (CreateStandardAlert(kAlertCautionAlert, error, explanation, &param, &alert) == noErr)
    RunStandardAlert(alert, nullptr, &hit);
  for (CFStringRef text : {error, explanation, overwrite, reload})
    if (text != nullptr) CFRelease(text);
  switch (hit) {
    case kAlertStdAlertOKButton:
      return kChangedFileOverwrite;
    case kAlertStdAlertOtherButton:
      return document->modified ? kChangedFileCancel : kChangedFileReload;
    default:
      return kChangedFileCancel;
  }
}
