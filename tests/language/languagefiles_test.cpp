// The language files and syntax themes that ship in the bundle:
// every file is read with the platform's property-list reader and checked
// against the format the syntax collection reads (keys, value types, field
// capacities, style and action names, regular expressions) and against what
// the rest of the editor expects of the languages (symbol kinds, headers,
// embedded languages, completion). Then each one is loaded for real.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "CFArray.h"
#include "CFBundle.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFPropertyList.h"
#include "CFString.h"
#include "CFURL.h"
#include "GNURegex.h"
#include "PascalCarbonCommon.h"
#include "TFileSystemUnit.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "../support/CFRef.h"
#include "../support/RecordingSyntaxController.h"

namespace {

const char* const kLanguages[] = {"php", "perl", "html", "xml", "css", "javascript", "ruby"};

// Style names in slot order (1..16); slot 17 ("Numbers") has none.
const char* const kStyleNames[] = {"built-in-function", "class", "comment", "constant", "element",
                                   "function", "method", "html", "keyword", "operator", "string",
                                   "variable", "instance-variable", "global-variable", "html-tag",
                                   "html-attribute"};
// Theme keys in slot order (1..17).
const char* const kDisplayNames[] = {"Built-in-Functions", "Classes", "Comments", "Constants", "Elements",
                                     "Functions", "Methods", "HTML", "Keywords", "Operators", "Strings",
                                     "Variables", "Instance Variables", "Global Variables", "Tag Titles",
                                     "Attributes", "Numbers"};
const std::set<std::string> kActions = {"style", "symbol", "menu", "navigate", "scope",
                                        "scope-block", "track", "header", "script"};
// Symbol kinds the symbol pane, the browser and the menus know.
const std::set<std::string> kSymbolIcons = {"sxFU", "sxMT", "sxCL", "sxCS", "sxGV"};
// Contexts that exist without a range applying them.
const std::set<std::string> kBuiltinContexts = {"", "any", "empty", "protected", "preprocessor"};

bool Is(CFTypeRef v, CFTypeID type) { return v && CFGetTypeID(v) == type; }

std::string Text(CFTypeRef v) {
  if (!Is(v, CFStringGetTypeID())) return "";
  CFStringRef s = static_cast<CFStringRef>(v);
  std::string out(size_t(CFStringGetLength(s)) * 4 + 1, '\0');
  if (!CFStringGetCString(s, out.data(), CFIndex(out.size()), kCFStringEncodingUTF8)) return "";
  out.resize(std::char_traits<char>::length(out.c_str()));
  return out;
}

// The keys and values of a dictionary in the order it yields them.
std::vector<std::pair<std::string, CFTypeRef>> Entries(CFDictionaryRef d) {
  const CFIndex n = CFDictionaryGetCount(d);
  std::vector<const void*> keys(n), values(n);
  CFDictionaryGetKeysAndValues(d, keys.data(), values.data());
  std::vector<std::pair<std::string, CFTypeRef>> out;
  for (CFIndex i = 0; i < n; ++i) out.emplace_back(Text(keys[i]), values[i]);
  return out;
}

// Reads one resource of the main bundle with the platform reader; nil when
// it is missing or does not parse.
CFTypeRef CopyResourcePropertyList(const std::string& name, const char* type, const char* folder) {
  Ref nameRef(CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8));
  Ref typeRef(CFStringCreateWithCString(nullptr, type, kCFStringEncodingUTF8));
  Ref folderRef(CFStringCreateWithCString(nullptr, folder, kCFStringEncodingUTF8));
  Ref url(CFBundleCopyResourceURL(CFBundleGetMainBundle(), nameRef.str(), typeRef.str(), folderRef.str()));
  if (!url) return nullptr;
  CFDataRef data = nullptr;
  SInt32 error = 0;
  if (!CFURLCreateDataAndPropertiesFromResource(nullptr, url.url(), &data, nullptr, nullptr, &error) || !data)
    return nullptr;
  Ref dataRef(data);
  CFStringRef message = nullptr;
  CFTypeRef list = CFPropertyListCreateFromXMLData(nullptr, data, 0, &message);
  if (message) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), Text(message).c_str());
    CFRelease(message);
  }
  return list;
}

CFDictionaryRef CopyLanguageFile(const std::string& language) {
  CFTypeRef list = CopyResourcePropertyList(language, "plist", "Language Specifications");
  if (list && !Is(list, CFDictionaryGetTypeID())) {
    CFRelease(list);
    return nullptr;
  }
  return static_cast<CFDictionaryRef>(list);
}

// Checks one language file; every fault found is one line in
// `problems`, prefixed with where it is.
class LanguageChecker {
 public:
  std::vector<std::string> problems;
  // What the language file offers, for the checks across languages.
  std::set<std::string> icons, embedded, headerClasses;
  std::string rootLanguage;
  bool hasComment = false, hasString = false, hasCompletion = false;
  std::map<std::string, int> definitionsPerClass;

  void Check(CFDictionaryRef root) {
    for (auto& [key, value] : Entries(root)) {
      const std::string cls = key.substr(0, key.find(':'));
      const std::string name = key.size() > cls.size() + 2 ? key.substr(cls.size() + 2) : "";
      if (key.find(": ") != cls.size()) {
        Fault(key, "a root key is \"class: name\"");
      } else if (cls == "info") {
        CheckInfo(name, value);
      } else if (cls == "class") {
        if (!kClassKeys.count(name))
          Fault(key, "not one of the eight classes");
        else if (!Is(value, CFDictionaryGetTypeID()))
          Fault(key, "a class holds a dictionary");
        else
          CheckClass(name, static_cast<CFDictionaryRef>(value));
      } else if (cls != "group") {
        Fault(key, "unknown root key");
      }
    }
    for (auto& [context, where] : usedContexts)
      if (!kBuiltinContexts.count(context) && !appliedContexts.count(context))
        Fault(where, "context \"" + context + "\" is applied by no range");
  }

 private:
  static inline const std::set<std::string> kClassKeys = {"range", "keyword", "embedded-language", "prefix",
                                            "expression", "scope", "scope-block", "custom"};
  std::set<std::string> names;
  std::map<std::string, std::string> usedContexts;  // context -> first definition using it
  std::set<std::string> appliedContexts;
  std::map<std::string, std::string> keywordOwner;  // context + " " + word -> definition

  void Fault(const std::string& where, const std::string& what) { problems.push_back(where + ": " + what); }

