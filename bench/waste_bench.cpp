// The text engine on large source texts: loading a file, a keystroke in the
// middle, restyling many ranges, and scrolling to the end. Prints figures.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "CGContext.h"
#include "Files.h"
#include "Host.h"
#include "WASTE.h"

namespace {

// The time the program's thread spent working (user and system): the
// figures of a loaded machine are not those of its other programs.
struct Clock {
  using time_point = double;
  static double now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
  }
};

double Ms(double a, double b) { return b - a; }

// Source-like text: indented lines of identifiers, literals and comments.
std::string MakeSource(size_t bytes) {
  static const char* const kLines[] = {
      "function ComputeTotal(items: array of Item; count: Integer): Integer;",
      "  var index, total: Integer;",
      "begin",
      "  total := 0; { the running sum }",
      "  for index := 0 to count - 1 do",
      "    total := total + items[index].price * items[index].quantity;",
      "  if total > 1000 then WriteLn('large order: ', total);",
      "  ComputeTotal := total;",
      "end;",
      "",
      "// A comment that runs a little longer than the code around it, as comments do.",
  };
  std::string text;
  text.reserve(bytes + 128);
  size_t i = 0;
  while (text.size() < bytes) {
    text += kLines[i % (sizeof kLines / sizeof kLines[0])];
    text += '\n';
    ++i;
  }
  return text;
}

bool WriteTemp(const std::string& text, std::string* path) {
  char name[] = "/tmp/waste_bench_XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += size_t(n);
  }
  close(fd);
  *path = name;
  return done == text.size();
}

void Run(size_t bytes) {
  const std::string source = MakeSource(bytes);
  std::string path;
  if (!WriteTemp(source, &path)) {
    std::printf("cannot write a temporary file\n");
    return;
  }
  FSRef ref{};
  if (FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr) != noErr) {
    std::printf("cannot name %s\n", path.c_str());
    unlink(path.c_str());
    return;
  }

  const LongRect view{0, 0, 800, 1000};
  LongRect dest = view;
  WEReference we = nullptr;
  WENew(&dest, &view, weDoUndo | weDoMultipleUndo | weDoAutoScroll | weDoDragAndDrop, &we);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(nullptr, 1000, 800, 8, 1000 * 4, space, kCGImageAlphaPremultipliedLast);
  CGContextTranslateCTM(ctx, 0, 800);
  CGContextScaleCTM(ctx, 1, -1);
  WESetInfo(weCGContextInfo, &ctx, we);
  WEActivate(we);

  std::printf("%.0f MB source text (%zu bytes); times are the thread's processor time\n", double(bytes) / (1 << 20),
              source.size());

  auto t0 = Clock::now();
  const OSStatus loaded = WELoad(0, 0, &ref, 'TEXT', kCFStringEncodingUTF8, 0, we);
  auto t1 = Clock::now();
  WECalText(we);
  WEUpdate(nullptr, we);
  auto t2 = Clock::now();
  const SInt32 length = WEGetTextLength(we);
  std::printf("  load: %.1f ms (file to text %.1f ms, first layout and draw %.1f ms), status %d, %d lines\n",
              Ms(t0, t2), Ms(t0, t1), Ms(t1, t2), int(loaded), int(WECountLines(we)));

  // Keystrokes in the middle: the engine's work for each, and the drawing
  // of the view after it.
  const SInt32 middle = length / 2;
  WESetSelection(middle, middle, we);
  WEUpdate(nullptr, we);
  std::vector<double> typing, drawing;
  for (int k = 0; k < 200; ++k) {
    const UniChar c = UniChar('a' + k % 26);
    auto a = Clock::now();
    WETextInput(&c, 1, 0, 0, we);
    auto b = Clock::now();
    WEUpdate(nullptr, we);
    auto d = Clock::now();
    typing.push_back(Ms(a, b));
    drawing.push_back(Ms(b, d));
  }
  auto stats = [](std::vector<double> v, double* mean, double* median, double* worst) {
    double sum = 0;
    for (double x : v) sum += x;
    *mean = sum / double(v.size());
    std::sort(v.begin(), v.end());
    *median = v[v.size() / 2];
    *worst = v.back();
  };
  double mean, median, worst;
  // The first edit far from the last one moves the text's gap there.
  const double first = typing.front();
  typing.erase(typing.begin());
  stats(typing, &mean, &median, &worst);
  std::printf("  keystroke in the middle: engine %.3f ms the first, then %.3f ms mean, %.3f ms median, %.3f ms worst",
              first, mean, median, worst);
  stats(drawing, &mean, &median, &worst);
  std::printf("; redraw %.3f ms mean\n", mean);

  // Restyling 1,000 ranges spread over the text, as a parser colours it.
  std::mt19937 random(7);
  std::uniform_int_distribution<SInt32> at(0, std::max<SInt32>(1, WEGetTextLength(we) - 20));
  const RGBColor colours[] = {{0x8000, 0, 0}, {0, 0x6000, 0}, {0, 0, 0xC000}};
  auto r0 = Clock::now();
  for (int k = 0; k < 1000; ++k) {
    const SInt32 s = at(random);
    WESetOneAttribute(s, s + 12, 'colr', &colours[k % 3], sizeof(RGBColor), we);
  }
  auto r1 = Clock::now();
  std::printf("  restyle 1,000 ranges: %.1f ms (%.3f ms each)\n", Ms(r0, r1), Ms(r0, r1) / 1000);

  // Scrolling to the end: every paragraph down to it is laid out.
  auto s0 = Clock::now();
  WESetSelection(WEGetTextLength(we), WEGetTextLength(we), we);
  WEUpdate(nullptr, we);
  auto s1 = Clock::now();
  LongRect after;
  WEGetDestRect(&after, we);
  std::printf("  scroll to the end and draw: %.1f ms (text height %d pixels)\n", Ms(s0, s1),
              int(after.bottom - after.top));
  auto c0 = Clock::now();
  WECalText(we);
  LongPt end{};
  SInt16 lh = 0;
  WEGetPoint(WEGetTextLength(we), 1, &end, &lh, we);
  WEUpdate(nullptr, we);
  auto c1 = Clock::now();
  std::printf("  full relayout (new width) and draw at the end: %.1f ms\n", Ms(c0, c1));

  // Paging through the whole text from the top: every paragraph is laid out
  // and drawn once.
  WESetSelection(0, 0, we);
  auto p0 = Clock::now();
  int pages = 0;
  for (;;) {
    WEUpdate(nullptr, we);
    ++pages;
    LongRect d;
    WEGetDestRect(&d, we);
    if (d.bottom <= view.bottom) break;
    WEScroll(0, -std::min<SInt32>(view.bottom - view.top, d.bottom - view.bottom), we);
  }
  auto p1 = Clock::now();
  std::printf("  page through the whole text: %.1f ms for %d pages (%.3f ms a page)\n", Ms(p0, p1), pages,
              Ms(p0, p1) / pages);

  WEDispose(we);
  CGContextRelease(ctx);
  CGColorSpaceRelease(space);
  unlink(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QUORVEL_HEADLESS", "1", 1);
  HostInitialize(&argc, &argv);
  Run(1u << 20);
  Run(10u << 20);
  return 0;
}
