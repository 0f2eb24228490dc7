// The name a declaration pattern captures, found without asking the regular
// expression library for its groups: that request costs some microseconds a
// match, and a project has a declaration every few lines.
//
// The library still finds the match (its extent is cheap to ask for). Within
// that extent every way the pattern can match is explored, keeping only the
// position of the group wanted; when all ways agree, that is the library's
// answer too, since its answer is one of them. When they disagree, or the
// pattern uses what this reader does not know, the caller asks the library.
#include <bitset>
#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

#include "TSyntaxParserProcessUnit+Internal.h"

namespace SyntaxScan {

namespace {

enum Op : UInt8 { kChar, kSplit, kJump, kSave, kLineStart, kLineEnd, kMatch };

struct Instruction {
  Op op;
  int a = 0, b = 0;  // kChar: set index; kSplit: both targets; kJump: a; kSave: slot
  bool remember = false;  // kSplit heading a loop that may come back without taking a character
};

struct Node {
  enum Kind { kSet, kStart, kEnd, kGroup, kAlternation, kSequence, kRepeat } kind;
  int set = 0;     // kSet
  int group = 0;   // kGroup: 1-based
  int min = 0, max = 0;  // kRepeat; max -1 for no bound
  std::vector<int> children;
};

class Parser {
 public:
  Parser(const char* p, std::vector<Node>& nodes, std::vector<std::bitset<256>>& sets)
      : p_(p), nodes_(nodes), sets_(sets) {}
  int groups = 0;
  bool ok = true;

  int Parse() {
    const int root = Alternation();
    if (*p_ != 0) ok = false;
    return root;
  }

