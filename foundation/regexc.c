/* regexc over glibc's POSIX regcomp/regexec. glibc has no length-counted
   compile or match: the pattern is compiled from a NUL-terminated copy and
   subjects are matched with REG_STARTEND, which bounds the search by
   pmatch[0] instead of a terminating NUL. */
#define _GNU_SOURCE
#include "regexc.h"

#include <locale.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>

/* The user's locale (usually UTF-8, set by the toolkit at start-up) would
   make the library decode Mac Roman bytes above 0x7F as broken multibyte
   sequences. Compiling and matching switch the calling thread to the "C"
   locale and back; uselocale is per thread, so this is thread-safe. */
static locale_t gCLocale = (locale_t)0;
static pthread_once_t gCLocaleOnce = PTHREAD_ONCE_INIT;

static void MakeCLocale(void) { gCLocale = newlocale(LC_ALL_MASK, "C", (locale_t)0); }

static locale_t EnterCLocale(void) {
  pthread_once(&gCLocaleOnce, MakeCLocale);
  if (gCLocale == (locale_t)0) return (locale_t)0;
  return uselocale(gCLocale);
}

static void LeaveCLocale(locale_t previous) {
  if (previous != (locale_t)0) uselocale(previous);
}

static char* CopyMessage(const char* text) {
  size_t n = strlen(text) + 1;
  char* copy = (char*)malloc(n);
  if (copy) memcpy(copy, text, n);
  return copy;
}

/* The library compiles a repetition by copying the repeated part (x{m,n}
   is m copies and n - m optional ones, x+ is x x*) and nests groups by
   recursion, so a short pattern can ask for an exponential compile ("a"
   and twenty "+" takes seconds and gigabytes) or a deep enough nesting to
   overflow the stack. Before compiling, the pattern is measured the way the
   library would build it, and refused when it would be too big:
     - more than kMaxNodes nodes after the copies are made;
     - more than kMaxNullableCopies copies of parts that may match empty
       (optional copies, and copies of an empty-matching part): each of
       those makes the compile's closure work grow with the square;
     - groups nested more than kMaxDepth deep;
     - in a pattern with an assertion (^, $, \b, \B, \<, \>, \`, \'),
       unbounded repetitions of parts that may match empty, nested in one
       another: each such repetition weighs its copies times the
       empty-matching copies inside it, plus one, and the weights of nested
       ones multiply; the heaviest, times the pattern's copies plus one
       (the empty paths that lead to it), may not pass kMaxAssertedLoops.
       The library carries each assertion's condition through every empty
       path of those loops, and the paths multiply with each level: "$x*"
       and five "+" takes minutes and gigabytes, with three "+" a few
       milliseconds; "\bx", six "?" and three "+" takes seconds, and so do
       two runs of a dozen "?" before two "+";
     - the same weight past kMaxLoops in a pattern without an assertion:
       the empty paths multiply there as well, only more slowly ("x", five
       "?" and six "+" takes most of a second, one "+" fewer a twentieth
       of that, and is refused as well: the safe side). */
enum { kMaxNodes = 1 << 16, kMaxNullableCopies = 1024, kMaxDepth = 256, kMaxAssertedLoops = 50000 };
static const double kMaxLoops = 1e9;

typedef struct Measure {
  double nodes, copies; /* see above */
  double loops;         /* the product of the weights of nested unbounded repetitions of empty-matching parts */
  int nullable;         /* may match the empty string */
} Measure;

typedef struct Frame {
  Measure alternatives; /* the finished alternatives of the group */
  int alternativeCount;
  Measure sequence; /* the alternative being read */
  Measure last;     /* the last item of the sequence, for a repetition */
  int hasLast;
} Frame;

static void StartSequence(Frame* frame) {
  frame->sequence.nodes = frame->sequence.copies = frame->sequence.loops = 0;
  frame->sequence.nullable = 1;
  frame->hasLast = 0;
}

