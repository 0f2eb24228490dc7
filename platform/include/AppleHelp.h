// Help books: a folder of HTML pages in the application bundle's resources,
// named by the bundle's Info.plist ("CFBundleHelpBookFolder", and
// "CFBundleHelpBookName", the folder's name when absent), with index.html as
// its first page (looked for in Resources/<folder>, then in
// Resources/English.lproj/<folder>). Pages open in the desktop's default
// browser (under the headless host the request is recorded, see
// HeadlessCopyLaunchRequests).
#pragma once

#include "CFBase.h"
#include "Files.h"
#include "MacTypes.h"

enum : OSStatus {
  kAHInternalErr = -10790,
};

// Registers the help book of the bundle at the reference. Once a book is
// registered, the Help menu's command (kHICommandAppHelp, 'ahlp') that no
// other handler takes opens its first page. paramErr for nil; fnfErr when
// the bundle names no help book or the book has no index.html.
OSStatus AHRegisterHelpBook(const FSRef* appBundleRef);
// Opens a page of a registered book: bookname nil for the first book
// registered, path nil (or empty) for the index, else relative to the book's
// folder; anchor (may be nil) becomes the URL's fragment. kAHInternalErr
// when no such book is registered, fnfErr when the page is not there.
OSStatus AHGotoPage(CFStringRef bookname, CFStringRef path, CFStringRef anchor);