  bool ExpectString(const std::string& where, CFTypeRef v, size_t capacity, std::string* out = nullptr) {
    if (!Is(v, CFStringGetTypeID())) {
      Fault(where, "must be a string");
      return false;
    }
    const std::string s = Text(v);
    for (unsigned char c : s)
      if (c > 126) Fault(where, "holds a character outside ASCII");
    if (s.size() > capacity) Fault(where, "longer than " + std::to_string(capacity) + " characters");
    // Loading turns these whole values into other characters; inside a
    // longer value they would be a trap.
    for (const char* seq : {"&lt;", "&gt;", "\\n"})
      if (s != seq && s.find(seq) != std::string::npos) Fault(where, std::string("holds ") + seq);
    if (out) *out = s;
    return true;
  }

  void ExpectBoolean(const std::string& where, CFTypeRef v) {
    if (!Is(v, CFBooleanGetTypeID())) Fault(where, "must be <true/> or <false/>");
  }

  int ExpectDigits(const std::string& where, CFTypeRef v) {
    std::string s;
    if (!ExpectString(where, v, 5, &s)) return 0;
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos) {
      Fault(where, "must be a string of digits");
      return 0;
    }
    return std::stoi(s);
  }

  std::vector<std::string> ExpectWords(const std::string& where, CFTypeRef v, bool lowerCase) {
    std::vector<std::string> words;
    if (!Is(v, CFArrayGetTypeID())) {
      Fault(where, "must be an array of strings");
      return words;
    }
    CFArrayRef a = static_cast<CFArrayRef>(v);
    std::set<std::string> seen;
    for (CFIndex i = 0; i < CFArrayGetCount(a); ++i) {
      std::string w;
      if (!ExpectString(where, CFArrayGetValueAtIndex(a, i), 63, &w)) continue;
      if (w.empty()) Fault(where, "holds an empty word");
      if (lowerCase)
        for (char c : w)
          if (c >= 'A' && c <= 'Z') Fault(where, "\"" + w + "\" is not lower case");
      if (!seen.insert(w).second) Fault(where, "\"" + w + "\" twice");
      words.push_back(w);
    }
    if (words.empty()) Fault(where, "is empty");
    return words;
  }

  void ExpectRegex(const std::string& where, const std::string& pattern, int token) {
    RegExType handle{};
    NewRegEx(handle, pattern.c_str(), true, false, false);
    if (!handle.compiled)
      Fault(where, "does not compile: " + std::string(handle.errortext ? handle.errortext : "?"));
    else if (handle.groups < (token > 0 ? token : 1))
      Fault(where, "has no group " + std::to_string(token));
    DisposeRegEx(&handle);
  }

  void ExpectMetaOrCharacter(const std::string& where, const std::string& s) {
    if (s == "\\t") Fault(where, "\"\\t\" is compared as text; write \"\\n\" for a tab");
    ExpectNoLineFeed(where, s);
  }

  // The text engine separates lines with a carriage return: a line feed in
  // an open or close text would never match.
  void ExpectNoLineFeed(const std::string& where, const std::string& s) {
    if (s.find('\n') != std::string::npos) Fault(where, "holds a line feed; lines end with a carriage return");
  }

  void CheckInfo(const std::string& name, CFTypeRef value) {
    const std::string where = "info: " + name;
    if (name == "display-name") {
      std::string s;
      if (ExpectString(where, value, 63, &s) && s.empty()) Fault(where, "is empty");
    } else if (name == "character-set") {
      for (const std::string& c : ExpectWords(where, value, false))
        if (c.size() != 1) Fault(where, "\"" + c + "\" is not one character");
    } else if (name == "auto-pair") {
      ExpectWords(where, value, false);
    } else if (name == "root-language") {
      if (ExpectString(where, value, 63, &rootLanguage) && !IsLanguage(rootLanguage))
        Fault(where, "\"" + rootLanguage + "\" is not a shipped language");
    } else {
      Fault(where, "unknown info key");
    }
  }

  static bool IsLanguage(const std::string& s) {
    for (const char* l : kLanguages)
      if (s == l) return true;
    return false;
  }

  void CheckClass(const std::string& cls, CFDictionaryRef d) {
    for (auto& [key, value] : Entries(d)) {
      if (key.rfind("define: ", 0) != 0) {
        Fault("class: " + cls + " / " + key, "a class holds only \"define: \" keys");
        continue;
      }
      const std::string name = key.substr(8);
      const std::string where = cls + " \"" + name + "\"";
      if (name.empty() || name.size() > 31) Fault(where, "a definition name has 1 to 31 characters");
      if (!names.insert(name).second) Fault(where, "definition name used twice");
      if (!Is(value, CFDictionaryGetTypeID())) {
        Fault(where, "a definition is a dictionary");
        continue;
      }
      ++definitionsPerClass[cls];
      CheckDefinition(cls, where, static_cast<CFDictionaryRef>(value));
    }
  }

  // The keys every class knows; false when the key is none of them.
  bool CheckCommonKey(const std::string& where, const std::string& key, CFTypeRef v, std::set<std::string>& actions,
                      std::string& style, std::string& icon, std::string& context) {
    if (key == "context") {
      ExpectString(where, v, 63, &context);
    } else if (key == "script") {
      ExpectString(where, v, 63);
    } else if (key == "command") {
      ExpectString(where, v, 15);
    } else if (key == "icon") {
      ExpectString(where, v, 63, &icon);
    } else if (key == "precedence") {
      ExpectDigits(where, v);
    } else if (key == "protected" || key == "protect-style" || key == "nest-styles" || key == "compile-mode" ||
               key == "allow-overloading" || key == "scope-deep") {
      ExpectBoolean(where, v);
    } else if (key == "style") {
      if (ExpectString(where, v, 63, &style)) {
        bool known = false;
        for (const char* s : kStyleNames) known = known || style == s;
        if (!known) Fault(where, "\"" + style + "\" is not a style name");
      }
    } else if (key == "actions") {
      for (const std::string& a : ExpectWords(where, v, false)) {
        if (!kActions.count(a)) Fault(where, "\"" + a + "\" is not an action");
        actions.insert(a);
      }
    } else if (key == "scopes") {
      ExpectWords(where, v, false);
    } else if (key == "scope-range") {
      if (!Is(v, CFDictionaryGetTypeID())) {
        Fault(where, "a dictionary with \"open\" and \"close\"");
      } else {
        for (const char* k : {"open", "close"}) {
          std::string s;
          CFTypeRef c = CFDictionaryGetValue(static_cast<CFDictionaryRef>(v), CFSTR(k));
          if (ExpectString(where + "/" + k, c, 1, &s) && s.size() != 1) Fault(where + "/" + k, "one character");
        }
      }
    } else {
      return false;
    }
    return true;
  }

  void CheckDefinition(const std::string& cls, const std::string& name, CFDictionaryRef d) {
    std::set<std::string> actions;
    std::string style, icon, context, open, close, lineBreak, applyContext, language;
    std::vector<std::string> keywords;
    int token = 0;
    std::string regex, wildcard;
    bool autoComplete = false, hasContext = false, hasPrefixes = false, tagged = false, balanced = false;
    for (auto& [key, v] : Entries(d)) {
      const std::string where = name + " \"" + key + "\"";
      if (key == "context") hasContext = true;
      if (CheckCommonKey(where, key, v, actions, style, icon, context)) continue;
      bool known = true;
      if (cls == "range") {
        if (key == "open") {
          ExpectString(where, v, 30, &open);
          ExpectNoLineFeed(where, open);
          // The word part and the rest are two fields of 15.
          size_t word = 0;
          while (word < open.size() && (isalnum(static_cast<unsigned char>(open[word])) || open[word] == '_')) ++word;
          if (open.size() > 1 && word > 0 ? (word > 15 || open.size() - word > 15) : open.size() > 15)
            Fault(where, "a part is longer than 15 characters");
          // The word part only names the word before the rest: with no rest
          // the range never opens.
          if (open.size() > 1 && word > 0 && open.find_first_not_of(
              "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string::npos)
            Fault(where, "is all word characters and never opens");
        } else if (key == "close") {
          ExpectString(where, v, 15, &close);
          ExpectMetaOrCharacter(where, close);
        } else if (key == "break") {
          ExpectString(where, v, 1);
        } else if (key == "apply-context") {
          if (ExpectString(where, v, 15, &applyContext) && !applyContext.empty()) appliedContexts.insert(applyContext);
        } else if (key == "anchor" || key == "single-line" || key == "unbalanced" || key == "operand" ||
                   key == "balanced" || key == "tag" || key == "indented-close" || key == "tag-alone") {
          ExpectBoolean(where, v);
          if (key == "tag" && v == kCFBooleanTrue) tagged = true;
          if (key == "balanced" && v == kCFBooleanTrue) balanced = true;
        } else if (key == "operand-words" || key == "not-after") {
          ExpectWords(where, v, false);
        } else if (key == "parts") {
          if (ExpectDigits(where, v) < 1) Fault(where, "a range has at least one part");
        } else {
          known = false;
        }
      } else if (cls == "keyword") {
        if (key == "keywords") {
          keywords = ExpectWords(where, v, true);
        } else if (key == "nest" || key == "reserved") {
          ExpectBoolean(where, v);
        } else if (key == "auto-complete") {
          ExpectBoolean(where, v);
          autoComplete = v == kCFBooleanTrue;
        } else if (key == "auto-complete-context") {
          ExpectString(where, v, 255);
        } else {
          known = false;
        }
      } else if (cls == "embedded-language") {
        if (key == "open") {
          ExpectString(where, v, 15, &open);
        } else if (key == "close") {
          ExpectString(where, v, 15, &close);
        } else if (key == "open-context" || key == "close-context") {
          ExpectString(where, v, 15);
        } else if (key == "language") {
          ExpectString(where, v, 63, &language);
        } else {
          known = false;
        }
      } else if (cls == "prefix") {
        if (key == "prefixes") {
          ExpectWords(where, v, false);
          hasPrefixes = true;
        } else if (key == "alt-prefixes") {
          for (const std::string& pair : ExpectWords(where, v, false))
            if (pair.find(' ') == std::string::npos) Fault(where, "\"" + pair + "\" is not \"A B\"");
        } else if (key == "leading-words") {
          ExpectWords(where, v, false);
        } else if (key == "ignore-prefix" || key == "scope-body" || key == "all-matches" || key == "line-start") {
          ExpectBoolean(where, v);
        } else if (key == "expression") {
          ExpectString(where, v, 63, &regex);
        } else if (key == "line-break") {
          ExpectString(where, v, 2, &lineBreak);
          ExpectMetaOrCharacter(where, lineBreak);
        } else if (key == "token") {
          token = ExpectDigits(where, v);
        } else {
          known = false;
        }
      } else if (cls == "expression") {
        if (key == "keywords") {
          keywords = ExpectWords(where, v, false);
        } else if (key == "expression") {
          ExpectString(where, v, 63, &wildcard);
        } else if (key == "expression-gpc") {
          ExpectString(where, v, 255, &regex);
        } else if (key == "line-break") {
          ExpectString(where, v, 2, &lineBreak);
          ExpectMetaOrCharacter(where, lineBreak);
        } else if (key == "also-break") {
          std::string also;
          if (ExpectString(where, v, 1, &also) && also.size() != 1) Fault(where, "one character");
        } else if (key == "numeric" || key == "all-matches") {
          ExpectBoolean(where, v);
        } else if (key == "token") {
          token = ExpectDigits(where, v);
        } else if (key != "scope-modifiers") {
          known = false;
        }
      } else if (cls == "scope") {
        if (key == "keywords")
          keywords = ExpectWords(where, v, false);
        else
          known = false;
      } else if (cls == "scope-block") {
        if (key == "open" || key == "open-newline" || key == "close")
          ExpectWords(where, v, false);
        else if (key == "inherit-symbol")
          ExpectBoolean(where, v);
        else
          known = false;
      } else if (cls == "custom") {
        if (!Is(v, CFArrayGetTypeID())) ExpectString(where, v, 255);
      }
      if (!known) Fault(where, "unknown key for a " + cls + " definition");
    }

    // Embedded languages go by their open and close contexts instead.
    if (!hasContext && cls != "embedded-language") Fault(name, "says in which context it applies");
    if (!context.empty() && !usedContexts.count(context)) usedContexts[context] = name;

    // Class-specific requirements.
    if (cls == "range") {
      if (open.empty()) Fault(name, "a range needs an open text");
      // A tagged range closes at its tag, so a close text of its own is a slip.
      if (tagged && !close.empty()) Fault(name, "a tagged range closes at its tag, not at \"" + close + "\"");
      if (!tagged && close.empty()) Fault(name, "a range needs a close text or a tag");
      if (balanced && (open.empty() || std::string("([{<").find(open.back()) == std::string::npos))
        Fault(name, "\"balanced\" needs an open text ending in a bracket");
      if (style == "comment") hasComment = true;
      if (style == "string") hasString = true;
    } else if (cls == "keyword") {
      if (keywords.empty()) Fault(name, "a keyword definition needs keywords");
      if (autoComplete) hasCompletion = true;
      if (autoComplete && !CFDictionaryContainsKey(d, CFSTR("auto-complete-context")))
        Fault(name, "auto-complete needs an auto-complete-context");
      // The first definition holding a word wins; a second one is dead.
      for (const std::string& w : keywords) {
        auto [it, inserted] = keywordOwner.emplace(context + " " + w, name);
        if (!inserted) Fault(name, "\"" + w + "\" is already a keyword of " + it->second);
      }
    } else if (cls == "embedded-language") {
      if (open.empty()) Fault(name, "an embedded language needs an open text, or it opens everywhere");
      if (close.empty()) Fault(name, "an embedded language needs a close text");
      if (!IsLanguage(language)) Fault(name, "\"" + language + "\" is not a shipped language");
      embedded.insert(language);
    } else if (cls == "prefix") {
      if (!hasPrefixes) Fault(name, "a prefix definition needs prefixes");
      if (!regex.empty()) {
        ExpectRegex(name + " \"expression\"", regex, token);
        if (lineBreak.empty()) Fault(name, "a prefix expression needs a line-break");
      }
    } else if (cls == "expression") {
      if (keywords.empty()) Fault(name, "an expression needs keywords");
      if (regex.empty() == wildcard.empty()) Fault(name, "give one of \"expression\" and \"expression-gpc\"");
      if (!regex.empty()) ExpectRegex(name + " \"expression-gpc\"", regex, token);
      if (lineBreak.empty()) Fault(name, "an expression needs a line-break");
    }

    // Actions and symbols.
    if (actions.count("symbol")) {
      if (cls != "prefix" && cls != "expression" && cls != "scope") Fault(name, "only prefixes, expressions and scopes name symbols");
      if (!kSymbolIcons.count(icon.substr(0, 4))) Fault(name, "a symbol needs one of the symbol icons");
      icons.insert(icon.substr(0, 4));
    } else {
      for (const char* a : {"menu", "navigate", "track"})
        if (actions.count(a)) Fault(name, std::string("\"") + a + "\" acts on symbols; add \"symbol\"");
      if (!icon.empty()) Fault(name, "an icon without the \"symbol\" action shows nowhere");
    }
    if (actions.count("style") && style.empty()) Fault(name, "the \"style\" action needs a style");
    if ((actions.count("scope") || actions.count("scope-block")) && cls != "expression")
      Fault(name, "scope actions belong to expressions");
    if (actions.count("header")) {
      if (cls != "prefix" && cls != "expression") Fault(name, "only prefixes and expressions name headers");
      headerClasses.insert(cls);
    }
  }
};

std::vector<std::string> CheckLanguageFile(CFDictionaryRef root, LanguageChecker* out = nullptr) {
  LanguageChecker checker;
  checker.Check(root);
  if (out) *out = checker;
  return checker.problems;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += "  " + l + "\n";
  return s;
}

// --- The shipped language files ---------------------------------------------

class ShippedLanguage : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedLanguage, FollowsTheFormat) {
  Ref root(CopyLanguageFile(GetParam()));
  ASSERT_TRUE(root) << GetParam() << ".plist is missing from the bundle or does not parse";
  LanguageChecker checker;
  const std::vector<std::string> problems = CheckLanguageFile(root.dict(), &checker);
  EXPECT_TRUE(problems.empty()) << GetParam() << ":\n" << Join(problems);
  EXPECT_TRUE(checker.hasComment) << GetParam() << " has no comment range";
  EXPECT_TRUE(checker.hasString) << GetParam() << " has no string range";
  EXPECT_TRUE(checker.hasCompletion) << GetParam() << " offers no keywords to completion";
  EXPECT_GT(checker.definitionsPerClass["keyword"], 0) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedLanguage, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// What other parts of the editor expect of the set of languages as a whole.
TEST(ShippedLanguages, GiveWhatTheEditorExpects) {
  std::map<std::string, LanguageChecker> checked;
  for (const char* language : kLanguages) {
    Ref root(CopyLanguageFile(language));
    ASSERT_TRUE(root) << language;
    CheckLanguageFile(root.dict(), &checked[language]);
  }
  // .php files are parsed as HTML, which hands PHP, scripts and styles on.
  EXPECT_EQ(checked["php"].rootLanguage, "html");
  EXPECT_EQ(checked["html"].embedded, (std::set<std::string>{"php", "javascript", "css"}));
  // Include-like statements feed the headers menu.
  for (const char* language : {"php", "perl", "css", "javascript", "ruby"})
    EXPECT_FALSE(checked[language].headerClasses.empty()) << language << " names no headers";
  // Each symbol kind comes from somewhere; programming languages give
  // functions and classes.
  std::set<std::string> kinds;
  for (auto& [language, result] : checked) kinds.insert(result.icons.begin(), result.icons.end());
  EXPECT_EQ(kinds, kSymbolIcons);
  for (const char* language : {"php", "perl", "javascript", "ruby"}) {
    EXPECT_TRUE(checked[language].icons.count("sxFU")) << language;
    EXPECT_TRUE(checked[language].icons.count("sxCL")) << language;
  }
  for (const char* language : {"php", "perl", "ruby"}) EXPECT_TRUE(checked[language].icons.count("sxMT")) << language;
  EXPECT_TRUE(checked["css"].icons.count("sxCL")) << "CSS class selectors";
  EXPECT_TRUE(checked["html"].icons.count("sxGV")) << "HTML ids";
}

// --- The checker catches real faults ------------------------------------------

struct BadCase {
  const char* what;
  const char* body;     // the inside of the root dictionary
  const char* expected; // a piece of the problem reported
};

const BadCase kBadCases[] = {
    {"tab meta", R"(<key>class: range</key><dict><key>define: r</key><dict><key>context</key><string>empty</string>
       <key>open</key><string>#</string><key>close</key><string>\t</string></dict></dict>)",
     "compared as text"},
    {"upper-case keyword", R"(<key>class: keyword</key><dict><key>define: k</key><dict><key>context</key><string>empty</string>
       <key>keywords</key><array><string>Echo</string></array></dict></dict>)",
     "not lower case"},
    {"unknown style", R"(<key>class: keyword</key><dict><key>define: k</key><dict><key>context</key><string>empty</string>
       <key>keywords</key><array><string>if</string></array><key>style</key><string>keywords</string></dict></dict>)",
     "not a style name"},
    {"integer precedence", R"(<key>class: prefix</key><dict><key>define: p</key><dict><key>context</key><string>empty</string>
       <key>prefixes</key><array><string>$</string></array><key>precedence</key><integer>10</integer></dict></dict>)",
     "must be a string"},
    {"broken regex", R"(<key>class: expression</key><dict><key>define: e</key><dict><key>context</key><string>empty</string>
       <key>keywords</key><array><string>function</string></array><key>line-break</key><string>(</string>
       <key>expression-gpc</key><string>^function (</string><key>token</key><string>1</string></dict></dict>)",
     "does not compile"},
    {"token beyond groups", R"(<key>class: expression</key><dict><key>define: e</key><dict><key>context</key><string>empty</string>
       <key>keywords</key><array><string>sub</string></array><key>line-break</key><string>{</string>
       <key>expression-gpc</key><string>^sub (x)</string><key>token</key><string>2</string></dict></dict>)",
     "has no group 2"},
    {"symbol without icon", R"(<key>class: prefix</key><dict><key>define: p</key><dict><key>context</key><string>empty</string>
       <key>prefixes</key><array><string>function</string></array><key>actions</key><array><string>symbol</string></array>
       </dict></dict>)",
     "symbol icons"},
    {"menu without symbol", R"(<key>class: prefix</key><dict><key>define: p</key><dict><key>context</key><string>empty</string>
       <key>prefixes</key><array><string>function</string></array><key>actions</key><array><string>menu</string></array>
       </dict></dict>)",
     "add \"symbol\""},
    {"long definition name", R"(<key>class: keyword</key><dict><key>define: a name that is far longer than thirty-one</key>
       <dict><key>context</key><string>empty</string><key>keywords</key><array><string>if</string></array></dict></dict>)",
     "1 to 31"},
    {"same word in two sets", R"(<key>class: keyword</key><dict>
       <key>define: a</key><dict><key>context</key><string>empty</string><key>keywords</key><array><string>if</string></array></dict>
       <key>define: b</key><dict><key>context</key><string>empty</string><key>keywords</key><array><string>if</string></array></dict>
       </dict>)",
     "already a keyword of"},
    {"context nobody applies", R"(<key>class: keyword</key><dict><key>define: k</key><dict><key>context</key><string>strings</string>
       <key>keywords</key><array><string>if</string></array></dict></dict>)",
     "applied by no range"},
    {"empty embedded open", R"(<key>class: embedded-language</key><dict><key>define: e</key><dict><key>context</key><string>any</string>
       <key>open</key><string></string><key>close</key><string>?&gt;</string><key>language</key><string>php</string></dict></dict>)",
     "opens everywhere"},
    {"unknown embedded language", R"(<key>class: embedded-language</key><dict><key>define: e</key><dict><key>context</key><string>any</string>
       <key>open</key><string>&lt;%</string><key>close</key><string>%&gt;</string><key>language</key><string>asp</string></dict></dict>)",
     "not a shipped language"},
    {"define outside a class", R"(<key>define: stray</key><dict><key>open</key><string>"</string></dict>)", "unknown root key"},
    {"misspelt key", R"(<key>class: range</key><dict><key>define: r</key><dict><key>context</key><string>empty</string>
       <key>open</key><string>"</string><key>single_line</key><true/></dict></dict>)",
     "unknown key for a range"},
    {"escape inside a longer value", R"(<key>class: range</key><dict><key>define: r</key><dict><key>context</key><string>empty</string>
       <key>open</key><string>"</string><key>close</key><string>x\n</string></dict></dict>)",
     "holds \\n"},
    {"open of word characters only", R"(<key>class: range</key><dict><key>define: r</key><dict><key>context</key><string>empty</string>
       <key>open</key><string>__END__</string><key>close</key><string>\f</string></dict></dict>)",
     "never opens"},
    {"line feed in a close", R"(<key>class: range</key><dict><key>define: r</key><dict><key>context</key><string>empty</string>
       <key>open</key><string>&lt;&lt;&lt;EOT</string><key>close</key><string>&#10;EOT</string></dict></dict>)",
     "holds a line feed"},
    {"tagged range with a close", R"(<key>class: range</key><dict><key>define: r</key><dict><key>context</key><string>empty</string>
       <key>open</key><string>&lt;&lt;&lt;</string><key>tag</key><true/><key>close</key><string>EOT</string></dict></dict>)",
     "closes at its tag"},
    {"balanced without a bracket", R"(<key>class: range</key><dict><key>define: r</key><dict><key>context</key><string>empty</string>
       <key>open</key><string>%/</string><key>close</key><string>/</string><key>balanced</key><true/></dict></dict>)",
     "ending in a bracket"},
    {"string for a Boolean", R"(<key>class: range</key><dict><key>define: r</key><dict><key>context</key><string>empty</string>
       <key>open</key><string>"</string><key>single-line</key><string>yes</string></dict></dict>)",
     "<true/> or <false/>"},
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.what; }

