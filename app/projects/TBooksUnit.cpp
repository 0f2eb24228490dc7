#include "TBooksUnit.h"

#include <algorithm>
#include <cstring>

#include <sys/wait.h>
#include <unistd.h>

#include "CFArray.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "GNURegex.h"
#include "PascalCarbonCommon.h"

namespace {

std::string UTF8(CFStringRef s) {
  if (s == nullptr) return std::string();
  CFIndex length = CFStringGetLength(s);
  CFIndex size = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8) + 1;
  std::string out(size_t(size), '\0');
  if (!CFStringGetCString(s, out.data(), size, kCFStringEncodingUTF8)) return std::string();
  out.resize(strlen(out.c_str()));
  return out;
}

std::string PathOf(const FSRef& ref) {
  UInt8 path[4096];
  if (FSRefMakePath(&ref, path, sizeof path) != noErr) return std::string();
  return reinterpret_cast<const char*>(path);
}

// The file name without its extension.
std::string DisplayName(const FSRef& file) {
  std::string path = PathOf(file);
  std::string name = path.substr(path.find_last_of('/') + 1);
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string StringAt(TPropertyList& list, const char* key) {
  CFTypeRef value = list.GetValue(Str255(key));
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return std::string();
  return UTF8(static_cast<CFStringRef>(value));
}

void AppendEntries(TPropertyList& list, const char* key, const std::string& prefix, ArgvType& words) {
  CFTypeRef value = list.GetValue(Str255(key));
  if (value == nullptr || CFGetTypeID(value) != CFArrayGetTypeID()) return;
  auto array = static_cast<CFArrayRef>(value);
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
    CFTypeRef entry = CFArrayGetValueAtIndex(array, i);
    std::string text = entry != nullptr && CFGetTypeID(entry) == CFStringGetTypeID()
                           ? UTF8(static_cast<CFStringRef>(entry))
                           : std::string();
    words.push_back(prefix + std::to_string(i) + "=" + text);
  }
}

// Group g of the last match of handle, taken from the whole line.
std::string Group(const RegExType& handle, const std::string& line, SInt16 g) {
  SInt16 start = 0, length = 0;
  GetMatchRegEx(handle, g, start, length);
  if (start <= 0 || size_t(start - 1) > line.size()) return std::string();
  return line.substr(size_t(start - 1), size_t(length));
}

// Matches the pattern against the whole line; the groups, or false.
bool Match(const char* pattern, const std::string& line, int groups, std::vector<std::string>& out) {
  RegExType handle{};
  NewRegEx(handle, pattern, true, false, false);
  bool matched = handle.errortext == nullptr && MatchRegEx(handle, line, false, false);
  if (matched)
    for (int g = 1; g <= groups; ++g) out.push_back(Group(handle, line, SInt16(g)));
  DisposeRegEx(&handle);
  return matched;
}

struct Collect {
  std::vector<std::pair<std::string, CFTypeRef>> entries;
  static void Apply(const void* key, const void* value, void* context) {
    if (key == nullptr || CFGetTypeID(key) != CFStringGetTypeID()) return;
    static_cast<Collect*>(context)->entries.emplace_back(UTF8(static_cast<CFStringRef>(key)),
                                                         static_cast<CFTypeRef>(value));
  }
};

std::vector<std::pair<std::string, CFTypeRef>> Entries(CFDictionaryRef dictionary) {
  Collect c;
  CFDictionaryApplyFunction(dictionary, Collect::Apply, &c);
  std::sort(c.entries.begin(), c.entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return c.entries;
}

void SearchIn(CFDictionaryRef dictionary, RegExType& handle, const std::string& bookTitle,
              std::vector<ChapterInfo>& results, int depth) {
  if (depth > 64) return;
  for (auto& [key, value] : Entries(dictionary)) {
    if (CFGetTypeID(value) == CFDictionaryGetTypeID()) {
      SearchIn(static_cast<CFDictionaryRef>(value), handle, bookTitle, results, depth + 1);
    } else if (CFGetTypeID(value) == CFStringGetTypeID() && MatchRegEx(handle, key, false, false)) {
      results.push_back({key, std::string(), UTF8(static_cast<CFStringRef>(value)), bookTitle, false});
    }
  }
}

CFStringRef NewUTF8(const std::string& text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingUTF8, false);
}

