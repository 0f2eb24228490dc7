// Holds one reference to a CF object for the length of a test scope.
#pragma once

#include "CFBase.h"

class Ref {
 public:
  Ref(CFTypeRef cf = nullptr) : cf_(cf) {}
  ~Ref() {
    if (cf_) CFRelease(cf_);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;

  CFTypeRef get() const { return cf_; }
  CFStringRef str() const { return static_cast<CFStringRef>(cf_); }
  CFMutableStringRef mut() const { return const_cast<CFMutableStringRef>(static_cast<CFStringRef>(cf_)); }
  CFURLRef url() const { return static_cast<CFURLRef>(cf_); }
  CFDataRef data() const { return static_cast<CFDataRef>(cf_); }
  CFArrayRef array() const { return static_cast<CFArrayRef>(cf_); }
  CFDictionaryRef dict() const { return static_cast<CFDictionaryRef>(cf_); }
  explicit operator bool() const { return cf_ != nullptr; }

 private:
  CFTypeRef cf_;
};
