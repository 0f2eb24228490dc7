#include "TWASTEDocumentUnit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "CFString.h"
#include "Dialogs.h"
#include "HIView.h"
#include "LargeBlocks.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TViewUnit.h"
#include "TWASTEPaneUnit.h"
#include "TWASTEViewUnit.h"
#include "fenwicket/Fenwicket.h"

namespace {

constexpr TextEncoding kUnicodeEncoding = 256;
constexpr char16_t kCR = 13;
constexpr char16_t kLF = 10;

// The view of the instance, for switching its change reports.
HIViewRef ViewOf(WEReference controller) {
  return controller != nullptr ? WasteGetControllerView(controller) : nullptr;
}

// A change of the text that no one should hear of or undo: a load.
class QuietEdit {
 public:
  explicit QuietEdit(WEReference we) : we_(we), view_(ViewOf(we)) {
    undo_ = WEFeatureFlag(weFUndo, weBitClear, we_);
    redraw_ = WEFeatureFlag(weFInhibitRedraw, weBitSet, we_);
    if (view_ != nullptr) WasteSetFluxState(view_, false);
  }
  ~QuietEdit() {
    if (view_ != nullptr) WasteSetFluxState(view_, true);
    if (undo_ == 1) WEFeatureFlag(weFUndo, weBitSet, we_);
    if (redraw_ == 0) WEFeatureFlag(weFInhibitRedraw, weBitClear, we_);
    if (view_ != nullptr) {
      WasteUpdateView(view_);
      HIViewSetNeedsDisplay(view_, true);
    }
  }

