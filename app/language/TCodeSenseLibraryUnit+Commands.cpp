// TCodeSenseLibraryUnit: running commands. The key filter and the change
// callback of the text views, the inline command around the insertion point,
// the expansion of a command's text, its shell command line, and the
// delivery of the result.
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CFBundle.h"
#include "CFURL.h"
#include "LSInfo.h"
#include "LaunchServices.h"
#include "MacHelp.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TCodeSenseLibraryUnit+Internal.h"
#include "TCodeSenseLibraryUnit.h"
#include "UnixCommon.h"
#include "fenwicket/Fenwicket.h"

using namespace codesense;

namespace {

// ---------------------------------------------------------------------------
// The typing helpers and their shared state

CodeSenseTypingHelpers gHelpers = {};
UInt32 gKeyCode = 0;
UInt32 gKeyModifiers = 0;
Boolean gDisableFlux = false;

UInt32& KeyCode() { return gHelpers.CurrentKeyCode ? *gHelpers.CurrentKeyCode : gKeyCode; }
UInt32& KeyModifiers() { return gHelpers.CurrentKeyModifiers ? *gHelpers.CurrentKeyModifiers : gKeyModifiers; }
Boolean& DisableFlux() { return gHelpers.DisableFlux ? *gHelpers.DisableFlux : gDisableFlux; }

// ---------------------------------------------------------------------------
// Small helpers

struct Owned {
  CFTypeRef cf;
  explicit Owned(CFTypeRef ref = nullptr) : cf(ref) {}
  ~Owned() {
    if (cf) CFRelease(cf);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  CFStringRef str() const { return static_cast<CFStringRef>(cf); }
};

bool IsWordChar(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

CFStringRef StringValue(CFDictionaryRef dictionary, const char* key) {
  CFTypeRef value = CFDictionaryGetValue(dictionary, CFStringMakeConstantUTF8(key));
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() ? static_cast<CFStringRef>(value) : nullptr;
}

Boolean Equals(CFStringRef a, const char* b) {
  return a != nullptr && CFStringCompare(a, CFStringMakeConstantUTF8(b), 0) == kCFCompareEqualTo;
}

// At most n UTF-16 units, never half a pair.
std::u16string Cut(std::u16string s, size_t n) {
  if (s.size() <= n) return s;
  if (n > 0 && s[n - 1] >= 0xD800 && s[n - 1] < 0xDC00) --n;
  return s.substr(0, n);
}

std::u16string TextRange(WEReference we, SInt32 start, SInt32 end) {
  std::u16string out;
  if (we == nullptr || end <= start) return out;
  Handle h = NewHandle(0);
  if (h == nullptr) return out;
  if (WEStreamRange(start, end, 'utxt', 0, h, we) == noErr)
    out.assign(reinterpret_cast<const char16_t*>(*h), size_t(GetHandleSize(h)) / sizeof(char16_t));
  DisposeHandle(h);
  return out;
}

std::u16string FromPath(const std::string& path) {
  Owned cf(CFStringCreateWithFileSystemRepresentation(nullptr, path.c_str()));
  return ToUTF16(cf.str());
}

std::vector<std::u16string> ArgumentList(CFArrayRef arguments) {
  std::vector<std::u16string> list;
  if (arguments == nullptr) return list;
  for (CFIndex i = 0; i < CFArrayGetCount(arguments); ++i) {
    CFTypeRef value = CFArrayGetValueAtIndex(arguments, i);
    list.push_back(value != nullptr && CFGetTypeID(value) == CFStringGetTypeID()
                       ? ToUTF16(static_cast<CFStringRef>(value))
                       : std::u16string());
  }
  return list;
}

// The values "$" + name stands for: the support folder, the document's name
// and path, then the variables in their order.
std::vector<NamedValue> Variables(TCodeSenseLibrary* library) {
  std::vector<NamedValue> list;
  if (CFURLRef url = CFBundleCopySharedSupportURL(CFBundleGetMainBundle())) {
    char path[PATH_MAX + 1] = {0};
    struct stat info;
    if (CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(path), sizeof path) &&
        stat(path, &info) == 0)
      list.push_back({u"SUPPORT", FromPath(path), "QUORVEL_SUPPORT"});
    CFRelease(url);
  }
  FSRef document = {};
  ByteCount size = 0;
  if (library->controller != nullptr &&
      WEGetProperty(kCodeSensePropertyCreator, kCodeSenseDocumentTag, sizeof document, &size, &document,
                    library->controller) == noErr &&
      size == sizeof document && FSRefExists(document)) {
    CFStringRef name = nullptr;
    if (LSCopyDisplayNameForRef(&document, &name) == noErr && name != nullptr) {
      list.push_back({u"FILE", ToUTF16(name), "QUORVEL_FILE"});
      CFRelease(name);
    }
    char path[PATH_MAX + 1] = {0};
    if (FSRefMakePath(&document, reinterpret_cast<UInt8*>(path), sizeof path) == noErr)
      list.push_back({u"PATH", FromPath(path), "QUORVEL_PATH"});
  }
  if (library->variables != nullptr) {
    const CFIndex count = CFDictionaryGetCount(library->variables);
    std::vector<const void*> keys(size_t(std::max<CFIndex>(count, 0))), values(keys.size());
    CFDictionaryGetKeysAndValues(library->variables, keys.data(), values.data());
    for (size_t i = 0; i < keys.size(); ++i) {
      if (keys[i] == nullptr || values[i] == nullptr || CFGetTypeID(keys[i]) != CFStringGetTypeID() ||
          CFGetTypeID(values[i]) != CFStringGetTypeID())
        continue;
      list.push_back({Cut(ToUTF16(static_cast<CFStringRef>(keys[i])), 63),
                      Cut(ToUTF16(static_cast<CFStringRef>(values[i])), 63),
                      "QUORVEL_VARIABLE_" + std::to_string(i + 1)});
    }
  }
  return list;
}

void ReportStopped(const Str255& title, const TCodeSenseLibrary* library, ShellOutcome::Status status) {
  char limit[64];
  if (status == ShellOutcome::kTimedOut)
    std::snprintf(limit, sizeof limit, "it ran longer than %g seconds", library->commandTimeLimit);
  else
    std::snprintf(limit, sizeof limit, "it wrote more than %zu bytes", library->commandOutputLimit);
  UserNotificationDialog(Str255("The command \"") + title + "\" was stopped: " + limit + ".");
}

// Runs text[from, to) as a shell command line; false (reported) when the
// command had to be stopped.
bool RunCommandLine(TCodeSenseLibrary* library, const Str255& title, const std::vector<std::u16string>& arguments,
                    const MacroText& text, size_t from, size_t to, std::u16string* output) {
  std::vector<std::pair<std::string, std::string>> environment;
  const std::string script = ShellCommandLine(text, from, to, environment);
  std::vector<std::string> positional;
  for (const std::u16string& a : arguments) {
    std::string bytes = ToUTF8(a);
    positional.push_back(bytes.substr(0, bytes.find('\0')));
  }
  const ShellOutcome outcome =
      RunShell(script, positional, environment, library->commandTimeLimit, library->commandOutputLimit);
  if (outcome.status == ShellOutcome::kTimedOut || outcome.status == ShellOutcome::kTooMuchOutput) {
    ReportStopped(title, library, outcome.status);
    return false;
  }
  Owned decoded(CreateStringFromProcessOutput(outcome.output));
  *output = ToUTF16(decoded.str());
  return true;
}

SubstitutionRunner Runner(TCodeSenseLibrary* library, const Str255& title,
                          const std::vector<std::u16string>& arguments) {
  return [library, title, arguments](const MacroText& text, size_t from, size_t to, std::u16string* output) {
    return RunCommandLine(library, title, arguments, text, from, to, output);
  };
}

// Line breaks become carriage returns followed by the indentation.
std::u16string Indent(std::u16string text, const std::u16string& indent) {
  std::u16string joined;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')) joined += text[i];
  const char16_t breakChar = joined.find(u'\n') != std::u16string::npos ? u'\n' : u'\r';
  std::u16string out;
  for (char16_t c : joined) {
    if (c == breakChar)
      out += u'\r' + indent;
    else
      out += c;
  }
  return out;
}

// Line feeds and CR LF pairs become the text view's carriage returns.
std::u16string TextViewLines(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    out += text[i] == u'\n' ? u'\r' : text[i];
  }
  return out;
}

std::u16string LineIndent(WEReference we, SInt32 offset) {
  if (we == nullptr) return std::u16string();
  SInt32 start = 0, end = 0;
  WEGetLineRange(WEOffsetToLine(offset, we), &start, &end, we);
  const std::u16string line = TextRange(we, start, end);
  size_t n = 0;
  while (n < line.size() && (line[n] == u' ' || line[n] == u'\t')) ++n;
  return line.substr(0, n);
}

SInt16 DestinationNumber(CFStringRef destination) {
  const char* const names[] = {"default", "popup", "url", "replace", "console", "error list"};
  for (SInt16 i = 0; i < 6; ++i)
    if (Equals(destination, names[i])) return SInt16(i + 1);
  return kMacroOutputDefault;
}

}  // namespace

