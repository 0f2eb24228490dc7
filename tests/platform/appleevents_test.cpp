#include <gtest/gtest.h>

#include <glib.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AppleEvents.h"
#include "Files.h"

namespace {

namespace fs = std::filesystem;

// The harness names the bundle in $QUORVEL_BUNDLE; a run without it uses the
// bundle the build makes beside the tests folder.
[[maybe_unused]] const bool kBundleNamed = [] {
  const char* named = getenv("QUORVEL_BUNDLE");
  if (named == nullptr || *named == '\0') {
    std::error_code error;
    fs::path tests = fs::read_symlink("/proc/self/exe", error).parent_path();
    setenv("QUORVEL_BUNDLE", (tests.parent_path() / "Quorvel.app").c_str(), 1);
  }
  return true;
}();

AEDesc Desc(DescType type, const void* data, Size size) {
  AEDesc desc;
  EXPECT_EQ(AECreateDesc(type, data, size, &desc), noErr);
  return desc;
}

AEAddressDesc Address(DescType type, const void* data, Size size) { return Desc(type, data, size); }

AEAddressDesc Signature(OSType signature) { return Address(typeApplSignature, &signature, sizeof signature); }

AppleEvent Event(AEEventClass c, AEEventID id, const AEAddressDesc& target) {
  AppleEvent event;
  EXPECT_EQ(AECreateAppleEvent(c, id, &target, kAutoGenerateReturnID, kAnyTransactionID, &event), noErr);
  return event;
}

TEST(AEDescriptors, DataListsAndRecords) {
  AEDesc text = Desc(typeChar, "hello", 5);
  EXPECT_EQ(text.descriptorType, DescType(typeChar));
  EXPECT_EQ(AEGetDescDataSize(&text), 5);
  char buffer[8] = {};
  EXPECT_EQ(AEGetDescData(&text, buffer, 3), noErr);  // never past what the caller gives
  EXPECT_EQ(std::string(buffer), "hel");
  AEDesc copy;
  ASSERT_EQ(AEDuplicateDesc(&text, &copy), noErr);
  AEDisposeDesc(&text);
  EXPECT_EQ(text.descriptorType, DescType(typeNull));
  EXPECT_EQ(text.dataHandle, nullptr);
  EXPECT_EQ(AEGetDescDataSize(&copy), 5);
  AEDisposeDesc(&copy);
  EXPECT_EQ(AEDisposeDesc(&copy), noErr);  // twice is harmless

  AEDesc bad;
  EXPECT_EQ(AECreateDesc(typeChar, nullptr, 4, &bad), paramErr);
  EXPECT_EQ(AECreateDesc(typeChar, "x", -1, &bad), paramErr);
  int junk = 0;
  AEDesc stray{typeChar, reinterpret_cast<AEDataStorage>(&junk)};
  EXPECT_EQ(AEGetDescData(&stray, buffer, 8), errAENotAEDesc);
  EXPECT_EQ(AEGetDescDataSize(&stray), 0);

  AEDescList list;
  ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
  for (SInt32 v : {10, 20, 30}) ASSERT_EQ(AEPutPtr(&list, 0, typeSInt32, &v, sizeof v), noErr);
  SInt32 replaced = 25;
  EXPECT_EQ(AEPutPtr(&list, 2, typeSInt32, &replaced, sizeof replaced), noErr);
  EXPECT_EQ(AEPutPtr(&list, 5, typeSInt32, &replaced, sizeof replaced), errAEIllegalIndex);
  long count = 0;
  EXPECT_EQ(AECountItems(&list, &count), noErr);
  EXPECT_EQ(count, 3);
  SInt32 value = 0;
  Size actual = 0;
  DescType type = 0;
  EXPECT_EQ(AEGetNthPtr(&list, 2, typeSInt32, nullptr, &type, &value, sizeof value, &actual), noErr);
  EXPECT_EQ(value, 25);
  EXPECT_EQ(actual, Size(sizeof value));
  EXPECT_EQ(AEGetNthPtr(&list, 0, typeWildCard, nullptr, nullptr, &value, sizeof value, nullptr), errAEIllegalIndex);
  EXPECT_EQ(AEGetNthPtr(&list, 4, typeWildCard, nullptr, nullptr, &value, sizeof value, nullptr), errAEIllegalIndex);
  EXPECT_EQ(AEPutKeyPtr(&list, 'abcd', typeSInt32, &value, sizeof value), errAEWrongDataType);

  AERecord record;
  ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
  EXPECT_EQ(AEPutKeyDesc(&record, 'LIST', &list), noErr);
  AEDesc nested;
  EXPECT_EQ(AEGetKeyDesc(&record, 'LIST', typeWildCard, &nested), noErr);
  EXPECT_EQ(AECountItems(&nested, &count), noErr);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(AEGetKeyDesc(&record, 'none', typeWildCard, &nested), errAEDescNotFound);
  EXPECT_EQ(nested.descriptorType, DescType(typeNull));
  AEDisposeDesc(&record);
  AEDisposeDesc(&list);
}

TEST(AEDescriptors, Coercions) {
  struct Case {
    DescType from;
    std::vector<UInt8> data;
    DescType to;
    bool ok;
    std::vector<UInt8> expected;
  };
  auto bytes = [](const auto& v) {
    return std::vector<UInt8>(reinterpret_cast<const UInt8*>(&v), reinterpret_cast<const UInt8*>(&v) + sizeof v);
  };
  auto text = [](const char* s) { return std::vector<UInt8>(s, s + std::strlen(s)); };
  Case cases[] = {
      {typeSInt16, bytes(SInt16(5)), typeSInt32, true, bytes(SInt32(5))},
      {typeSInt32, bytes(SInt32(70000)), typeSInt16, false, {}},
      {typeSInt32, bytes(SInt32(-1)), typeUInt32, false, {}},
      {typeBoolean, {1}, typeSInt32, true, bytes(SInt32(1))},
      {typeTrue, {}, typeBoolean, true, {1}},
      {typeSInt32, bytes(SInt32(2)), typeBoolean, false, {}},
      {typeIEEE64BitFloatingPoint, bytes(2.5), typeSInt32, false, {}},
      {typeIEEE64BitFloatingPoint, bytes(4.0), typeSInt16, true, bytes(SInt16(4))},
      {typeSInt32, {1, 2}, typeSInt16, false, {}},  // wrong size: corrupt, not converted
      {typeChar, text("caf\x8e"), typeUTF8Text, true, text("caf\xc3\xa9")},
      {typeUTF8Text, text("\xe2\x82\xac"), typeChar, true, text("\xdb")},
      {typeUTF8Text, text("\xe4\xb8\xad"), typeChar, false, {}},  // not in Mac Roman
      {typeUTF8Text, text("\xff"), typeChar, false, {}},          // not UTF-8
      {typeChar, text("x"), typeFSRef, false, {}},
      {typeChar, text("x"), typeWildCard, true, text("x")},
  };
  for (const auto& c : cases) {
    AEDesc from = Desc(c.from, c.data.data(), Size(c.data.size()));
    AEDesc to;
    OSErr err = AECoerceDesc(&from, c.to, &to);
    if (c.ok) {
      ASSERT_EQ(err, noErr);
      std::vector<UInt8> got(size_t(AEGetDescDataSize(&to)));
      AEGetDescData(&to, got.data(), Size(got.size()));
      EXPECT_EQ(got, c.expected);
      EXPECT_EQ(to.descriptorType, c.to == typeWildCard ? c.from : c.to);
    } else {
      EXPECT_EQ(err, errAECoercionFail);
      EXPECT_EQ(to.descriptorType, DescType(typeNull));
    }
    AEDisposeDesc(&from);
    AEDisposeDesc(&to);
  }

  // One item and a list of one item stand for each other; longer lists do not.
  SInt32 seven = 7;
  AEDesc item = Desc(typeSInt32, &seven, sizeof seven);
  AEDescList list;
  ASSERT_EQ(AECoerceDesc(&item, typeAEList, &list), noErr);
  long count = 0;
  AECountItems(&list, &count);
  EXPECT_EQ(count, 1);
  AEDesc back;
  ASSERT_EQ(AECoerceDesc(&list, typeSInt16, &back), noErr);
  SInt16 small = 0;
  AEGetDescData(&back, &small, sizeof small);
  EXPECT_EQ(small, 7);
  AEDisposeDesc(&back);
  AEPutDesc(&list, 0, &item);
  EXPECT_EQ(AECoerceDesc(&list, typeSInt16, &back), errAECoercionFail);
  AEDisposeDesc(&list);
  AEDisposeDesc(&item);
}

struct Seen {
  int calls = 0;
  long items = 0;
  AEEventID id = 0;
};

OSErr CountDocuments(const AppleEvent* event, AppleEvent* reply, SRefCon refcon) {
  auto* seen = reinterpret_cast<Seen*>(refcon);
  ++seen->calls;
  AEGetAttributePtr(event, keyEventIDAttr, typeType, nullptr, &seen->id, sizeof seen->id, nullptr);
  AEDescList list;
  if (AEGetParamDesc(event, keyDirectObject, typeAEList, &list) == noErr) {
    AECountItems(&list, &seen->items);
    AEDisposeDesc(&list);
  }
  if (reply->descriptorType != typeNull) AEPutParamPtr(reply, 'cont', typeSInt32, &seen->items, sizeof(SInt32));
  return noErr;
}

TEST(AEHandlers, EventsToThisProcessReachTheInstalledHandler) {
  Seen seen;
  ASSERT_EQ(AEInstallEventHandler(kCoreEventClass, kAEOpenDocuments, CountDocuments, reinterpret_cast<SRefCon>(&seen), false), noErr);
  ProcessSerialNumber self{0, kCurrentProcess};
  AEAddressDesc target = Address(typeProcessSerialNumber, &self, sizeof self);
  AppleEvent event = Event(kCoreEventClass, kAEOpenDocuments, target);
  AEDescList list;
  AECreateList(nullptr, 0, false, &list);
  FSRef ref{};
  AEPutPtr(&list, 0, typeFSRef, &ref, sizeof ref);
  AEPutPtr(&list, 0, typeFSRef, &ref, sizeof ref);
  ASSERT_EQ(AEPutParamDesc(&event, keyDirectObject, &list), noErr);

  AppleEvent reply;
  EXPECT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.items, 2);
  EXPECT_EQ(seen.id, AEEventID(kAEOpenDocuments));
  SInt32 answered = 0;
  EXPECT_EQ(AEGetParamPtr(&reply, 'cont', typeSInt32, nullptr, &answered, sizeof answered, nullptr), noErr);
  EXPECT_EQ(answered, 2);
  AEDisposeDesc(&reply);