// The "/"-separated components of a key path, empty ones dropped.
std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t from = 0;
  while (from <= path.size()) {
    size_t to = path.find('/', from);
    if (to == std::string::npos) to = path.size();
    if (to > from) parts.push_back(path.substr(from, to - from));
    from = to + 1;
  }
  return parts;
}

// The dictionary at the key path below the root, keys taken whole as UTF-8
// (no length limit). With make, missing dictionaries are made on the way and
// a value of another kind in the way is replaced by one; without, nil when
// there is none.
CFMutableDictionaryRef DictionaryAt(CFMutableDictionaryRef root, const std::string& path, bool make) {
  CFMutableDictionaryRef current = root;
  for (const std::string& part : Components(path)) {
    if (current == nullptr) return nullptr;
    CFStringRef key = NewUTF8(part);
    if (key == nullptr) return nullptr;
    CFTypeRef found = CFDictionaryGetValue(current, key);
    if (found != nullptr && CFGetTypeID(found) == CFDictionaryGetTypeID()) {
      current = static_cast<CFMutableDictionaryRef>(const_cast<void*>(found));
    } else if (make) {
      CFMutableDictionaryRef made =
          CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
      CFDictionarySetValue(current, key, made);
      CFRelease(made);
      current = made;
    } else {
      current = nullptr;
    }
    CFRelease(key);
  }
  return current;
}

}  // namespace

TBookList::~TBookList() { Clear(); }

void TBookList::Clear() {
  for (BookInfo* book : books) {
    if (book->list != nullptr) book->list->Release();
    delete book;
  }
  books.clear();
  indexing = nullptr;
}

Boolean TBookList::AnyIndexing() const {
  return std::any_of(books.begin(), books.end(), [](const BookInfo* b) { return b->indexing; });
}

BookInfo* TBookList::NewBook(const FSRef& file) {
  auto* book = new BookInfo();
  book->title = Str63(DisplayName(file));
  book->file = file;
  book->path = PathOf(file);
  book->list = TPropertyListLoad(file);
  books.push_back(book);
  return book;
}

void TBookList::LoadBooks(const FSRef& folder) {
  Clear();
  TBookFolderIterator iterator;
  iterator.list = this;
  iterator.Run(folder);
  std::sort(books.begin(), books.end(), [](const BookInfo* a, const BookInfo* b) {
    return a->title.str() < b->title.str();
  });
}

SInt32 TBookFolderIterator::GotFile(const FSRef& file, SInt32) {
  if (list != nullptr) list->NewBook(file);
  return 0;
}

ArgvType BookIndexerArguments(TPropertyList& book, const std::string& interpreter, const std::string& script) {
  ArgvType words{interpreter, script, "URL=" + StringAt(book, "URL")};
  AppendEntries(book, "Indexing", "Index:", words);
  AppendEntries(book, "Directories", "Directory:", words);
  return words;
}

BookIndexerLine ApplyBookIndexerLine(BookInfo& book, const std::string& line) {
  if (book.list == nullptr) return BookIndexerLine::kOther;
  std::vector<std::string> g;
  if (Match("^#PAGE:(.*)\\|(.*)", line, 2, g)) {
    // A page met again (two pages of one title) keeps the chapters it has.
    DictionaryAt(book.list->fValues, "Contents/" + g[0], true);
    book.progress = "Indexing: " + g[0];
    return BookIndexerLine::kPage;
  }
  g.clear();
  if (Match("^#CHAPTER:(.*)\\|(.*)\\|(.*)", line, 3, g)) {
    std::vector<std::string> parts = Components(g[0]);
    if (parts.empty()) return BookIndexerLine::kOther;
    std::string chapter = parts.back();
    parts.pop_back();
    std::string folder = "Contents/" + g[1];
    for (const std::string& p : parts) folder += "/" + p;
    CFMutableDictionaryRef page = DictionaryAt(book.list->fValues, folder, true);
    CFStringRef key = NewUTF8(chapter);
    CFStringRef address = NewUTF8(g[2]);
    if (page != nullptr && key != nullptr && address != nullptr) CFDictionarySetValue(page, key, address);
    if (key != nullptr) CFRelease(key);
    if (address != nullptr) CFRelease(address);
    return BookIndexerLine::kChapter;
  }
  return BookIndexerLine::kOther;
}