static void AddItem(Frame* frame, Measure item) {
  frame->sequence.nodes += item.nodes;
  frame->sequence.copies += item.copies;
  if (item.loops > frame->sequence.loops) frame->sequence.loops = item.loops;
  frame->sequence.nullable = frame->sequence.nullable && item.nullable;
  frame->last = item;
  frame->hasLast = 1;
}

static void EndAlternative(Frame* frame) {
  frame->alternatives.nodes += frame->sequence.nodes + (frame->alternativeCount > 0 ? 1 : 0);
  frame->alternatives.copies += frame->sequence.copies;
  if (frame->sequence.loops > frame->alternatives.loops) frame->alternatives.loops = frame->sequence.loops;
  frame->alternatives.nullable = frame->alternatives.nullable || frame->sequence.nullable;
  frame->alternativeCount++;
}

/* A repetition of the last item: at least min times, at most max (-1: no
   bound). */
static void Repeat(Frame* frame, long min, long max) {
  if (!frame->hasLast) return; /* a leading repetition sign is a character */
  Measure item = frame->last;
  double count = max < 0 ? (double)min + 1 : (double)(max > 1 ? max : 1);
  if (max < 0 && min == 0) count = 1;
  double optional = max < 0 ? 1 : (double)(max - min);
  Measure repeated;
  repeated.nodes = item.nodes * count + count;
  repeated.copies = item.copies * count + (item.nullable ? count : optional);
  repeated.loops = item.loops * (max < 0 && item.nullable ? count * (item.copies + 1) : 1);
  repeated.nullable = item.nullable || min == 0;
  if (repeated.loops > frame->sequence.loops) frame->sequence.loops = repeated.loops;
  frame->sequence.nodes += repeated.nodes - item.nodes;
  frame->sequence.copies += repeated.copies - item.copies;
  frame->sequence.nullable = frame->sequence.nullable && repeated.nullable;
  frame->last = repeated;
}

/* Reads "m}", "m,}" or "m,n}" (close is "}" or "\}"); returns the bytes read,
   0 when the text is no bound. */
static size_t ReadBound(const char* p, const char* close, long* min, long* max) {
  const char* start = p;
  long a = 0, b = -1;
  /* The library takes "{,n}" as "{0,n}". */
  if ((*p < '0' || *p > '9') && *p != ',') return 0;
  while (*p >= '0' && *p <= '9') {
    if (a < 100000) a = a * 10 + (*p - '0');
    p++;
  }
  if (*p == ',') {
    p++;
    if (*p >= '0' && *p <= '9') {
      b = 0;
      while (*p >= '0' && *p <= '9') {
        if (b < 100000) b = b * 10 + (*p - '0');
        p++;
      }
    }
  } else {
    b = a;
  }
  size_t closeLength = strlen(close);
  if (strncmp(p, close, closeLength) != 0) return 0;
  *min = a;
  *max = b;
  return (size_t)(p - start) + closeLength;
}

/* Skips a bracket expression that starts at p ("["); returns where it ends,
   the end of the text when it is not closed. */
static const char* SkipBracket(const char* p) {
  p++;
  if (*p == '^') p++;
  if (*p == ']') p++;
  while (*p != '\0' && *p != ']') {
    if (*p == '[' && (p[1] == ':' || p[1] == '.' || p[1] == '=')) {
      char kind = p[1];
      const char* q = p + 2;
      while (*q != '\0' && !(q[0] == kind && q[1] == ']')) q++;
      p = *q != '\0' ? q + 2 : q;
    } else {
      p++;
    }
  }
  return *p == ']' ? p + 1 : p;
}

/* "\\b" and the like: the library's assertions written with a backslash. */
static int IsEscapedAssertion(char c) { return c != '\0' && strchr("bB<>`'", c) != NULL; }