void CodeSenseSetTypingHelpers(const CodeSenseTypingHelpers* helpers) {
  gHelpers = helpers ? *helpers : CodeSenseTypingHelpers{};
}

// ---------------------------------------------------------------------------
// Registration, the key filter and the change callback

void TCodeSenseLibrary::Register(HIViewRef view, const FSRef& document) {
  WEReference we = WasteGetViewController(view);
  if (we == nullptr) return;
  WESetProperty(kCodeSensePropertyCreator, kCodeSenseDocumentTag, sizeof(FSRef), &document, we);
  WasteCustomCallbacks callbacks = {};
  if (libraries != nullptr) callbacks.TEXTFILTER = CodeSenseTextFilter;
  callbacks.USERFLUX = CodeSenseFluxCallback;
  WasteRegisterCallbackClient(view, callbacks, this);
}

Boolean CodeSenseTextFilter(UInt8 ch, SInt32 offset, UInt32 modifiers, UInt32 keyCode, WEReference controller,
                            void* context) {
  auto* library = static_cast<TCodeSenseLibrary*>(context);
  library->SetController(controller);
  Boolean accept = true;
  KeyCode() = keyCode;
  KeyModifiers() = modifiers;
  const auto key = SInt16(keyCode);
  const CodeSenseTypingHelpers& h = gHelpers;
  if (h.AutoExpandLanguageTags) h.AutoExpandLanguageTags(ch, key, controller, accept);
  if (((h.ValidBracketCharacter && h.ValidBracketCharacter(ch)) ||
       (h.ClosingBracketCharacter && h.ClosingBracketCharacter(ch)) || keyCode == kCodeSenseDeleteKey ||
       keyCode == kCodeSenseReturnKey) &&
      h.AutoCompleteBrackets)
    h.AutoCompleteBrackets(ch, key, controller, accept);
  if (keyCode == kCodeSenseReturnKey && h.AutoCloseTag) h.AutoCloseTag(offset, controller, accept);
  if (modifiers == kCodeSenseOptionModifier && keyCode == kCodeSenseDeleteKey && h.AutoDeleteTag)
    h.AutoDeleteTag(offset, controller, accept);
  if (modifiers == kCodeSenseOptionModifier && keyCode == kCodeSenseReturnKey && h.InsertForwardLineBreak) {
    h.InsertForwardLineBreak(offset, controller);
    accept = false;
  }
  if (keyCode == kCodeSenseTabKey) library->ProcessCommands(offset, accept);
  // A key that does not go in must not make the next change look typed.
  if (!accept) KeyCode() = 0;
  DisableFlux() = false;
  return accept;
}