class BadLanguageFile : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadLanguageFile, IsReported) {
  const BadCase& c = GetParam();
  const std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>") +
                          "<key>info: display-name</key><string>Bad</string>" + c.body + "</dict></plist>";
  Ref data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(xml.data()), CFIndex(xml.size())));
  Ref root(CFPropertyListCreateFromXMLData(nullptr, data.data(), 0, nullptr));
  ASSERT_TRUE(root && Is(root.get(), CFDictionaryGetTypeID())) << c.what;
  const std::vector<std::string> problems = CheckLanguageFile(root.dict());
  bool found = false;
  for (const std::string& p : problems) found = found || p.find(c.expected) != std::string::npos;
  EXPECT_TRUE(found) << c.what << " was not reported; got:\n" << Join(problems);
}

INSTANTIATE_TEST_SUITE_P(Faults, BadLanguageFile, ::testing::ValuesIn(kBadCases),
                         [](const ::testing::TestParamInfo<BadCase>& info) {
                           std::string name = info.param.what;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(BadLanguageFile, AWellFormedFragmentPasses) {
  const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>
    <key>info: display-name</key><string>Good</string>
    <key>class: range</key><dict><key>define: string</key><dict><key>context</key><string>empty</string>
      <key>open</key><string>"</string><key>close</key><string>"</string><key>break</key><string>\</string>
      <key>apply-context</key><string>string</string><key>style</key><string>string</string></dict></dict>
    <key>class: prefix</key><dict><key>define: variable</key><dict><key>context</key><string>string</string>
      <key>prefixes</key><array><string>$</string></array><key>actions</key><array><string>style</string></array>
      <key>style</key><string>variable</string><key>precedence</key><string>10</string></dict></dict>
    </dict></plist>)";
  Ref data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(xml.data()), CFIndex(xml.size())));
  Ref root(CFPropertyListCreateFromXMLData(nullptr, data.data(), 0, nullptr));
  ASSERT_TRUE(root);
  EXPECT_EQ(Join(CheckLanguageFile(root.dict())), "");
}

