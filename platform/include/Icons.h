// Icon Services: icon references by creator and type code, registered from
// icon files or drawn by the system, and plotted into a Quartz context.
//
// An IconRef counts its owners: every call that hands one out (GetIconRef,
// the Register calls, GetIconRefFromFileInfo, AcquireIconRef) adds one, and
// ReleaseIconRef takes one away; the icon goes when none is left. The
// registry itself owns each registered icon once, until UnregisterIconRef
// or a later registration under the same key, which never touches the
// references already handed out.
#pragma once

#include "CFBase.h"
#include "CGContext.h"
#include "Files.h"
#include "MacTypes.h"

typedef struct OpaqueIconRef* IconRef;

typedef SInt16 IconAlignmentType;
enum : IconAlignmentType {
  kAlignNone = 0x00,  // the icon is stretched over the whole rectangle
  kAlignVerticalCenter = 0x01,
  kAlignTop = 0x02,
  kAlignBottom = 0x03,
  kAlignHorizontalCenter = 0x04,
  kAlignAbsoluteCenter = kAlignVerticalCenter | kAlignHorizontalCenter,
  kAlignCenterTop = kAlignTop | kAlignHorizontalCenter,
  kAlignCenterBottom = kAlignBottom | kAlignHorizontalCenter,
  kAlignLeft = 0x08,
  kAlignCenterLeft = kAlignVerticalCenter | kAlignLeft,
  kAlignTopLeft = kAlignTop | kAlignLeft,
  kAlignBottomLeft = kAlignBottom | kAlignLeft,
  kAlignRight = 0x0C,
  kAlignCenterRight = kAlignVerticalCenter | kAlignRight,
  kAlignTopRight = kAlignTop | kAlignRight,
  kAlignBottomRight = kAlignBottom | kAlignRight,
};

typedef SInt16 IconTransformType;
enum : IconTransformType {
  kTransformNone = 0x00,
  kTransformDisabled = 0x01,  // faded
  kTransformOffline = 0x02,   // faded
  kTransformOpen = 0x03,      // darkened
  kTransformLabel1 = 0x0100,  // label transforms 1..7 tint with the label colour
  kTransformLabel7 = 0x0700,
  kTransformSelected = 0x4000,  // darkened
  kTransformSelectedDisabled = kTransformSelected | kTransformDisabled,
  kTransformSelectedOffline = kTransformSelected | kTransformOffline,
  kTransformSelectedOpen = kTransformSelected | kTransformOpen,
};

typedef UInt32 PlotIconRefFlags;
enum : PlotIconRefFlags {
  kPlotIconRefNormalFlags = 0,
  kPlotIconRefNoImage = 1 << 1,  // the icon's shape only, in black
  kPlotIconRefNoMask = 1 << 2,   // the image without its transparency
};

typedef UInt32 IconServicesUsageFlags;
enum : IconServicesUsageFlags { kIconServicesNormalUsageFlag = 0 };

// The catalog information GetIconRefFromFileInfo looks at.
enum : FSCatalogInfoBitmap { kIconServicesCatalogInfoMask = 0x0008181E };

enum : OSStatus {
  invalidIconRefErr = -2580,
  noSuchIconErr = -2582,
  noIconDataAvailableErr = -2583,
};

// The system's icons ('macs' or 0 as creator): folders, documents,
// applications, unknown items, the trash, the alert icons, Internet
// locations, and a few command icons.
enum : OSType {
  kSystemIconsCreator = 'macs',
  kGenericFolderIcon = 'fldr',
  kOpenFolderIcon = 'ofld',
  kGenericDocumentIcon = 'docu',
  kGenericApplicationIcon = 'APPL',
  kUnknownFSObjectIcon = 'unfs',
  kTrashIcon = 'trsh',
  kFullTrashIcon = 'ftrh',
  kAlertCautionIcon = 'caut',
  kAlertNoteIcon = 'note',
  kAlertStopIcon = 'stop',
  kGenericFileServerIcon = 'srvr',
  kInternetLocationFTPIcon = 'ilft',
  kInternetLocationGenericIcon = 'ilge',
  kInternetLocationHTTPIcon = 'ilht',
};

// The icon registered under (creator, type) or else the system's icon for
// the type; unknown types get the generic document icon. paramErr for a nil
// out pointer.
OSErr GetIconRef(SInt16 vRefNum, OSType creator, OSType iconType, IconRef* theIconRef);
// Reads an icon file: a PNG file, or an .icns file whose images are PNG
// data. fnfErr when the file cannot be read, noIconDataAvailableErr when it
// holds no image that can be read; on success the icon is registered under
// (creator, iconType) and handed out.
OSStatus RegisterIconRefFromFSRef(OSType creator, OSType iconType, const FSRef* iconFile, IconRef* theIconRef);
OSErr RegisterIconRefFromIconFile(OSType creator, OSType iconType, const FSSpec* iconFile, IconRef* theIconRef);
// noSuchIconErr when nothing is registered under the key.
OSErr UnregisterIconRef(OSType creator, OSType iconType);

// The icon of a file or folder: folders (by the catalog information when
// it has the node flags, else by the file system) get the folder icon,
// applications (an ".app" folder, or an executable file without extension)
// the application icon, other files a document icon marked with their
// extension. inFileName / inCatalogInfo may be nil; outLabel may be nil.
OSStatus GetIconRefFromFileInfo(const FSRef* inRef, UniCharCount inFileNameLength, const UniChar* inFileName,
                                FSCatalogInfoBitmap inWhichInfo, const FSCatalogInfo* inCatalogInfo,
                                IconServicesUsageFlags inUsageFlags, IconRef* outIconRef, SInt16* outLabel);
OSErr GetIconRefFromFileRef(const FSRef* inRef, IconRef* outIconRef, SInt16* outLabel);
// By type, else by extension (a document marked with it).
OSErr GetIconRefFromTypeInfo(OSType inCreator, OSType inType, CFStringRef inExtension, CFStringRef inMIMEType,
                             IconServicesUsageFlags inUsageFlags, IconRef* outIconRef);

OSErr AcquireIconRef(IconRef theIconRef);
OSErr ReleaseIconRef(IconRef theIconRef);  // invalidIconRefErr for a stale or nil reference
OSErr GetIconRefOwners(IconRef theIconRef, UInt16* owners);
Boolean IsValidIconRef(IconRef theIconRef);

// Draws the icon into the rectangle the way Quartz draws images: upright in
// a y-up user space (the icon's top at the rectangle's maximum y), which is
// why view drawing flips the context before plotting. Alignment places a
// square icon in a rectangle of another shape (top is maximum y);
// transforms fade (disabled, offline), darken (selected, open) or tint
// (labels, with labelColor). paramErr for a nil context or rectangle,
// invalidIconRefErr for a stale icon.
OSStatus PlotIconRefInContext(CGContextRef inContext, const CGRect* inRect, IconAlignmentType inAlign,
                              IconTransformType inTransform, const RGBColor* inLabelColor, PlotIconRefFlags inFlags,
                              IconRef inIconRef);