 private:
  WEReference we_;
  HIViewRef view_;
  SInt16 undo_ = 0;
  SInt16 redraw_ = 0;
};

UniChar MacRomanUnit(UInt8 byte) {
  static UniChar table[256] = {0};
  static bool made = false;
  if (!made) {
    for (int i = 0; i < 256; ++i) table[i] = UniChar(i);
    UInt8 high[128];
    for (int i = 0; i < 128; ++i) high[i] = UInt8(128 + i);
    if (CFStringRef s = CFStringCreateWithBytes(nullptr, high, 128, kCFStringEncodingMacRoman, false)) {
      if (CFStringGetLength(s) == 128) CFStringGetCharacters(s, CFRangeMake(0, 128), table + 128);
      CFRelease(s);
    }
    made = true;
  }
  return table[byte];
}

bool IsWideEncoding(UInt32 e) {
  switch (e) {
    case kCFStringEncodingUTF16:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE:
    case kCFStringEncodingUTF32:
    case kCFStringEncodingUTF32BE:
    case kCFStringEncodingUTF32LE:
      return true;
  }
  return false;
}

size_t UnitSize(UInt32 e) {
  return e == kCFStringEncodingUTF32 || e == kCFStringEncodingUTF32BE || e == kCFStringEncodingUTF32LE ? 4 : 2;
}

// Length of the UTF-8 sequence a lead byte starts; 0 for a byte that starts none.
int SequenceLength(UInt8 b) {
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

// The code point of a complete sequence, or -1 when it is not valid UTF-8.
SInt32 DecodeSequence(const UInt8* s, int n) {
  for (int i = 1; i < n; ++i)
    if ((s[i] & 0xC0) != 0x80) return -1;
  UInt32 cp = 0;
  switch (n) {
    case 1: return s[0];
    case 2: cp = UInt32(s[0] & 0x1F) << 6 | (s[1] & 0x3F); return cp >= 0x80 ? SInt32(cp) : -1;
    case 3:
      cp = UInt32(s[0] & 0x0F) << 12 | UInt32(s[1] & 0x3F) << 6 | (s[2] & 0x3F);
      return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? SInt32(cp) : -1;
    case 4:
      cp = UInt32(s[0] & 0x07) << 18 | UInt32(s[1] & 0x3F) << 12 | UInt32(s[2] & 0x3F) << 6 | (s[3] & 0x3F);
      return cp >= 0x10000 && cp <= 0x10FFFF ? SInt32(cp) : -1;
  }
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// TWASTEFile

void TWASTEFile::PutUnit(char16_t unit, std::u16string& out) {
  if (firstEnding_ == 4) firstEnding_ = unit == kLF ? 3 : 1;
  if (unit == kLF) {
    if (firstEnding_ == 0) firstEnding_ = 2;
    if (!afterCR_) out.push_back(kCR);
    afterCR_ = false;
    return;
  }
  if (unit == kCR && firstEnding_ == 0) firstEnding_ = 4;
  afterCR_ = unit == kCR;
  out.push_back(unit);
}

void TWASTEFile::Decode(const UInt8* bytes, size_t count, bool last, std::u16string& out) {
  std::string data = pending_;
  data.append(reinterpret_cast<const char*>(bytes), count);
  pending_.clear();
  const auto* b = reinterpret_cast<const UInt8*>(data.data());
  size_t n = data.size(), i = 0;
  const UInt32 encoding = document->encoding;
  if (encoding == 0 || encoding == kCFStringEncodingUTF8) {
    if (!started_ && n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) i = 3;
    if (!started_ && n < 3 && !last) {
      pending_ = data;  // too short to tell a byte-order mark yet
      return;
    }
    started_ = true;
    while (i < n) {
      const int length = SequenceLength(b[i]);
      if (length > 1 && i + size_t(length) > n && !last) {
        // Cut by the chunk: completed by the next one when it is whole so far.
        bool whole = true;
        for (size_t k = i + 1; k < n; ++k) whole = whole && (b[k] & 0xC0) == 0x80;
        if (whole) {
          pending_.assign(reinterpret_cast<const char*>(b + i), n - i);
          return;
        }
      }
      const SInt32 cp = length > 0 && i + size_t(length) <= n ? DecodeSequence(b + i, length) : -1;
      if (cp < 0) {
        // Not UTF-8: shown as Mac Roman for now; the reader at the end decides.
        sawInvalid_ = true;
        PutUnit(MacRomanUnit(b[i]), out);
        ++i;
      } else if (cp >= 0x10000) {
        PutUnit(char16_t(0xD800 + ((cp - 0x10000) >> 10)), out);
        PutUnit(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)), out);
        i += size_t(length);
      } else {
        PutUnit(char16_t(cp), out);
        i += size_t(length);
      }
    }
    return;
  }
  UInt32 unitEncoding = encoding;
  if (IsWideEncoding(encoding)) {
    if (!started_) {
      if (n < 4 && !last) {
        pending_ = data;
        return;
      }
      started_ = true;
      unitEncoding_ = encoding;
      // A byte-order mark chooses the order of the plain forms.
      if (encoding == kCFStringEncodingUTF16 && n >= 2) {
        unitEncoding_ = b[0] == 0xFF && b[1] == 0xFE ? kCFStringEncodingUTF16LE : kCFStringEncodingUTF16BE;
        if ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)) i = 2;
      } else if (encoding == kCFStringEncodingUTF32 && n >= 4) {
        const bool le = b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0;
        const bool be = b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF;
        unitEncoding_ = le ? kCFStringEncodingUTF32LE : kCFStringEncodingUTF32BE;
        if (le || be) i = 4;
      }
    }
    unitEncoding = unitEncoding_;
    const size_t unit = UnitSize(unitEncoding);
    const size_t whole = i + (n - i) / unit * unit;
    if (whole < n && !last) pending_.assign(reinterpret_cast<const char*>(b + whole), n - whole);
    n = whole;
  }
  started_ = true;
  if (n <= i) return;
  CFStringRef text = CFStringCreateWithBytes(nullptr, b + i, CFIndex(n - i), unitEncoding, false);
  if (text == nullptr) {
    // Bytes the named encoding cannot read still reach the text.
    sawInvalid_ = true;
    for (size_t k = i; k < n; ++k) PutUnit(MacRomanUnit(b[k]), out);
    return;
  }
  const CFIndex length = CFStringGetLength(text);
  std::u16string units(size_t(length), u'\0');
  CFStringGetCharacters(text, CFRangeMake(0, length), reinterpret_cast<UniChar*>(units.data()));
  CFRelease(text);
  for (char16_t u : units) PutUnit(u, out);
}

