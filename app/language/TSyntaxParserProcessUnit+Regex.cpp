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
  // Where a match can begin: only at 0 when the program opens with "^";
  // else on a character of first, or anywhere when a way takes none.
  bool anchored = false;
  bool anyFirst = false;
  std::bitset<256> first;
  // By instruction: the characters a way from there can take first, and
  // whether a way from there may end (or meet "$") without taking one.
  std::vector<std::bitset<256>> opens;
  std::vector<UInt8> mayEnd;
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
  // The characters a way can open on, through splits, jumps and saves, from
  // each instruction ("^" is passed as if it held).
  const std::vector<Instruction>& code = program->code;
  program->anchored = code[0].op == kLineStart;
  program->opens.assign(code.size(), std::bitset<256>());
  program->mayEnd.assign(code.size(), 0);
  std::vector<bool> seen(code.size(), false);
  std::vector<int> work;
  for (size_t from = 0; from < code.size(); ++from) {
    std::fill(seen.begin(), seen.end(), false);
    work.assign(1, int(from));
    while (!work.empty()) {
      const int pc = work.back();
      work.pop_back();
      if (seen[size_t(pc)]) continue;
      seen[size_t(pc)] = true;
      const Instruction& in = code[size_t(pc)];
      switch (in.op) {
        case kChar:
          program->opens[from] |= program->sets[size_t(in.a)];
          break;
        case kSplit:
          work.push_back(in.a);
          work.push_back(in.b);
          break;
        case kJump:
          work.push_back(in.a);
          break;
        case kSave:
        case kLineStart:
          work.push_back(pc + 1);
          break;
        case kLineEnd:
        case kMatch:
          program->mayEnd[from] = 1;
          break;
      }
    }
  }
  program->first = program->opens[0];
  program->anyFirst = program->mayEnd[0] != 0;
  return program.release();
}

void DisposeGroupProgram(GroupProgram* program) { delete program; }

namespace {

// What a search found: the end of the longest match (or the fixed one), the
// group of the ways that end there, and whether those ways disagree.
struct Found {
  bool any = false;
  bool disagree = false;
  int end = -1;
  int groupStart = -1, groupEnd = -1;
};

// Every way the program matches from position from, as a search over
// (instruction, position, group start, group end) states; a way ends where
// the program does, at to when exact, anywhere up to to otherwise. States
// are remembered only at the heads of loops that may come round without
// moving on, which is where the search could otherwise run forever;
// elsewhere a state met twice is merely explored twice, with a bound on the
// work (false when it runs out). Remembered states are kept across the calls
// of one Reset, which is sound while no earlier call found a match.
class Search {
 public:
  Search(const GroupProgram* program, const unsigned char* subject, int length)
      : code_(program->code.data()),
        sets_(program->sets.data()),
        opens_(program->opens.data()),
        mayEnd_(program->mayEnd.data()),
        subject_(subject),
        length_(length),
        visited_(visited()),
        touched_(touched()),
        stack_(Stack()) {}
  ~Search() {
    for (size_t i : touched_) visited_[i] = 0;
    touched_.clear();
  }

  long steps() const { return steps_; }

