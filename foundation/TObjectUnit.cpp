#include "TObjectUnit.h"

#include <typeinfo>

void TObject::SetClassString(const Str255& text) { fClassString = text; }

Str255 TObject::GetClassString() { return fClassString; }

TObject* TObject::Clone() {
  if (typeid(*this) != typeid(TObject)) return nullptr;
  return new TObject(*this);
}

void TObject::Free() { delete this; }
