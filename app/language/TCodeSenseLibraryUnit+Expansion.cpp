// Expansion of a command's text: variables, argument references with their
// defaults, optional sections and backquote substitutions; and the shell
// runner that substitutions and shell commands go through.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "CFString.h"
#include "TCodeSenseLibraryUnit+Internal.h"

extern char** environ;

namespace codesense {

namespace {

bool IsWordChar(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x0B || c == 0x0C; }

// The next character of the command's own text equal to c, from `from` on.
size_t FindLiteral(const MacroText& t, size_t from, char16_t c) {
  for (size_t i = from; i < t.size(); ++i)
    if (t.LiteralIs(i, c)) return i;
  return std::u16string::npos;
}

void AppendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Conversions

std::u16string ToUTF16(CFStringRef text) {
  std::u16string out;
  if (text == nullptr) return out;
  out.resize(size_t(CFStringGetLength(text)));
  if (!out.empty()) CFStringGetCharacters(text, CFRangeMake(0, CFIndex(out.size())), reinterpret_cast<UniChar*>(out.data()));
  return out;
}

std::string ToUTF8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone half of a pair
    }
    AppendUTF8(out, c);
  }
  return out;
}

CFStringRef CreateCFString(std::u16string_view text) {
  return CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(text.data()), CFIndex(text.size()));
}

// ---------------------------------------------------------------------------
// MacroText

int MacroText::AddValue(MacroValue value) {
  values.push_back(std::move(value));
  return int(values.size());
}

void MacroText::Replace(size_t from, size_t to, std::u16string_view text, int valueOrigin) {
  chars.replace(from, to - from, text);
  origin.erase(origin.begin() + std::ptrdiff_t(from), origin.begin() + std::ptrdiff_t(to));
  origin.insert(origin.begin() + std::ptrdiff_t(from), text.size(), valueOrigin);
}

void MacroText::Erase(size_t from, size_t to) { Replace(from, to, std::u16string_view(), 0); }

// ---------------------------------------------------------------------------
// Variables

void InsertVariables(MacroText& t, const std::vector<NamedValue>& variables) {
  static constexpr std::u16string_view kCursor = u"CURSOR";
  size_t i = 0;
  while (i < t.size()) {
    if (!t.LiteralIs(i, u'$')) {
      ++i;
      continue;
    }
    auto matches = [&](std::u16string_view name, bool foldCase) {
      const size_t end = i + 1 + name.size();
      if (name.empty() || end > t.size()) return false;
      for (size_t k = 0; k < name.size(); ++k) {
        const char16_t c = t.chars[i + 1 + k];
        if (!t.Literal(i + 1 + k) || (foldCase ? Fold(c) != Fold(name[k]) : c != name[k])) return false;
      }
      // A longer word is another name: "$FILENAME" is not "$FILE".
      return !(t.Literal(end) && IsWordChar(t.chars[end]));
    };
    if (matches(kCursor, false)) {
      i += 1 + kCursor.size();
      continue;
    }
    const NamedValue* best = nullptr;
    for (const NamedValue& v : variables)
      if (matches(v.name, true) && (best == nullptr || v.name.size() > best->name.size())) best = &v;
    if (best == nullptr) {
      ++i;
      continue;
    }
    MacroValue value;
    value.kind = MacroValue::kVariable;
    value.environment = best->environment;
    value.text = best->value;
    const int id = t.AddValue(std::move(value));
    t.Replace(i, i + 1 + best->name.size(), best->value, id);
    i += best->value.size();
  }
}

// ---------------------------------------------------------------------------
// Arguments, sections and substitutions

