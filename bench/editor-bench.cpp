// editor-bench: the program's own editor window on large PHP files, headless.
// Prints, against the goals:
//   - a keystroke in a 1 MB and a 10 MB file, from the key to the text
//     re-coloured and the window drawn (median and 90th percentile);
//   - opening a 10 MB file until it is coloured;
//   - start-up to the first window with a file (the built program's own
//     start-up, each run a fresh process).
//
//   editor-bench                 the standard measurement on generated PHP
//                                (templates with short PHP blocks) and on
//                                packaged PHP (one long region) at 1, 10
//                                and 50 MB
//   editor-bench FILE...         keystrokes and open on those files instead
//   editor-bench --no-startup [FILE...]
//                                without the start-up runs (to profile the rest)
//   editor-bench --generate FILE SIZE
//                                writes the generated PHP (SIZE bytes)
//   editor-bench --real FILE SIZE
//                                writes the packaged PHP (SIZE bytes) and
//                                prints where it came from
//   EDITOR_BENCH_CHECK_EACH=1    compares the picture with a whole drawing
//                                after every key and names the keys that
//                                leave it different
//   EDITOR_BENCH_SIZES=1         only the 1 MB files (10, 50: only those)
//   EDITOR_BENCH_PLACES=N        types at N places (100 unless given)
//   editor-bench --open-only [FILE...]
//                                opens the files only (no start-up runs, no
//                                typing)
//
// With each file opened it prints the memory the window holds for it: the
// resident size after the open above the size before it (freed heap given
// back to the system first), as bytes per byte of the file, and the peak
// during the open.
//
// Under callgrind (--collect-atstart=no) only the timed keys are counted,
// from each key to the window drawn, in a profile of their own.
//
// Each figure is given as the thread's CPU time (what a busy machine does
// not change) and as wall time.
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "AppleEvents.h"
#include "ApplicationFramework.h"
#include "CGContext.h"
#include "CarbonEvents.h"
#include "Files.h"
#include "HIView.h"
#include "Host.h"
#include "MacWindows.h"
#include "TApplicationUnit.h"
#include "TDemoApplicationUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TQVEditorUnit.h"
#include "TSyntaxParserUnit.h"
#include "WASTE.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_DUMP_STATS
#define RUNNING_ON_VALGRIND 0
#endif

namespace fs = std::filesystem;

// The platform's display interface, which the desktop host fills: the bench
// stands in for the host and hears each rectangle a window marks for
// drawing (root coordinates; above 0, the window's toolbar strip).
struct ViewWindowDisplay {
  void (*render)(WindowRef window);
  void (*invalidate)(WindowRef window, CGRect windowRect);
};
void ViewSetWindowDisplay(const ViewWindowDisplay& display);
void ViewClearInvalid(WindowRef window);
HIViewRef WindowToolbarStrip(WindowRef window);
SInt16 WindowToolbarStripHeight(WindowRef window);

namespace {

// --- Clocks -------------------------------------------------------------------------

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Stamp {
  double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
  double wall = Seconds(CLOCK_MONOTONIC);
};

struct Sample {
  double cpu, wall;  // milliseconds
};

Sample Since(const Stamp& start) {
  const Stamp now;
  return {(now.cpu - start.cpu) * 1e3, (now.wall - start.wall) * 1e3};
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
  return values[at];
}

struct Figures {
  double medianCpu, p90Cpu, medianWall, p90Wall, maxWall;
};

Figures Summarise(const std::vector<Sample>& samples) {
  std::vector<double> cpu, wall;
  for (const Sample& s : samples) {
    cpu.push_back(s.cpu);
    wall.push_back(s.wall);
  }
  return {Percentile(cpu, 0.5), Percentile(cpu, 0.9), Percentile(wall, 0.5), Percentile(wall, 0.9),
          Percentile(wall, 1.0)};
}

const char* Verdict(double figure, double goal) { return figure < goal ? "meets" : "MISSES"; }

// --- Memory -------------------------------------------------------------------------

// A figure of /proc/self/status in bytes ("VmRSS", "VmHWM"); 0 when missing.
size_t StatusBytes(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t keyLength = std::strlen(key);
  while (std::getline(in, line))
    if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
      return size_t(std::strtoull(line.c_str() + keyLength + 1, nullptr, 10)) * 1024;
  return 0;
}

// The resident size once the heap has given back what is free.
size_t ResidentBytes() {
  malloc_trim(0);
  return StatusBytes("VmRSS");
}

// Starts the peak resident size afresh from the present size.
void ResetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

// The heap's blocks in use, and what the allocator holds from the system
// (in use, free blocks it keeps, and the large blocks it maps apart).
struct HeapFigures {
  size_t used = 0, held = 0;
};
HeapFigures Heap() {
  const struct mallinfo2 m = mallinfo2();
  return {m.uordblks + m.hblkhd, m.arena + m.hblkhd};
}
HeapFigures gHeapBefore;

constexpr double kMemoryGoal = 6.0;  // bytes held per byte of text

// --- Generated PHP ------------------------------------------------------------------
// Code as a PHP project holds it: namespaced classes with doc comments,
// methods with nested blocks, strings with escapes and interpolation,
// heredocs and nowdocs, templates of HTML between PHP blocks (with a script
// and a style), and now and then a very long line (an array written out on
// one line, a query). Names and shapes vary with a seeded generator, so the
// text does not repeat one block over and over.

class PhpWriter {
 public:
  // library: the shape of the PHP a package ships, one long region of
  // classes and functions that no closing tag interrupts.
  explicit PhpWriter(unsigned seed, bool library = false) : random_(seed), library_(library) {}