void CodeSenseFluxCallback(SInt32 offset, SInt32 delta, UInt8 previous, WEReference controller, void* context) {
  if (DisableFlux()) return;
  HIViewRef view = WasteGetControllerView(controller);
  if (view) WasteSetFluxState(view, false);
  // The indentation is an undo step of its own (the helper makes it one);
  // switching undo off here would throw away the text's whole history.
  if (KeyCode() == kCodeSenseReturnKey && gHelpers.AutoIndent) gHelpers.AutoIndent(offset, controller);
  KeyCode() = 0;
  if (view) WasteSetFluxState(view, true);
}

// ---------------------------------------------------------------------------
// The inline command around the insertion point

void TCodeSenseLibrary::ProcessCommands(SInt32 offset, Boolean& handled) {
  WEReference we = controller;
  if (we == nullptr) return;
  SInt32 lineStart = 0, lineEnd = 0;
  WEGetLineRange(WEOffsetToLine(offset, we), &lineStart, &lineEnd, we);
  const std::u16string line = TextRange(we, lineStart, lineEnd);
  const SInt32 caret = offset - lineStart;

  // The bracket pairs of the line that hold the insertion point (a "[" at it
  // and a "]" just before it count). Pairs nest or lie apart: the outermost
  // one wins, and of two that touch at the insertion point the one that ends
  // there, so that "[a] and [b]" never runs as one command.
  std::vector<SInt32> open;
  std::vector<std::pair<SInt32, SInt32>> pairs;
  for (SInt32 i = 0; i < SInt32(line.size()); ++i) {
    const char16_t c = line[size_t(i)];
    if (c == u'\r' || c == u'\n') break;
    if (c == u'[') {
      open.push_back(i);
    } else if (c == u']' && !open.empty()) {
      const SInt32 o = open.back();
      open.pop_back();
      if (o <= caret && i >= caret - 1) pairs.emplace_back(o, i);
    }
  }
  SInt32 bestOpen = -1, bestClose = -1;
  for (const auto& pair : pairs) {
    const SInt32 o = pair.first, c = pair.second;
    const bool inside = std::any_of(pairs.begin(), pairs.end(), [&](const auto& q) { return q.first < o && q.second > c; });
    if (inside) continue;
    if (bestOpen < 0 || c == caret - 1) {
      bestOpen = o;
      bestClose = c;
    }
  }
  if (bestOpen < 0) return;

  std::u16string text = line.substr(size_t(bestOpen), size_t(std::min<SInt32>(bestClose - bestOpen, 255)));
  size_t w = 0;
  while (w < text.size() && !IsWordChar(text[w])) ++w;
  size_t we_ = w;
  while (we_ < text.size() && IsWordChar(text[we_])) ++we_;
  const std::u16string name = text.substr(w, we_ - w);
  while (!text.empty() && text.front() == u'\r') text.erase(0, 1);
  while (!text.empty() && text.back() == u'\r') text.pop_back();
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!text.empty() && blank(text.front())) text.erase(0, 1);
  while (!text.empty() && blank(text.back())) text.pop_back();

  Owned arguments(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
  const size_t paren = text.find(u'(');
  const size_t closeParen = text.rfind(u')');
  const bool hasArguments = paren != std::u16string::npos && closeParen != std::u16string::npos && closeParen > paren;
  if (hasArguments) {
    const std::u16string inside = text.substr(paren + 1, closeParen - paren - 1);
    std::vector<std::u16string> pieces;
    size_t start = 0;
    for (;;) {
      const size_t comma = inside.find(u',', start);
      const std::u16string piece = inside.substr(start, comma == std::u16string::npos ? std::u16string::npos : comma - start);
      if (!piece.empty()) pieces.push_back(piece);
      if (comma == std::u16string::npos) break;
      start = comma + 1;
    }
    if (pieces.size() < 2) pieces.assign(1, inside);
    for (const std::u16string& piece : pieces) {
      Owned value(CreateCFString(piece));
      CFArrayAppendValue(static_cast<CFMutableArrayRef>(const_cast<void*>(arguments.cf)), value.cf);
    }
  }
  // The destination follows the arguments: a ">" inside them is theirs.
  std::u16string destination;
  const size_t arrow = text.rfind(u'>');
  if (arrow != std::u16string::npos && (!hasArguments || arrow > closeParen)) {
    destination = text.substr(arrow + 1);
    while (!destination.empty() && blank(destination.front())) destination.erase(0, 1);
    while (!destination.empty() && blank(destination.back())) destination.pop_back();
  }
  Owned nameString(CreateCFString(name));
  Owned destinationString(CreateCFString(destination));
  ExecuteCommand(Str63(PCFSTR(nameString.str())), Str63(PCFSTR(destinationString.str())),
                 static_cast<CFArrayRef>(arguments.cf), CFRangeMake(lineStart + bestOpen, lineStart + bestClose + 1),
                 handled);
}

