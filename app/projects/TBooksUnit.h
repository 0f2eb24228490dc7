// TBooksUnit: documentation books. A book is a property-list file in the
// "Books" resource folder ("Title", "URL", "JumpURL", "Indexing",
// "Directories", "Contents"). Indexing runs "webindexer.php" under PHP; its
// "#PAGE:" and "#CHAPTER:" lines fill the book's "Contents" dictionary, which
// is saved back into the book file. The chapter list and the search read
// "Contents". The side pane offers books only when kDevelopmentFeatureBooks
// is set; the pieces here work without it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CFBase.h"
#include "Files.h"
#include "ProcessUtils.h"
#include "ShortString.h"
#include "TFolderIteratorUnit.h"
#include "TProcessUtilsUnit.h"
#include "TPropertyListUnit.h"

// One listed book.
struct BookInfo {
  Str63 title;                    // the file's display name
  FSRef file{};
  std::string path;               // the file's path when listed
  UInt32 item = 0;                // its row in the book list
  Boolean indexing = false;       // the indexer runs for it
  TPropertyList* list = nullptr;  // the book file, owned
  std::string progress;           // "Indexing: " + the page, while indexing
};

// One row of the chapter list or of the search results. Texts are whole
// (UTF-8), not cut to a fixed length.
struct ChapterInfo {
  std::string title;
  std::string keyPath;  // a folder's path below "Contents"
  std::string address;  // a page's URL
  std::string bookTitle;
  Boolean folder = false;

  bool operator==(const ChapterInfo&) const = default;
};

// The books and the one being indexed.
class TBookList {
 public:
  ~TBookList();
  // Empties the list and adds every file of the folder as a book.
  void LoadBooks(const FSRef& folder);
  // A book for the file; a file that cannot be read gives an empty book.
  BookInfo* NewBook(const FSRef& file);
  void Clear();
  Boolean AnyIndexing() const;

  std::vector<BookInfo*> books;
  BookInfo* indexing = nullptr;
};

class TBookFolderIterator : public TFolderIterator {
 public:
  SInt32 GotFile(const FSRef& file, SInt32 value) override;

  TBookList* list = nullptr;
};

// The indexer's argument vector: the interpreter, the script, "URL=" + the
// book's URL, then "Index:<i>=" + each "Indexing" entry and "Directory:<i>="
// + each "Directories" entry, each one word however many blanks it holds.
ArgvType BookIndexerArguments(TPropertyList& book, const std::string& interpreter, const std::string& script);

enum class BookIndexerLine { kOther, kPage, kChapter };
// Takes one whole output line of the indexer into the book.
BookIndexerLine ApplyBookIndexerLine(BookInfo& book, const std::string& line);

// The rows of the dictionary at the path below "Contents" ("" for its
// root), sorted by title: a string is a page, a dictionary a folder.
std::vector<ChapterInfo> LoadBookKey(BookInfo& book, const std::string& keyPath);
// Every page of every book whose title matches the extended regular
// expression; none when it does not compile.
std::vector<ChapterInfo> SearchBooks(const TBookList& list, const std::string& query);

class TBookIndexer : public TProcessUtils {
 public:
  void GotData(CFStringRef text) override;
  void Terminated(Boolean killed, SInt16 status) override;

  BookInfo* fBook = nullptr;
  TBookList* fList = nullptr;
  // Told the finishing message; the platform's alert when unset.
  std::function<void(const std::string&)> fNotify;
};

// Starts indexing the book: false (and nothing started) when it is already
// being indexed, another book is, or the interpreter is not there to run.
// When it ends the book is saved and the message says whether the indexer
// finished or failed (its exit status), naming the file when the save fails.
Boolean IndexBook(BookInfo* book, TBookList* list, const std::string& interpreter, const std::string& script,
                  std::function<void(const std::string&)> notify = nullptr);
// "/usr/bin/php" and the bundle's "webindexer.php".
Boolean IndexBook(BookInfo* book, TBookList* list);
