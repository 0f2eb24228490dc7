// Help books: the registered books by name, and the application-wide handler
// that answers the Help menu's command once a book exists.
#include "AppleHelp.h"

#include <glib.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "CFBundle.h"
#include "AlertsInternal.h"
#include "CFString.h"
#include "CFURL.h"
#include "CarbonEvents.h"
#include "Dialogs.h"
#include "LaunchServices.h"

namespace {

struct Book {
  std::string name;
  std::string folder;  // absolute path
};
std::vector<Book> gBooks;
bool gHandlerInstalled = false;

std::string UTF8(CFStringRef s) {
  if (s == nullptr || CFGetTypeID(s) != CFStringGetTypeID()) return std::string();
  std::vector<char> buf(size_t(CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8)) + 1);
  return CFStringGetCString(s, buf.data(), CFIndex(buf.size()), kCFStringEncodingUTF8) ? std::string(buf.data())
                                                                                        : std::string();
}

bool IsFile(const std::string& path) { return g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR); }

// The Help menu's command, when nobody before took it. The help shows in the
// desktop's web browser; without one the user is told so, and where the help
// is, instead of nothing happening.
OSStatus HandleHelpCommand(EventHandlerCallRef, EventRef event, void*) {
  HICommand command{};
  GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  if (command.commandID != kHICommandAppHelp || gBooks.empty()) return eventNotHandledErr;
  const std::string page = gBooks.front().folder + "/index.html";
  const OSStatus status = AHGotoPage(nullptr, nullptr, nullptr);
  if (status == kLSApplicationNotFoundErr)
    RunStopAlert("The help cannot be shown because no web browser is installed.",
          "Install a web browser, or open \u201C" + page + "\u201D in one.");
  else if (status != noErr)
    RunStopAlert("The help could not be shown.", "Its first page is \u201C" + page + "\u201D.");
  return noErr;
}

}  // namespace

OSStatus AHRegisterHelpBook(const FSRef* appBundleRef) {
  if (appBundleRef == nullptr) return paramErr;
  UInt8 path[4096] = {};
  OSStatus status = FSRefMakePath(appBundleRef, path, sizeof path);
  if (status != noErr) return status;
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, path, CFIndex(strlen(reinterpret_cast<char*>(path))),
                                                         true);
  CFBundleRef bundle = url ? CFBundleCreate(nullptr, url) : nullptr;
  if (url) CFRelease(url);
  if (bundle == nullptr) return fnfErr;
  const std::string folder =
      UTF8(static_cast<CFStringRef>(CFBundleGetValueForInfoDictionaryKey(bundle, CFStringMakeConstantUTF8("CFBundleHelpBookFolder"))));
  std::string name =
      UTF8(static_cast<CFStringRef>(CFBundleGetValueForInfoDictionaryKey(bundle, CFStringMakeConstantUTF8("CFBundleHelpBookName"))));
  std::string resources;
  if (CFURLRef r = CFBundleCopyResourcesDirectoryURL(bundle)) {
    UInt8 buf[4096] = {};
    if (CFURLGetFileSystemRepresentation(r, true, buf, sizeof buf)) resources = reinterpret_cast<char*>(buf);
    CFRelease(r);
  }
  CFRelease(bundle);
  if (folder.empty() || resources.empty() || folder.find("..") != std::string::npos) return fnfErr;
  std::string found;
  for (const std::string& candidate : {resources + "/" + folder, resources + "/English.lproj/" + folder})
    if (IsFile(candidate + "/index.html")) {
      found = candidate;
      break;
    }
  if (found.empty()) return fnfErr;
  if (name.empty()) name = folder;
  for (Book& b : gBooks)
    if (b.name == name) {
      b.folder = found;
      return noErr;
    }
  gBooks.push_back(Book{name, found});
  if (!gHandlerInstalled) {
    const EventTypeSpec command = {kEventClassCommand, kEventCommandProcess};
    if (InstallEventHandler(GetApplicationEventTarget(), NewEventHandlerUPP(HandleHelpCommand), 1, &command, nullptr,
                            nullptr) == noErr)
      gHandlerInstalled = true;
  }
  return noErr;
}

OSStatus AHGotoPage(CFStringRef bookname, CFStringRef path, CFStringRef anchor) {
  const Book* book = nullptr;
  const std::string wanted = UTF8(bookname);
  for (const Book& b : gBooks)
    if (bookname == nullptr || b.name == wanted) {
      book = &b;
      break;
    }
  if (book == nullptr) return kAHInternalErr;
  std::string page = UTF8(path);
  if (page.empty()) page = "index.html";
  // Pages stay inside the book.
  if (page[0] == '/' || page.find("..") != std::string::npos) return paramErr;
  const std::string file = book->folder + "/" + page;
  if (!IsFile(file)) return fnfErr;
  gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
  if (uri == nullptr) return fnfErr;
  std::string text = uri;
  g_free(uri);
  const std::string fragment = UTF8(anchor);
  if (!fragment.empty()) {
    gchar* escaped = g_uri_escape_string(fragment.c_str(), nullptr, FALSE);
    text += std::string("#") + escaped;
    g_free(escaped);
  }
  CFStringRef s = CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
  CFURLRef url = s ? CFURLCreateWithString(nullptr, s, nullptr) : nullptr;
  if (s) CFRelease(s);
  if (url == nullptr) return kAHInternalErr;
  OSStatus status = LSOpenCFURLRef(url, nullptr);
  CFRelease(url);
  return status;
}
