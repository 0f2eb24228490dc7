// FTP read and write streams over libcurl, and the parser of folder listings.
//
// A read stream on a URL that ends in "/" lists the folder (the server's LIST
// text is what it reads); on any other URL it downloads the file. A write
// stream stores a file. The stream tells "opened" once the login is done. The
// user name and password travel separately from the URL (a URL's own user
// information is used only when the properties are not set), and the path's
// segments are percent-encoded before they go out. Every transfer has a
// connect time limit and a low-speed limit (nothing moved for a while ends
// it with POSIX error 60, "timed out"), so a hung server ends in an error.
//
// Errors: a reply of the server (530 login denied, 550 no such file, 552
// storage exceeded, 451 ...) comes as domain kCFStreamErrorDomainFTP with the
// reply code; a socket failure as kCFStreamErrorDomainPOSIX with the BSD errno
// number (61 refused, 60 timed out, 54 reset, ...); a host that cannot be
// found as kCFStreamErrorDomainNetDB with EAI_NONAME (8).
#pragma once

#include "CFDictionary.h"
#include "CFStream.h"

enum : CFIndex {
  kCFStreamErrorDomainFTP = 6,
  kCFStreamErrorDomainNetDB = 12,
};

CFReadStreamRef CFReadStreamCreateWithFTPURL(CFAllocatorRef alloc, CFURLRef ftpURL);
CFWriteStreamRef CFWriteStreamCreateWithFTPURL(CFAllocatorRef alloc, CFURLRef ftpURL);

extern const CFStringRef kCFStreamPropertyFTPUserName;               // CFString
extern const CFStringRef kCFStreamPropertyFTPPassword;               // CFString
extern const CFStringRef kCFStreamPropertyFTPUsePassiveMode;         // CFBoolean, true by default
extern const CFStringRef kCFStreamPropertyFTPAttemptPersistentConnection;  // CFBoolean
extern const CFStringRef kCFStreamPropertyFTPFetchResourceInfo;      // CFBoolean: "opened" waits for the size
extern const CFStringRef kCFStreamPropertyFTPResourceSize;           // CFNumber (SInt64), read only
extern const CFStringRef kCFStreamPropertyFTPProxy;                  // CFDictionary as SCDynamicStoreCopyProxies gives

// Parses the first line of a listing. Answers the bytes the line took (its
// line break included) with *parsed the entry, or nil for a line that holds
// none ("total N", a blank line); 0 when the line is not complete yet; -1
// when it cannot be read. The caller releases the entry.
CFIndex CFFTPCreateParsedResourceListing(CFAllocatorRef alloc, const UInt8* buffer, CFIndex bufferLength,
                                         CFDictionaryRef* parsed);

// The keys of an entry.
extern const CFStringRef kCFFTPResourceMode;     // CFNumber: permission bits (with set-id and sticky)
extern const CFStringRef kCFFTPResourceName;     // CFString
extern const CFStringRef kCFFTPResourceOwner;    // CFString
extern const CFStringRef kCFFTPResourceGroup;    // CFString
extern const CFStringRef kCFFTPResourceLink;     // CFString: a symbolic link's target ("" otherwise)
extern const CFStringRef kCFFTPResourceSize;     // CFNumber (SInt64)
extern const CFStringRef kCFFTPResourceType;     // CFNumber: 4 folder, 8 file, 10 link, 2/6/1/12 devices, pipes, sockets
extern const CFStringRef kCFFTPResourceModDate;  // CFDate