  std::string Make(size_t bytes) {
    out_.clear();
    out_.reserve(bytes + 8192);
    out_ += "<?php\ndeclare(strict_types=1);\n\n";
    int unit = 0;
    while (out_.size() < bytes) {
      switch (Pick(10)) {
        case 0: case 1: if (library_) Functions(unit); else Template(unit); break;
        case 2: Functions(unit); break;
        default: Class(unit); break;
      }
      ++unit;
    }
    out_ += "\n// end of file\n";
    return out_;
  }

 private:
  std::mt19937 random_;
  bool library_ = false;
  std::string out_;

  int Pick(int n) { return int(random_() % unsigned(n)); }
  const char* Of(std::initializer_list<const char*> words) { return words.begin()[Pick(int(words.size()))]; }
  std::string Name(int n) {
    return std::string(Of({"order", "invoice", "customer", "account", "session", "product", "cart", "report",
                           "payment", "address", "message", "token", "upload", "entry", "article"})) +
           std::to_string(n);
  }
  std::string Camel(const std::string& s) {
    std::string c = s;
    c[0] = char(toupper(c[0]));
    return c;
  }
  void Line(int depth, const std::string& text) {
    out_.append(size_t(depth) * 4, ' ');
    out_ += text;
    out_ += '\n';
  }

  void DocComment(int depth, const std::string& summary, int params) {
    Line(depth, "/**");
    Line(depth, " * " + summary);
    Line(depth, " *");
    for (int i = 0; i < params; ++i)
      Line(depth, std::string(" * @param ") + Of({"string", "int", "array", "?float", "bool"}) + " $" + Name(i) +
                      " " + Of({"the value to check", "what the caller passed", "may be empty", "in cents"}));
    Line(depth, std::string(" * @return ") + Of({"void", "array", "string", "bool", "self"}));
    Line(depth, " */");
  }

  std::string StringLiteral(const std::string& var) {
    switch (Pick(6)) {
      case 0: return "\"Total for {$" + var + "['name']}:\\t\" . number_format($total, 2) . \"\\n\"";
      case 1: return "'It\\'s ' . $" + var + " . ' (escaped \\\\ backslash)'";
      case 2: return "sprintf(\"%s: %d items, \\\"%s\\\"\\r\\n\", $" + var + ", count($items), $label)";
      case 3: return "\"<a href=\\\"/view.php?id={$id}&amp;ref=list\\\">\" . htmlspecialchars($" + var + ") . '</a>'";
      case 4: return "'/^[a-z0-9_\\-]+@[a-z0-9\\-]+\\.[a-z]{2,}$/i'";
      default: return "\"Line $" + var + " \\$notAVariable \\u{1F600} \\x41\\101\"";
    }
  }

  void LongLine(int depth) {
    if (Pick(2) == 0) {
      std::string line = "$map = [";
      const int n = 12 + Pick(30);
      for (int i = 0; i < n; ++i)
        line += "'" + Name(i) + "' => " + (i % 3 == 0 ? std::to_string(i * 37) : "\"value " + std::to_string(i) + "\"") +
                ", ";
      line += "];";
      Line(depth, line);
    } else {
      std::string line = "$sql = \"SELECT o.id, o.created_at, c.name, c.email";
      const int n = 6 + Pick(14);
      for (int i = 0; i < n; ++i) line += ", o." + Name(i) + "_total AS total_" + std::to_string(i);
      line += " FROM orders o JOIN customers c ON c.id = o.customer_id WHERE o.status = :status AND o.total > {$min}"
              " ORDER BY o.created_at DESC LIMIT 50\";";
      Line(depth, line);
    }
  }

  void Heredoc(int depth, const std::string& var) {
    if (Pick(2) == 0) {
      Line(depth, "$html = <<<HTML");
      Line(depth, "<div class=\"card\" data-id=\"{$" + var + "['id']}\">");
      Line(depth, "    <h2>{$title}</h2>");
      Line(depth, "    <p>Price: \\${$price} &mdash; \"quoted\" and 'single'</p>");
      Line(depth, "</div>");
      Line(depth, "HTML;");
    } else {
      Line(depth, "$query = <<<'SQL'");
      Line(depth, "    UPDATE accounts SET balance = balance - :amount");
      Line(depth, "    WHERE id = :id AND note NOT LIKE '%$notInterpolated%'");
      Line(depth, "    SQL;");
    }
  }

