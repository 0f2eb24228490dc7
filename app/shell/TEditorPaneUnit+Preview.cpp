// The editor pane's preview: the URL of the document by preview mode, opened
// in a page beside the text (or in the user's browser), and the temporary
// copy of the text that an open preview of the folder shows while the
// document is typed.
#include <fcntl.h>
#include <sys/stat.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>

#include "EditorUtilities.h"
#include "Folders.h"
#include "PascalCarbonCommon.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TFileInfoUnit.h"
#include "TPreferencesUnit.h"
#include "TPreviewPaneUnit.h"
#include "TQVEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "WASTE.h"

namespace {

constexpr SInt16 kCGImageType = 7;

// The whole POSIX path of an item; empty when it cannot be made.
std::string WholePath(const FSRef& ref) {
  char path[PATH_MAX + 1] = {0};
  if (!FSValidFSRef(ref) || FSRefMakePath(&ref, reinterpret_cast<UInt8*>(path), sizeof path) != noErr)
    return std::string();
  return path;
}

std::string WholeName(TDocument* document) {
  if (document == nullptr) return std::string();
  if (FSValidFSRef(document->file)) return FSGetFullName(document->file);
  return document->name.str();
}

std::string ParentPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Joined(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() != '/' ? folder + "/" + name : folder + name;
}

std::string ReplaceBlanks(const std::string& url) {
  std::string escaped;
  for (char c : url) {
    if (c == ' ') escaped += "%20";
    else escaped += c;
  }
  return escaped;
}

// The line break the document writes: its own setting, else the one its
// file was read with.
std::string LineBreak(TDocument* document) {
  if (document != nullptr && !document->lineEndings.empty()) return document->lineEndings.str();
  if (auto* text = dynamic_cast<TWASTEDocument*>(document)) {
    switch (text->format.endOfLine & weEndOfLineMask) {
      case weEndOfLineCR: return "\r";
      case weEndOfLineCRLF: return "\r\n";
      default: break;
    }
  }
  return "\n";
}

// Writes the bytes in place of the file at the path: a new file beside it
// that then takes its name, so a failed write leaves the previous copy.
Boolean WriteWhole(const std::string& path, const char* bytes, size_t size) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  fchmod(fd, 0644);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, bytes + done, size - done);
    if (n <= 0) break;
    done += size_t(n);
  }
  const Boolean written = done == size && close(fd) == 0;
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Names and URLs

std::string PreviewTemporaryName(const std::string& displayName, Boolean html, Boolean hasFile) {
  if (!hasFile) return "~untitled.qv.html";
  return html ? "~" + displayName : "~" + displayName + ".html";
}