// --- Syntax themes --------------------------------------------------------------

std::vector<std::string> ShippedThemeNames() {
  std::vector<std::string> names;
  Ref urls(CFBundleCopyResourceURLsOfType(CFBundleGetMainBundle(), CFSTR("plist"), CFSTR("Syntax Themes")));
  if (!urls) return names;
  for (CFIndex i = 0; i < CFArrayGetCount(urls.array()); ++i) {
    CFURLRef url = static_cast<CFURLRef>(CFArrayGetValueAtIndex(urls.array(), i));
    UInt8 path[1024];
    if (!CFURLGetFileSystemRepresentation(url, true, path, sizeof path)) continue;
    std::string p(reinterpret_cast<char*>(path));
    p = p.substr(p.rfind('/') + 1);
    names.push_back(p.substr(0, p.size() - 6));
  }
  return names;
}

TEST(SyntaxThemes, EveryThemeStoresAllSeventeenStylesBigEndian) {
  const std::vector<std::string> themes = ShippedThemeNames();
  ASSERT_GE(themes.size(), 2u) << "the bundle ships its syntax themes";
  for (const std::string& theme : themes) {
    Ref list(CopyResourcePropertyList(theme, "plist", "Syntax Themes"));
    ASSERT_TRUE(list && Is(list.get(), CFDictionaryGetTypeID())) << theme;
    EXPECT_EQ(CFDictionaryGetCount(list.dict()), 17) << theme;
    std::set<std::vector<UInt8>> distinct;
    for (const char* key : kDisplayNames) {
      CFTypeRef v = CFDictionaryGetValue(list.dict(), CFSTR(key));
      ASSERT_TRUE(Is(v, CFDataGetTypeID())) << theme << " / " << key;
      const CFIndex length = CFDataGetLength(static_cast<CFDataRef>(v));
      ASSERT_EQ(length, 52) << theme << " / " << key;
      const UInt8* b = CFDataGetBytePtr(static_cast<CFDataRef>(v));
      // The name is a Str31 holding the key; flags are 0 or 1; padding 0.
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 1), b[0]), key) << theme;
      for (int i = 48; i <= 50; ++i) EXPECT_LE(b[i], 1) << theme << " / " << key;
      EXPECT_EQ(b[51], 0) << theme << " / " << key;
      distinct.insert(std::vector<UInt8>(b + 32, b + 38));
    }
    EXPECT_GT(distinct.size(), 1u) << theme << " gives every style one colour";
  }
}