  void Statements(int depth, int budget, const std::string& var) {
    for (int s = 0; s < budget; ++s) {
      switch (Pick(14)) {
        case 0:
          Line(depth, "if ($" + var + " === null || !is_array($" + var + ")) {");
          Line(depth + 1, "throw new \\InvalidArgumentException(" + StringLiteral(var) + ");");
          Line(depth, "} elseif (isset($options['strict']) && $options['strict']) {");
          Statements(depth + 1, 1 + Pick(2), var);
          Line(depth, "} else {");
          Line(depth + 1, "$this->logger->debug('fallback for ' . static::class);");
          Line(depth, "}");
          break;
        case 1:
          Line(depth, "foreach ($items as $key => $" + var + ") {");
          Line(depth + 1, "// Skip what was already counted.");
          Line(depth + 1, "if (in_array($key, $seen, true)) continue;");
          if (depth < 4) Statements(depth + 1, 1 + Pick(3), var);
          Line(depth + 1, "$total += $" + var + "['price'] * ($" + var + "['qty'] ?? 1);");
          Line(depth, "}");
          break;
        case 2:
          Line(depth, "switch ($status) {");
          for (const char* c : {"'open'", "'paid'", "'void'"}) {
            Line(depth + 1, std::string("case ") + c + ":");
            Line(depth + 2, "$label = " + StringLiteral(var) + ";");
            Line(depth + 2, "break;");
          }
          Line(depth + 1, "default:");
          Line(depth + 2, "$label = '';");
          Line(depth, "}");
          break;
        case 3:
          Line(depth, "try {");
          Line(depth + 1, "$result = $this->db->query($sql, ['status' => $status, 'min' => (int) $min]);");
          Line(depth, "} catch (\\PDOException $e) {");
          Line(depth + 1, "# keep the message for the log, not the user");
          Line(depth + 1, "error_log($e->getMessage());");
          Line(depth + 1, "return [];");
          Line(depth, "} finally {");
          Line(depth + 1, "$this->db = null;");
          Line(depth, "}");
          break;
        case 4:
          Line(depth, "$filtered = array_filter($items, function ($item) use ($min) {");
          Line(depth + 1, "return $item['total'] > $min && $item['name'] !== '';");
          Line(depth, "});");
          Line(depth, "$names = array_map(fn($i) => strtoupper($i['name']), $filtered);");
          break;
        case 5: LongLine(depth); break;
        case 6: Heredoc(depth, var); break;
        case 7:
          Line(depth, "/* Rounded the way the accountants want it:");
          Line(depth, "   half up, two places, never negative. */");
          Line(depth, "$total = max(0, round($total * 1.0825, 2)); // tax");
          break;
        case 8:
          Line(depth, "for ($i = 0, $n = count($rows); $i < $n; $i++) {");
          Line(depth + 1, "while ($rows[$i]['next'] !== null && $depth++ < 10) {");
          Line(depth + 2, "$rows[$i] = $rows[$i]['next'];");
          Line(depth + 1, "}");
          Line(depth, "}");
          break;
        case 9:
          Line(depth, "echo " + StringLiteral(var) + ";");
          break;
        case 10:
          Line(depth, "$message = $" + var + " ? \"found {$count} of \" . $this->limit : 'none';");
          break;
        case 11:
          Line(depth, "$date = date('Y-m-d H:i:s', strtotime(\"+{$days} days\")); # when it is due");
          break;
        case 12:
          Line(depth, "$pattern = preg_replace('#(\\d+)/(\\d+)#', '$2-$1', $input);");
          break;
        default:
          Line(depth, "$this->" + var + "Cache[$id] = $" + var + ";");
          break;
      }
    }
  }

  void Class(int unit) {
    const std::string name = Camel(Name(unit));
    Line(0, "namespace App\\" + std::string(Of({"Billing", "Shop", "Admin", "Api", "Mail"})) + ";");
    Line(0, "");
    Line(0, "use App\\Support\\Logger;");
    Line(0, "use PDO;");
    Line(0, "");
    DocComment(0, "Keeps the " + Name(unit) + " records and the rules that apply to them.", 0);
    Line(0, std::string(Pick(3) == 0 ? "abstract " : "") + "class " + name + "Repository extends BaseRepository implements \\Countable");
    Line(0, "{");
    Line(1, "const TABLE = '" + Name(unit) + "s';");
    Line(1, "private const LIMIT = " + std::to_string(10 + Pick(90)) + ";");
    Line(1, "protected ?PDO $db = null;");
    Line(1, "private array $" + Name(unit) + "Cache = [];");
    Line(0, "");
    const int methods = 3 + Pick(6);
    for (int m = 0; m < methods; ++m) {
      const std::string var = Name(m);
      DocComment(1, "Finds " + var + " rows by their status.", 1 + Pick(3));
      Line(1, std::string(Of({"public", "protected", "private"})) + " function " +
                  Of({"find", "load", "count", "update", "render", "check"}) + Camel(var) + "(array $items, string $status = 'open', ?int $min = null): " +
                  Of({"array", "string", "bool", "int"}));
      Line(1, "{");
      Line(2, "$total = 0;");
      Statements(2, 3 + Pick(6), var);
      Line(2, "return $total;");
      Line(1, "}");
      Line(0, "");
    }
    Line(1, "public function count(): int { return count($this->" + Name(unit) + "Cache); }");
    Line(0, "}");
    Line(0, "");
  }

  void Functions(int unit) {
    for (int f = 0; f < 2 + Pick(3); ++f) {
      const std::string var = Name(unit + f);
      Line(0, "// Helper for the " + var + " pages.");
      Line(0, "function " + var + "_format(array $items, $status, $min = 0)");
      Line(0, "{");
      Line(1, "global $config;");
      Line(1, "static $calls = 0;");
      Line(1, "$total = 0;");
      Statements(1, 2 + Pick(5), var);
      Line(1, "return $total;");
      Line(0, "}");
      Line(0, "");
    }
  }