// ---------------------------------------------------------------------------
// Running a command

void TCodeSenseLibrary::ExecuteCommand(const Str63& name, const Str63& destination, CFArrayRef arguments,
                                       CFRange range, Boolean& handled) {
  CFDictionaryRef command = FindCommand(name);
  if (command == nullptr) return;
  CFStringRef actionText = StringValue(command, "action");
  const int action = Equals(actionText, "macro") ? 1 : Equals(actionText, "shell") ? 2 : 0;
  SInt16 where = kMacroOutputDefault;
  if (!destination.empty()) {
    Owned given(CFStringCreateWithPascalString(nullptr, destination.data(), kCFStringEncodingMacRoman));
    where = DestinationNumber(given.str());
  } else {
    where = DestinationNumber(StringValue(command, "output"));
  }
  CFStringRef publicName = StringValue(command, "public-name");
  const Str255 title = publicName ? PCFSTR(publicName) : Str255(name);
  if (action == 0) {
    handled = true;
    return;
  }
  handled = false;

  const std::vector<std::u16string> list = ArgumentList(arguments);
  MacroText text(ToUTF16(StringValue(command, "text")));
  codesense::InsertVariables(text, Variables(this));
  if (!codesense::ParseSyntax(text, list, Runner(this, title, list))) return;

  const std::u16string indent = LineIndent(controller, SInt32(range.location));
  std::u16string result;
  if (action == 1) {
    result = Indent(text.chars, indent);
  } else {
    // The command line is run as written, not indented; its output goes into
    // the text with the text view's line breaks.
    if (!RunCommandLine(this, title, list, text, 0, text.size(), &result) || result.empty()) return;
    if (where == kMacroOutputDefault || where == kMacroOutputReplace) result = TextViewLines(result);
  }
  Owned value(CreateCFString(result));
  OutputCommandResults(title, where, range, value.str());
}

