// User paths: base locations with a kind (the server root, a URL, or a folder
// relative to the project, the application, the system or the local web
// server) through which file paths become the paths or URLs a script or page
// expects. TUserPathsBrowser edits an array of them kept in a preference
// handler: one row per path with an enabled box, the kind (an icon and a
// label, chosen from a pop-up menu) and the editable path. TChoosePathDialog
// picks the folder of a path and keeps it relative to the kind's base.
// CopyUserPathsArray gives the rest of the program the enabled paths.
#pragma once

#include "CFArray.h"
#include "CFData.h"
#include "Files.h"
#include "ShortString.h"
#include "TNavDialogsUnit.h"
#include "TPreferenceWindowUnit.h"

class TPreferenceHandler;

enum : SInt16 {
  kUserPathRoot = 1,
  kUserPathURL = 2,
  kUserPathProject = 3,
  kUserPathApplication = 4,
  kUserPathSystem = 5,
  kUserPathLocalhost = 6,
};

// One stored path: 260 bytes in host byte order, enabled (1 byte), path (a
// length byte and up to 255 characters), one pad byte, kind (SInt16 at 258).
enum : CFIndex { kUserPathInfoSize = 260 };

struct UserPathInfo {
  Boolean enabled = false;
  Str255 path;
  SInt16 kind = 0;
};

// Every byte written, padding and unused characters zero: equal records
// give equal data.
void EncodeUserPathInfo(const UserPathInfo& info, UInt8 (&bytes)[kUserPathInfoSize]);
// A shorter item reads as empty, disabled and of kind 0.
UserPathInfo DecodeUserPathInfo(const UInt8* bytes, CFIndex size);
// A new record (Create rule), enabled unless asked otherwise.
CFDataRef NewUserPath(const Str255& path, SInt16 kind, Boolean enabled = true);

// The path a record gives to the program: the path joined to the base of its
// kind, say.
typedef Str255 (*UserPathFormatter)(const Str255& path, SInt16 kind, void* context);
// The enabled paths stored under the key, in order, each through the
// formatter when one is given (else as stored); nil when there is none.
// The caller releases the array.
CFArrayRef CopyUserPathsArray(TPreferenceHandler* handler, const Str255& key, UserPathFormatter formatter,
                              void* context);

// The label and the icon of a kind: "Root", "URL", "Project", "Application",
// "System", "Localhost"; an empty label and no icon outside 1 to 6.
Str31 UserPathKindLabel(SInt16 kind);
// A new icon reference for the caller to release; nil when the kind has none.
IconRef CopyUserPathKindIcon(SInt16 kind);
// The kinds whose folder can be chosen (relative to a base).
inline Boolean UserPathKindHasBase(SInt16 kind) { return kind >= kUserPathProject && kind <= kUserPathLocalhost; }

// The part of the path below the base, starting with "/" (empty for the
// base itself); false when the path is not the base or inside it. A
// trailing "/" of either does not count; a base of "/" holds every
// absolute path.
Boolean UserPathMakeRelative(const Str255& path, const Str255& base, Str255& relative);

// A set of kinds: element k - 1 stands for kind k.
typedef UInt8 UserPathOptions;
constexpr UserPathOptions UserPathOption(SInt16 kind) {
  return kind >= 1 && kind <= 6 ? UserPathOptions(1u << (kind - 1)) : UserPathOptions(0);
}
constexpr UserPathOptions kUserPathAllOptions = 0x3F;

// Column property IDs; the kind column is the browser's own drawn column.
constexpr DataBrowserPropertyID kUserPathEnabledColumn = 'ACTV';
constexpr DataBrowserPropertyID kUserPathTextColumn = 'PATH';
constexpr UInt32 kUserPathItemType = 'UPTH';

class TUserPathsBrowser : public TPreferenceArrayBrowser {
 public:
  UserPathOptions PathOptions = kUserPathAllOptions;  // the kinds the kind menu offers
  FSRef BaseFile{};  // its folder is the base of Project paths; the owner sets it

  TUserPathsBrowser();

  virtual void SetPathOptions(UserPathOptions options);
  // Appends an enabled URL row reading "http://".
  virtual void AddEmptyPath();
  // Appends an enabled row of the path and kind.
  virtual void AddPath(const Str255& path, SInt16 kind);
  // Lets the user choose the folder of the row's record (a 260-byte block).
  virtual void SelectPath(Ptr record);

  // A double-click on a row whose kind has a base chooses its folder.
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  // The kind cell: its icon and label, and a pop-up arrow.
  void DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                DataBrowserPropertyID property, DataBrowserItemState state, CGRect cell,
                CGContextRef context) override;
  // The path, cut to 255 characters.
  void SetItemText(void* data, DataBrowserItemID item, DataBrowserPropertyID property, CFStringRef text) override;
  void SetItemCheckbox(void* data, DataBrowserItemID item, DataBrowserPropertyID property, Boolean value) override;
  // A hit in the kind cell pops up the kind menu; the answer is always true.
  Boolean HitTest(void* data, UInt32 dataType, CGRect itemRect, CGRect mouseRect) override;
  // "Select Path..."
  MenuRef GetContextualMenu(ItemArrayHandle items, SInt16 count) override;
  void SelectContextualMenu(NodeInfoPtr node, MenuRef menu, SInt16 menuID, UInt16 menuItem) override;
  // The records are stored in host order: nothing to convert.
  void ByteSwapper(Ptr, SInt16) override {}

  // The kind menu of a record: the six labels with their icons, those not in
  // the path options disabled, the record's kind checked (the caller
  // releases it).
  MenuRef CreateKindMenu(SInt16 checkedKind);
  // The base of a kind with one: the folder of the base file, the
  // application's, the system's or the local web server's folder.
  Str255 GetKindBase(SInt16 kind);
  // Redraws every row.
  void RefreshRows();
};

class TChoosePathDialog : public TNavDialogs {
 public:
  Ptr Record = nullptr;                  // the row's record, edited in place
  TUserPathsBrowser* Browser = nullptr;  // not owned
  DataBrowserItemID Item = 0;            // the row, looked up again when the answer comes

  // The folder's path relative to the record kind's base becomes the
  // record's path; a folder outside the base is refused with a message and
  // the record stays as it was.
  void HandleChooseResult(const FSRef& folder) override;
};

// The browser over the list view, bound to the array stored under the key
// of the handler, filled with its rows.
TUserPathsBrowser* CreateUserPathsBrowser(ControlRef control, const Str255& key, TPreferenceHandler* handler);
