// TPreferencesUnit: the preference handlers through which every setting is
// read and written, whatever holds it: the application's own preferences
// (TPreferenceHandlerApplication), a property-list file
// (TPreferenceHandlerFile), or a dictionary stored under a name inside
// another handler (TPreferenceHandlerDictionary).
//
// Keys are short strings; the stored key is the handler's domain followed
// directly by the key (cut at 255 characters). Reads of a missing key give
// neutral values: false from ContainsValue, true from GetBooleanValue (only
// a stored false reads false), empty strings, 0, nil.
//
// Handlers are made with new, bound by SetDomain, SetFile or Create, and end
// with Release (which does not synchronise). Main thread only.
#pragma once

#include "CFBase.h"
#include "CFDictionary.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"

// Converts the bytes of a stored data value in place: order 1 just before
// they are stored, order 2 just after they were read back.
typedef void (*TPreferenceHandlerByteSwapperCallback)(const Str255& key, SInt16 order, void* data);

class TPreferenceHandler {
 public:
  TPreferenceHandler() = default;

  virtual void SetDomain(const Str63& domain);
  virtual void SetByteSwapperCallback(TPreferenceHandlerByteSwapperCallback callback);
  // Writes the values out when something was counted since the last time.
  virtual void Synchronize();
  virtual Boolean ContainsValue(const Str255& key);
  virtual void RemoveValue(const Str255& key);
  // Hands the three arguments to the byte swapper, when one is set.
  virtual void SwapBytes(const Str255& key, SInt16 order, void* data);
  // Presents a copy of every CFData inside the value (walking dictionaries
  // and arrays) to SwapBytes with the key and order; the value is not changed.
  virtual void SwapTypeBytes(const Str255& key, CFTypeRef value, SInt16 order);
  // Appends the value to the array stored at the key (made when missing),
  // unless the array already holds an equal value.
  virtual void SetArrayValue(const Str255& key, CFTypeRef value);
  // Stores the value as given (retained; the caller keeps its reference).
  virtual void SetTypeValue(const Str255& key, CFTypeRef value);
  virtual void SetBooleanValue(const Str255& key, Boolean value);
  virtual void SetStringValue(const Str255& key, const Str255& value);
  virtual void SetIntegerValue(const Str255& key, SInt32 value);
  // Converts the caller's bytes in place (SwapBytes, order 1), then stores a
  // copy of length bytes.
  virtual void SetDataValue(const Str255& key, void* data, SInt32 length);
  // The element at the 0-based index of the array stored at the key, not
  // retained for the caller; nil when there is no array or the index lies
  // outside it.
  virtual CFTypeRef GetArrayValue(const Str255& key, CFIndex index);
  // The stored value with one reference for the caller; nil when missing.
  virtual CFTypeRef GetTypeValue(const Str255& key);
  virtual Boolean GetBooleanValue(const Str255& key);
  virtual Str255 GetStringValue(const Str255& key);
  virtual SInt32 GetIntegerValue(const Str255& key);
  // Copies the stored data, converted by SwapBytes (order 2) in a private
  // copy, into the destination, which holds size bytes. Stored data may come
  // from a file that another build or a person edited, so data of any other
  // length is refused: false, and the destination is left untouched (also
  // when the key is missing or holds no data).
  virtual Boolean CopyDataValue(const Str255& key, void* destination, SInt32 size);
  // Frees the handler.
  virtual void Release();

  // The domain joined with the key, as the constant string the store uses.
  CFStringRef StoredKey(const Str255& key) const;

  // Prefix of every key; empty when made.
  Str63 fDomain;
  // Counted changes since the last Synchronize. It stops at 32767 instead of
  // wrapping, so that a long session's changes still read as "changed" and
  // are written.
  SInt16 fChangeCount = 0;
  TPreferenceHandlerByteSwapperCallback fByteSwapper = nullptr;

 protected:
  virtual ~TPreferenceHandler() = default;
  TPreferenceHandler(const TPreferenceHandler&) = delete;
  TPreferenceHandler& operator=(const TPreferenceHandler&) = delete;

  void CountChange();
};

// The application's own preferences (CFPreferences of the current
// application). The program makes one with the domain "user.".
class TPreferenceHandlerApplication : public TPreferenceHandler {
 public:
  // Writes the application preferences when something was counted.
  void Synchronize() override;
  Boolean ContainsValue(const Str255& key) override;
  // Removes the key and counts a change.
  void RemoveValue(const Str255& key) override;
  void SetArrayValue(const Str255& key, CFTypeRef value) override;
  void SetTypeValue(const Str255& key, CFTypeRef value) override;
  void SetBooleanValue(const Str255& key, Boolean value) override;
  void SetStringValue(const Str255& key, const Str255& value) override;
  void SetIntegerValue(const Str255& key, SInt32 value) override;
  void SetDataValue(const Str255& key, void* data, SInt32 length) override;
  // The element stays valid until the next GetArrayValue of this handler
  // reads another array, or the handler is released.
  CFTypeRef GetArrayValue(const Str255& key, CFIndex index) override;
  CFTypeRef GetTypeValue(const Str255& key) override;
  Boolean GetBooleanValue(const Str255& key) override;
  Str255 GetStringValue(const Str255& key) override;
  SInt32 GetIntegerValue(const Str255& key) override;
  Boolean CopyDataValue(const Str255& key, void* destination, SInt32 size) override;
  void Release() override;