// --- Loading through the syntax collection ---------------------------------------

TEST(ShippedLanguages, LoadThroughTheCollection) {
  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(nullptr));
  for (const char* language : kLanguages) collection->LoadLibrary(language);
  for (const char* language : kLanguages) {
    SCOPED_TRACE(language);
    SyntaxLibraryPtr library = collection->GetLanguageLibrary(language);
    ASSERT_NE(library, nullptr);
    Ref root(CopyLanguageFile(language));
    ASSERT_TRUE(root);
    LanguageChecker checker;
    CheckLanguageFile(root.dict(), &checker);
    const std::pair<const char*, SyntaxDefinitionClass> classes[] = {
        {"range", kSyntaxClassRange},           {"keyword", kSyntaxClassKeyword},
        {"embedded-language", kSyntaxClassEmbeddedLanguage}, {"prefix", kSyntaxClassPrefix},
        {"expression", kSyntaxClassExpression}, {"scope", kSyntaxClassScope},
        {"scope-block", kSyntaxClassScopeBlock}, {"custom", kSyntaxClassCustom}};
    for (auto& [name, cls] : classes) {
      CFArrayRef array = GetSyntaxClassArray(library, cls);
      ASSERT_NE(array, nullptr) << name;
      EXPECT_EQ(CFArrayGetCount(array), checker.definitionsPerClass[name]) << name;
      // Every definition is found again by its name and every style is known.
      for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
        auto* d = static_cast<SyntaxStandardDataPtr>(const_cast<void*>(CFArrayGetValueAtIndex(array, i)));
        Str31 shortName(d->definitionName);
        EXPECT_NE(collection->GetDefinition(shortName, library), nullptr) << d->definitionName.str();
        if (!d->styleData.styleName.empty()) {
          EXPECT_GT(d->styleData.styleIndex, 0) << d->definitionName.str();
        }
      }
    }
    if (std::string(language) == "php") {
      EXPECT_EQ(library->rootLanguage.str(), "html");
    }
  }
}