  // Without a reply requested the handler gets none and the caller neither.
  EXPECT_EQ(AESend(&event, &reply, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  EXPECT_EQ(seen.calls, 2);
  EXPECT_EQ(reply.descriptorType, DescType(typeNull));

  // The main bundle's signature names this process too.
  AEAddressDesc own = Signature('QVRL');
  AppleEvent bySignature = Event(kCoreEventClass, kAEOpenDocuments, own);
  EXPECT_EQ(AEDispatchAppleEvent(&bySignature, nullptr), noErr);
  EXPECT_EQ(AESend(&bySignature, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  EXPECT_EQ(seen.calls, 4);

  ASSERT_EQ(AERemoveEventHandler(kCoreEventClass, kAEOpenDocuments, CountDocuments, false), noErr);
  EXPECT_EQ(AERemoveEventHandler(kCoreEventClass, kAEOpenDocuments, CountDocuments, false), errAEHandlerNotFound);
  EXPECT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr),
            errAEEventNotHandled);

  // A wildcard handler takes what has no handler of its own.
  ASSERT_EQ(AEInstallEventHandler(kCoreEventClass, typeWildCard, CountDocuments, reinterpret_cast<SRefCon>(&seen), false), noErr);
  AppleEvent quit = Event(kCoreEventClass, kAEQuitApplication, target);
  EXPECT_EQ(AEDispatchAppleEvent(&quit, nullptr), noErr);
  EXPECT_EQ(seen.id, AEEventID(kAEQuitApplication));
  AERemoveEventHandler(kCoreEventClass, typeWildCard, nullptr, false);

  for (AEDesc* d : {&target, &event, &list, &own, &bySignature, &quit}) AEDisposeDesc(d);
}

class RevealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::path(g_get_tmp_dir()) / ("reveal-" + std::to_string(getpid()));
    fs::create_directories(root);
    HeadlessClearRevealRequests();
  }
  void TearDown() override { fs::remove_all(root); }