std::string PreviewEncodePath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : path) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      std::strchr("-._~/!$&'()*+,;=:@", c) != nullptr;
    if (kept && c != 0) {
      encoded += char(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

std::string PreviewFileURL(const std::string& path) { return "file://" + PreviewEncodePath(path); }

std::string PreviewDocumentURL(const PreviewRequest& request, std::string& message) {
  message.clear();
  std::string url = request.userPath;
  const Str63& mode = request.mode;
  if (mode == "Precompiled") {
    // The page the last run wrote, whatever the project says.
    if (request.folder.empty()) return std::string();
    url = PreviewFileURL(Joined(request.folder, "~" + request.name + ".html"));
  } else if (url.empty() && mode == "Disk") {
    url = request.temporaryURL;
  } else if (url.empty() && mode == "Server") {
    if (request.server.Name.empty()) {
      message = "There was no server specified";
      return std::string();
    }
    url = GetHTTPServerURL(request.server, PreviewEncodePath(request.name));
    const std::string removed = request.server.PublicFolder.str();
    if (!removed.empty())
      for (size_t at = url.find(removed); at != std::string::npos; at = url.find(removed, at)) url.erase(at, removed.size());
  } else if (url.empty() && mode == "Localhost") {
    if (request.folder.empty()) return std::string();
    const std::string path = Joined(request.folder, request.name);
    const std::string query = request.server.Query.str();
    url = FormatLocalhostURL(PreviewEncodePath(path) + (query.empty() ? std::string() : "?" + query));
    if (url.empty()) {
      message = "the file " + path + (query.empty() ? std::string() : "?" + query) +
                " does not descend from the \"Sites\" folder. Files must be located in Sites folder to be "
                "previewed in localhost mode.";
      return std::string();
    }
  }
  return ReplaceBlanks(url);
}

// ---------------------------------------------------------------------------
// The pane

FSRef TEditorPane::UpdateTemporaryFile() {
  FSRef ref{};
  if (document == nullptr) return ref;
  const Boolean hasFile = FSValidFSRef(document->file);
  std::string folder;
  if (hasFile) {
    folder = ParentPath(WholePath(document->file));
  } else {
    FSRef temporary{};
    if (FSFindFolder(kOnSystemDisk, kTemporaryFolderType, true, &temporary) == noErr) folder = WholePath(temporary);
  }
  if (folder.empty()) return ref;
  const Boolean html = hasFile && FSConformsToUTIdentifier(document->file, "public.html");
  const std::string path = Joined(folder, PreviewTemporaryName(WholeName(document), html, hasFile));
  // The text as it stands, in UTF-8 (an empty document makes an empty page).
  Ptr text = editor != nullptr && editor->view != nullptr ? editor->view->CopyText('utf8') : nullptr;
  std::string bytes;
  if (text != nullptr) {
    const std::string lineBreak = LineBreak(document);
    const size_t size = size_t(GetPtrSize(text));
    bytes.reserve(size);
    for (size_t i = 0; i < size; ++i) {
      if (text[i] == '\r') bytes += lineBreak;
      else bytes += text[i];
    }
    DisposePtr(text);
  }
  const Boolean written = WriteWhole(path, bytes.data(), bytes.size());
  if (!written) {
    Err = ioErr;
    // The previous copy, when there is one, still shows.
  }
  if (FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr) != noErr) ref = FSRef{};
  return ref;
}

void TEditorPane::PreviewDocument(const Str63& mode, Boolean useApplication, const FSRef* application,
                                  const FTPServerInfo& server) {
  if (document == nullptr) return;
  FSRef app = PreviewApplication();
  if (application != nullptr && FSValidFSRef(*application)) {
    app = *application;
    useApplication = true;
  }
  PreviewRequest request;
  request.mode = mode;
  request.name = WholeName(document);
  request.server = server;
  if (FSValidFSRef(document->file)) request.folder = ParentPath(WholePath(document->file));
  if (project != nullptr) {
    // The project's preview paths for the file: its own, else the project's.
    const EditorWindowHooks& hooks = EditorWindowGetHooks();
    FSRef bundle{};
    if (hooks.ProjectBundle != nullptr) hooks.ProjectBundle(project, bundle);
    if (CFDictionaryRef info = hooks.CopyFileInfo != nullptr ? hooks.CopyFileInfo(project, document->name) : nullptr) {
      TPreferenceHandlerFile values;
      values.fValues = CFDictionaryCreateMutableCopy(nullptr, 0, info);
      request.userPath = GetActiveUserPath(document->name, bundle, "FileInfoPreviewPaths", &values).str();
      if (values.fValues != nullptr) CFRelease(values.fValues);
      values.fValues = nullptr;
      CFRelease(info);
    }
    TPreferenceHandler* prefs = hooks.ProjectPreferences != nullptr ? hooks.ProjectPreferences(project) : nullptr;
    if (request.userPath.empty() && prefs != nullptr)
      request.userPath = GetActiveUserPath(document->name, bundle, "ProjectPreviewPaths", prefs).str();
  }
  if (mode == "Disk" && request.userPath.empty()) {
    const FSRef copy = UpdateTemporaryFile();
    if (CFStringRef whole = FSValidFSRef(copy) ? FSCopyURLString(copy) : nullptr) {
      char buffer[PATH_MAX * 3 + 16] = {0};
      if (CFStringGetCString(whole, buffer, sizeof buffer, kCFStringEncodingUTF8)) request.temporaryURL = buffer;
      CFRelease(whole);
    }
  }
  std::string message;
  const std::string url = PreviewDocumentURL(request, message);
  if (!message.empty()) {
    UserNotificationDialog(Str255(message.c_str()));
    return;
  }
  if (url.empty()) return;
  // No browser application chosen (none stored, or it is gone): the page
  // shows here rather than nowhere.
  if (useApplication && !FSValidFSRef(app)) useApplication = false;
  if (!useApplication) {
    auto* window = dynamic_cast<TEditorWindow*>(OwnerWindow());
    if (window == nullptr) return;
    window->NewURLString(url, this);
    // The tab keeps a borrowed image, so one image serves every pane.
    static CGImageRef previewImage = LoadPNGImage("Preview_16x16.png", "Images/Application Images");
    SetAppearance(document->name, previewImage, kCGImageType);
  } else {
    LSOpenURLWithApplication(Str255(url.c_str()), app);
  }
}

void TEditorPane::PreviewNewWindow() {
  const FSRef copy = UpdateTemporaryFile();
  if (!FSValidFSRef(copy)) return;
  CFStringRef whole = FSCopyURLString(copy);
  if (whole == nullptr) return;
  char buffer[PATH_MAX * 3 + 16] = {0};
  const std::string url = CFStringGetCString(whole, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "";
  CFRelease(whole);
  if (url.empty()) return;
  if (auto* previews = dynamic_cast<TEditorWindow*>(FindPreviewEditor())) {
    previews->NewURLString(url, nullptr);
    if (previews->window != nullptr) SelectWindow(previews->window);
    return;
  }
  if (OwnerWindow() == nullptr) return;
  // A window of its own without a toolbar (the owner's PreviewNewWindow,
  // with the whole URL however long).
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.projectMode = 2;
  TEditorWindow* window = CreateEditorWindow(nullptr, options);
  if (window->window != nullptr) window->NewURLString(url, nullptr);
  window->Show();
}

void TEditorPane::RefreshTemporaryFile() {
  if (document == nullptr || !FSValidFSRef(document->file)) return;
  if (!FSConformsToUTIdentifier(document->file, "public.html")) return;
  const std::string folder = ParentPath(WholePath(document->file));
  const std::string copy = Joined(folder, PreviewTemporaryName(WholeName(document), true, true));
  if (access(copy.c_str(), F_OK) == 0) IdleTyping();
}

void TEditorPane::IdleTyping() {
  if (document == nullptr || !FSValidFSRef(document->file)) return;
  if (!FSConformsToUTIdentifier(document->file, "public.html")) return;
  const FSRef copy = UpdateTemporaryFile();
  if (!FSValidFSRef(copy)) return;
  const FSRef folder = FSGetParent(copy);
  if (FSValidFSRef(folder)) FNNotify(&folder, kFNDirectoryModifiedMessage, 0);
}

// ---------------------------------------------------------------------------
// The window's preview panes

TDocumentPane* EditorPaneMakePreviewPane(TEditorWindowAbstract* window, TDocument* document, const std::string& url,
                                         TDocumentPane* owner) {
  TDocumentPane* reuse = nullptr;
  if (auto* editor = dynamic_cast<TEditorPane*>(owner))
    if (editor->overlay != nullptr && TPaneIsLive(editor->overlay) && IsPreviewPane(editor->overlay))
      reuse = static_cast<TDocumentPane*>(editor->overlay);
  return MakePreviewPane(window, document, url, owner, reuse);
}

Boolean EditorPaneIsPreviewPane(TPane* pane) { return IsPreviewPane(pane); }
