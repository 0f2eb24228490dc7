// Type identifiers: reverse-DNS names of kinds of data ("public.html"), how
// they conform to one another (public.php-script -> public.script ->
// public.source-code -> public.plain-text -> public.text -> public.data ->
// public.item), and the tags that name them in other systems: file name
// extensions, MIME types and four-character type codes.
//
// Identifiers come from one built-in table, so that answers are the same on
// every machine; only tags the table does not know are looked up in the
// desktop's content types (GIO), and what that finds is mapped back into the
// table by MIME type. Identifiers and tags (except type codes) compare
// without regard to case.
//
// A tag that nothing knows gets a dynamic identifier of this system's own
// form: "dyn." + a short name of the tag class ("ext", "mime", "ostype",
// "pboard") + "." + the tag, lower-cased, with every character other than
// a-z and 0-9 written as "-" and two hexadecimal digits per UTF-8 byte
// ("tar.gz" -> "dyn.ext.tar-2egz"). A dynamic identifier conforms to
// public.data and public.item, and for an extension also to what the
// desktop's content type of that extension says (text or image).
#pragma once

#include "CFArray.h"
#include "CFBase.h"
#include "CFString.h"

// Tag classes.
extern const CFStringRef kUTTagClassFilenameExtension;  // "public.filename-extension"
extern const CFStringRef kUTTagClassMIMEType;           // "public.mime-type"
extern const CFStringRef kUTTagClassNSPboardType;       // "public.pasteboard-type"
extern const CFStringRef kUTTagClassOSType;             // "public.ostype"

// A few identifiers by name.
extern const CFStringRef kUTTypeItem;        // "public.item"
extern const CFStringRef kUTTypeData;        // "public.data"
extern const CFStringRef kUTTypeText;        // "public.text"
extern const CFStringRef kUTTypePlainText;   // "public.plain-text"
extern const CFStringRef kUTTypeSourceCode;  // "public.source-code"
extern const CFStringRef kUTTypeHTML;        // "public.html"
extern const CFStringRef kUTTypeXML;         // "public.xml"
extern const CFStringRef kUTTypeImage;       // "public.image"
extern const CFStringRef kUTTypeFolder;      // "public.folder"
extern const CFStringRef kUTTypePackage;     // "com.apple.package"
extern const CFStringRef kUTTypeURL;         // "public.url"
extern const CFStringRef kUTTypePDF;         // "com.adobe.pdf"

// Create rule. The preferred identifier for the tag: the first table entry
// carrying it that conforms to inConformingToUTI (any entry when nil), else
// the desktop's answer mapped into the table, else a dynamic identifier. Nil
// for a nil or non-string class or tag, an empty tag or an unknown class.
CFStringRef UTTypeCreatePreferredIdentifierForTag(CFStringRef inTagClass, CFStringRef inTag,
                                                  CFStringRef inConformingToUTI);
// Create rule. Every table entry carrying the tag that conforms to
// inConformingToUTI, preferred first; the preferred identifier alone when the
// table has none. Nil as above.
CFArrayRef UTTypeCreateAllIdentifiersForTag(CFStringRef inTagClass, CFStringRef inTag, CFStringRef inConformingToUTI);
// Create rule. The identifier's first tag of the class ("html" for
// public.html); nil when it has none. A dynamic identifier gives back its tag
// for its own class.
CFStringRef UTTypeCopyPreferredTagWithClass(CFStringRef inUTI, CFStringRef inTagClass);

// Equality without regard to case; false when either is nil.
Boolean UTTypeEqual(CFStringRef inUTI1, CFStringRef inUTI2);
// True when inUTI is inConformsToUTI or conforms to it through the table,
// directly or through any chain of parents; false for nil arguments.
Boolean UTTypeConformsTo(CFStringRef inUTI, CFStringRef inConformsToUTI);
// True for identifiers of the dynamic form.
Boolean UTTypeIsDynamic(CFStringRef inUTI);
// Create rule. A short English description ("PHP script"); nil when the
// identifier is not in the table.
CFStringRef UTTypeCopyDescription(CFStringRef inUTI);
