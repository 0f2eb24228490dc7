// HIObject classes: registration, the construct / initialise / destruct
// order across a chain of classes, instance data and dynamic casts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "EventTargetInternal.h"
#include "HIObject.h"
#include "HIView.h"

namespace {

std::vector<std::string> gLog;

struct Instance {
  std::string name;
  HIObjectRef object = nullptr;
};

// The handler of a test class: construct data is the class's name (a
// std::string); instance data is an Instance.
OSStatus ClassHandler(EventHandlerCallRef call, EventRef event, void* userData) {
  if (GetEventClass(event) == kEventClassHIObject) {
    switch (GetEventKind(event)) {
      case kEventHIObjectConstruct: {
        auto* name = static_cast<std::string*>(userData);
        if (*name == "fails") {
          gLog.push_back("construct fails");
          return paramErr;
        }
        auto* instance = new Instance{*name, nullptr};
        GetEventParameter(event, kEventParamHIObjectInstance, typeHIObjectRef, nullptr, sizeof instance->object,
                          nullptr, &instance->object);
        gLog.push_back("construct " + *name);
        // One class answers through 'hivi', as view classes may.
        EventParamName where = *name == "sub" ? kEventParamHIViewInstance : kEventParamHIObjectInstance;
        SetEventParameter(event, where, typeVoidPtr, sizeof instance, &instance);
        return noErr;
      }
      case kEventHIObjectInitialize: {
        auto* instance = static_cast<Instance*>(userData);
        OSStatus status = CallNextEventHandler(call, event);
        SInt32 arg = -1;
        GetEventParameter(event, 'TARG', typeSInt32, nullptr, sizeof arg, nullptr, &arg);
        gLog.push_back("initialise " + instance->name + " " + std::to_string(arg));
        return status;
      }
      case kEventHIObjectDestruct: {
        auto* instance = static_cast<Instance*>(userData);
        gLog.push_back("destruct " + instance->name);
        delete instance;
        return noErr;
      }
    }
  }
  if (GetEventClass(event) == kEventClassControl && GetEventKind(event) == kEventControlInitialize) {
    gLog.push_back("control initialise " + static_cast<Instance*>(userData)->name);
    return eventNotHandledErr;
  }
  return eventNotHandledErr;
}

const EventTypeSpec kEvents[] = {{kEventClassHIObject, kEventHIObjectConstruct},
                                 {kEventClassHIObject, kEventHIObjectInitialize},
                                 {kEventClassHIObject, kEventHIObjectDestruct},
                                 {kEventClassControl, kEventControlInitialize}};

CFStringRef Str(const char* s) { return CFStringMakeConstantUTF8(s); }

std::string gBaseName = "base", gSubName = "sub", gPlainName = "plain", gFailName = "fails";

class HIObjectTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(noErr, HIObjectRegisterSubclass(Str("test.base"), kHIViewClassID, 0, ClassHandler, 4, kEvents,
                                              &gBaseName, nullptr));
    ASSERT_EQ(noErr, HIObjectRegisterSubclass(Str("test.sub"), Str("test.base"), 0, ClassHandler, 4, kEvents,
                                              &gSubName, nullptr));
    ASSERT_EQ(noErr, HIObjectRegisterSubclass(Str("test.plain"), nullptr, 0, ClassHandler, 3, kEvents, &gPlainName,
                                              nullptr));
  }
  void SetUp() override { gLog.clear(); }
};

