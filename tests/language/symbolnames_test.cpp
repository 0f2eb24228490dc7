// The index's table of global names answers as a plain map would, through
// growth, removal and clearing, for names that share their length and end
// letters and names that do not.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TFileSystemUnit.h"

namespace {

SymbolInfoPtr Token(size_t n) { return reinterpret_cast<SymbolInfoPtr>(uintptr_t(n + 1) * 16); }

TEST(SymbolNames, AnswersAsAMapDoes) {
  // Names alike in length and first and last letters, and others.
  std::vector<std::string> names = {"a", "b", "ab", "ax", "xb", "abc", "axc", "abd", "total", "tidal", "table",
                                    "Total", std::string(63, 'q'), std::string(62, 'q') + "r", "$x", "_", "__init__"};
  for (int i = 0; i < 300; ++i) names.push_back("n" + std::to_string(i * 7919 % 1000) + "z");
  std::vector<std::string> strangers = {"c", "ac", "abe", "totam", "TOTAL", "", std::string(64, 'q'), "n1z1"};

  SymbolNameTable table;
  std::map<std::string, SymbolInfoPtr> expected;
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    for (const std::string& name : names) {
      auto it = expected.find(name);
      EXPECT_EQ(table.Find(name), it == expected.end() ? nullptr : it->second) << name;
    }
    for (const std::string& name : strangers) EXPECT_EQ(table.Find(name), nullptr) << name;
  };

  check("empty");
  unsigned seed = 7;
  for (int round = 0; round < 2000; ++round) {
    seed = seed * 1103515245u + 12345u;
    const std::string& name = names[(seed >> 8) % names.size()];
    if ((seed >> 20) % 3 == 0) {
      table.Erase(name);
      expected.erase(name);
    } else {
      table.Set(name, Token(size_t(round)));
      expected[name] = Token(size_t(round));
    }
    if (round % 250 == 0) check("mixed");
  }
  check("after changes");
  // Every name removed, then a few entered again.
  for (const std::string& name : names) table.Erase(name);
  expected.clear();
  check("all erased");
  for (size_t i = 0; i < names.size(); i += 3) {
    table.Set(names[i], Token(i));
    expected[names[i]] = Token(i);
  }
  check("entered again");
  table.Clear();
  expected.clear();
  check("cleared");
  table.Set("ab", Token(1));
  expected["ab"] = Token(1);
  check("one after clearing");
}

TEST(SymbolNames, NamesStayRightThroughManyRemovals) {
  // Long names entered and removed over and over: the room of removed names
  // is taken back while others live on, and every answer stays right.
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) names.push_back(std::string(40 + i % 20, char('a' + i % 26)) + std::to_string(i));
  SymbolNameTable table;
  for (size_t i = 0; i < names.size(); i += 2) table.Set(names[i], Token(i));
  for (int round = 0; round < 30; ++round) {
    for (size_t i = 1; i < names.size(); i += 2) table.Set(names[i], Token(i + size_t(round) * 1000));
    for (size_t i = 1; i < names.size(); i += 2) {
      ASSERT_EQ(table.Find(names[i]), Token(i + size_t(round) * 1000)) << "round " << round << " " << names[i];
      table.Erase(names[i]);
    }
    for (size_t i = 0; i < names.size(); ++i)
      ASSERT_EQ(table.Find(names[i]), i % 2 == 0 ? Token(i) : nullptr) << "round " << round << " " << names[i];
  }
}

}  // namespace