  void Template(int unit) {
    const std::string var = Name(unit);
    Line(0, "?>");
    Line(0, "<!-- " + var + " list -->");
    Line(0, "<div class=\"" + var + "-list\" id=\"list-" + std::to_string(unit) + "\">");
    Line(1, "<h1><?= htmlspecialchars($title, ENT_QUOTES, 'UTF-8') ?></h1>");
    Line(1, "<?php if (!empty($rows)): ?>");
    Line(1, "<table class=\"grid\" style=\"width: 100%; border: 1px solid #ccc\">");
    Line(2, "<?php foreach ($rows as $i => $row): ?>");
    Line(2, "<tr class=\"<?= $i % 2 ? 'odd' : 'even' ?>\">");
    Line(3, "<td><a href=\"edit.php?id=<?= (int) $row['id'] ?>&amp;from=list\"><?= $row['name'] ?></a></td>");
    Line(3, "<td>&euro; <?php echo number_format($row['total'], 2, ',', '.'); ?></td>");
    Line(2, "</tr>");
    Line(2, "<?php endforeach; ?>");
    Line(1, "</table>");
    Line(1, "<?php else: ?>");
    Line(1, "<p class=\"empty\">Nothing to show &mdash; <em>yet</em>.</p>");
    Line(1, "<?php endif; ?>");
    if (Pick(3) == 0) {
      Line(1, "<script type=\"text/javascript\">");
      Line(2, "var rows = <?= json_encode($rows) ?>; // handed over from PHP");
      Line(2, "document.getElementById('list-" + std::to_string(unit) + "').addEventListener('click', function (e) {");
      Line(3, "if (e.target.tagName === 'A') { console.log(\"open \" + e.target.href); }");
      Line(2, "});");
      Line(1, "</script>");
    }
    if (Pick(4) == 0) {
      Line(1, "<style>");
      Line(2, "." + var + "-list td { padding: 2px 4px; color: #333; } /* compact */");
      Line(1, "</style>");
    }
    Line(0, "</div>");
    Line(0, "<?php");
    Line(0, "");
  }
};

std::string GeneratedPhp(size_t bytes, unsigned seed = 7) { return PhpWriter(seed).Make(bytes); }

// PHP as packages ship it: the files under the folders Debian installs PHP
// libraries in (bench/setup-real-php.sh installs some), one after another,
// each file's opening tag dropped after the first, so that the whole is one
// long PHP region as a large real file mostly is. Where none are installed,
// generated text of that shape stands in. The name says which it is.
std::string RealPhp(size_t bytes, std::string* source) {
  std::vector<fs::path> found;
  for (const char* root : {"/usr/share/php", "/usr/share/pear"}) {
    std::error_code error;
    if (!fs::is_directory(root, error)) continue;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
      if (it->is_regular_file(error) && it->path().extension() == ".php") found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  std::string out = "<?php\n";
  size_t used = 0;
  while (!found.empty() && out.size() < bytes) {
    for (const fs::path& path : found) {
      std::ifstream in(path, std::ios::binary);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      const size_t open = text.find("<?php");
      if (open == std::string::npos) continue;
      text.erase(0, open + 5);
      // A file that ends its region would end the long one too.
      const size_t close = text.rfind("?>");
      if (close != std::string::npos && text.find_first_not_of(" \t\r\n", close + 2) == std::string::npos)
        text.erase(close);
      if (text.find("?>") != std::string::npos) continue;
      out += text;
      out += "\n";
      ++used;
      if (out.size() >= bytes) break;
    }
    if (used == 0) break;
  }
  if (used > 0) {
    *source = "real PHP, " + std::to_string(used) + " packaged files";
    return out;
  }
  *source = "library-shaped generated PHP (no packaged PHP installed)";
  return PhpWriter(11, true).Make(bytes);
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return bool(out);
}

// --- Places -------------------------------------------------------------------------
// Preferences, caches and documents of the runs go to a scratch folder, never
// to the person's own.

std::string gScratch;

void MakePlaces() {
  const char* tmp = getenv("TMPDIR");
  std::string base = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/editor-bench.XXXXXX";
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    std::perror("editor-bench: scratch folder");
    std::exit(1);
  }
  gScratch = name.data();
  const std::pair<const char*, const char*> places[] = {{"HOME", "home"},         {"XDG_CONFIG_HOME", "config"},
                                                        {"XDG_DATA_HOME", "data"}, {"XDG_STATE_HOME", "state"},
                                                        {"XDG_CACHE_HOME", "cache"}, {"TMPDIR", "tmp"}};
  for (const auto& [variable, folder] : places) {
    fs::create_directories(gScratch + "/" + folder);
    setenv(variable, (gScratch + "/" + folder).c_str(), 1);
  }
  fs::create_directories(gScratch + "/files");
}

// --- The event path of a key --------------------------------------------------------
// As the desktop host sends it: the raw key to the focus; unhandled, the
// text it types (control characters included) as text input.

void SendKey(UniChar unicode, UInt32 keyCode) {
  EventRef raw = nullptr;
  if (CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, kEventAttributeUserEvent, &raw) != noErr) return;
  UInt32 modifiers = 0, keyboard = 0;
  char charCode = char(unicode);
  SetEventParameter(raw, kEventParamKeyCode, typeUInt32, sizeof keyCode, &keyCode);
  SetEventParameter(raw, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  SetEventParameter(raw, kEventParamKeyMacCharCodes, typeChar, 1, &charCode);
  SetEventParameter(raw, kEventParamKeyUnicodes, typeUnicodeText, sizeof unicode, &unicode);
  SetEventParameter(raw, kEventParamKeyboardType, typeUInt32, sizeof keyboard, &keyboard);
  if (SendEventToEventTarget(raw, GetUserFocusEventTarget()) == eventNotHandledErr) {
    EventRef text = nullptr;
    if (CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, kEventAttributeUserEvent,
                    &text) == noErr) {
      SetEventParameter(text, kEventParamTextInputSendText, typeUnicodeText, sizeof unicode, &unicode);
      SetEventParameter(text, kEventParamTextInputSendKeyboardEvent, typeEventRef, sizeof raw, &raw);
      SendEventToEventTarget(text, GetUserFocusEventTarget());
      ReleaseEvent(text);
    }
  }
  ReleaseEvent(raw);
}

// What windows marked for drawing since they last drew, as the host keeps
// it: rectangles, not their union.
std::vector<std::pair<WindowRef, CGRect>> gMarked;

void InstallDisplay() {
  ViewWindowDisplay display{};
  display.invalidate = [](WindowRef window, CGRect r) { gMarked.emplace_back(window, r); };
  ViewSetWindowDisplay(display);
}

