// Pasteboards: the ownership rule, items x flavours, the plain-text
// translations, synchronisation between references, content another program
// put on the clipboard; help tags stored with their control and menu item.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CFData.h"
#include "CFString.h"
#include "HIView.h"
#include "HelpInternal.h"
#include "MacHelp.h"
#include "Pasteboard.h"
#include "PasteboardInternal.h"

namespace {

CFStringRef S(const char* s) { return CFStringMakeConstantUTF8(s); }

CFDataRef Data(const std::string& s) {
  return CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(s.data()), CFIndex(s.size()));
}

std::string Bytes(CFDataRef d) {
  std::string s(reinterpret_cast<const char*>(CFDataGetBytePtr(d)), size_t(CFDataGetLength(d)));
  CFRelease(d);
  return s;
}

std::string Text(CFStringRef s) {
  if (s == nullptr) return "(nil)";
  char buffer[512] = {};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  CFRelease(s);
  return buffer;
}

TEST(Pasteboard, OwnerPutsAndReadersSeeItemsAndFlavours) {
  PasteboardRef writer = nullptr, reader = nullptr;
  ASSERT_EQ(noErr, PasteboardCreate(kPasteboardFind, &writer));
  ASSERT_EQ(noErr, PasteboardCreate(kPasteboardFind, &reader));
  CFDataRef hello = Data("h\xC3\xA9llo");
  // Nobody may put before clearing.
  EXPECT_EQ(notPasteboardOwnerErr,
            PasteboardPutItemFlavor(writer, PasteboardItemID(1), S("public.utf8-plain-text"), hello, 0));
  PasteboardSynchronize(reader);
  ASSERT_EQ(noErr, PasteboardClear(writer));
  EXPECT_EQ(noErr, PasteboardPutItemFlavor(writer, PasteboardItemID(1), S("public.utf8-plain-text"), hello, 0));
  EXPECT_EQ(duplicatePasteboardFlavorErr,
            PasteboardPutItemFlavor(writer, PasteboardItemID(1), S("public.utf8-plain-text"), hello, 0));
  CFDataRef url = Data("file:///tmp/a%20b");
  EXPECT_EQ(noErr, PasteboardPutItemFlavor(writer, PasteboardItemID(2), S("public.file-url"), url, 0));
  EXPECT_EQ(noPasteboardPromiseKeeperErr,
            PasteboardPutItemFlavor(writer, PasteboardItemID(2), S("public.tiff"), nullptr, 0));
  CFRelease(hello);
  CFRelease(url);

  const PasteboardSyncFlags flags = PasteboardSynchronize(reader);
  EXPECT_TRUE(flags & kPasteboardModified);
  EXPECT_TRUE(flags & kPasteboardClientIsOwner);
  EXPECT_FALSE(PasteboardSynchronize(reader) & kPasteboardModified);

  ItemCount count = 0;
  ASSERT_EQ(noErr, PasteboardGetItemCount(reader, &count));
  ASSERT_EQ(2u, count);
  PasteboardItemID first = nullptr, second = nullptr;
  ASSERT_EQ(noErr, PasteboardGetItemIdentifier(reader, 1, &first));
  ASSERT_EQ(noErr, PasteboardGetItemIdentifier(reader, 2, &second));
  EXPECT_EQ(badPasteboardIndexErr, PasteboardGetItemIdentifier(reader, 3, &second));
  EXPECT_EQ(badPasteboardIndexErr, PasteboardGetItemIdentifier(reader, 0, &second));

  // UTF-8 text reads as UTF-16 too, marked as the system's translation.
  CFArrayRef types = nullptr;
  ASSERT_EQ(noErr, PasteboardCopyItemFlavors(reader, first, &types));
  ASSERT_EQ(2, CFArrayGetCount(types));
  EXPECT_EQ("public.utf16-plain-text", Text(CFStringRef(CFRetain(CFArrayGetValueAtIndex(types, 1)))));
  CFRelease(types);
  CFDataRef data = nullptr;
  ASSERT_EQ(noErr, PasteboardCopyItemFlavorData(reader, first, S("public.utf16-plain-text"), &data));
  EXPECT_EQ(std::string("h\0\xE9\0l\0l\0o\0", 10), Bytes(data));
  PasteboardFlavorFlags flavorFlags = 0;
  EXPECT_EQ(noErr, PasteboardGetItemFlavorFlags(reader, first, S("public.utf16-plain-text"), &flavorFlags));
  EXPECT_EQ(PasteboardFlavorFlags(kPasteboardFlavorSystemTranslated), flavorFlags);
  ASSERT_EQ(noErr, PasteboardCopyItemFlavorData(reader, second, S("public.file-url"), &data));
  EXPECT_EQ("file:///tmp/a%20b", Bytes(data));
  EXPECT_EQ(badPasteboardFlavorErr, PasteboardCopyItemFlavorData(reader, second, S("public.utf8-plain-text"), &data));
  EXPECT_EQ(badPasteboardItemErr, PasteboardCopyItemFlavorData(reader, PasteboardItemID(99),
                                                               S("public.file-url"), &data));
  CFRelease(writer);
  CFRelease(reader);
}