TEST(SyntaxThemes, ApplyThroughTheCollection) {
  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(nullptr));
  collection->LoadLibrary("php");
  SyntaxLibraryPtr php = collection->GetLanguageLibrary("php");
  ASSERT_NE(php, nullptr);
  for (const std::string& theme : ShippedThemeNames()) {
    Ref list(CopyResourcePropertyList(theme, "plist", "Syntax Themes"));
    ASSERT_TRUE(list) << theme;
    UpdateSyntaxCollectionStyles(collection.get(), list.dict());
    // Slot 9 is "Keywords": its stored colour is big-endian.
    const UInt8* b = CFDataGetBytePtr(static_cast<CFDataRef>(CFDictionaryGetValue(list.dict(), CFSTR("Keywords"))));
    EXPECT_EQ(php->styles[9].textColor.red, (b[32] << 8) | b[33]) << theme;
    EXPECT_EQ(php->styles[9].textColor.blue, (b[36] << 8) | b[37]) << theme;
    EXPECT_EQ(php->styles[9].bold, b[48]) << theme;
  }
  UpdateSyntaxCollectionStyles(collection.get(), nullptr);
}

// --- Samples scanned with the shipped languages -----------------------------------

// A fragment of a sample and the style slot its first character gets.
struct Styled {
  const char* fragment;
  SInt16 slot;  // 0: left unstyled
};

struct Sample {
  const char* file;      // its extension picks nothing: the language is given
  const char* language;  // the library the parse starts with
  const char* text;      // lines end with "\n"; the scan sees carriage returns
  std::vector<Styled> styles;
  const char* symbols;   // "name<parent>:definition" sorted, comma-separated
  const char* headers;   // comma-separated, in order
};

const SInt16 kBuiltin = 1, kClass = 2, kComment = 3, kConstant = 4, kElement = 5, kFunction = 6, kMethod = 7,
             kHTML = 8, kKeyword = 9, kString = 11, kVariable = 12, kInstance = 13, kGlobal = 14, kTag = 15,
             kAttribute = 16, kNumber = 17;