// The window drawn into bitmaps the size of its content and of its toolbar
// strip, as the desktop host draws them into its surfaces: Draw draws what
// was marked since the last drawing, clipped to it (DrawAll everything).
class Canvas {
 public:
  explicit Canvas(WindowRef window) : window_(window) {
    Rect bounds{};
    GetWindowBounds(window, kWindowContentRgn, &bounds);
    content_ = Bitmap(std::max(1, bounds.right - bounds.left), std::max(1, bounds.bottom - bounds.top));
    strip_ = Bitmap(content_.width, std::max<int>(1, WindowToolbarStripHeight(window)));
  }
  ~Canvas() {
    for (Bitmap* b : {&content_, &strip_}) {
      CGContextRelease(b->context);
      CGColorSpaceRelease(b->space);
    }
  }
  void DrawAll() {
    gMarked.clear();
    ViewClearInvalid(window_);
    DrawIn(content_, HIViewGetRoot(window_), {CGRectMake(0, 0, content_.width, content_.height)});
    if (HIViewRef strip = WindowToolbarStrip(window_)) DrawIn(strip_, strip, {CGRectMake(0, 0, strip_.width, strip_.height)});
  }
  // What was marked; false when nothing was.
  bool Draw() {
    std::vector<CGRect> content, strip;
    for (const auto& [window, r] : gMarked) {
      if (window != window_) continue;
      // Above the content: the strip (its own surface), as the host splits it.
      if (r.origin.y < 0) strip.push_back(CGRectMake(r.origin.x, r.origin.y + strip_.height, r.size.width,
                                                     std::min<CGFloat>(r.size.height, -r.origin.y)));
      const CGFloat top = std::max<CGFloat>(r.origin.y, 0);
      if (r.origin.y + r.size.height > top) content.push_back(CGRectMake(r.origin.x, top, r.size.width, r.origin.y + r.size.height - top));
    }
    gMarked.clear();
    ViewClearInvalid(window_);
    if (!content.empty()) DrawIn(content_, HIViewGetRoot(window_), content);
    if (!strip.empty())
      if (HIViewRef view = WindowToolbarStrip(window_)) DrawIn(strip_, view, strip);
    return !content.empty() || !strip.empty();
  }
  CGContextRef context() const { return content_.context; }
  int width() const { return content_.width; }
  int height() const { return content_.height; }

 private:
  struct Bitmap {
    int width = 0, height = 0;
    CGColorSpaceRef space = nullptr;
    CGContextRef context = nullptr;
    Bitmap() = default;
    Bitmap(int w, int h) : width(w), height(h) {
      space = CGColorSpaceCreateDeviceRGB();
      context = CGBitmapContextCreate(nullptr, size_t(w), size_t(h), 8, size_t(w) * 4, space,
                                      CGBitmapInfo(kCGImageAlphaPremultipliedFirst) | CGBitmapInfo(kCGBitmapByteOrder32Little));
      CGContextTranslateCTM(context, 0, h);
      CGContextScaleCTM(context, 1, -1);
    }
  };

  static void DrawIn(Bitmap& bitmap, HIViewRef view, const std::vector<CGRect>& area) {
    CGContextRef c = bitmap.context;
    CGContextSaveGState(c);
    CGContextBeginPath(c);
    for (const CGRect& r : area) CGContextAddRect(c, r);
    CGContextClip(c);
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextFillRect(c, CGRectMake(0, 0, bitmap.width, bitmap.height));
    HIViewDrawInContext(view, c);
    CGContextRestoreGState(c);
    CGContextFlush(c);
  }

  WindowRef window_;
  Bitmap content_, strip_;
};

void RunLoopFor(double seconds) {
  const double end = Seconds(CLOCK_MONOTONIC) + seconds;
  while (Seconds(CLOCK_MONOTONIC) < end) RunCurrentEventLoop(0.001);
}

// --- Open and type -------------------------------------------------------------------

struct Opened {
  TEditorWindow* window = nullptr;
  TEditorPane* pane = nullptr;
  Sample shown{};  // until the window, drawn, shows the text in view coloured
  Sample open{};   // until the whole file is coloured
  // The characters in view when the window was shown, and of them those
  // that looked otherwise once all was coloured.
  SInt32 shownCharacters = 0, shownUnlike = 0;
  Sample firstDraw{};
};

// The look of each character from start to end: colour, bold, italic,
// underline, as the parse sets them.
std::vector<std::array<UInt16, 6>> Looks(WEReference we, SInt32 start, SInt32 end) {
  std::vector<std::array<UInt16, 6>> looks;
  for (SInt32 i = start; i < end; ++i) {
    RGBColor rgb{};
    Boolean bold = false, italic = false, underline = false;
    WEGetOneAttribute(i, 'colr', &rgb, sizeof rgb, we);
    WEGetOneAttribute(i, 'bold', &bold, 1, we);
    WEGetOneAttribute(i, 'ital', &italic, 1, we);
    WEGetOneAttribute(i, 'undl', &underline, 1, we);
    looks.push_back({rgb.red, rgb.green, rgb.blue, UInt16(bold), UInt16(italic), UInt16(underline)});
  }
  return looks;
}

// The text in view: its first offset and the one past its last.
std::pair<SInt32, SInt32> InView(WEReference we) {
  LongRect view{};
  WEGetViewRect(&view, we);
  WEEdge edge = kLeadingEdge;
  const LongPt top{view.top, view.left}, corner{view.bottom - 1, view.right - 1};
  return {WEGetOffset(&top, &edge, we), WEGetOffset(&corner, &edge, we)};
}

// Whether the scan of the file's parse has gone past the text in view (it
// goes in text order), and the view is full or the parse is over.
bool ColouredInView(TSyntaxParser* parser, WEReference we) {
  if (parser == nullptr || !parser->busy) return true;
  if (parser->current == nullptr) return false;
  const SInt32 last = InView(we).second;
  return last < WEGetTextLength(we) && parser->current->state.absoluteOffset > last;
}