TEST_F(HIObjectTest, SubclassLifeCycleRunsInChainOrder) {
  EventRef init = nullptr;
  ASSERT_EQ(noErr, CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &init));
  SInt32 arg = 42;
  SetEventParameter(init, 'TARG', typeSInt32, sizeof arg, &arg);
  HIObjectRef object = nullptr;
  ASSERT_EQ(noErr, HIObjectCreate(Str("test.sub"), init, &object));
  ReleaseEvent(init);
  ASSERT_NE(nullptr, object);

  // Construct from the base down; initialise reaches the base first through
  // CallNextEventHandler; the view then hears its control initialise, which
  // falls through from the subclass to its base.
  EXPECT_EQ((std::vector<std::string>{"construct base", "construct sub", "initialise base 42", "initialise sub 42",
                                      "control initialise sub", "control initialise base"}),
            gLog);

  auto* sub = static_cast<Instance*>(HIObjectDynamicCast(object, Str("test.sub")));
  auto* base = static_cast<Instance*>(HIObjectDynamicCast(object, Str("test.base")));
  ASSERT_NE(nullptr, sub);
  ASSERT_NE(nullptr, base);
  EXPECT_EQ("sub", sub->name);
  EXPECT_EQ("base", base->name);
  EXPECT_EQ(object, sub->object);
  EXPECT_EQ(nullptr, HIObjectDynamicCast(object, Str("test.plain")));
  EXPECT_TRUE(HIObjectIsOfClass(object, kHIViewClassID));
  EXPECT_TRUE(HIObjectIsOfClass(object, Str("test.base")));
  EXPECT_FALSE(HIObjectIsOfClass(object, Str("test.plain")));
  CFStringRef id = HIObjectCopyClassID(object);
  EXPECT_EQ(kCFCompareEqualTo, CFStringCompare(id, Str("test.sub"), 0));
  CFRelease(id);
  EXPECT_EQ(HIObjectGetTypeID(), CFGetTypeID(object));

  // The object lives until its last reference goes; destruct runs subclass first.
  gLog.clear();
  CFRetain(object);
  CFRelease(object);
  EXPECT_TRUE(gLog.empty());
  CFRelease(object);
  EXPECT_EQ((std::vector<std::string>{"destruct sub", "destruct base"}), gLog);
}

TEST_F(HIObjectTest, PlainObjectsHaveATargetAndNoViewEvents) {
  HIObjectRef object = nullptr;
  ASSERT_EQ(noErr, HIObjectCreate(Str("test.plain"), nullptr, &object));
  EXPECT_EQ((std::vector<std::string>{"construct plain", "initialise plain -1"}), gLog);
  EventTargetRef target = HIObjectGetEventTarget(object);
  ASSERT_NE(nullptr, target);
  EXPECT_FALSE(HIObjectIsOfClass(object, kHIViewClassID));
  CFRelease(object);
  EXPECT_EQ("destruct plain", gLog.back());
  // Its handlers went with it.
  EXPECT_FALSE(EventTargetIsValid(target));
}

TEST_F(HIObjectTest, RegistrationErrors) {
  EXPECT_EQ(hiObjectClassExistsErr,
            HIObjectRegisterSubclass(Str("test.base"), kHIViewClassID, 0, ClassHandler, 4, kEvents, &gBaseName, nullptr));
  EXPECT_EQ(hiObjectClassNotFoundErr,
            HIObjectRegisterSubclass(Str("test.orphan"), Str("no.such.base"), 0, ClassHandler, 0, nullptr, nullptr,
                                     nullptr));
  HIObjectRef object = reinterpret_cast<HIObjectRef>(1);
  EXPECT_EQ(hiObjectClassNotFoundErr, HIObjectCreate(Str("no.such.class"), nullptr, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(hiObjectClassIsAbstractErr, HIObjectCreate(kHIObjectClassID, nullptr, &object));

  HIObjectClassRef cls = nullptr;
  ASSERT_EQ(noErr, HIObjectRegisterSubclass(Str("test.temporary"), nullptr, 0, ClassHandler, 3, kEvents,
                                            &gPlainName, &cls));
  ASSERT_EQ(noErr, HIObjectCreate(Str("test.temporary"), nullptr, &object));
  EXPECT_EQ(hiObjectClassHasInstancesErr, HIObjectUnregisterClass(cls));
  CFRelease(object);
  EXPECT_EQ(noErr, HIObjectUnregisterClass(cls));
  EXPECT_EQ(hiObjectClassNotFoundErr, HIObjectCreate(Str("test.temporary"), nullptr, &object));
}

TEST_F(HIObjectTest, AFailedConstructUndoesTheClassesAlreadyMade) {
  ASSERT_EQ(noErr, HIObjectRegisterSubclass(Str("test.fails"), Str("test.base"), 0, ClassHandler, 4, kEvents,
                                            &gFailName, nullptr));
  HIObjectRef object = reinterpret_cast<HIObjectRef>(1);
  EXPECT_EQ(paramErr, HIObjectCreate(Str("test.fails"), nullptr, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ((std::vector<std::string>{"construct base", "construct fails", "destruct base"}), gLog);
}

}  // namespace