const Sample kSamples[] = {
    {"cart.php", "html",
     "<p id=\"intro\">Hi &amp; bye</p>\n"
     "<?php\n"
     "require_once 'lib/db.php';\n"
     "define('MAX', 10);\n"
     "// note\n"
     "class Cart extends Base {\n"
     "    const LIMIT = 5;\n"
     "    public function add($item) { return \"got $item\" . Foo::class; }\n"
     "    abstract function total();\n"
     "}\n"
     "function helper() { $t = <<<EOT\nText $x\nEOT;\n  return strlen($t); }\n"
     "?>\n",
     {{"<p", kTag}, {"id=", kAttribute}, {"\"intro\"", kString}, {"&amp", kConstant}, {"require_once", kKeyword},
      {"'lib/db.php'", kString}, {"// note", kComment}, {"class Cart", kKeyword}, {"Cart ext", kClass},
      {"LIMIT", kConstant}, {"add(", kMethod}, {"$item)", kVariable}, {"\"got", kString}, {"$item\"", kVariable},
      {"Foo::class", 0}, {"helper", kFunction}, {"<<<EOT", kString}, {"$x", kVariable}, {"EOT;", kString},
      {"return strlen", kKeyword}, {"strlen", kBuiltin}, {"10)", kNumber}},
     "Cart<>:class,LIMIT<Cart>:class constant,MAX<>:defined constant,add<Cart>:method,helper<>:function,"
     "intro<>:element id,total<Cart>:method",
     "db.php"},
    {"page.html", "html",
     "<!-- top -->\n<style>\n.box, #main { color: red; }\n</style>\n"
     "<script>\nfunction go() { return 1; }\n</script>\n<div class=\"box\">x</div>\n",
     {{"<!-- top -->", kComment}, {".box,", kClass}, {"#main", kConstant}, {"color", kAttribute}, {"red", kConstant},
      {"function go", kKeyword}, {"go(", kFunction}, {"<div", kTag}, {"class=", kAttribute}},
     "#main<>:id selector,.box<>:class selector,go<>:function", ""},
    {"app.js", "javascript",
     "import { a } from './util.js';\n"
     "/* c */ class Widget extends Base {\n  render() { return `<b>${this.name}</b>`; }\n}\n"
     "const handler = async (e) => { console.log(e, \"s\", 'q', null); };\n"
     "let count = 0;\n",
     {{"import", kKeyword}, {"'./util.js'", kString}, {"/* c */", kComment}, {"Widget", kClass},
      {"`<b>", kString}, {"${this", kVariable}, {"handler", kFunction}, {"console", kBuiltin}, {"\"s\"", kString},
      {"null", kConstant}, {"count", kVariable}, {"0;", kNumber}},
     "Widget<>:class,handler<>:function variable,render<Widget>:method", "util.js"},
    {"site.css", "css",
     "@import url(\"css/base.css\");\n/* .no */\n"
     "body, .nav-item > a:hover, #header { font-family: \"Sans\"; background: #fff url(bg.png); }\n"
     "@media (max-width: 600px) { .nav-item { display: none; } }\n",
     {{"/* .no */", kComment}, {"body", kElement}, {".nav-item >", kClass}, {"a:", kElement}, {":hover", kKeyword},
      {"#header", kConstant}, {"font-family", kAttribute}, {"\"Sans\"", kString}, {"#fff", kConstant},
      {"url(bg", kString}, {"@media", kKeyword}, {"none", kConstant}},
     "#header<>:id selector,.nav-item<>:class selector", "base.css"},
    {"tool.pl", "perl",
     "use strict;\nuse File::Basename;\nuse constant PI => 3;\n# note\n"
     "package Tool::Runner;\nsub new {\n  my ($class, %args) = @_;\n  print \"Hi $args{name}\\n\";\n"
     "  my $n = $#list;\n  my @w = qw(a b);\n  return bless {}, $class;\n}\n",
     {{"use strict", kKeyword}, {"# note", kComment}, {"Tool::Runner", kClass}, {"new {", kMethod},
      {"$class,", kVariable}, {"%args", kVariable}, {"\"Hi", kString}, {"$args{", kVariable}, {"$#list", kVariable},
      {"qw(a b)", kString}, {"bless", kBuiltin}, {"PI", kConstant}},
     "PI<>:constant,Tool::Runner<>:package,new<Tool::Runner>:method", "Basename"},
    {"model.rb", "ruby",
     "require 'json'\n# note\nmodule Shop\n  class Error < StandardError; end\n  class Cart\n"
     "    def total?\n      return 0 if @items.empty?\n      @items.map { |i| i[:price] }.sum\n    end\n"
     "    def to_s; \"#{@name}\"; end\n  end\nend\ndef helper\n  $stdout.puts %w[a b]\nend\n",
     {{"require", kBuiltin}, {"'json'", kString}, {"# note", kComment}, {"module", kKeyword}, {"Cart\n", kClass},
      {"total?", kMethod}, {"@items.empty", kInstance}, {":price", kConstant}, {"\"#{", kString},
      {"#{@name}", kVariable}, {"helper", kFunction}, {"$stdout", kGlobal}, {"%w[a b]", kString}},
     "Cart<Shop>:class,Error<Shop>:class,Shop<>:module,helper<>:function,to_s<Cart>:method,total?<Cart>:method",
     "json"},
    {"data.xml", "xml",
     "<?xml version=\"1.0\"?>\n<!-- c -->\n<xsl:sheet id=\"s1\" a=\"b\"><![CDATA[ <x> ]]>&amp;</xsl:sheet>\n",
     {{"<?xml", kKeyword}, {"<!-- c -->", kComment}, {"<xsl:sheet", kTag}, {" id=", kAttribute},
      {"\"s1\"", kString}, {"<![CDATA[", kString}, {"&amp", kConstant}},
     "s1<>:element id", ""},
};

class ShippedSample : public ::testing::TestWithParam<Sample> {};

std::string SymbolsOf(FileDescriptorPtr descriptor) {
  std::vector<std::string> out;
  descriptor->symbolTable->ApplyFunction(
      [](SymbolInfoPtr info, CFTreeRef, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(info->symbolName.str() + "<" +
                                                                   info->parentName.str() + ">:" +
                                                                   info->definitionName.str());
      },
      &out);
  std::sort(out.begin(), out.end());
  std::string s;
  for (const std::string& x : out) s += (s.empty() ? "" : ",") + x;
  return s;
}

