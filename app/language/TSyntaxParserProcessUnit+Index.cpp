// The scan engine's calls into the project symbol index and its symbol
// tables, kept in one place.
#include "CFArray.h"
#include "CFString.h"
#include "TFileSystemUnit.h"
#include "TSyntaxParserProcessUnit+Internal.h"

namespace SyntaxScan {

Str63 IndexGetFileKey(TFileSystem* index, const FSRef& file) {
  return index != nullptr ? index->GetFileKey(file) : Str63();
}

FileDescriptorPtr IndexGetDescriptor(TFileSystem* index, const Str63& fileName) {
  return index != nullptr ? index->GetDescriptor(fileName) : nullptr;
}

FileDescriptorPtr IndexAddDescriptor(TFileSystem* index, const Str63& fileName) {
  return index != nullptr ? index->Add(fileName, Str255()) : nullptr;
}

Str255 IndexGetDescriptorDate(FileDescriptorPtr descriptor) {
  return descriptor != nullptr ? descriptor->modifiedDate : Str255();
}

void IndexSetDescriptorDate(FileDescriptorPtr descriptor, const Str255& date) {
  if (descriptor != nullptr) descriptor->modifiedDate = date;
}

Str63 IndexGetDescriptorName(FileDescriptorPtr descriptor) {
  return descriptor != nullptr ? descriptor->fileName : Str63();
}

void IndexCleanFile(TFileSystem* index, const Str63& fileName) {
  if (index != nullptr) index->CleanFile(fileName);
}

void IndexAppendHeaders(FileDescriptorPtr to, FileDescriptorPtr from) {
  if (to == nullptr || from == nullptr || to == from || to->headers == nullptr || from->headers == nullptr) return;
  const CFIndex count = CFArrayGetCount(from->headers);
  for (CFIndex i = 0; i < count; ++i) CFArrayAppendValue(to->headers, CFArrayGetValueAtIndex(from->headers, i));
}

void IndexAppendHeader(FileDescriptorPtr descriptor, const Str255& name) {
  if (descriptor == nullptr || descriptor->headers == nullptr || name.empty()) return;
  CFStringRef text = CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
  if (text == nullptr) return;
  CFArrayAppendValue(descriptor->headers, text);
  CFRelease(text);
}

SymbolInfoPtr IndexGetSymbol(TFileSystem* index, std::string_view name) {
  if (index == nullptr || name.empty() || name.size() > 63) return nullptr;
  return index->FindSymbol(name);
}

SymbolInfoPtr IndexAddSymbol(TFileSystem* index, FileDescriptorPtr descriptor, const Str63& name,
                             const Str63& parentName, const SyntaxStandardData& definition) {
  if (index == nullptr || descriptor == nullptr || descriptor->symbolTable == nullptr) return nullptr;
  SymbolInfoPtr symbol = descriptor->symbolTable->Add(name, parentName, descriptor->fileName, definition);
  if (symbol != nullptr) index->AddSymbol(symbol);
  return symbol;
}

SInt16 SymbolGetStyleIndex(SymbolInfoPtr symbol) { return symbol != nullptr ? symbol->styleIndex : 0; }

Str63 SymbolGetFileName(SymbolInfoPtr symbol) { return symbol != nullptr ? symbol->fileName : Str63(); }

void SymbolSetSource(SymbolInfoPtr symbol, const Str255& text) {
  if (symbol != nullptr) symbol->source = SymbolSource(text);
}

}  // namespace SyntaxScan