// Opens the file the way an open documents event does, and runs the event
// loop until the window, drawn, shows the text in view coloured, and on until
// its first parse (which colours it all) has finished. Kept out of line so a
// profiler can count it alone.
[[gnu::noinline]] Opened OpenColoured(const std::string& path) {
  Opened result;
  FSRef file{};
  if (FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &file, nullptr) != noErr) return result;
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.newWindow = true;
  Boolean handled = false;
  const Stamp start;
  MyApplication->OpenDocument(file, handled, options);
  auto* window = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  TEditorPane* pane = window != nullptr ? window->GetActiveEditor() : nullptr;
  if (pane == nullptr || pane->editor == nullptr) return result;
  TSyntaxParser* parser = pane->editor->parser;
  while (!ColouredInView(parser, pane->editor->GetWE())) RunCurrentEventLoop(0);
  Canvas(window->window).DrawAll();
  result.shown = Since(start);
  WEReference we = pane->editor->GetWE();
  const auto [first, last] = InView(we);
  const auto shownLooks = Looks(we, first, last + 1);
  const Stamp rest;
  while (parser != nullptr && parser->busy) RunCurrentEventLoop(0);
  const Sample restTime = Since(rest);
  result.open = {result.shown.cpu + restTime.cpu, result.shown.wall + restTime.wall};
  const auto doneLooks = Looks(we, first, last + 1);
  result.shownCharacters = SInt32(shownLooks.size());
  for (size_t i = 0; i < shownLooks.size(); ++i) result.shownUnlike += shownLooks[i] != doneLooks[i];
  result.window = window;
  result.pane = pane;
  return result;
}

// Counts the characters a parse goes through: the parser reports each one
// to its state callback, which is passed on.
struct ScanCount {
  SyntaxParserStateCallback next = nullptr;
  SInt32 first = 0, last = -1;
  void Reset() {
    first = 0;
    last = -1;
  }
} gScan;

void CountScanned(UniChar character, const Str63& word, Boolean reserved, SInt32 offset, const Str63& context,
                  void* userData) {
  if (gScan.last < gScan.first) gScan.first = gScan.last = offset;
  gScan.first = std::min(gScan.first, offset);
  gScan.last = std::max(gScan.last, offset);
  if (gScan.next != nullptr) gScan.next(character, word, reserved, offset, context, userData);
}

struct Typing {
  std::vector<Sample> keys;       // key, re-coloured and drawn
  std::vector<Sample> keyOnly;    // key and re-coloured, without the draw
  std::vector<double> spans;      // characters the key had scanned again
  long differentPixels = 0;       // after the keys, against the window drawn whole
};

// The pixels that differ, and the box around them.
long CountDifferentPixels(const Canvas& a, const Canvas& b, CGRect* box = nullptr) {
  const auto* pa = static_cast<const UInt32*>(CGBitmapContextGetData(a.context()));
  const auto* pb = static_cast<const UInt32*>(CGBitmapContextGetData(b.context()));
  if (pa == nullptr || pb == nullptr || a.width() != b.width() || a.height() != b.height()) return -1;
  long differ = 0;
  int x0 = a.width(), y0 = a.height(), x1 = -1, y1 = -1;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const long i = long(y) * a.width() + x;
      if (pa[i] == pb[i]) continue;
      ++differ;
      x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
  // The bitmap's rows run bottom up.
  if (box != nullptr && differ > 0) *box = CGRectMake(x0, a.height() - 1 - y1, x1 - x0 + 1, y1 - y0 + 1);
  return differ;
}

// Keystrokes at places spread evenly over the text (each place a little
// further on by a seeded amount, so they fall in code, strings, comments
// and HTML as the file has them): at each, a letter and then a backspace,
// each timed from the key to the window drawn. The caret is moved and the
// window drawn first, untimed, as a click there would.
Typing Type(Opened& opened, int places) {
  Typing typing;
  WEReference we = opened.pane->editor->GetWE();
  Canvas canvas(opened.window->window);
  std::mt19937 random(11);
  const SInt32 length = WEGetTextLength(we);
  TSyntaxParser* parser = opened.pane->editor->parser;
  gScan.next = parser->destination.stateCallback;
  parser->destination.stateCallback = CountScanned;
  canvas.DrawAll();
  for (int p = 0; p < places; ++p) {
    const SInt32 at = SInt32((double(p) + double(random() % 1000) / 1000.0) * double(length) / double(places));
    WESetSelection(at, at, we);
    // What the move sets going runs first (far longer under valgrind).
    RunLoopFor(RUNNING_ON_VALGRIND ? 0.3 : 0.002);
    canvas.Draw();
    for (const auto& [unicode, keyCode] : {std::pair<UniChar, UInt32>{u'x', 7}, {u'\b', 51}}) {
      gScan.Reset();
      const Stamp start;
      CALLGRIND_TOGGLE_COLLECT;
      SendKey(unicode, keyCode);
      const Sample coloured = Since(start);
      canvas.Draw();
      CALLGRIND_TOGGLE_COLLECT;
      CALLGRIND_DUMP_STATS;  // a profile a key
      typing.keys.push_back(Since(start));
      // EDITOR_BENCH_CHECK_EACH: the picture against a whole drawing after
      // every key (untimed), to find a key that leaves a wrong picture.
      if (std::getenv("EDITOR_BENCH_CHECK_EACH") != nullptr) {
        Canvas whole(opened.window->window);
        whole.DrawAll();
        CGRect box{};
        if (const long n = CountDifferentPixels(canvas, whole, &box); n != 0) {
          std::printf("  place %d key %d at offset %d: %ld pixels differ within (%g, %g, %g, %g)\n", p,
                      int(unicode), int(at), n, box.origin.x, box.origin.y, box.size.width, box.size.height);
          canvas.DrawAll();
        }
      }
      typing.keyOnly.push_back(coloured);
      typing.spans.push_back(double(gScan.last - gScan.first + 1));
    }
  }
  parser->destination.stateCallback = gScan.next;
  // What the drawings of the marked areas left must be what a drawing of
  // the whole window shows.
  canvas.Draw();
  Canvas whole(opened.window->window);
  whole.DrawAll();
  typing.differentPixels = CountDifferentPixels(canvas, whole);
  if (WEGetTextLength(we) != length)
    std::printf("  (the text changed length by %d: a key did not go where typed)\n", int(WEGetTextLength(we) - length));
  return typing;
}