 private:
  int Add(Node n) {
    nodes_.push_back(std::move(n));
    return int(nodes_.size()) - 1;
  }
  int AddSet(const std::bitset<256>& s) {
    sets_.push_back(s);
    return Add(Node{Node::kSet, int(sets_.size()) - 1, 0, 0, 0, {}});
  }
  int Alternation() {
    Node alt{Node::kAlternation, 0, 0, 0, 0, {}};
    alt.children.push_back(Sequence());
    while (ok && *p_ == '|') {
      ++p_;
      alt.children.push_back(Sequence());
    }
    if (alt.children.size() == 1) return alt.children[0];
    return Add(std::move(alt));
  }
  int Sequence() {
    Node seq{Node::kSequence, 0, 0, 0, 0, {}};
    while (ok && *p_ != 0 && *p_ != '|' && *p_ != ')') seq.children.push_back(Piece());
    if (seq.children.empty()) ok = false;  // an empty branch: left to the library
    return Add(std::move(seq));
  }
  int Piece() {
    int atom = Atom();
    if (!ok) return atom;
    const Node::Kind kind = nodes_[size_t(atom)].kind;
    if ((kind == Node::kStart || kind == Node::kEnd) && (*p_ == '*' || *p_ == '+' || *p_ == '?' || *p_ == '{')) {
      ok = false;  // an anchor with a repetition: left to the library
      return atom;
    }
    if (*p_ == '*' || *p_ == '+' || *p_ == '?') {
      const char q = *p_++;
      Node r{Node::kRepeat, 0, 0, q == '+' ? 1 : 0, q == '?' ? 1 : -1, {atom}};
      atom = Add(std::move(r));
      if (*p_ == '*' || *p_ == '+' || *p_ == '?' || *p_ == '{') ok = false;
    } else if (*p_ == '{') {
      ok = false;  // intervals are left to the library
    }
    return atom;
  }
  int Atom() {
    const unsigned char c = static_cast<unsigned char>(*p_);
    std::bitset<256> s;
    switch (c) {
      case '(': {
        ++p_;
        const int group = ++groups;
        const int body = Alternation();
        if (*p_ != ')') {
          ok = false;
          return body;
        }
        ++p_;
        return Add(Node{Node::kGroup, 0, group, 0, 0, {body}});
      }
      case '^':
        ++p_;
        return Add(Node{Node::kStart, 0, 0, 0, 0, {}});
      case '$':
        ++p_;
        return Add(Node{Node::kEnd, 0, 0, 0, 0, {}});
      case '.':
        ++p_;
        s.set();
        s.reset(0);
        return AddSet(s);
      case '[':
        ++p_;
        Bracket(s);
        return AddSet(s);
      case '\\': {
        const unsigned char e = static_cast<unsigned char>(p_[1]);
        // A word character and a space, as the library reads them in the C locale.
        if (e == 'w' || e == 's') {
          p_ += 2;
          if (e == 's') ClassSet("space", 5, s);
          else {
            ClassSet("alnum", 5, s);
            s.set('_');
          }
          return AddSet(s);
        }
        // Only an escaped punctuation mark is surely literal; letters and
        // digits after a backslash have meanings of their own.
        if (e == 0 || e >= 128 || std::isalnum(e) || e == '<' || e == '>' || e == '`' || e == '\'') {
          ok = false;
          return 0;
        }
        p_ += 2;
        s.set(e);
        return AddSet(s);
      }
      case ')':
      case '*':
      case '+':
      case '?':
      case '{':
      case '|':
      case 0:
        ok = false;
        return 0;
      default:
        ++p_;
        s.set(c);
        return AddSet(s);
    }
  }
  // The C locale's classes, as the library knows them there.
  static bool ClassSet(const char* name, size_t n, std::bitset<256>& s) {
    struct Class {
      const char* name;
      int (*test)(int);
    };
    static const Class kClasses[] = {{"alpha", isalpha}, {"digit", isdigit}, {"alnum", isalnum},
                                     {"space", isspace}, {"upper", isupper}, {"lower", islower},
                                     {"punct", ispunct}, {"xdigit", isxdigit}, {"blank", isblank},
                                     {"cntrl", iscntrl}, {"print", isprint}, {"graph", isgraph}};
    for (const Class& k : kClasses) {
      if (std::strlen(k.name) != n || std::strncmp(k.name, name, n) != 0) continue;
      for (int c = 0; c < 128; ++c)
        if (k.test(c)) s.set(size_t(c));
      return true;
    }
    return false;
  }
  void Bracket(std::bitset<256>& s) {
    bool negate = false;
    if (*p_ == '^') {
      negate = true;
      ++p_;
    }
    bool first = true;
    while (ok) {
      const unsigned char c = static_cast<unsigned char>(*p_);
      if (c == 0) {
        ok = false;
        return;
      }
      if (c == ']' && !first) {
        ++p_;
        break;
      }
      first = false;
      if (c == '[' && (p_[1] == '.' || p_[1] == '=')) {
        ok = false;
        return;
      }
      if (c == '[' && p_[1] == ':') {
        const char* end = std::strstr(p_ + 2, ":]");
        if (end == nullptr || !ClassSet(p_ + 2, size_t(end - (p_ + 2)), s)) {
          ok = false;
          return;
        }
        p_ = end + 2;
        continue;
      }
      if (c >= 128) {
        ok = false;
        return;
      }
      if (p_[1] == '-' && p_[2] != ']' && p_[2] != 0) {
        const unsigned char d = static_cast<unsigned char>(p_[2]);
        if (d >= 128 || d == '[' || d < c) {
          ok = false;
          return;
        }
        for (unsigned v = c; v <= d; ++v) s.set(v);
        p_ += 3;
        continue;
      }
      s.set(c);
      ++p_;
    }
    if (negate) {
      s.flip();
      s.reset(0);  // kept out of reach: subjects with a zero byte go to the library
    }
  }

  const char* p_;
  std::vector<Node>& nodes_;
  std::vector<std::bitset<256>>& sets_;
};

}  // namespace

struct GroupProgram {
  std::vector<Instruction> code;
  std::vector<std::bitset<256>> sets;
  int groups = 0;
};

namespace {

class Emitter {
 public:
  Emitter(const std::vector<Node>& nodes, GroupProgram& program, int token)
      : nodes_(nodes), code_(program.code), token_(token) {}
  bool ok = true;

