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