/* A run of repetition signs on one item ("x??", "x+*?", "x\?\+" in a basic
   pattern) means no more than one of them does: a minimum of 0 or 1 and a
   maximum of 1 or none compose to the same pair. The library builds each
   sign as a level of its own, though, and the empty paths through those
   levels multiply: "\bx????y???????????" and two "+" compile in half a
   second, a few more signs in minutes. Each run is written as its one sign
   before the pattern is measured and compiled; groups are not touched, so
   the numbering of groups and what they match stay as written. */
static const char* RepeatSign(int min, int unbounded, int extended) {
  if (unbounded) return min ? (extended ? "+" : "\\+") : "*";
  return extended ? "?" : "\\?";
}

static void CollapseRepetitionRuns(char* pattern, int extended) {
  const char* r = pattern;
  char* w = pattern;
  char* sign = NULL; /* where the last sign of the run was written */
  int min = 0, unbounded = 0, hasItem = 0;
  while (*r != '\0') {
    int isSign = 0, signMin = 0, signUnbounded = 0;
    size_t length = 1;
    if (extended && (*r == '*' || *r == '+' || *r == '?') && hasItem) {
      isSign = 1;
      signMin = *r == '+';
      signUnbounded = *r != '?';
    } else if (!extended && *r == '*' && hasItem) {
      isSign = 1;
      signUnbounded = 1;
    } else if (!extended && *r == '\\' && (r[1] == '+' || r[1] == '?') && hasItem) {
      isSign = 1;
      signMin = r[1] == '+';
      signUnbounded = r[1] == '+';
      length = 2;
    }
    if (isSign) {
      if (sign != NULL) {
        min = min && signMin;
        unbounded = unbounded || signUnbounded;
        w = sign;
      } else {
        sign = w;
        min = signMin;
        unbounded = signUnbounded;
      }
      const char* text = RepeatSign(min, unbounded, extended);
      size_t n = strlen(text);
      memmove(w, text, n);
      w += n;
      r += length;
      continue;
    }
    sign = NULL;
    const char* next = r + 1;
    long a = 0, b = 0;
    size_t bound = 0;
    if (*r == '[') {
      next = SkipBracket(r);
      hasItem = 1;
    } else if (extended && (*r == '(' || *r == '|')) {
      hasItem = 0;
    } else if (!extended && *r == '\\' && (r[1] == '(' || r[1] == '|')) {
      next = r + 2;
      hasItem = 0;
    } else if (*r == '^' || *r == '$') {
      /* The library never repeats an anchor: a sign after one is a
         character or an error, and stays as written. */
      hasItem = 0;
    } else if (*r == '\\' && IsEscapedAssertion(r[1])) {
      next = r + 2;
      hasItem = 0;
    } else if (extended && *r == '{' && (bound = ReadBound(r + 1, "}", &a, &b)) != 0) {
      next = r + 1 + bound;
    } else if (!extended && *r == '\\' && r[1] == '{' && (bound = ReadBound(r + 2, "\\}", &a, &b)) != 0) {
      next = r + 2 + bound;
    } else if (*r == '\\' && r[1] != '\0') {
      next = r + 2;
      hasItem = 1;
    } else {
      hasItem = 1;
    }
    size_t n = (size_t)(next - r);
    memmove(w, r, n);
    w += n;
    r = next;
  }
  *w = '\0';
}

static int TooBig(const Measure* m, int asserted) {
  return m->nodes > kMaxNodes || m->copies > kMaxNullableCopies ||
         m->loops * (m->copies + 1) > (asserted ? kMaxAssertedLoops : kMaxLoops);
}