  void Emit(int index, bool repeated) {
    if (!ok || code_.size() > 2000) {
      ok = false;
      return;
    }
    const Node& n = nodes_[size_t(index)];
    switch (n.kind) {
      case Node::kSet:
        code_.push_back({kChar, n.set, 0});
        break;
      case Node::kStart:
        code_.push_back({kLineStart});
        break;
      case Node::kEnd:
        code_.push_back({kLineEnd});
        break;
      case Node::kGroup:
        // A repeated group keeps the value of one pass or another: left to
        // the library.
        if (n.group == token_ && repeated) ok = false;
        code_.push_back({kSave, n.group == token_ ? 0 : -1, 0});
        Emit(n.children[0], repeated);
        code_.push_back({kSave, n.group == token_ ? 1 : -1, 0});
        break;
      case Node::kSequence:
        for (int child : n.children) Emit(child, repeated);
        break;
      case Node::kAlternation: {
        std::vector<size_t> jumps;
        for (size_t i = 0; i < n.children.size(); ++i) {
          if (i + 1 < n.children.size()) {
            const size_t split = code_.size();
            code_.push_back({kSplit, int(split + 1), 0});
            Emit(n.children[i], repeated);
            jumps.push_back(code_.size());
            code_.push_back({kJump, 0, 0});
            code_[split].b = int(code_.size());
          } else {
            Emit(n.children[i], repeated);
          }
        }
        for (size_t j : jumps) code_[j].a = int(code_.size());
        break;
      }
      case Node::kRepeat: {
        const int child = n.children[0];
        for (int i = 0; i < n.min; ++i) Emit(child, repeated || n.max != 1);
        if (n.max < 0) {
          const size_t loop = code_.size();
          code_.push_back({kSplit, int(loop + 1), 0});
          Emit(child, true);
          code_.push_back({kJump, int(loop), 0});
          code_[loop].b = int(code_.size());
          // A loop over one character class always moves on; any other loop
          // may come round at the same place, so its states are remembered.
          code_[loop].remember = !(code_.size() == loop + 3 && code_[loop + 1].op == kChar);
        } else {
          for (int i = n.min; i < n.max; ++i) {
            const size_t split = code_.size();
            code_.push_back({kSplit, int(split + 1), 0});
            Emit(child, repeated || n.max > 1);
            code_[split].b = int(code_.size());
          }
        }
        break;
      }
    }
  }