void PrintTyping(const char* label, const Typing& typing) {
  const Figures all = Summarise(typing.keys), key = Summarise(typing.keyOnly);
  std::printf("  keystroke in %s (%zu keys): median %.3f ms CPU / %.3f ms wall, 90%% %.3f / %.3f ms, "
              "slowest %.1f ms wall  [goal median < 0.5 ms: %s; 90%% < 1 ms: %s]\n",
              label, typing.keys.size(), all.medianCpu, all.medianWall, all.p90Cpu, all.p90Wall, all.maxWall,
              Verdict(all.medianWall, 0.5), Verdict(all.p90Wall, 1.0));
  std::printf("      of which key and re-colour: median %.3f ms CPU / %.3f ms wall, 90%% %.3f / %.3f ms\n",
              key.medianCpu, key.medianWall, key.p90Cpu, key.p90Wall);
  std::printf("      characters the parse went through a key: median %.0f, 90%% %.0f, most %.0f\n",
              Percentile(typing.spans, 0.5), Percentile(typing.spans, 0.9), Percentile(typing.spans, 1.0));
  std::printf("      the window as drawn key by key against drawn whole: %s (%ld pixels differ)\n",
              typing.differentPixels == 0 ? "the same" : "DIFFERENT", typing.differentPixels);
}

// --- Start-up -----------------------------------------------------------------------
// The built program's start as a fresh process: this program again, in the
// start-up role, runs the program's own start-up with the file and reports
// the moment its first window shows. The run is ended there.

int StartupChild(int argc, char** argv) {
  // argv: editor-bench --startup-child FILE
  char* programArgs[] = {argv[0], argv[2], nullptr};
  int count = 2;
  char** args = programArgs;
  HostInitialize(&count, &args);
  if (!AEStartApplicationInstance(nullptr, count, args)) return 2;
  StartApplication();
  while (GetFrontWindowOfClass(kDocumentWindowClass, true) == nullptr) RunCurrentEventLoop(0.001);
  std::printf("%.9f %.9f\n", Seconds(CLOCK_MONOTONIC), Seconds(CLOCK_PROCESS_CPUTIME_ID));
  std::fflush(stdout);
  (void)argc;
  _exit(0);
}

struct StartupRun {
  bool ok = false;
  double wallMs = 0, cpuMs = 0;
};

StartupRun RunStartup(const std::string& file) {
  StartupRun run;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return run;
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const double start = Seconds(CLOCK_MONOTONIC);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], 1);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execl(self.c_str(), self.c_str(), "--startup-child", file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  std::string out;
  char buffer[256];
  ssize_t n = 0;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) out.append(buffer, size_t(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  double shown = 0, cpu = 0;
  if (std::sscanf(out.c_str(), "%lf %lf", &shown, &cpu) == 2) {
    run.ok = true;
    run.wallMs = (shown - start) * 1e3;
    run.cpuMs = cpu * 1e3;
  }
  return run;
}

void MeasureStartup(const std::string& file) {
  const StartupRun first = RunStartup(file);  // makes the caches a first run makes
  std::vector<Sample> runs;
  for (int i = 0; i < 11; ++i) {
    const StartupRun run = RunStartup(file);
    if (run.ok) runs.push_back({run.cpuMs, run.wallMs});
  }
  if (runs.empty()) {
    std::printf("  start-up: the program did not show a window\n");
    return;
  }
  const Figures f = Summarise(runs);
  std::printf("  start-up to the first window, with a %zu KB file (%zu runs, a fresh process each): "
              "median %.1f ms wall (process CPU %.1f ms), 90%% %.1f ms wall  [goal < 300 ms: %s]\n",
              size_t(fs::file_size(file) / 1024), runs.size(), f.medianWall, f.medianCpu, f.p90Wall,
              Verdict(f.medianWall, 300.0));
  if (first.ok)
    std::printf("      the very first run (caches made): %.1f ms wall, process CPU %.1f ms\n", first.wallMs,
                first.cpuMs);
}

}  // namespace