/* Whether the library's compile of the pattern would be too big. */
static int PatternTooBig(const char* p, int extended) {
  Frame frames[kMaxDepth + 1];
  int depth = 0, asserted = 0;
  memset(&frames[0], 0, sizeof frames[0]);
  StartSequence(&frames[0]);
  const Measure atom = {1, 0, 1, 0}, empty = {1, 0, 1, 1};
  while (*p != '\0') {
    Frame* frame = &frames[depth];
    long min = 0, max = 0;
    size_t bound = 0;
    int open = 0, close = 0, bar = 0;
    if (extended) {
      if (*p == '(') open = 1;
      else if (*p == ')' && depth > 0) close = 1;
      else if (*p == '|') bar = 1;
    } else if (*p == '\\') {
      if (p[1] == '(') open = 2;
      else if (p[1] == ')' && depth > 0) close = 2;
      else if (p[1] == '|') bar = 2;
    }
    if (open) {
      if (depth == kMaxDepth) return 1;
      depth++;
      memset(&frames[depth], 0, sizeof frames[depth]);
      StartSequence(&frames[depth]);
      p += open;
      continue;
    }
    if (close) {
      EndAlternative(frame);
      Measure group = frame->alternatives;
      group.nodes += 1;
      depth--;
      AddItem(&frames[depth], group);
      if (TooBig(&frames[depth].sequence, asserted)) return 1;
      p += close;
      continue;
    }
    if (bar) {
      EndAlternative(frame);
      StartSequence(frame);
      p += bar;
      continue;
    }
    if (extended && (*p == '*' || *p == '+' || *p == '?')) {
      Repeat(frame, *p == '+' ? 1 : 0, *p == '?' ? 1 : -1);
      p++;
    } else if (!extended && *p == '*' && frame->hasLast) {
      Repeat(frame, 0, -1);
      p++;
    } else if (!extended && *p == '\\' && (p[1] == '+' || p[1] == '?')) {
      Repeat(frame, p[1] == '+' ? 1 : 0, p[1] == '?' ? 1 : -1);
      p += 2;
    } else if (extended && *p == '{' && (bound = ReadBound(p + 1, "}", &min, &max)) != 0) {
      Repeat(frame, min, max);
      p += 1 + bound;
    } else if (!extended && *p == '\\' && p[1] == '{' && (bound = ReadBound(p + 2, "\\}", &min, &max)) != 0) {
      Repeat(frame, min, max);
      p += 2 + bound;
    } else if (*p == '[') {
      AddItem(frame, atom);
      p = SkipBracket(p);
    } else if (*p == '^' || *p == '$') {
      /* Where it is an ordinary character ("a^b" in a basic pattern) it
         still counts as an assertion: the safe side. */
      asserted = 1;
      AddItem(frame, empty);
      p++;
    } else if (*p == '\\' && IsEscapedAssertion(p[1])) {
      asserted = 1;
      AddItem(frame, empty);
      p += 2;
    } else if (*p == '\\' && p[1] != '\0') {
      AddItem(frame, atom);
      p += 2;
    } else {
      AddItem(frame, atom);
      p++;
    }
    if (TooBig(&frame->sequence, asserted)) return 1;
  }
  /* Groups left open: the library refuses those itself. */
  EndAlternative(&frames[depth]);
  return TooBig(&frames[depth].alternatives, asserted);
}

const char kRegExTooBigMessage[] = "Regular expression too big: its repetitions or nested groups go beyond what can be searched";