 private:
  // The array the last GetArrayValue read, kept so its element outlives the
  // preferences' own reloading.
  CFArrayRef fArrayHeld = nullptr;
};

// The values of a property-list file, kept in a mutable dictionary.
//
// A set or removal that cannot be applied (no dictionary, no memory) leaves
// an error in Err and counts no change. A dictionary that turns out to be
// immutable (one a caller stored with SetTypeValue, say) is replaced by a
// mutable copy at the first edit, so the edit sticks.
class TPreferenceHandlerFile : public TPreferenceHandler {
 public:
  // Writes the dictionary to the file, atomically, when something was
  // counted; the write's status goes to Err (noErr with nothing to write).
  // After a failed write the changes stay counted for the next time.
  void Synchronize() override;
  Boolean ContainsValue(const Str255& key) override;
  // Removes the key without counting a change: the removal reaches the file
  // with the next counted change.
  void RemoveValue(const Str255& key) override;
  void SetArrayValue(const Str255& key, CFTypeRef value) override;
  void SetTypeValue(const Str255& key, CFTypeRef value) override;
  void SetBooleanValue(const Str255& key, Boolean value) override;
  void SetStringValue(const Str255& key, const Str255& value) override;
  void SetIntegerValue(const Str255& key, SInt32 value) override;
  void SetDataValue(const Str255& key, void* data, SInt32 length) override;
  // The element stays valid while the stored array is unchanged.
  CFTypeRef GetArrayValue(const Str255& key, CFIndex index) override;
  CFTypeRef GetTypeValue(const Str255& key) override;
  Boolean GetBooleanValue(const Str255& key) override;
  Str255 GetStringValue(const Str255& key) override;
  SInt32 GetIntegerValue(const Str255& key) override;
  Boolean CopyDataValue(const Str255& key, void* destination, SInt32 size) override;
  void Release() override;
  // Binds the handler to the file and reads its dictionary. A missing,
  // unreadable or malformed file, or one whose root is no dictionary, is no
  // error: the handler starts empty and the file is written at the first
  // Synchronize with something to write; a file that held bytes is first
  // copied aside as "<name>.corrupt".
  virtual void SetFile(const FSRef& file);

  FSRef fFile{};
  CFMutableDictionaryRef fValues = nullptr;  // owned

 protected:
  // A dictionary handler edits its parent's dictionary through these.
  friend class TPreferenceHandlerDictionary;

  // Stores the value under the stored key, or removes the key when the value
  // is nil; an immutable dictionary gives way to a mutable copy first. False,
  // with Err set, when the edit cannot be applied.
  bool Store(CFStringRef key, CFTypeRef value);
  // Makes the copy (the caller's reference passes on) the handler's
  // dictionary in place of the immutable one.
  virtual bool AdoptValues(CFMutableDictionaryRef copy);

 private:
  // The file held bytes that could not be read: a copy of it is kept as
  // "<name>.corrupt" before the first write replaces it.
  bool fUnreadable = false;
};

// A dictionary stored under a name inside another handler (the parent,
// which must outlive it). Synchronise it before its parent is synchronised
// or released, or its changes are lost.
class TPreferenceHandlerDictionary : public TPreferenceHandlerFile {
 public:
  // Stores the dictionary back under the name in the parent (a counted
  // change there), then synchronises the parent; always, whatever this
  // handler's count.
  void Synchronize() override;
  // Binds the handler to the dictionary stored under the name in the parent
  // (a file, dictionary or application handler); an empty dictionary when
  // the parent holds none there. A file or dictionary parent shares the
  // dictionary, so edits show in the parent at once; the application
  // preferences hand out fixed values, so the handler edits its own copy.
  // Another kind of parent leaves the handler without a dictionary.
  virtual void Create(const Str255& name, TPreferenceHandler* parent);

  Str255 fName;
  TPreferenceHandler* fParent = nullptr;  // not owned

 protected:
  // The copy also takes the old dictionary's place in a file or dictionary
  // parent, so that the parent keeps sharing the dictionary.
  bool AdoptValues(CFMutableDictionaryRef copy) override;
};

// The appliers of SwapTypeBytes (context: the handler). Each walks a
// dictionary or an array value further and hands a copy of each CFData, in
// a new memory block, to the handler's SwapBytes with the key and order of
// the walk under way; other values are skipped.
void SwapDictionaryBytes(const void* key, const void* value, void* handler);
void SwapArrayBytes(const void* value, void* handler);
