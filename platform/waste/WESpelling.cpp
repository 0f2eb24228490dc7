// Spelling guesses from the system's English dictionary. A machine without
// one simply has no guesses: that is not an error.
#include <enchant.h>

#include <mutex>
#include <string>

#include "WEInternal.h"

namespace {

// A word longer than this is not a word a person misspelled; the checker's
// time grows quickly with the length, so it is not asked.
constexpr CFIndex kLongestWord = 255;

std::mutex gDictionaryLock;

// The process's dictionary, asked for on first use (under gDictionaryLock);
// nil when the machine has none. It lives as long as the process.
EnchantDict* Dictionary() {
  static EnchantBroker* broker = nullptr;
  static EnchantDict* dict = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    broker = enchant_broker_init();
    if (broker)
      for (const char* tag : {"en_US", "en"})
        if (enchant_broker_dict_exists(broker, tag) && (dict = enchant_broker_request_dict(broker, tag))) break;
  }
  return dict;
}

// The word as UTF-8, when it is one word worth checking: at least one letter,
// no white space or control characters, no broken surrogate pairs.
bool CheckableWord(CFStringRef word, std::string* out) {
  const CFIndex length = CFStringGetLength(word);
  if (length == 0 || length > kLongestWord) return false;
  std::u16string chars(size_t(length), u'\0');
  CFStringGetCharacters(word, CFRangeMake(0, length), reinterpret_cast<UniChar*>(chars.data()));
  bool letter = false;
  for (CFIndex i = 0; i < length; ++i) {
    const UniChar c = chars[size_t(i)];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= length || chars[size_t(i) + 1] < 0xDC00 || chars[size_t(i) + 1] > 0xDFFF) return false;
      ++i;
      continue;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    const SInt32 cls = we::CharClass(c);
    if (cls == weCharClassSpace) return false;
    if (cls == weCharClassLetter) letter = true;
  }
  if (!letter) return false;
  *out = we::ToUTF8(chars);
  return !out->empty();
}

}  // namespace

OSStatus WEGuessSpelling(CFStringRef inWord, OptionBits, CFArrayRef* outGuesses, WEReference we) {
  if (outGuesses) *outGuesses = nullptr;
  if (we == nullptr || outGuesses == nullptr || inWord == nullptr || CFGetTypeID(inWord) != CFStringGetTypeID())
    return paramErr;
  CFMutableArrayRef guesses = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  if (guesses == nullptr) return memFullErr;
  std::string utf8;
  if (CheckableWord(inWord, &utf8)) {
    std::lock_guard<std::mutex> hold(gDictionaryLock);
    EnchantDict* dict = Dictionary();
    // A word the dictionary knows has no guesses; neither has one it cannot judge.
    if (dict && enchant_dict_check(dict, utf8.data(), ssize_t(utf8.size())) > 0) {
      size_t count = 0;
      char** list = enchant_dict_suggest(dict, utf8.data(), ssize_t(utf8.size()), &count);
      for (size_t i = 0; list && i < count; ++i) {
        if (list[i] == nullptr) continue;
        if (CFStringRef guess = CFStringCreateWithCString(nullptr, list[i], kCFStringEncodingUTF8)) {
          CFArrayAppendValue(guesses, guess);
          CFRelease(guess);
        }
      }
      if (list) enchant_dict_free_string_list(dict, list);
    }
  }
  *outGuesses = guesses;
  return noErr;
}
