// TObject: the root of the program's own classes, with a class-name string.
#pragma once

#include "ShortString.h"

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;

  virtual void SetClassString(const Str255& text);
  virtual Str255 GetClassString();
  // A new instance of the same class holding a copy of this one. Objects that
  // own system resources cannot be duplicated safely, so only classes that
  // declare themselves cloneable (TCloneable below) answer with a copy; any
  // other class answers nil.
  virtual TObject* Clone();
  // Destroys the instance and releases its memory.
  virtual void Free();

  // Free on a reference that may be nil: nil does nothing.
  static void Free(TObject* object) {
    if (object != nullptr) object->Free();
  }

 protected:
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;

 private:
  Str255 fClassString;
};

// Makes a subclass cloneable through its copy constructor (fields that refer to
// other objects are shared, not duplicated).
template <typename Derived, typename Base = TObject>
class TCloneable : public Base {
 public:
  using Base::Base;
  TObject* Clone() override { return new Derived(static_cast<const Derived&>(*this)); }
};