int main(int argc, char** argv) {
  const char* named = std::getenv("QUORVEL_BUNDLE");
  if (named == nullptr || *named == '\0') setenv("QUORVEL_BUNDLE", QUORVEL_BUNDLE_DIR, 1);
  setenv("QUORVEL_HEADLESS", "1", 1);
  if (argc == 3 && std::strcmp(argv[1], "--startup-child") == 0) return StartupChild(argc, argv);
  if (argc == 4 && std::strcmp(argv[1], "--generate") == 0) {
    const bool written = WriteFile(argv[2], GeneratedPhp(size_t(std::atoll(argv[3]))));
    return written ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "--real") == 0) {
    std::string source;
    const bool written = WriteFile(argv[2], RealPhp(size_t(std::atoll(argv[3])), &source));
    if (written) std::printf("%s\n", source.c_str());
    return written ? 0 : 1;
  }
  // Each figure as soon as it is known (a long run is often cut short).
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  // Runs reach no instance of the program the person has open.
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  MakePlaces();

  std::vector<std::pair<std::string, std::string>> files;  // label, path
  bool startup = true, typing = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-startup") == 0) startup = false;
    else if (std::strcmp(argv[i], "--open-only") == 0) startup = typing = false;
    else files.emplace_back(fs::path(argv[i]).filename().string(), argv[i]);
  }
  const std::string small = gScratch + "/files/index.php";
  WriteFile(small, GeneratedPhp(24 << 10, 3));
  if (files.empty()) {
    const char* sizes = std::getenv("EDITOR_BENCH_SIZES");
    for (const auto& [label, size] : {std::pair<const char*, size_t>{"1 MB", 1u << 20}, {"10 MB", 10u << 20}}) {
      if (sizes != nullptr && *sizes != '\0' && std::to_string(size >> 20) != sizes) continue;
      const std::string path = gScratch + "/files/generated-" + std::string(label).substr(0, std::string(label).find(' ')) + "mb.php";
      WriteFile(path, GeneratedPhp(size));
      files.emplace_back(std::string(label) + " PHP", path);
    }
    // The generated text's short PHP blocks hide what a long region costs.
    for (const auto& [label, size] :
         {std::pair<const char*, size_t>{"1 MB", 1u << 20}, {"10 MB", 10u << 20}, {"50 MB", 50u << 20}}) {
      if (sizes != nullptr && *sizes != '\0' && std::to_string(size >> 20) != sizes) continue;
      const std::string path = gScratch + "/files/real-" + std::to_string(size >> 20) + "mb.php";
      std::string source;
      WriteFile(path, RealPhp(size, &source));
      files.emplace_back(std::string(label) + " " + source, path);
    }
  }

  std::printf("editor-bench: the editor window, headless (CPU: this thread's time; wall: elapsed)\n");
  if (startup) MeasureStartup(small);

  char* args[] = {argv[0], nullptr};
  int count = 1;
  char** hostArgs = args;
  HostInitialize(&count, &hostArgs);
  AEStartApplicationInstance(nullptr, count, hostArgs);
  InstallDisplay();
  StartApplication();
  RunLoopFor(0.2);
  std::printf("  resident with the program started, no file open: %.1f MB\n", double(ResidentBytes()) / 1048576.0);

  for (const auto& [label, path] : files) {
    const size_t residentBefore = ResidentBytes();
    gHeapBefore = Heap();
    ResetPeakResident();
    Opened opened = OpenColoured(path);
    const size_t peak = StatusBytes("VmHWM");
    const HeapFigures heapBefore = gHeapBefore;
    const size_t residentAfter = ResidentBytes();
    const HeapFigures heapAfter = Heap();
    if (opened.pane == nullptr) {
      std::printf("  %s: could not be opened\n", label.c_str());
      continue;
    }
    const double megabytes = double(fs::file_size(path)) / double(1 << 20);
    std::printf("  open %s (%.1f MB) until the window shows its text coloured: %.1f ms CPU / %.1f ms wall",
                label.c_str(), megabytes, opened.shown.cpu, opened.shown.wall);
    if (megabytes >= 9.5) std::printf("  [goal < 1000 ms: %s]", Verdict(opened.shown.wall, 1000.0));
    std::printf("\n      until the whole file is coloured: %.1f ms CPU / %.1f ms wall (%.1f ms wall a MB)%s\n",
                opened.open.cpu, opened.open.wall, opened.open.wall / megabytes,
                megabytes >= 9.5 ? (opened.open.wall < 1000.0 ? "  [within 1000 ms]" : "  [over 1000 ms]") : "");
    std::printf("      the characters in view when shown, against once all is coloured: %s (%d of %d look otherwise)\n",
                opened.shownUnlike == 0 ? "the same" : "DIFFERENT", int(opened.shownUnlike), int(opened.shownCharacters));
    {
      const double bytes = double(fs::file_size(path));
      const double held = residentAfter > residentBefore ? double(residentAfter - residentBefore) : 0.0;
      const double perByte = bytes > 0 ? held / bytes : 0.0;
      const double peakPerByte = bytes > 0 && peak > residentBefore ? double(peak - residentBefore) / bytes : 0.0;
      std::printf("      memory: resident %.1f MB before the open, %.1f MB after (%.1f MB held, %.1f MB a MB of text); "
                  "peak %.1f MB\n",
                  double(residentBefore) / 1048576.0, double(residentAfter) / 1048576.0, held / 1048576.0,
                  perByte, double(peak) / 1048576.0);
      std::printf("      of which the heap: %.1f MB more in use, %.1f MB more held by the allocator; "
                  "anonymous resident %.1f MB, file-backed %.1f MB\n",
                  (double(heapAfter.used) - double(heapBefore.used)) / 1048576.0,
                  (double(heapAfter.held) - double(heapBefore.held)) / 1048576.0,
                  double(StatusBytes("RssAnon")) / 1048576.0, double(StatusBytes("RssFile")) / 1048576.0);
      std::printf("      bytes per byte of text held: %.2f (%.2f at the peak)  [goal %.0f: %s]\n", perByte, peakPerByte,
                  kMemoryGoal, perByte <= kMemoryGoal ? "meets" : "misses");
    }
    if (!typing) continue;
    RunLoopFor(0.1);
    const char* places = std::getenv("EDITOR_BENCH_PLACES");
    const Typing typing = Type(opened, places != nullptr && std::atoi(places) > 0 ? std::atoi(places) : 100);
    PrintTyping(label.c_str(), typing);
  }
  std::fflush(stdout);
  _exit(0);  // the program's objects are not taken down one by one
}