void TWASTEFile::GotChunk(Ptr data, SInt32 length) {
  TWASTEDocument* doc = document;
  if (doc == nullptr) return;
  Boolean keep = true;
  if (doc->owner != nullptr) keep = doc->owner->ValidObject();
  if (!keep) {
    // The view is gone: the read ends. At the end of the file the stream
    // closes itself once this returns.
    doc->stream = nullptr;
    document = nullptr;
    if (length > 0) Close();
    return;
  }
  if (length > 0) read_.append(reinterpret_cast<const char*>(data), size_t(length));
  std::u16string text;
  Decode(reinterpret_cast<const UInt8*>(data), length > 0 ? size_t(length) : 0, length <= 0, text);
  WEReference we = doc->controller;
  if (we != nullptr && !text.empty()) {
    QuietEdit quiet(we);
    const SInt32 end = WEGetTextLength(we);
    Err = WEPut(end, end, text.data(), text.size() * 2, kUnicodeEncoding, wePutAddToTypingSequence, 0, nullptr, nullptr,
                we);
  }
  if (length > 0) {
    doc->SetModifiedState(false);
    return;
  }
  // The end of the file: what was shown as it came is what the one reader
  // of text files makes of the whole (which may be another encoding), and
  // the text holds nothing to undo and nothing changed.
  std::string whole;
  whole.swap(read_);
  doc->stream = nullptr;
  document = nullptr;
  doc->TakeText(reinterpret_cast<const UInt8*>(whole.data()), whole.size());
  doc->Loaded();
}

// ---------------------------------------------------------------------------
// TWASTEDocument

UInt32 TWASTEDocument::FileEncoding() const { return format.encoding; }

void TWASTEDocument::SetEncoding(UInt32 textEncoding) {
  TDocument::SetEncoding(textEncoding);
  encodingSet = true;
}

void TWASTEDocument::TakeText(const UInt8* bytes, size_t count) {
  std::vector<UniChar> text;
  WETextFileFormat found;
  // Mac Roman's number is 0, as is an encoding that was never set.
  const TextEncoding hint = encodingSet || encoding != 0 ? encoding : UInt32(kCFStringEncodingUTF8);
  if (WEReadTextFile(bytes, count, hint, &text, &found) != noErr) return;
  format = found;
  toldOfLineEndings = false;
  static const char* const kEndings[] = {"", "\r", "\n", "\r\n"};
  SetLineEndings(kEndings[format.endOfLine & weEndOfLineMask]);
  readOnly = format.notText;
  WEReference we = controller;
  if (we == nullptr) return;
  const SInt32 length = WEGetTextLength(we);
  bool same = size_t(length) == text.size();
  if (same && length > 0) {
    Handle shown = NewHandle(0);
    WEStreamRange(0, length, 'utxt', 0, shown, we);
    same = shown != nullptr && size_t(GetHandleSize(shown)) == text.size() * sizeof(UniChar) &&
           std::memcmp(*shown, text.data(), text.size() * sizeof(UniChar)) == 0;
    if (shown != nullptr) DisposeHandle(shown);
  }
  if (!same) {
    QuietEdit quiet(we);
    WESetSelection(0, length, we);
    Err = WEPut(0, length, text.data(), text.size() * sizeof(UniChar), kUnicodeEncoding, 0, 0, nullptr, nullptr, we);
  }
  const UInt32 ending = format.endOfLine;
  WESetInfo(weEndOfLineInfo, &ending, we);
  WEFeatureFlag(weFReadOnly, readOnly ? weBitSet : weBitClear, we);
  // The caret stays where the text put in left it: past its end.
  const SInt32 end = WEGetTextLength(we);
  WESetSelection(end, end, we);
  WEResetModCount(we);
  SetModifiedState(false);
  if (readOnly) {
    UserNotificationDialog(Str255("\"") + name +
                           "\" is not a text file. It is shown read-only, and saving never writes it.");
  }
}