bool ParseSyntax(MacroText& t, const std::vector<std::u16string>& arguments, const SubstitutionRunner& run) {
  constexpr size_t kNone = std::u16string::npos;
  size_t substitution = kNone;  // the opening backquote
  size_t section = kNone;       // the opening "["
  bool keepSection = false;     // the latest reference in the section had a value
  size_t i = 0;
  while (i < t.size()) {
    if (!t.Literal(i)) {
      ++i;
      continue;
    }
    const char16_t c = t.chars[i];
    if (c == u'`' && !(i > 0 && t.LiteralIs(i - 1, u'\\'))) {
      if (substitution == kNone) {
        substitution = i++;
        continue;
      }
      std::u16string output;
      if (!run(t, substitution + 1, i, &output)) return false;
      size_t a = 0, b = output.size();
      while (a < b && IsBlank(output[a])) ++a;
      while (b > a && IsBlank(output[b - 1])) --b;
      output = output.substr(a, b - a);
      if (output.empty()) {
        ++i;  // no output: the substitution stays as written
      } else {
        MacroValue value;
        value.kind = MacroValue::kOutput;
        value.text = output;
        value.environment = "QUORVEL_OUTPUT_" + std::to_string(t.values.size() + 1);
        const int id = t.AddValue(std::move(value));
        t.Replace(substitution, i + 1, output, id);
        if (section != kNone && section > substitution) section = kNone;
        i = substitution + output.size();
      }
      substitution = kNone;
      continue;
    }
    if (c == u'$' && i + 1 < t.size() && t.Literal(i + 1) && IsDigit(t.chars[i + 1])) {
      size_t end = i + 1;
      size_t n = 0;
      while (end < t.size() && t.Literal(end) && IsDigit(t.chars[end])) {
        n = std::min<size_t>(n * 10 + size_t(t.chars[end] - u'0'), size_t(1) << 30);
        ++end;
      }
      const std::u16string* value = (n >= 1 && n <= arguments.size()) ? &arguments[n - 1] : nullptr;
      const bool given = value != nullptr && !value->empty();
      if (section != kNone) keepSection = given && *value != u"^";
      if (given) {
        MacroValue v;
        v.kind = MacroValue::kArgument;
        v.argument = int(n);
        v.text = *value;
        const int id = t.AddValue(std::move(v));
        t.Replace(i, end, *value, id);
        const size_t after = i + value->size();
        if (t.LiteralIs(after, u'{')) {
          const size_t close = FindLiteral(t, after + 1, u'}');
          if (close != kNone) t.Erase(after, close + 1);
        }
        // An argument is data: scanning goes on after it, never inside it.
        i = after;
        continue;
      }
      if (t.LiteralIs(end, u'{')) {
        const size_t close = FindLiteral(t, end + 1, u'}');
        if (close != kNone) {
          // The default takes the reference's place and is read as the
          // command's own text.
          t.Erase(close, close + 1);
          t.Erase(i, end + 1);
          continue;
        }
      }
      i = end;  // the reference stays as written
      continue;
    }
    if (c == u'[') {
      if (section == kNone) {
        section = i;
        keepSection = false;
      }
      ++i;
      continue;
    }
    if (c == u']' && section != kNone) {
      if (!keepSection) {
        t.Erase(section, i + 1);
        if (substitution != kNone && substitution > section) substitution = kNone;
        i = section;
      } else {
        t.Erase(i, i + 1);
        t.Erase(section, section + 1);
        if (substitution != kNone && substitution > section) --substitution;
        i -= 1;
      }
      section = kNone;
      continue;
    }
    ++i;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Shell command lines

std::string ShellCommandLine(const MacroText& t, size_t from, size_t to,
                             std::vector<std::pair<std::string, std::string>>& environment) {
  enum Quote { kPlain, kSingle, kDouble } quote = kPlain;
  bool escaped = false;
  std::string out;
  auto setEnvironment = [&](const std::string& name, const std::u16string& value) {
    std::string bytes = ToUTF8(value);
    bytes = bytes.substr(0, bytes.find('\0'));
    for (auto& entry : environment)
      if (entry.first == name) {
        entry.second = bytes;
        return;
      }
    environment.emplace_back(name, bytes);
  };
  size_t i = from;
  while (i < to) {
    if (t.Literal(i)) {
      char16_t c = t.chars[i];
      if (c == u'\r') {
        c = u'\n';  // the text view's line breaks; the shell wants line feeds
        if (i + 1 < to && t.LiteralIs(i + 1, u'\n')) ++i;
      }
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < to && t.Literal(i + 1)) {
        out += ToUTF8(std::u16string_view(&t.chars[i], 2));
        i += 2;
        escaped = false;
        continue;
      }
      out += ToUTF8(std::u16string_view(&c, 1));
      ++i;
      if (escaped) {
        escaped = false;
        continue;
      }
      switch (quote) {
        case kPlain:
          if (c == u'\\') escaped = true;
          else if (c == u'\'') quote = kSingle;
          else if (c == u'"') quote = kDouble;
          break;
        case kSingle:
          if (c == u'\'') quote = kPlain;
          break;
        case kDouble:
          if (c == u'\\') escaped = true;
          else if (c == u'"') quote = kPlain;
          break;
      }
      continue;
    }
    const int id = t.origin[i];
    size_t end = i;
    while (end < to && t.origin[end] == id) ++end;
    const MacroValue& value = t.values[size_t(id) - 1];
    const std::u16string run = t.chars.substr(i, end - i);
    std::string reference;
    if (value.kind == MacroValue::kArgument && run == value.text) {
      reference = "${" + std::to_string(value.argument) + "}";
    } else {
      std::string name = value.environment;
      if (name.empty() || run != value.text) name = "QUORVEL_VALUE_" + std::to_string(i);
      setEnvironment(name, run);
      reference = "${" + name + "}";
    }
    // A backslash in front of a value would escape the quote put before it.
    if (escaped) {
      out.pop_back();
      escaped = false;
    }
    switch (quote) {
      case kPlain:
        // Output of a substitution is split into words as the shell would.
        out += value.kind == MacroValue::kOutput ? reference : "\"" + reference + "\"";
        break;
      case kSingle:
        out += "'\"" + reference + "\"'";
        break;
      case kDouble:
        out += reference;
        break;
    }
    i = end;
  }
  return out;
}

// ---------------------------------------------------------------------------
// The runner

ShellOutcome RunShell(const std::string& script, const std::vector<std::string>& positional,
                      const std::vector<std::pair<std::string, std::string>>& environment, double seconds,
                      size_t byteLimit) {
  ShellOutcome outcome;
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return outcome;

  std::vector<std::string> argumentStrings = {"/bin/sh", "-c", script, "sh"};
  argumentStrings.insert(argumentStrings.end(), positional.begin(), positional.end());
  std::vector<char*> argv;
  for (std::string& s : argumentStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  std::set<std::string> replaced;
  std::vector<std::string> environmentStrings;
  for (const auto& [name, value] : environment) {
    replaced.insert(name);
    environmentStrings.push_back(name + "=" + value);
  }
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq == nullptr || replaced.count(std::string(*e, size_t(eq - *e))) == 0) environmentStrings.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& s : environmentStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipeEnds[1]);
  if (spawned != 0) {
    close(pipeEnds[0]);
    return outcome;
  }

  using Clock = std::chrono::steady_clock;
  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(std::max(0.0, seconds)));
  auto remainingMs = [&]() {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(std::min<long long>(left, 50));
  };
  outcome.status = ShellOutcome::kFinished;
  bool reaped = false;
  char buffer[16384];
  for (;;) {
    if (Clock::now() >= deadline) {
      outcome.status = ShellOutcome::kTimedOut;
      break;
    }
    pollfd p{pipeEnds[0], POLLIN, 0};
    const int ready = poll(&p, 1, remainingMs());
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0) {
      const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
      if (n > 0) {
        outcome.output.append(buffer, size_t(n));
        if (outcome.output.size() > byteLimit) {
          outcome.status = ShellOutcome::kTooMuchOutput;
          break;
        }
        continue;
      }
      if (n == 0) break;  // end of output
      if (errno != EINTR && errno != EAGAIN) break;
      continue;
    }
    // Something the shell left running may hold the output open: once the
    // shell itself has ended, take what is there and stop.
    int status = 0;
    if (!reaped && waitpid(pid, &status, WNOHANG) == pid) {
      reaped = true;
      fcntl(pipeEnds[0], F_SETFL, fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
      ssize_t n;
      while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) outcome.output.append(buffer, size_t(n));
      if (outcome.output.size() > byteLimit) outcome.status = ShellOutcome::kTooMuchOutput;
      break;
    }
  }
  close(pipeEnds[0]);
  if (outcome.status == ShellOutcome::kFinished && !reaped) {
    // The output has ended; the shell may still run with it closed.
    int status = 0;
    while (!reaped) {
      const pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid || (r < 0 && errno != EINTR)) {
        reaped = true;
        break;
      }
      if (Clock::now() >= deadline) {
        outcome.status = ShellOutcome::kTimedOut;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  if (outcome.status != ShellOutcome::kFinished) {
    kill(-pid, SIGKILL);
    outcome.output.clear();
  }
  if (!reaped) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return outcome;
}

}  // namespace codesense
