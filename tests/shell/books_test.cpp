// Documentation books: the indexer's argument vector, its output taken into
// the book, the chapter list and the search over the books, and the
// indexer itself under /usr/bin/php over a small folder of pages and over
// the help book the bundle ships.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFRunLoop.h"
#include "CFString.h"
#include "HeadlessHost.h"
#include "PascalCarbonCommon.h"
#include "TBooksUnit.h"

namespace {

namespace fs = std::filesystem;

fs::path Scratch(const std::string& name) {
  fs::path dir = fs::path(getenv("TMPDIR")) / "books" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

FSRef Ref(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

std::string Plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + body + "</dict>\n</plist>\n";
}

std::string Text(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return "<none>";
  char buffer[4096] = {};
  CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

// A file URL as the indexer writes it (blanks percent-encoded).
std::string Url(const fs::path& path) {
  std::string url = "file://";
  for (char c : path.string()) url += c == ' ' ? std::string("%20") : std::string(1, c);
  return url;
}

std::string Indexer() { return std::string(getenv("QUORVEL_BUNDLE")) + "/Contents/SharedSupport/webindexer.php"; }

// Runs the indexer for the book to its end (a limit, not a timing); the
// finishing messages.
std::vector<std::string> RunIndexer(BookInfo* book, TBookList& list, const std::string& interpreter,
                                    const std::string& script) {
  std::vector<std::string> messages;
  if (!IndexBook(book, &list, interpreter, script, [&](const std::string& m) { messages.push_back(m); }))
    return {"<not started>"};
  for (int i = 0; i < 600 && messages.empty(); ++i) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false);
  return messages;
}

TEST(Books, EachSettingIsOneArgumentInOrder) {
  fs::path dir = Scratch("arguments");
  WriteFile(dir / "Book.plist",
            Plist("<key>URL</key><string>/docs/My Manual/index.html</string>\n"
                  "<key>Indexing</key><array><string>h2 class=\"x y\"</string><string>h3</string></array>\n"
                  "<key>Directories</key><array><string>/docs/My Manual/part two</string></array>\n"));
  TBookList list;
  BookInfo* book = list.NewBook(Ref(dir / "Book.plist"));
  EXPECT_EQ(book->title.str(), "Book");
  EXPECT_EQ(BookIndexerArguments(*book->list, "/usr/bin/php", "/app/Shared Support/webindexer.php"),
            (ArgvType{"/usr/bin/php", "/app/Shared Support/webindexer.php", "URL=/docs/My Manual/index.html",
                      "Index:0=h2 class=\"x y\"", "Index:1=h3", "Directory:0=/docs/My Manual/part two"}));

  // A book file that cannot be read is still listed, with an empty URL.
  WriteFile(dir / "Broken.plist", "not a property list");
  BookInfo* broken = list.NewBook(Ref(dir / "Broken.plist"));
  EXPECT_EQ(list.books.size(), 2u);
  EXPECT_EQ(BookIndexerArguments(*broken->list, "php", "w.php"), (ArgvType{"php", "w.php", "URL="}));
}

TEST(Books, OutputLinesFillTheContentsWhole) {
  fs::path dir = Scratch("lines");
  WriteFile(dir / "Book.plist", Plist(""));
  TBookList list;
  BookInfo* book = list.NewBook(Ref(dir / "Book.plist"));
  const std::string longURL = "file:///docs/" + std::string(400, 'a') + ".html#end";
  struct {
    std::string line;
    BookIndexerLine kind;
  } lines[] = {
      {"#PAGE:Intro|file:///docs/intro.html", BookIndexerLine::kPage},
      {"#CHAPTER:Getting started|Intro|file:///docs/intro.html#start", BookIndexerLine::kChapter},
      {"#CHAPTER:Long one|Intro|" + longURL, BookIndexerLine::kChapter},
      // Met again (another page of the same title): its chapters stay.
      {"#PAGE:Intro|file:///docs/intro2.html", BookIndexerLine::kPage},
      {"#CHAPTER:Résumé|Intro|file:///docs/intro2.html#r", BookIndexerLine::kChapter},
      {"#CHAPTER:Chapter|" + std::string(300, 'P') + "|file:///docs/p.html", BookIndexerLine::kChapter},
      // A chapter whose page had no page line.
      {"#CHAPTER:Orphan|Elsewhere|file:///docs/else.html", BookIndexerLine::kChapter},
      {"warning: something", BookIndexerLine::kOther},
      {" #PAGE:Indented|x", BookIndexerLine::kOther},
      {"", BookIndexerLine::kOther},
  };
  for (const auto& l : lines) EXPECT_EQ(ApplyBookIndexerLine(*book, l.line), l.kind) << l.line;
  EXPECT_EQ(book->progress, "Indexing: Intro");
  EXPECT_EQ(Text(book->list->GetValue("Contents/Intro/Getting started")), "file:///docs/intro.html#start");
  EXPECT_EQ(Text(book->list->GetValue("Contents/Intro/Long one")), longURL);
  EXPECT_EQ(Text(book->list->GetValue("Contents/Elsewhere/Orphan")), "file:///docs/else.html");
  EXPECT_EQ(LoadBookKey(*book, "Intro"),
            (std::vector<ChapterInfo>{{"Getting started", "", "file:///docs/intro.html#start", "Book", false},
                                      {"Long one", "", longURL, "Book", false},
                                      {"Résumé", "", "file:///docs/intro2.html#r", "Book", false}}));
  EXPECT_EQ(LoadBookKey(*book, std::string(300, 'P')),
            (std::vector<ChapterInfo>{{"Chapter", "", "file:///docs/p.html", "Book", false}}));
  EXPECT_EQ(LoadBookKey(*book, "").size(), 3u);
}

TEST(Books, ChaptersListAndSearchReadTheContents) {
  fs::path dir = Scratch("search");
  WriteFile(dir / "Alpha.plist",
            Plist("<key>Contents</key><dict>\n"
                  " <key>Home</key><dict><key>Welcome</key><string>a:home</string>"
                  "<key>Deep</key><dict><key>Arrays in depth</key><string>a:deep</string></dict></dict>\n"
                  " <key>Arrays</key><string>a:arrays</string>\n"
                  "</dict>\n"));
  WriteFile(dir / "Beta.plist",
            Plist("<key>Contents</key><dict><key>Page</key><dict>"
                  "<key>Sorting arrays</key><string>b:sort</string></dict></dict>\n"));
  TBookList list;
  list.LoadBooks(Ref(dir));
  ASSERT_EQ(list.books.size(), 2u);
  BookInfo* alpha = list.books[0];
  EXPECT_EQ(alpha->title.str(), "Alpha");

  EXPECT_EQ(LoadBookKey(*alpha, ""), (std::vector<ChapterInfo>{{"Arrays", "", "a:arrays", "Alpha", false},
                                                                {"Home", "Home", "", "Alpha", true}}));
  EXPECT_EQ(LoadBookKey(*alpha, "Home"), (std::vector<ChapterInfo>{{"Deep", "Home/Deep", "", "Alpha", true},
                                                                    {"Welcome", "", "a:home", "Alpha", false}}));
  EXPECT_EQ(LoadBookKey(*alpha, "Home/Deep"),
            (std::vector<ChapterInfo>{{"Arrays in depth", "", "a:deep", "Alpha", false}}));
  EXPECT_TRUE(LoadBookKey(*alpha, "Nowhere").empty());

  struct {
    const char* query;
    std::vector<std::string> addresses;
  } searches[] = {
      {"[Aa]rrays", {"a:arrays", "a:deep", "b:sort"}},  // folders searched too, every book
      {"^Arrays$", {"a:arrays"}},
      {"Home", {}},             // folder names are not chapters
      {"nothing like it", {}},
      {"(unclosed", {}},        // not a regular expression
  };
  for (const auto& s : searches) {
    std::vector<std::string> found;
    for (const ChapterInfo& c : SearchBooks(list, s.query)) found.push_back(c.address);
    EXPECT_EQ(found, s.addresses) << s.query;
  }
  EXPECT_EQ(SearchBooks(list, "Sorting")[0].bookTitle, "Beta");
}

TEST(Books, IndexingWithPhpSavesTheBook) {
  fs::path dir = Scratch("php");
  fs::path site = dir / "My Manual";
  fs::create_directories(site / "more");
  const std::string tail(300, 'x');
  WriteFile(site / "index.html",
            "<html><head><title>The | Manual</title></head><body>\n<h1 id=\"top\">Start here</h1>\n"
            "<h2>Second</h2>\n<a href=\"more/next%20page.html\">next</a> <a href=\"http://example.org/x.html\">x</a>\n"
            "<a href=\"../outside.html\">out</a>\n</body></html>\n");
  WriteFile(site / "more" / "next page.html",
            "<title>Next</title><h2 id=\"" + tail + "\">Long\nheading</h2><h3>Not counted</h3>");
  WriteFile(dir / "outside.html", "<title>Outside</title><h1>Must not be read</h1>");
  fs::create_directories(dir / "Books");
  WriteFile(dir / "Books" / "Manual.plist",
            Plist("<key>URL</key><string>" + (site / "index.html").string() + "</string>\n"
                  "<key>Indexing</key><array><string>h1</string><string>h2</string></array>\n"));
  TBookList list;
  BookInfo* book = list.NewBook(Ref(dir / "Books" / "Manual.plist"));

  EXPECT_EQ(RunIndexer(book, list, "/usr/bin/php", Indexer()),
            std::vector<std::string>{"Indexing for book \"Manual\" has finished."});
  EXPECT_FALSE(book->indexing);
  EXPECT_EQ(list.indexing, nullptr);
  EXPECT_TRUE(book->progress.empty());

  TBookList reread;
  reread.LoadBooks(Ref(dir / "Books"));
  ASSERT_EQ(reread.books.size(), 1u);
  TPropertyList& saved = *reread.books[0]->list;
  EXPECT_EQ(Text(saved.GetValue("Contents/The - Manual/Start here")), Url(site / "index.html") + "#top")
      << ReadFile(dir / "Books" / "Manual.plist");
  EXPECT_EQ(Text(saved.GetValue("Contents/The - Manual/Second")), Url(site / "index.html"));
  EXPECT_EQ(Text(saved.GetValue("Contents/Next/Long heading")),
            Url(site / "more" / "next page.html") + "#" + tail);
  EXPECT_EQ(saved.GetCountAtKey("Contents"), 2);  // the page outside the book is not walked
  EXPECT_EQ(saved.GetCountAtKey("Contents/Next"), 1);
}

TEST(Books, IndexingReportsAndRecoversFromFailures) {
  fs::path dir = Scratch("failures");
  WriteFile(dir / "Gone.plist", Plist("<key>URL</key><string>/no/such/page.html</string>\n"));
  TBookList list;
  BookInfo* book = list.NewBook(Ref(dir / "Gone.plist"));
  // A start page that cannot be read: the failure is said, not "finished".
  EXPECT_EQ(RunIndexer(book, list, "/usr/bin/php", Indexer()),
            std::vector<std::string>{"Indexing for book \"Gone\" did not finish: the indexer ended with status 1."});
  fs::path killer = dir / "killed.sh";
  WriteFile(killer, "echo '#PAGE:Kept|x'\nkill -TERM $$\n");
  EXPECT_EQ(RunIndexer(book, list, "/bin/sh", killer.string()),
            std::vector<std::string>{"Indexing for book \"Gone\" was stopped before it finished."});
  EXPECT_NE(ReadFile(dir / "Gone.plist").find("<key>Kept</key>"), std::string::npos);  // what was found is saved
  // No interpreter: nothing starts, and the book is not left marked.
  EXPECT_EQ(RunIndexer(book, list, "/no/such/php", Indexer()), std::vector<std::string>{"<not started>"});
  EXPECT_FALSE(book->indexing);
  EXPECT_EQ(list.indexing, nullptr);
  // One book at a time.
  book->indexing = true;
  EXPECT_EQ(RunIndexer(book, list, "/usr/bin/php", Indexer()), std::vector<std::string>{"<not started>"});
  book->indexing = false;
  // A book file that is gone by the end: the message names it.
  fs::path lost = dir / "Lost.plist";
  WriteFile(lost, Plist("<key>URL</key><string>/no/such/page.html</string>\n"));
  BookInfo* lostBook = list.NewBook(Ref(lost));
  fs::path script = dir / "slow.sh";
  WriteFile(script, "rm -f '" + lost.string() + "'\necho '#PAGE:P|x'\n");
  EXPECT_EQ(RunIndexer(lostBook, list, "/bin/sh", script.string()),
            std::vector<std::string>{"The book \"Lost\" could not be saved to \"" + lost.string() + "\"."});
}

TEST(Books, TheShippedBooksIndexWithTheBundledIndexer) {
  fs::path shipped = fs::path(getenv("QUORVEL_BUNDLE")) / "Contents" / "Resources" / "Books";
  fs::path dir = Scratch("shipped");
  for (const auto& item : fs::directory_iterator(shipped)) fs::copy_file(item.path(), dir / item.path().filename());
  TBookList list;
  list.LoadBooks(Ref(dir));
  std::vector<std::string> titles;
  for (BookInfo* b : list.books) titles.push_back(b->title.str());
  EXPECT_EQ(titles, (std::vector<std::string>{"Quorvel Help", "Users and Groups"}));
  for (BookInfo* b : list.books) {
    SCOPED_TRACE(b->title.str());
    HeadlessClearAlertLog();
    ASSERT_TRUE(IndexBook(b, &list));  // the bundled indexer under /usr/bin/php
    for (int i = 0; i < 600 && b->indexing; ++i) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false);
    EXPECT_FALSE(b->indexing);
    EXPECT_GT(b->list->GetCountAtKey("Contents"), 0);
    std::vector<HeadlessAlertRecord> alerts = HeadlessCopyAlertLog();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].explanation, "Indexing for book \"" + b->title.str() + "\" has finished.");
  }
  EXPECT_FALSE(SearchBooks(list, "^Projects$").empty());
}

}  // namespace