namespace {

OSStatus ReadWholeFile(const FSRef& file, std::string& bytes) {
  UInt8 path[4096];
  const OSStatus status = FSRefMakePath(&file, path, sizeof path);
  if (status != noErr) return status;
  const int fd = open(reinterpret_cast<const char*>(path), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == EACCES ? OSStatus(permErr) : OSStatus(fnfErr);
  // Room for the whole file at once: a large file grown piece by piece is
  // copied over again each time the string outgrows its room.
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_size > 0) {
    bytes.reserve(size_t(info.st_size));
    AdviseLargeBlock(bytes.data(), bytes.capacity());
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return ioErr;
    }
    if (n == 0) break;
    bytes.append(buffer, size_t(n));
  }
  close(fd);
  return noErr;
}

}  // namespace

OSStatus TWASTEDocument::ReadText() {
  std::string bytes;
  // The file as it was when read: a save asks before writing over a later change.
  const TFileStamp stamp = FileStampOf(file);
  const OSStatus status = ReadWholeFile(file, bytes);
  if (status != noErr) {
    // An empty text saved over a file that could not be read would wipe it.
    readOnly = true;
    if (controller != nullptr) WEFeatureFlag(weFReadOnly, weBitSet, controller);
    UserNotificationDialog(Str255("\"") + name + "\" could not be read" +
                           (status == permErr ? Str255(": you do not have permission to read it.") : Str255(".")));
    return status;
  }
  TakeText(reinterpret_cast<const UInt8*>(bytes.data()), bytes.size());
  diskStamp = stamp;
  return noErr;
}

std::string TWASTEDocument::FormatName() const {
  std::string out;
  switch (format.encoding) {
    case kCFStringEncodingUTF8: out = "UTF-8"; break;
    case kCFStringEncodingUTF16LE: out = "UTF-16 LE"; break;
    case kCFStringEncodingUTF16BE: out = "UTF-16 BE"; break;
    case kCFStringEncodingUTF32LE: out = "UTF-32 LE"; break;
    case kCFStringEncodingUTF32BE: out = "UTF-32 BE"; break;
    case kCFStringEncodingWindowsLatin1: out = "Windows Latin 1"; break;
    case kCFStringEncodingISOLatin1: out = "ISO Latin 1"; break;
    case kCFStringEncodingMacRoman: out = "Mac Roman"; break;
    default: out = "Encoding " + std::to_string(format.encoding); break;
  }
  if (format.byteOrderMark) out += " with BOM";
  static const char* const kNames[] = {"", "CR", "LF", "CRLF"};
  out += ", ";
  out += kNames[format.endOfLine & weEndOfLineMask];
  if (readOnly) out += ", read-only";
  return out;
}

void TWASTEDocument::StopReading() {
  if (stream == nullptr) return;
  TWASTEFile* reading = stream;
  stream = nullptr;
  reading->document = nullptr;
  reading->Close();
}

SInt32 TWASTEDocument::Open() {
  StopReading();  // a revert during a read starts afresh
  TDocument::Open();
  if (controller == nullptr) return noErr;
  const FMFontFamily family = FMGetFontFamilyFromName(fontName.data());
  const Fixed points = Fixed(SInt32(fontSize) << 16);
  // The engine's style is the one text put afterwards takes (there is no
  // current port font to set here).
  Err = WESetOneAttribute(0, 0, 'font', &family, sizeof family, controller);
  Err = WESetOneAttribute(0, 0, 'ptsz', &points, sizeof points, controller);
  if (fileType != 'RTF ') {
    {
      QuietEdit quiet(controller);
      WESetSelection(0, WEGetTextLength(controller), controller);
      Err = WEDelete(controller);
    }
    auto* file = new TWASTEFile();
    file->document = this;
    stream = file;
    file->OpenAsynch(this->file);
    if (file->fTimer == nullptr) {
      // Nothing will be read: the file could not be opened.
      const OSStatus status = Err != noErr ? Err : OSStatus(ioErr);
      StopReading();
      return status;
    }
    return noErr;
  }
  OSStatus status;
  {
    QuietEdit quiet(controller);
    WESetSelection(0, WEGetTextLength(controller), controller);
    Err = WEDelete(controller);
    status = WELoad(0, WEGetTextLength(controller), &file, fileType, encoding, 0, controller);
  }
  Err = status;
  WESetSelection(0, 0, controller);
  WEResetModCount(controller);
  Loaded();
  SetModifiedState(false);
  return status;
}