  bool Run(int from, int to, bool exact, Found& found) {
    std::vector<State>& stack = stack_;
    stack.clear();
    stack.push_back({0, from, -1, -1});
    while (!stack.empty()) {
      State s = stack.back();
      stack.pop_back();
      for (;;) {
        if (++steps_ > kMaxSteps) return false;
        const Instruction& in = code_[s.pc];
        bool alive = true;
        switch (in.op) {
          case kChar:
            if (s.pos < to && sets_[in.a].test(subject_[s.pos])) {
              ++s.pos;
              ++s.pc;
            } else {
              alive = false;
            }
            break;
          case kSplit: {
            if (in.remember) {
              const int seen = FirstVisit(s);
              if (seen < 0) return false;
              if (seen == 0) {
                alive = false;
                break;
              }
            }
            if (!in.remember && code_[in.a].op == kChar && code_[in.a + 1].op == kJump && code_[in.a + 1].a == s.pc) {
              // A loop over one character class: take the run it can cover in
              // one stride, leaving at each place the way out is open.
              const std::bitset<256>& set = sets_[code_[in.a].a];
              int end = s.pos;
              while (end < to && set.test(subject_[end])) ++end;
              steps_ += end - s.pos;
              int last = -1;
              for (int at = s.pos; at <= end; ++at) {
                if (DeadEnd(in.b, at, to)) continue;
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
            const bool first = !DeadEnd(in.a, s.pos, to), second = !DeadEnd(in.b, s.pos, to);
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
            if (s.pos == length_) ++s.pc;
            else alive = false;
            break;
          case kMatch:
            if (!exact || s.pos == to) {
              const int start = s.start, end = s.start < 0 ? -1 : s.end;
              if (!found.any || s.pos > found.end) {
                found.any = true;
                found.disagree = false;
                found.end = s.pos;
                found.groupStart = start;
                found.groupEnd = end;
              } else if (s.pos == found.end && (start != found.groupStart || end != found.groupEnd)) {
                found.disagree = true;
                if (exact) return true;
              }
            }
            alive = false;
            break;
        }
        if (!alive) break;
      }
    }
    return true;
  }

 private:
  struct State {
    int pc, pos, start, end;
  };
  static constexpr size_t kTableSize = 1 << 12;
  static constexpr long kMaxSteps = 1 << 16;
  static std::vector<UInt64>& visited() {
    static thread_local std::vector<UInt64> table(kTableSize, 0);
    return table;
  }
  static std::vector<size_t>& touched() {
    static thread_local std::vector<size_t> list;
    return list;
  }
  static std::vector<State>& Stack() {
    static thread_local std::vector<State> stack;
    return stack;
  }
  // 0: seen; 1: new; -1: too many states.
  int FirstVisit(const State& s) {
    const UInt64 key = (UInt64(UInt32(s.pc)) << 32 | UInt64(UInt16(s.pos + 1)) << 16 | UInt64(UInt8(s.start + 1)) << 8 |
                        UInt64(UInt8(s.end + 1))) + 1;
    std::vector<UInt64>& table = visited_;
    for (size_t i = size_t((key * 0x9E3779B97F4A7C15ull) >> 52);; i = (i + 1) & (kTableSize - 1)) {
      if (table[i] == key) return 0;
      if (table[i] == 0) {
        std::vector<size_t>& list = touched_;
        if (list.size() >= kTableSize / 2) return -1;
        table[i] = key;
        list.push_back(i);
        return 1;
      }
    }
  }
  // A branch that must take a character, and none it can take is there, is dead.
  bool DeadEnd(int pc, int pos, int to) const {
    if (mayEnd_[pc] != 0) return false;
    return pos >= to || !opens_[size_t(pc)].test(subject_[pos]);
  }

  const Instruction* code_;
  const std::bitset<256>* sets_;
  const std::bitset<256>* opens_;
  const UInt8* mayEnd_;
  const unsigned char* subject_;
  int length_;
  std::vector<UInt64>& visited_;
  std::vector<size_t>& touched_;
  std::vector<State>& stack_;
  long steps_ = 0;
};

}  // namespace

// Every way the program matches subject[from, to) exactly. 1 with the group
// (start -1 when it took no part) when all ways agree; 0 when they do not or
// the search grows too large.
int RunGroupProgram(const GroupProgram* program, const unsigned char* subject, int length, int from, int to,
                    int& groupStart, int& groupEnd) {
  if (program == nullptr || from < 0 || to < from || to > length) return 0;
  if (length > 254) return 0;  // positions are kept in a byte
  if (std::memchr(subject, 0, size_t(length)) != nullptr) return 0;
  Search search(program, subject, length);
  Found found;
  if (!search.Run(from, to, true, found) || !found.any || found.disagree) return 0;
  groupStart = found.groupStart;
  groupEnd = found.groupEnd;
  return 1;
}

// The match the library reports is the leftmost one, and of those starting
// there the longest: the first start from which any way matches, and the
// farthest end the ways from it reach. The group is read among the ways that
// end there, as above.
int FindGroupProgram(const GroupProgram* program, const unsigned char* subject, int length, bool& matched,
                     int& groupStart, int& groupEnd, long* work) {
  if (program == nullptr || length < 0 || length > 254) return 0;
  for (int i = 0; i < length; ++i)
    if (subject[i] == 0 || subject[i] >= 0x80) return 0;  // the library's own reading of these may differ
  // A pattern that may begin on many characters is tried from many places,
  // each a search of its own: the library's single pass is cheaper there.
  if (!program->anchored && (program->anyFirst || program->first.count() > 8)) return 0;
  Search search(program, subject, length);
  struct Tell {
    const Search& search;
    long* work;
    ~Tell() {
      if (work != nullptr) *work = search.steps();
    }
  } tell{search, work};
  const int lastStart = program->anchored ? 0 : length;
  for (int from = 0; from <= lastStart; ++from) {
    if (!program->anyFirst && (from == length || !program->first.test(subject[from]))) continue;
    Found found;
    if (!search.Run(from, length, false, found)) return 0;
    if (!found.any) continue;
    if (found.disagree) return 0;
    matched = true;
    groupStart = found.groupStart;
    groupEnd = found.groupEnd;
    return 1;
  }
  matched = false;
  groupStart = groupEnd = -1;
  return 1;
}

int GroupProgramGroups(const GroupProgram* program) { return program != nullptr ? program->groups : 0; }

}  // namespace SyntaxScan