TEST_P(ShippedSample, StylesAndSymbols) {
  const Sample& sample = GetParam();
  namespace fs = std::filesystem;
  const char* tmp = std::getenv("TMPDIR");
  const fs::path folder = fs::path(tmp ? tmp : "/tmp") / ("languagefiles-" + std::string(sample.language) + "-" +
                                                         std::to_string(getpid()));
  fs::create_directories(folder / "index");
  const fs::path path = folder / sample.file;
  std::ofstream(path, std::ios::binary) << sample.text;

  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(nullptr));
  for (const char* language : kLanguages) collection->LoadLibrary(language);
  auto makeRef = [](const fs::path& p) {
    FSRef ref{};
    const std::string s = p.string();
    FSPathMakeRef(reinterpret_cast<const UInt8*>(s.c_str()), &ref, nullptr);
    return ref;
  };
  TFileSystem* index = CreateFileSystem(makeRef(folder / "index"), collection.get(), nullptr);
  ASSERT_NE(index, nullptr);
  index->SetRoot(makeRef(folder));
  RecordingSyntaxController controller;
  SyntaxParserSource source;
  source.library = collection->GetLanguageLibrary(sample.language);
  source.file = makeRef(path);
  source.controller = &controller;
  SyntaxParserDestination destination;
  destination.fileSystem = index;
  destination.collection = collection.get();
  auto* process = new TSyntaxParserProcess();
  ASSERT_EQ(process->Create(source, destination), 0);
  TSyntaxParserProcess* next = nullptr;
  while (process->Run(next) == 1) {
  }
  process->Free();

  // The scan sees lines ending in carriage returns.
  std::string text = sample.text;
  for (char& c : text)
    if (c == '\n') c = '\r';
  for (const Styled& s : sample.styles) {
    std::string fragment = s.fragment;
    for (char& c : fragment)
      if (c == '\n') c = '\r';
    const size_t at = text.find(fragment);
    ASSERT_NE(at, std::string::npos) << s.fragment;
    ASSERT_LT(at, controller.attributes.size()) << s.fragment;
    const RecordingSyntaxController::Attributes& a = controller.attributes[at];
    if (s.slot == 0) {
      EXPECT_FALSE(a.styled) << sample.file << ": \"" << s.fragment << "\" is styled";
    } else {
      EXPECT_TRUE(a.styled && RecordingSyntaxController::Same(a.color, GetSyntaxStyleDefaultColor(s.slot)))
          << sample.file << ": \"" << s.fragment << "\" is not in style " << GetSyntaxStyleDisplayName(s.slot);
    }
  }
  FileDescriptorPtr descriptor = index->GetDescriptor(Str63(sample.file));
  ASSERT_NE(descriptor, nullptr);
  EXPECT_EQ(SymbolsOf(descriptor), sample.symbols) << sample.file;
  std::string headers;
  for (CFIndex i = 0; descriptor->headers && i < CFArrayGetCount(descriptor->headers); ++i)
    headers += (headers.empty() ? "" : ",") + Text(CFArrayGetValueAtIndex(descriptor->headers, i));
  EXPECT_EQ(headers, sample.headers) << sample.file;
  index->Release();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

void PrintTo(const Sample& s, std::ostream* os) { *os << s.file; }

// Ruby files parsed one after another into one project index, as a folder
// is indexed; the symbols of each file as SymbolsOf gives them.
std::map<std::string, std::string> IndexRubyFiles(const std::vector<std::pair<std::string, std::string>>& files) {
  namespace fs = std::filesystem;
  const char* tmp = std::getenv("TMPDIR");
  const fs::path folder = fs::path(tmp ? tmp : "/tmp") / ("languagefiles-ruby-index-" + std::to_string(getpid()));
  fs::create_directories(folder / "index");
  auto makeRef = [](const fs::path& p) {
    FSRef ref{};
    const std::string s = p.string();
    FSPathMakeRef(reinterpret_cast<const UInt8*>(s.c_str()), &ref, nullptr);
    return ref;
  };
  for (const auto& [name, text] : files) std::ofstream(folder / name, std::ios::binary) << text;
  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(nullptr));
  collection->LoadLibrary("ruby");
  TFileSystem* index = CreateFileSystem(makeRef(folder / "index"), collection.get(), nullptr);
  index->SetRoot(makeRef(folder));
  SyntaxParserDestination destination;
  destination.fileSystem = index;
  destination.collection = collection.get();
  std::map<std::string, std::string> symbols;
  for (const auto& [name, text] : files) {
    SyntaxParserSource source;
    source.file = makeRef(folder / name);
    auto* process = new TSyntaxParserProcess();
    if (process->Create(source, destination) == 0) {
      TSyntaxParserProcess* next = nullptr;
      while (process->Run(next) == 1) {
      }
    }
    process->Free();
  }
  for (const auto& [name, text] : files) {
    FileDescriptorPtr descriptor = index->GetDescriptor(Str63(name.c_str()));
    symbols[name] = descriptor != nullptr ? SymbolsOf(descriptor) : "(not indexed)";
  }
  index->Release();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return symbols;
}

// Accessors and constants of Ruby the index must not miss: names given as
// strings or in brackets, several on a line; declarations after "class
// <<self" (no text block), after the variables "$`", "$'" and "$/" (no
// command, string or pattern), after an "if" that opens a value ("x = (if
// ..."), and after a loop whose word another file names a method. A comment
// on an accessor's line names nothing.
TEST(RubyDeclarations, AccessorsAndConstantsAreFound) {
  const std::string declarations =
      "class Alpha\n"
      "  attr_accessor :a1, :a2\n"
      "  attr_reader(:r1)\n"
      "  attr_writer \"w1\"\n"
      "  attr_accessor('h1', :h2)\n"
      "  attr_reader :c1 # :nodoc:\n"
      "  attr_writer element if element != \"not_one\"\n"
      "  class <<self\n"
      "    attr_reader :s1\n"
      "  end\n"
      "  def split(text)\n"
      "    head = $` if /x/ =~ text\n"
      "    tail = $'\n"
      "    text.chomp($/)\n"
      "  end\n"
      "  def total(items)\n"
      "    sum = (if items.empty?\n"
      "             0\n"
      "           else\n"
      "             items.sum\n"
      "           end)\n"
      "    sum\n"
      "  end\n"
      "  LIMIT = 5\n"
      "  attr_reader :last\n"
      "end\n"
      "TOP = 1\n";
  const std::string loops =
      "class Beta\n"
      "  def each_key\n"
      "    for k in keys\n"
      "      yield k\n"
      "    end\n"
      "  end\n"
      "  attr_reader :after_loop\n"
      "  MAX = 2\n"
      "end\n";
  // The method "for" is indexed before the loop is read.
  const auto symbols = IndexRubyFiles(
      {{"a_range.rb", "class Span\n  def for(x)\n    x\n  end\nend\n"}, {"b_declarations.rb", declarations},
       {"c_loops.rb", loops}});
  EXPECT_EQ(symbols.at("b_declarations.rb"),
            "Alpha<>:class,LIMIT<Alpha>:constant,TOP<>:constant,a1<Alpha>:accessor,a2<Alpha>:accessor,"
            "c1<Alpha>:accessor,h1<Alpha>:accessor,h2<Alpha>:accessor,last<Alpha>:accessor,r1<Alpha>:accessor,"
            "s1<Alpha>:accessor,split<Alpha>:method,total<Alpha>:method,w1<Alpha>:accessor");
  EXPECT_EQ(symbols.at("c_loops.rb"),
            "Beta<>:class,MAX<Beta>:constant,after_loop<Beta>:accessor,each_key<Beta>:method");
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedSample, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                           std::string name = info.param.language;
                           return name + "_" + std::to_string(info.index);
                         });

}  // namespace