  FSRef Make(const std::string& name) {
    fs::path p = root / name;
    std::ofstream(p) << "x";
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(p.c_str()), &ref, nullptr), noErr);
    return ref;
  }

  OSErr Send(AEEventClass c, AEEventID id, OSType to, const AEDesc* object) {
    AEAddressDesc target = Signature(to);
    AppleEvent event = Event(c, id, target);
    if (object) AEPutParamDesc(&event, keyDirectObject, object);
    OSErr err = AESend(&event, nullptr, kAENoReply | kAECanInteract, kAENormalPriority, kAEDefaultTimeout, nullptr,
                       nullptr);
    AEDisposeDesc(&event);
    AEDisposeDesc(&target);
    return err;
  }

  fs::path root;
};

TEST_F(RevealTest, TheFileManagerIsAskedAndTheHeadlessHostRecords) {
  FSRef a = Make("a.txt");
  AEDesc one = Desc(typeFSRef, &a, sizeof a);
  // A file reference and its file URL convert into each other.
  AEDesc url, ref;
  ASSERT_EQ(AECoerceDesc(&one, typeFileURL, &url), noErr);
  std::string text(size_t(AEGetDescDataSize(&url)), '\0');
  AEGetDescData(&url, text.data(), Size(text.size()));
  EXPECT_EQ(text, "file://" + (root / "a.txt").string());
  ASSERT_EQ(AECoerceDesc(&url, typeFSRef, &ref), noErr);
  FSRef again;
  AEGetDescData(&ref, &again, sizeof again);
  EXPECT_EQ(FSCompareFSRefs(&a, &again), noErr);
  AEDisposeDesc(&url);
  AEDisposeDesc(&ref);

  EXPECT_EQ(Send(kAEMiscStandards, kAEMakeObjectsVisible, 'MACS', &one), noErr);
  EXPECT_EQ(HeadlessCopyRevealRequests(), std::vector<std::string>{(root / "a.txt").string()});

  FSRef b = Make("b.txt");
  AEDescList both;
  AECreateList(nullptr, 0, false, &both);
  AEPutPtr(&both, 0, typeFSRef, &a, sizeof a);
  AEPutPtr(&both, 0, typeFSRef, &b, sizeof b);
  HeadlessClearRevealRequests();
  EXPECT_EQ(Send(kAEMiscStandards, kAEMakeObjectsVisible, 'MACS', &both), noErr);
  EXPECT_EQ(HeadlessCopyRevealRequests(),
            (std::vector<std::string>{(root / "a.txt").string(), (root / "b.txt").string()}));

  // A vanished item is an error, and nothing is shown.
  HeadlessClearRevealRequests();
  fs::remove(root / "a.txt");
  EXPECT_EQ(Send(kAEMiscStandards, kAEMakeObjectsVisible, 'MACS', &one), fnfErr);
  EXPECT_EQ(Send(kAEMiscStandards, kAEMakeObjectsVisible, 'MACS', nullptr), errAEDescNotFound);
  EXPECT_TRUE(HeadlessCopyRevealRequests().empty());

  // Other events and other applications.
  EXPECT_EQ(Send(kAEMiscStandards, 'slct', 'MACS', &one), errAEEventNotHandled);
  EXPECT_EQ(Send(kAEMiscStandards, kAEMakeObjectsVisible, 'ABCD', &one), procNotFound);
  AEAddressDesc nonsense = Desc(typeChar, "MACS", 4);
  AppleEvent event = Event(kAEMiscStandards, kAEMakeObjectsVisible, nonsense);
  EXPECT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr),
            errAEUnknownAddressType);
  AEDisposeDesc(&event);
  AEDisposeDesc(&nonsense);
  AEDisposeDesc(&both);
  AEDisposeDesc(&one);
}

}  // namespace
