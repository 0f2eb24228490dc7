#include "TDocumentUnit.h"

#include <cstring>
#include <vector>

#include "MacMemory.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "TDocumentTabsUnit.h"
#include "TFileStreamUnit.h"
#include "TViewUnit.h"
#include "WASTE.h"

const Str63 kUntitledDocumentName("(Untitled)");
const Str255 kDefaultDocumentFont("Andale Mono");

void TDocument::Create(const FSRef& ref) {
  SetClassString("TDocument");
  name = FSGetDisplayName(ref);
  file = ref;
  modified = false;
  encoding = 0;
  fontName = kDefaultDocumentFont;
  fontSize = kDefaultDocumentFontSize;
  // The comparison is exact: "RTF" in capitals is plain text.
  fileType = FSGetExtension(ref) == "rtf" ? OSType('RTF ') : OSType('TEXT');
}

void TDocument::CreateEmpty() {
  SetClassString("TDocument");
  name = kUntitledDocumentName;
  encoding = 0;
  fontName = kDefaultDocumentFont;
  fontSize = kDefaultDocumentFontSize;
  fileType = 'TEXT';
}

SInt32 TDocument::Open() {
  SetModifiedState(false);
  diskStamp = FileStampOf(file);
  return noErr;
}

SInt32 TDocument::Save() {
  SetModifiedState(false);
  ConvertLineEndings();
  diskStamp = FileStampOf(file);
  return noErr;
}

namespace {

constexpr UInt8 kCR = 13;
constexpr UInt8 kLF = 10;

// Every CR, LF and CR LF pair becomes one CR LF pair.
std::vector<UInt8> ToPairs(const UInt8* bytes, size_t count) {
  std::vector<UInt8> out;
  out.reserve(count + count / 16);
  for (size_t i = 0; i < count; ++i) {
    const UInt8 c = bytes[i];
    if (c == kCR || c == kLF) {
      out.push_back(kCR);
      out.push_back(kLF);
      if (c == kCR && i + 1 < count && bytes[i + 1] == kLF) ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Writes the bytes over the file at once (a temporary file beside it,
// renamed over it): the original's bytes stay whole until the new ones are
// complete, and the file keeps its mode.
OSStatus ReplaceFileContents(const FSRef& file, const std::vector<UInt8>& bytes) {
  return FSRefWriteFileAtomically(&file, bytes.data(), bytes.size());
}

}  // namespace

void TDocument::ConvertLineEndings() {
  if (lineEndings.empty()) return;
  const bool pairs = lineEndings.len() >= 2 && lineEndings[1] == kCR && lineEndings[2] == kLF;
  auto* stream = new TFileStream();
  Err = stream->Open(file);
  if (Err != noErr) {
    stream->Close();
    return;
  }
  // The file as written, then the same bytes with the document's endings.
  Ptr raw = stream->ReadBytes();
  if (raw == nullptr) {
    stream->Close();
    return;
  }
  const size_t size = size_t(GetPtrSize(raw));
  const std::vector<UInt8> before(reinterpret_cast<UInt8*>(raw), reinterpret_cast<UInt8*>(raw) + size);
  std::vector<UInt8> after;
  if (pairs) {
    after = ToPairs(before.data(), before.size());
  } else {
    stream->SetLineEndings(lineEndings);
    Ptr converted = stream->ReadBytes();
    if (converted != nullptr)
      after.assign(reinterpret_cast<UInt8*>(converted), reinterpret_cast<UInt8*>(converted) + GetPtrSize(converted));
    else
      after = before;
  }
  stream->Close();
  if (after != before) Err = ReplaceFileContents(file, after);
}

void TDocument::SetOwner(TView* view) { owner = view; }

void TDocument::SetModifiedState(Boolean flag) {
  modified = flag;
  if (owner == nullptr) return;
  if (WindowRef window = owner->GetViewOwner())
    SendHICommand(GetWindowEventTarget(window), kHICommandUpdateModifiedState);
}

void TDocument::SetFont(SInt16 family, SInt16 size) {
  Str255 family_name;
  Err = FMGetFontFamilyName(family, family_name.data()) ? OSStatus(noErr) : OSStatus(paramErr);
  if (Err == noErr) fontName = family_name;
  fontSize = size;
}

void TDocument::SetEncoding(UInt32 textEncoding) { encoding = textEncoding; }

void TDocument::SetLineEndings(const Str15& endings) { lineEndings = endings; }

void TDocument::Release() {
  // No pane that shows it may lead back to it.
  TDocumentPane::DocumentGone(this);
  Free();
}
