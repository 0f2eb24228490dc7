// Internal to the macro library: the text of a command while it expands, with
// a note on every character of where it came from, and the shell runner.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CFBase.h"
#include "MacTypes.h"

namespace codesense {

// A value put into a command's text from outside it.
struct MacroValue {
  enum Kind { kArgument, kVariable, kOutput };
  Kind kind = kVariable;
  int argument = 0;         // 1-based, for kArgument
  std::string environment;  // the environment variable a shell reads it from
  std::u16string text;
};

// A command's text with the origin of each character: 0 for the command's
// own text (markers in it count), k for values[k - 1] (plain data).
struct MacroText {
  std::u16string chars;
  std::vector<int> origin;
  std::vector<MacroValue> values;

  MacroText() = default;
  explicit MacroText(std::u16string text) : chars(std::move(text)), origin(chars.size(), 0) {}

  size_t size() const { return chars.size(); }
  bool Literal(size_t i) const { return i < chars.size() && origin[i] == 0; }
  bool LiteralIs(size_t i, char16_t c) const { return Literal(i) && chars[i] == c; }
  int AddValue(MacroValue value);
  // Replaces from..to with text, every character of it from origin.
  void Replace(size_t from, size_t to, std::u16string_view text, int origin);
  void Erase(size_t from, size_t to);
};

// A name that "$" + name stands for, and its value.
struct NamedValue {
  std::u16string name;
  std::u16string value;
  std::string environment;
};

// At each "$" of the command's own text, the longest name (ignoring case)
// that is not followed by a word character is replaced by its value; ties go
// to the earlier entry. "$CURSOR" is never touched.
void InsertVariables(MacroText& text, const std::vector<NamedValue>& variables);

// Runs text[from, to) as a shell command; output gets its standard output.
// False when the command had to be stopped (the expansion then stops).
using SubstitutionRunner = std::function<bool(const MacroText& text, size_t from, size_t to, std::u16string* output)>;

// Argument references, defaults, optional sections and backquote
// substitutions, in one scan. False when a substitution was stopped.
bool ParseSyntax(MacroText& text, const std::vector<std::u16string>& arguments, const SubstitutionRunner& run);

// The shell command line for text[from, to): the command's own text as it
// stands (line breaks as line feeds); every value a quoted reference to a
// positional parameter (arguments) or to an environment variable, which is
// added to environment. Output of substitutions is referenced unquoted where
// the shell would have split it.
std::string ShellCommandLine(const MacroText& text, size_t from, size_t to,
                             std::vector<std::pair<std::string, std::string>>& environment);

struct ShellOutcome {
  enum Status { kFinished, kNotStarted, kTimedOut, kTooMuchOutput };
  Status status = kNotStarted;
  std::string output;  // standard output as bytes
};

// Runs "/bin/sh -c script sh positional..." with the environment added,
// standard input from the null device, in a process group of its own.
// Reading stops at end of output once the shell has ended. A command that
// runs past the time limit or writes more than the byte limit is killed with
// its process group.
ShellOutcome RunShell(const std::string& script, const std::vector<std::string>& positional,
                      const std::vector<std::pair<std::string, std::string>>& environment, double seconds,
                      size_t byteLimit);

// Conversions.
std::u16string ToUTF16(CFStringRef text);
std::string ToUTF8(std::u16string_view text);
CFStringRef CreateCFString(std::u16string_view text);

}  // namespace codesense
