#include <gtest/gtest.h>

#include "TObjectUnit.h"

namespace {

class TNamed : public TCloneable<TNamed> {
 public:
  int value = 0;
  virtual int Kind() { return 7; }
};

class TOwner : public TObject {};

TEST(TObject, ClassStringKeepsAll255Characters) {
  auto* o = new TObject;
  EXPECT_TRUE(o->GetClassString().empty());
  Str255 text(std::string(255, 'q'));
  o->SetClassString(text);
  EXPECT_TRUE(o->GetClassString() == text);
  o->SetClassString(Str255(std::string(300, 'r')));
  EXPECT_EQ(o->GetClassString().len(), 255);
  o->Free();
}

TEST(TObject, CloneKeepsClassAndStringAndRefusesUnsafeClasses) {
  auto* o = new TNamed;
  o->SetClassString("TNamed");
  o->value = 42;
  TObject* c = o->Clone();
  ASSERT_NE(c, nullptr);
  auto* named = dynamic_cast<TNamed*>(c);
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(named->value, 42);
  EXPECT_EQ(named->Kind(), 7);
  EXPECT_TRUE(c->GetClassString() == "TNamed");
  TObject::Free(c);
  TObject::Free(o);

  auto* owner = new TOwner;
  EXPECT_EQ(owner->Clone(), nullptr);
  owner->Free();
  TObject::Free(nullptr);
}

}  // namespace