void CNewRegEx(RegExType* handle, const char* pattern, int32_t length, int extended, int ignoreCase, int newline) {
  if (!handle) return;
  handle->compiled = NULL;
  handle->matches = NULL;
  handle->error = NULL;
  handle->errortext = NULL;
  handle->from = 1;
  handle->searched = 0;
  handle->groups = 0;

  if (!pattern || length < 0) length = 0;
  char* source = (char*)malloc((size_t)length + 1);
  regex_t* compiled = (regex_t*)malloc(sizeof(regex_t));
  if (!source || !compiled) {
    free(source);
    free(compiled);
    handle->error = CopyMessage("Out of memory");
    return;
  }
  if (length > 0) memcpy(source, pattern, (size_t)length);
  source[length] = '\0';
  CollapseRepetitionRuns(source, extended);

  if (PatternTooBig(source, extended)) {
    handle->error = CopyMessage(kRegExTooBigMessage);
    free(compiled);
    free(source);
    return;
  }

  int flags = (extended ? REG_EXTENDED : 0) | (ignoreCase ? REG_ICASE : 0) | (newline ? REG_NEWLINE : 0);
  locale_t previous = EnterCLocale();
  int status = regcomp(compiled, source, flags);
  if (status != 0) {
    size_t size = regerror(status, compiled, NULL, 0);
    char* message = (char*)malloc(size ? size : 1);
    if (message) {
      message[0] = '\0';
      regerror(status, compiled, message, size);
    }
    LeaveCLocale(previous);
    handle->error = message;
    free(compiled);
    free(source);
    return;
  }
  LeaveCLocale(previous);
  free(source);

  /* The old library's re_nsub counted the whole match as well, hence its
     "re_nsub - 1"; glibc's re_nsub counts only the parenthesised groups. */
  size_t groups = compiled->re_nsub;
  if (groups > INT32_MAX - 1) groups = INT32_MAX - 1;
  regmatch_t* matches = (regmatch_t*)malloc((groups + 1) * sizeof(regmatch_t));
  if (!matches) {
    regfree(compiled);
    free(compiled);
    handle->error = CopyMessage("Out of memory");
    return;
  }
  for (size_t i = 0; i <= groups; ++i) matches[i].rm_so = matches[i].rm_eo = -1;
  handle->compiled = compiled;
  handle->matches = matches;
  handle->groups = (int32_t)groups;
}

void DisposeRegEx(RegExType* handle) {
  if (!handle) return;
  if (handle->compiled) {
    regfree(handle->compiled);
    free(handle->compiled);
  }
  /* errortext is the same block as error: freed once. */
  free(handle->error);
  free(handle->matches);
  handle->compiled = NULL;
  handle->error = NULL;
  handle->errortext = NULL;
  handle->matches = NULL;
  handle->groups = -1;
}

static void ClearMatches(RegExType* handle) {
  if (!handle->matches || handle->groups < 0) return;
  for (int32_t i = 0; i <= handle->groups; ++i) handle->matches[i].rm_so = handle->matches[i].rm_eo = -1;
}

int CMatchRegExFrom(RegExType* handle, const char* text, int32_t length, int notBOL, int notEOL, int32_t from) {
  if (!handle) return 0;
  if (length < 0) length = 0;
  if (!text) {
    text = "";
    length = 0;
  }
  handle->from = from;
  handle->searched = (int32_t)((int64_t)length - from + 1 > INT32_MAX ? INT32_MAX : (int64_t)length - from + 1);
  ClearMatches(handle);
  if (!handle->compiled || !handle->matches || from < 1) return 0;

  const char* subject = text;
  regoff_t count = 0;
  if (handle->searched >= 0) {
    subject = text + (from - 1);
    count = handle->searched;
  }
  handle->matches[0].rm_so = 0;
  handle->matches[0].rm_eo = count;
  int flags = REG_STARTEND | (notBOL ? REG_NOTBOL : 0) | (notEOL ? REG_NOTEOL : 0);

  locale_t previous = EnterCLocale();
  int status = regexec(handle->compiled, subject, (size_t)handle->groups + 1, handle->matches, flags);
  LeaveCLocale(previous);
  if (status != 0) {
    /* REG_STARTEND left the search bounds in the first record: a failed
       attempt must not read back as a match. */
    ClearMatches(handle);
    return 0;
  }
  return 1;
}

void CGetMatchRegEx(const RegExType* handle, int32_t index, int32_t* start, int32_t* length) {
  int32_t s = 0, n = 0;
  if (handle && handle->matches && index >= 0 && index <= handle->groups) {
    const regmatch_t* m = &handle->matches[index];
    if (m->rm_so >= 0 && m->rm_eo >= 0 && m->rm_eo >= m->rm_so && m->rm_eo <= handle->searched) {
      s = (int32_t)m->rm_so + handle->from;
      n = (int32_t)(m->rm_eo - m->rm_so);
    }
  }
  if (start) *start = s;
  if (length) *length = n;
}