void TCodeSenseLibrary::ExecuteCommandWithSelection(const Str63& name) {
  if (controller == nullptr) return;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, controller);
  Owned arguments(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
  if (end > start) {
    Owned selected(CreateCFString(Cut(TextRange(controller, start, end), 255)));
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(const_cast<void*>(arguments.cf)), selected.cf);
  }
  Boolean handled = true;
  ExecuteCommand(name, Str63(), static_cast<CFArrayRef>(arguments.cf), CFRangeMake(start, end), handled);
}

void TCodeSenseLibrary::ExecuteMenuCommand(const HICommand& command) {
  unsigned char bytes[256] = {0};
  ByteCount size = 0;
  if (GetMenuItemProperty(command.menu.menuRef, command.menu.menuItemIndex, 0, 0, sizeof bytes, &size, bytes) !=
      noErr)
    return;
  ExecuteCommandWithSelection(Str63::FromPascal(bytes));
}

void TCodeSenseLibrary::InsertVariables(CFMutableStringRef text, CFArrayRef arguments) {
  if (text == nullptr) return;
  MacroText expanded(ToUTF16(text));
  codesense::InsertVariables(expanded, Variables(this));
  Owned result(CreateCFString(expanded.chars));
  CFStringReplaceAll(text, result.str());
}

void TCodeSenseLibrary::ParseSyntax(TString& text, CFArrayRef arguments) {
  if (text.fText == nullptr) return;
  const std::vector<std::u16string> list = ArgumentList(arguments);
  MacroText expanded(ToUTF16(text.fText));
  codesense::ParseSyntax(expanded, list, Runner(this, Str255(), list));
  Owned result(CreateCFString(expanded.chars));
  CFStringReplaceAll(text.fText, result.str());
}

// ---------------------------------------------------------------------------
// Delivering a result

