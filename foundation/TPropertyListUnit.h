// TPropertyListUnit: a mutable dictionary loaded from and saved to an XML
// property-list file, with typed access by key paths. A path holding "/"
// names a value inside nested dictionaries, outermost first ("a/b/c");
// empty components are dropped, and a path with fewer than two non-empty
// components ("a", "a/", "/a") is one key of the root used whole.
#pragma once

#include "CFBase.h"
#include "CFDictionary.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TObjectUnit.h"

class TPropertyList : public TObject {
 public:
  // A new empty root dictionary (the old one, if any, is released).
  virtual void Create();
  // Reads the file into the list: 0; or why it could not, and the list is
  // then empty: fnfErr (-43) when the file is gone or holds no dictionary,
  // the read's own error code when it could not be read (a file that may not
  // be read, a folder), memFullErr for a file beyond any sensible size. The
  // list always holds a root afterwards.
  virtual SInt32 Load(const FSRef& file);
  // Writes the list over the existing file, atomically: the write's error
  // code (0 on success), -1 when the file is gone or the list cannot be
  // written. A failed save leaves the file as it was.
  virtual SInt32 Save(const FSRef& file);
  // Finds or creates the named file in the folder (Finder type and creator
  // '????'; the creation's status goes to Err) and saves to it; the status
  // of the save, or of the creation when there is no file afterwards.
  virtual SInt32 SaveAs(const FSRef& folder, const Str63& name);
  // False only for a stored false; true otherwise, also when missing.
  virtual Boolean GetBooleanValue(const Str255& path);
  // The text of a string value (at most 255 characters); empty otherwise.
  virtual Str255 GetStringValue(const Str255& path);
  // A number read as 32-bit signed; 0 otherwise (also when out of range).
  virtual SInt32 GetIntegerValue(const Str255& path);
  virtual void SetBooleanValue(const Str255& path, Boolean value);
  virtual void SetStringValue(const Str255& path, const Str255& value);
  virtual void SetIntegerValue(const Str255& path, SInt32 value);
  virtual void ApplyFunction(CFDictionaryApplierFunction applier, void* context);
  // Applies over the dictionary at the path, when there is one.
  virtual void ApplyFunctionToKey(const Str255& path, CFDictionaryApplierFunction applier, void* context);
  // Stores a new empty dictionary at the path.
  virtual void InsertDictionary(const Str255& path);
  // Does nothing, as it always has; nothing in the program calls it.
  virtual void RemoveAllValues();
  // The number of entries of the dictionary at the path; 0 for anything else.
  virtual SInt32 GetCountAtKey(const Str255& path);
  virtual SInt32 GetKeyCount();
  // The value at the path, not retained for the caller; nil when missing.
  // Along a path, a dictionary becomes the one searched next (and is the
  // result when it is the last component); any other value found becomes
  // the result, and the later components are still looked up in the same
  // dictionary, a later hit replacing it.
  virtual CFTypeRef GetValue(const Str255& path);
  // Stores the value (retained; the caller keeps its reference) at the
  // path, making the missing dictionaries on the way. A value of another
  // kind met on the way is replaced by the new value, and nothing more is
  // stored; an array met on the way cannot hold the rest of the path, so the
  // value is dropped, the array left alone and Err set. A dictionary on the
  // way that cannot be changed (an immutable one a caller stored) is replaced
  // by a mutable copy, so the value always lands. Nil stores nothing.
  virtual void SetValue(const Str255& path, CFTypeRef value);
  // Releases the root dictionary and frees the object.
  virtual void Release();

  FSRef fFile{};                             // the file last loaded, saved or made
  CFMutableDictionaryRef fValues = nullptr;  // the root, owned
};

// A new list with Create applied.
TPropertyList* TPropertyListCreate();
// A new list with Load applied; the load's status goes to Err. The list is
// returned in every case (empty when the file could not be read).
TPropertyList* TPropertyListLoad(const FSRef& file);