namespace {

// The line ending the document is set to write, as WESave's options.
UInt32 EndOfLineOption(const Str15& endings, UInt32 read) {
  if (endings.empty()) return read;
  if (endings.len() >= 2 && endings[1] == kCR && endings[2] == kLF) return weEndOfLineCRLF;
  return endings[1] == kCR ? weEndOfLineCR : weEndOfLineLF;
}

const char* EndingName(UInt32 ending) {
  switch (ending) {
    case weEndOfLineCR: return "CR (classic Mac)";
    case weEndOfLineCRLF: return "CR LF (Windows)";
    default: return "LF (Unix)";
  }
}

}  // namespace

SInt32 TWASTEDocument::Save() {
  if (controller == nullptr) return paramErr;
  // A file that is not text is never written: unchanged, there is nothing to save.
  if (readOnly) return modified ? OSStatus(wrPermErr) : OSStatus(noErr);
  const UInt32 ending = EndOfLineOption(lineEndings, format.endOfLine);
  if (format.mixedLineEndings && !toldOfLineEndings) {
    toldOfLineEndings = true;
    UserNotificationDialog(Str255("\"") + name + "\" has mixed line endings. It is saved with " +
                           EndingName(ending) + " line endings throughout.");
  }
  OptionBits options = ending;
  if (format.byteOrderMark) options |= weSaveByteOrderMark;
  OSStatus status = WESave(0, WEGetTextLength(controller), &file, fileType, FileEncoding(), options, controller);
  if (status == kTECUnmappableElementErr && fileType != 'RTF ') {
    // Never a silent substitution: the user chooses UTF-8, or nothing is written.
    AlertStdAlertParamRec param{};
    const Str255 saveText("Save as UTF-8");
    param.defaultText = saveText.data();
    param.cancelText = kAlertDefaultCancelText;
    param.defaultButton = kAlertStdAlertOKButton;
    param.cancelButton = kAlertStdAlertCancelButton;
    param.position = kWindowDefaultPosition;
    const std::string encodingName = FormatName().substr(0, FormatName().find(','));
    const Str255 question = Str255("Some characters of \"") + name + "\" cannot be written in " +
                            Str255(encodingName) + ".";
    const Str255 explanation("Save it as UTF-8, which holds every character, or cancel and leave the file as it is.");
    SInt16 hit = 0;
    StandardAlert(kAlertCautionAlert, question.data(), explanation.data(), &param, &hit);
    if (hit != kAlertStdAlertOKButton) return userCanceledErr;
    format.encoding = kCFStringEncodingUTF8;
    format.byteOrderMark = false;
    options = ending;
    status = WESave(0, WEGetTextLength(controller), &file, fileType, FileEncoding(), options, controller);
  }
  if (status == eofErr) status = noErr;
  Err = status;
  if (status != noErr) return status;  // still modified: nothing was saved
  // The engine wrote the line endings and the encoding: the file needs no
  // rewrite of its endings afterwards.
  format.mixedLineEndings = false;
  SetModifiedState(false);
  // The file as written, so that the next save notices only another program's change.
  diskStamp = FileStampOf(file);
  return status;
}

void TWASTEDocument::SetModifiedState(Boolean flag) {
  if (!flag && controller != nullptr) WEResetModCount(controller);
  TDocument::SetModifiedState(flag);
}

void TWASTEDocument::ControllerGone(WEReference gone) {
  if (gone == nullptr || controller != gone) return;
  StopReading();
  controller = nullptr;
}

void TWASTEDocument::Release() {
  StopReading();
  // Nothing that shows the text may lead back to a freed document.
  if (HIViewRef view = ViewOf(controller))
    if (auto* object = dynamic_cast<TWASTEView*>(GetControlObject(view)); object && object->document == this)
      object->document = nullptr;
  if (auto* pane = dynamic_cast<THIWASTEPane*>(owner); pane != nullptr && pane->document == this)
    pane->document = nullptr;
  controller = nullptr;
  TDocument::Release();
}