TEST(Pasteboard, AnotherProgramsContentEndsOwnershipAndBadTextDoesNotTranslate) {
  PasteboardRef clip = nullptr;
  ASSERT_EQ(noErr, PasteboardCreate(kPasteboardClipboard, &clip));
  PasteboardClear(clip);
  PasteboardSynchronize(clip);
  // Malformed UTF-8 (a lone continuation byte, a truncated sequence) from elsewhere.
  PasteboardStoreReplace("com.apple.pasteboard.clipboard",
                         {{{"public.utf8-plain-text", {0x80, 'a', 0xE2, 0x82}, 0}},
                          {{"public.utf16-plain-text", {'a', 0, 'b'}, 0}}});
  const PasteboardSyncFlags flags = PasteboardSynchronize(clip);
  EXPECT_TRUE(flags & kPasteboardModified);
  EXPECT_FALSE(flags & kPasteboardClientIsOwner);
  PasteboardItemID item = nullptr, odd = nullptr;
  PasteboardGetItemIdentifier(clip, 1, &item);
  PasteboardGetItemIdentifier(clip, 2, &odd);
  CFDataRef data = nullptr;
  EXPECT_EQ(badPasteboardFlavorErr, PasteboardCopyItemFlavorData(clip, item, S("public.utf16-plain-text"), &data));
  EXPECT_EQ(badPasteboardFlavorErr, PasteboardCopyItemFlavorData(clip, odd, S("public.utf8-plain-text"), &data));
  EXPECT_EQ(nullptr, data);
  CFDataRef x = Data("x");
  EXPECT_EQ(notPasteboardOwnerErr, PasteboardPutItemFlavor(clip, item, S("public.plain"), x, 0));
  CFRelease(x);

  // A unique pasteboard is nobody else's.
  PasteboardRef mine = nullptr;
  ASSERT_EQ(noErr, PasteboardCreate(kPasteboardUniqueName, &mine));
  ItemCount count = 7;
  PasteboardGetItemCount(mine, &count);
  EXPECT_EQ(0u, count);
  CFStringRef name = nullptr;
  PasteboardCopyName(mine, &name);
  EXPECT_NE("com.apple.pasteboard.clipboard", Text(name));
  CFRelease(mine);
  CFRelease(clip);
}

TEST(HelpTags, ContentRoundTripsWithItsControlAndMenuItem) {
  HIRect frame{{0, 0}, {10, 10}};
  HIViewRef view = nullptr;
  ASSERT_EQ(noErr, HIViewCreate(&frame, &view));
  HMHelpContentRec rec{};
  rec.version = kMacHelpVersion;
  rec.tagSide = kHMOutsideBottomLeftAligned;
  rec.content[0].contentType = kHMCFStringContent;
  CFStringRef text = CFStringCreateWithCString(nullptr, "Opens the file", kCFStringEncodingUTF8);
  rec.content[0].u.tagCFString = text;
  rec.content[1].contentType = kHMPascalStrContent;
  rec.content[1].u.tagString[0] = 4;
  std::memcpy(rec.content[1].u.tagString + 1, "More", 4);
  ASSERT_EQ(noErr, HMSetControlHelpContent(view, &rec));
  CFRelease(text);  // the store has its own copy

  HMHelpContentRec got{};
  ASSERT_EQ(noErr, HMGetControlHelpContent(view, &got));
  EXPECT_EQ(kHMOutsideBottomLeftAligned, got.tagSide);
  ASSERT_EQ(HMContentType(kHMCFStringContent), got.content[0].contentType);
  EXPECT_EQ("Opens the file", Text(got.content[0].u.tagCFString));
  EXPECT_EQ("More", Text(HMCopyHelpContentText(&got, true)));

  // Menu items keep theirs; removing leaves nothing.
  MenuRef menu = nullptr;
  CreateNewMenu(0, 0, &menu);
  AppendMenuItemTextWithCFString(menu, S("Item"), 0, 0, nullptr);
  EXPECT_EQ(menuItemNotFoundErr, HMSetMenuItemHelpContent(menu, 2, &rec));
  rec.content[0].contentType = kHMPascalStrContent;
  rec.content[0].u.tagString[0] = 3;
  std::memcpy(rec.content[0].u.tagString + 1, "Tip", 3);
  ASSERT_EQ(noErr, HMSetMenuItemHelpContent(menu, 1, &rec));
  ASSERT_EQ(noErr, HMGetMenuItemHelpContent(menu, 1, &got));
  EXPECT_EQ("Tip", Text(HMCopyHelpContentText(&got, false)));
  EXPECT_EQ(noErr, HMSetMenuItemHelpContent(menu, 1, nullptr));
  EXPECT_EQ(errHMContentNotFound, HMGetMenuItemHelpContent(menu, 1, &got));
  EXPECT_EQ(HMContentType(kHMNoContent), got.content[0].contentType);
  rec.content[0].contentType = 'junk';
  EXPECT_EQ(paramErr, HMSetControlHelpContent(view, &rec));
  ReleaseMenu(menu);

  // A tag shown at a place, then hidden.
  rec.content[0].contentType = kHMPascalStrContent;
  rec.absHotRect = Rect{10, 20, 10, 20};
  ASSERT_EQ(noErr, HMDisplayTag(&rec));
  std::string shown;
  Rect where{};
  ASSERT_TRUE(HelpGetShownTag(&shown, &where));
  EXPECT_EQ("Tip", shown);
  EXPECT_EQ(20, where.left);
  HMHideTag();
  EXPECT_FALSE(HelpGetShownTag(&shown, &where));
  DisposeControl(view);
}

TEST(MenuFont, KeptPerMenu) {
  MenuRef menu = nullptr;
  CreateNewMenu(0, 0, &menu);
  SInt16 id = -1;
  UInt16 size = 9;
  ASSERT_EQ(noErr, GetMenuFont(menu, &id, &size));
  EXPECT_EQ(0, id);
  EXPECT_EQ(0, size);
  SetMenuFont(menu, 1030, 11);
  GetMenuFont(menu, &id, &size);
  EXPECT_EQ(1030, id);
  EXPECT_EQ(11, size);
  ReleaseMenu(menu);
  EXPECT_EQ(errInvalidMenuRef, SetMenuFont(nullptr, 1, 1));
}

}  // namespace