 private:
  const std::vector<Node>& nodes_;
  std::vector<Instruction>& code_;
  int token_;
};

}  // namespace

GroupProgram* CompileGroupProgram(const char* pattern, int token) {
  if (pattern == nullptr || token < 1) return nullptr;
  std::vector<Node> nodes;
  auto program = std::make_unique<GroupProgram>();
  Parser parser(pattern, nodes, program->sets);
  const int root = parser.Parse();
  if (!parser.ok) return nullptr;
  program->groups = parser.groups;
  Emitter emitter(nodes, *program, token);
  emitter.Emit(root, false);
  if (!emitter.ok) return nullptr;
  program->code.push_back({kMatch});
  return program.release();
}

void DisposeGroupProgram(GroupProgram* program) { delete program; }

// Every way the program matches subject[from, to) exactly, as a search over
// (instruction, position, group start, group end) states. States are
// remembered only at the heads of loops that may come round without moving
// on, which is where the search could otherwise run forever; elsewhere a
// state met twice is merely explored twice, with a bound on the work.
// 1 with the group (start -1 when it took no part) when all ways agree; 0
// when they do not or the search grows too large.
int RunGroupProgram(const GroupProgram* program, const unsigned char* subject, int length, int from, int to,
                    int& groupStart, int& groupEnd) {
  if (program == nullptr || from < 0 || to < from || to > length) return 0;
  if (length > 254) return 0;  // positions are kept in a byte
  if (std::memchr(subject, 0, size_t(length)) != nullptr) return 0;
  struct State {
    int pc, pos, start, end;
  };
  constexpr size_t kTableSize = 1 << 12;
  constexpr long kMaxSteps = 1 << 16;
  static thread_local std::vector<UInt64> visited(kTableSize, 0);
  static thread_local std::vector<size_t> touched;
  static thread_local std::vector<State> stack;
  stack.clear();
  struct Reset {
    ~Reset() {
      for (size_t i : touched) visited[i] = 0;
      touched.clear();
    }
  } reset;
  auto firstVisit = [&](const State& s) -> int {
    // 0: seen; 1: new; -1: too many states.
    const UInt64 key = (UInt64(UInt32(s.pc)) << 32 | UInt64(UInt16(s.pos + 1)) << 16 | UInt64(UInt8(s.start + 1)) << 8 |
                        UInt64(UInt8(s.end + 1))) + 1;
    for (size_t i = size_t((key * 0x9E3779B97F4A7C15ull) >> 52);; i = (i + 1) & (kTableSize - 1)) {
      if (visited[i] == key) return 0;
      if (visited[i] == 0) {
        if (touched.size() >= kTableSize / 2) return -1;
        visited[i] = key;
        touched.push_back(i);
        return 1;
      }
    }
  };
  const Instruction* code = program->code.data();
  const std::bitset<256>* sets = program->sets.data();
  // A branch that opens on a character the subject lacks there is dead.
  auto deadEnd = [&](int pc, int pos) {
    const Instruction& in = code[pc];
    return in.op == kChar && (pos >= to || !sets[in.a].test(subject[pos]));
  };
  long steps = 0;
  bool found = false;
  int foundStart = -1, foundEnd = -1;
  stack.push_back({0, from, -1, -1});
  while (!stack.empty()) {
    State s = stack.back();
    stack.pop_back();
    for (;;) {
      if (++steps > kMaxSteps) return 0;
      const Instruction& in = code[s.pc];
      bool alive = true;
      switch (in.op) {
        case kChar:
          if (s.pos < to && sets[in.a].test(subject[s.pos])) {
            ++s.pos;
            ++s.pc;
          } else {
            alive = false;
          }
          break;
        case kSplit: {
          if (in.remember) {
            const int seen = firstVisit(s);
            if (seen < 0) return 0;
            if (seen == 0) {
              alive = false;
              break;
            }
          }
          if (!in.remember && code[in.a].op == kChar && code[in.a + 1].op == kJump && code[in.a + 1].a == s.pc) {
            // A loop over one character class: take the run it can cover in
            // one stride, leaving at each place the way out is open.
            const std::bitset<256>& set = sets[code[in.a].a];
            int end = s.pos;
            while (end < to && set.test(subject[end])) ++end;
            steps += end - s.pos;
            int last = -1;
            for (int at = s.pos; at <= end; ++at) {
              if (deadEnd(in.b, at)) continue;
              if (last >= 0) stack.push_back({in.b, last, s.start, s.end});
              last = at;
            }
            if (last < 0) {
              alive = false;
            } else {
              s.pc = in.b;
              s.pos = last;
            }
            break;
          }
          const bool first = !deadEnd(in.a, s.pos), second = !deadEnd(in.b, s.pos);
          if (first && second) stack.push_back({in.b, s.pos, s.start, s.end});
          if (first) s.pc = in.a;
          else if (second) s.pc = in.b;
          else alive = false;
          break;
        }
        case kJump:
          s.pc = in.a;
          break;
        case kSave:
          if (in.a == 0) s.start = s.pos;
          if (in.a == 1) s.end = s.pos;
          ++s.pc;
          break;
        case kLineStart:
          if (s.pos == 0) ++s.pc;
          else alive = false;
          break;
        case kLineEnd:
          if (s.pos == length) ++s.pc;
          else alive = false;
          break;
        case kMatch:
          if (s.pos == to) {
            const int start = s.start, end = s.start < 0 ? -1 : s.end;
            if (found && (start != foundStart || end != foundEnd)) return 0;
            found = true;
            foundStart = start;
            foundEnd = end;
          }
          alive = false;
          break;
      }
      if (!alive) break;
    }
  }
  if (!found) return 0;
  groupStart = foundStart;
  groupEnd = foundEnd;
  return 1;
}

int GroupProgramGroups(const GroupProgram* program) { return program != nullptr ? program->groups : 0; }

}  // namespace SyntaxScan