void TCodeSenseLibrary::OutputCommandResults(const Str255& title, SInt16 destination, CFRange range,
                                             CFStringRef result) {
  if (result == nullptr) return;
  WEReference we = controller;
  HIViewRef view = we ? WasteGetControllerView(we) : nullptr;
  const SInt32 length = we ? WEGetTextLength(we) : 0;
  const SInt32 start = std::clamp<SInt32>(SInt32(range.location), 0, length);
  const SInt32 end = std::clamp<SInt32>(SInt32(range.length), start, length);
  switch (destination) {
    case kMacroOutputPopup: {
      if (we == nullptr) return;
      SInt16 lineHeight = 0;
      const CGPoint point = WEConvertOffsetToScreen(start, lineHeight, we);
      HMHelpContentRec content{};
      content.version = kMacHelpVersion;
      const auto x = SInt16(point.x), y = SInt16(point.y + lineHeight);
      content.absHotRect = Rect{y, x, y, x};
      content.tagSide = kHMDefaultSide;
      content.content[kHMMinimumContentIndex].contentType = kHMCFStringContent;
      content.content[kHMMinimumContentIndex].u.tagCFString = result;
      content.content[kHMMaximumContentIndex].contentType = kHMNoContent;
      HMDisplayTag(&content);
      return;
    }
    case kMacroOutputURL: {
      Owned trimmed(CFStringCreateMutableCopy(nullptr, 0, result));
      CFStringTrimWhitespace(static_cast<CFMutableStringRef>(const_cast<void*>(trimmed.cf)));
      Owned url(CFURLCreateWithString(nullptr, trimmed.str(), nullptr));
      Owned scheme(url.cf ? CFURLCopyScheme(static_cast<CFURLRef>(url.cf)) : nullptr);
      if (url.cf == nullptr || scheme.cf == nullptr) {
        UserNotificationDialog("Invalid URL.");
        return;
      }
      Err = LSOpenCFURLRef(static_cast<CFURLRef>(url.cf), nullptr);
      return;
    }
    case kMacroOutputReplace: {
      if (we == nullptr) return;
      const std::u16string text = ToUTF16(result);
      WEBeginAction(we);
      if (view) WasteSetFluxState(view, false);
      WEPut(0, length, text.data(), text.size() * sizeof(char16_t), kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr,
            we);
      if (view) WasteSetFluxState(view, true);
      WEEndAction(weAKUnspecified, we);
      if (view) SendHICommand(GetControlEventTarget(view), kHICommandRefreshParse);
      return;
    }
    case kMacroOutputConsole:
    case kMacroOutputErrorList:
      SendResultCommand(view ? GetControlEventTarget(view) : nullptr,
                        destination == kMacroOutputConsole ? kHICommandMacroConsole : kHICommandMacroErrorList, title,
                        result);
      return;
    default: {
      if (we == nullptr) return;
      const std::u16string text = ToUTF16(result);
      WEBeginAction(we);
      WEPut(start, end, text.data(), text.size() * sizeof(char16_t), kTextEncodingUnicodeDefault, 0, 0, nullptr,
            nullptr, we);
      const size_t cursor = text.find(u"$CURSOR");
      if (cursor != std::u16string::npos) {
        WESetSelection(start + SInt32(cursor), start + SInt32(cursor) + 7, we);
        WEDelete(we);
      }
      WEEndAction(weAKUnspecified, we);
      return;
    }
  }
}

OSStatus SendResultCommand(EventTargetRef target, UInt32 command, const Str255& title, CFStringRef text) {
  EventRef event = nullptr;
  OSStatus status = CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  if (status != noErr) return status;
  HICommand record{};
  record.commandID = command;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof record, &record);
  CFStringRef handed = text ? static_cast<CFStringRef>(CFRetain(text)) : CFStringCreateWithCString(nullptr, "", 0);
  SetEventParameter(event, kEventParamMacroResult, typeCFStringRef, sizeof handed, &handed);
  unsigned char name[256] = {0};
  std::memcpy(name, title.data(), size_t(title.len()) + 1);
  SetEventParameter(event, kEventParamMacroTitle, typeMacroTitle, sizeof name, name);
  status = target ? SendEventToEventTarget(event, target) : OSStatus(eventNotHandledErr);
  // Nobody took the text over.
  if (status == eventNotHandledErr) CFRelease(handed);
  ReleaseEvent(event);
  return status;
}