std::vector<ChapterInfo> LoadBookKey(BookInfo& book, const std::string& keyPath) {
  std::vector<ChapterInfo> rows;
  if (book.list == nullptr) return rows;
  CFMutableDictionaryRef value = DictionaryAt(book.list->fValues, "Contents/" + keyPath, false);
  if (value == nullptr) return rows;
  for (auto& [key, entry] : Entries(value)) {
    if (CFGetTypeID(entry) == CFStringGetTypeID())
      rows.push_back({key, std::string(), UTF8(static_cast<CFStringRef>(entry)), book.title.str(), false});
    else if (CFGetTypeID(entry) == CFDictionaryGetTypeID())
      rows.push_back({key, keyPath.empty() ? key : keyPath + "/" + key, std::string(), book.title.str(), true});
  }
  return rows;
}

std::vector<ChapterInfo> SearchBooks(const TBookList& list, const std::string& query) {
  std::vector<ChapterInfo> results;
  RegExType handle{};
  NewRegEx(handle, query.c_str(), true, false, false);
  if (handle.errortext == nullptr) {
    for (BookInfo* book : list.books) {
      if (book->list == nullptr) continue;
      CFMutableDictionaryRef contents = DictionaryAt(book->list->fValues, "Contents", false);
      if (contents != nullptr) SearchIn(contents, handle, book->title.str(), results, 0);
    }
  }
  DisposeRegEx(&handle);
  return results;
}

void TBookIndexer::GotData(CFStringRef text) {
  if (fBook == nullptr) return;
  std::string line = UTF8(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  ApplyBookIndexerLine(*fBook, line);
}

void TBookIndexer::Terminated(Boolean killed, SInt16 status) {
  if (fBook == nullptr) return;
  // What the indexer found so far is kept and saved either way.
  int code = int(UInt16(status));
  std::string message = "Indexing for book \"" + fBook->title.str() + "\" has finished.";
  if (killed || !WIFEXITED(code))
    message = "Indexing for book \"" + fBook->title.str() + "\" was stopped before it finished.";
  else if (WEXITSTATUS(code) != 0)
    message = "Indexing for book \"" + fBook->title.str() + "\" did not finish: the indexer ended with status " +
              std::to_string(WEXITSTATUS(code)) + ".";
  if (fBook->list != nullptr && fBook->list->Save(fBook->file) != noErr)
    message = "The book \"" + fBook->title.str() + "\" could not be saved to \"" + fBook->path + "\".";
  fBook->indexing = false;
  fBook->progress.clear();
  if (fList != nullptr && fList->indexing == fBook) fList->indexing = nullptr;
  if (fNotify)
    fNotify(message);
  else
    UserNotificationDialog(Str255(message));
}

Boolean IndexBook(BookInfo* book, TBookList* list, const std::string& interpreter, const std::string& script,
                  std::function<void(const std::string&)> notify) {
  if (book == nullptr || book->indexing || (list != nullptr && list->AnyIndexing())) return false;
  if (access(interpreter.c_str(), X_OK) != 0) return false;
  if (book->list == nullptr) book->list = TPropertyListCreate();
  auto* indexer = new TBookIndexer();
  indexer->fBook = book;
  indexer->fList = list;
  indexer->fNotify = std::move(notify);
  book->indexing = true;
  if (list != nullptr) list->indexing = book;
  indexer->LaunchWords(BookIndexerArguments(*book->list, interpreter, script), nullptr);
  if (indexer->fProcess == nullptr) {
    book->indexing = false;
    if (list != nullptr) list->indexing = nullptr;
    indexer->Release();
    return false;
  }
  return true;
}

Boolean IndexBook(BookInfo* book, TBookList* list) {
  FSRef script{};
  if (FSGetSharedSupportFile(Str255("webindexer.php"), script) != noErr) return false;
  return IndexBook(book, list, "/usr/bin/php", PathOf(script));
}
