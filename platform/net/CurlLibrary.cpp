// The transfer library is loaded when the first transfer needs it, not with
// the program: it brings some two dozen libraries of its own (TLS, Kerberos,
// LDAP), whose loading a start-up would otherwise wait for although most
// runs never open a server connection.
//
// These are the library's entry points the FTP streams call, under the
// library's own names, each calling the loaded library. Without the library
// they answer as the library does when it cannot start: no handle, or a
// failure code.
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

// The library's own declarations, made hidden here so that its names stay
// within this library (the system headers it includes came in above).
#pragma GCC visibility push(hidden)
#include <curl/curl.h>
#pragma GCC visibility pop

namespace {

struct CurlLibrary {
  CURLcode (*global_init)(long) = nullptr;
  CURL* (*easy_init)() = nullptr;
  CURLcode (*easy_setopt)(CURL*, CURLoption, ...) = nullptr;
  CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...) = nullptr;
  CURLcode (*easy_pause)(CURL*, int) = nullptr;
  void (*easy_cleanup)(CURL*) = nullptr;
  CURLM* (*multi_init)() = nullptr;
  CURLMcode (*multi_setopt)(CURLM*, CURLMoption, ...) = nullptr;
  CURLMcode (*multi_add_handle)(CURLM*, CURL*) = nullptr;
  CURLMcode (*multi_remove_handle)(CURLM*, CURL*) = nullptr;
  CURLMcode (*multi_socket_action)(CURLM*, curl_socket_t, int, int*) = nullptr;
  CURLMsg* (*multi_info_read)(CURLM*, int*) = nullptr;
  bool loaded = false;
};

template <typename F>
bool Bind(void* handle, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(handle, name));
  return function != nullptr;
}

const CurlLibrary& Library() {
  static CurlLibrary library;
  static std::once_flag once;
  std::call_once(once, [] {
    void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::fprintf(stderr, "Quorvel: cannot load the transfer library (%s)\n", dlerror());
      return;
    }
    CurlLibrary l;
    const bool all = Bind(handle, "curl_global_init", l.global_init) && Bind(handle, "curl_easy_init", l.easy_init) &&
                     Bind(handle, "curl_easy_setopt", l.easy_setopt) &&
                     Bind(handle, "curl_easy_getinfo", l.easy_getinfo) &&
                     Bind(handle, "curl_easy_pause", l.easy_pause) &&
                     Bind(handle, "curl_easy_cleanup", l.easy_cleanup) &&
                     Bind(handle, "curl_multi_init", l.multi_init) &&
                     Bind(handle, "curl_multi_setopt", l.multi_setopt) &&
                     Bind(handle, "curl_multi_add_handle", l.multi_add_handle) &&
                     Bind(handle, "curl_multi_remove_handle", l.multi_remove_handle) &&
                     Bind(handle, "curl_multi_socket_action", l.multi_socket_action) &&
                     Bind(handle, "curl_multi_info_read", l.multi_info_read);
    if (!all) {
      std::fprintf(stderr, "Quorvel: the transfer library lacks an entry point it needs\n");
      return;
    }
    l.loaded = true;
    library = l;
  });
  return library;
}

}  // namespace

// The library declares its setters with an enumeration before the variable
// arguments; an enumeration of these values is passed as an int, which is
// what va_start finds after it.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wvarargs"
#endif
#pragma GCC visibility push(hidden)
extern "C" {

CURLcode curl_global_init(long flags) {
  const CurlLibrary& l = Library();
  return l.loaded ? l.global_init(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
  const CurlLibrary& l = Library();
  return l.loaded ? l.easy_init() : nullptr;
}

// An option's number says the type of its value, as the library reads it.
CURLcode(curl_easy_setopt)(CURL* curl, CURLoption option, ...) {
  const CurlLibrary& l = Library();
  if (!l.loaded) return CURLE_FAILED_INIT;
  va_list args;
  va_start(args, option);
  CURLcode result;
  if (option < CURLOPTTYPE_OBJECTPOINT) {
    result = l.easy_setopt(curl, option, va_arg(args, long));
  } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
    result = l.easy_setopt(curl, option, va_arg(args, void*));
  } else if (option < CURLOPTTYPE_OFF_T) {
    result = l.easy_setopt(curl, option, va_arg(args, void (*)()));
  } else if (option < CURLOPTTYPE_BLOB) {
    result = l.easy_setopt(curl, option, va_arg(args, curl_off_t));
  } else {
    result = l.easy_setopt(curl, option, va_arg(args, void*));
  }
  va_end(args);
  return result;
}

CURLcode(curl_easy_getinfo)(CURL* curl, CURLINFO info, ...) {
  const CurlLibrary& l = Library();
  if (!l.loaded) return CURLE_FAILED_INIT;
  va_list args;
  va_start(args, info);
  void* out = va_arg(args, void*);  // every answer goes through a pointer
  va_end(args);
  return l.easy_getinfo(curl, info, out);
}

CURLcode curl_easy_pause(CURL* curl, int bitmask) {
  const CurlLibrary& l = Library();
  return l.loaded ? l.easy_pause(curl, bitmask) : CURLE_FAILED_INIT;
}

void curl_easy_cleanup(CURL* curl) {
  const CurlLibrary& l = Library();
  if (l.loaded) l.easy_cleanup(curl);
}

CURLM* curl_multi_init() {
  const CurlLibrary& l = Library();
  return l.loaded ? l.multi_init() : nullptr;
}

CURLMcode(curl_multi_setopt)(CURLM* multi, CURLMoption option, ...) {
  const CurlLibrary& l = Library();
  if (!l.loaded) return CURLM_BAD_HANDLE;
  va_list args;
  va_start(args, option);
  CURLMcode result;
  if (option < CURLOPTTYPE_OBJECTPOINT) {
    result = l.multi_setopt(multi, option, va_arg(args, long));
  } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
    result = l.multi_setopt(multi, option, va_arg(args, void*));
  } else if (option < CURLOPTTYPE_OFF_T) {
    result = l.multi_setopt(multi, option, va_arg(args, void (*)()));
  } else {
    result = l.multi_setopt(multi, option, va_arg(args, curl_off_t));
  }
  va_end(args);
  return result;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* curl) {
  const CurlLibrary& l = Library();
  return l.loaded ? l.multi_add_handle(multi, curl) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* curl) {
  const CurlLibrary& l = Library();
  return l.loaded ? l.multi_remove_handle(multi, curl) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_socket_action(CURLM* multi, curl_socket_t socket, int mask, int* running) {
  const CurlLibrary& l = Library();
  if (!l.loaded) {
    if (running != nullptr) *running = 0;
    return CURLM_BAD_HANDLE;
  }
  return l.multi_socket_action(multi, socket, mask, running);
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
  const CurlLibrary& l = Library();
  if (!l.loaded) {
    if (left != nullptr) *left = 0;
    return nullptr;
  }
  return l.multi_info_read(multi, left);
}

}  // extern "C"
#pragma GCC visibility pop
