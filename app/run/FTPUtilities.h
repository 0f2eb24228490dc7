// FTPUtilities: the URL functions the FTP browser, the FTP pane and FTP
// documents share. A URL's components are its non-empty "/"-separated parts,
// so the first two are the scheme ("ftp:") and the authority.
#pragma once

#include <string>

#include "CFArray.h"
#include "CarbonEvents.h"
#include "ShortString.h"
#include "TFTPUnit.h"

// The command that asks a window to open a remote file; its parameter 'urls'
// ('PSTR', a 256-byte length-prefixed string) is the file's URL.
constexpr UInt32 kFTPOpenFileCommand = 'FTPF';
constexpr EventParamName kEventParamFTPURL = 'urls';
constexpr EventParamType typeFTPPascalString = 'PSTR';

// "/" + components 3..last joined by "/"; with trailingSlash a "/" is
// appended when the result does not end in one (the server root gives "/").
// Empty when the URL has fewer than two components.
Str255 GetURLPath(const Str255& url, Boolean trailingSlash);
// The same over components 3..last-1 (the containing folder), always ending in "/".
Str255 GetURLRoot(const Str255& url);
// The entry's path on the server, with a trailing "/" for folders.
Str255 GetListingPath(FTPDirectoryListingPtr entry);
// Empties components when there is an array, then makes it the URL's
// components without the first two (the path components); the caller
// releases it.
void ExplodeURL(const Str255& url, CFArrayRef& components);
// A private folder of its own for the remote file of the URL (and login),
// inside the folder named `use` of the temporary folder: two remote files
// of the same name never share a local copy. Made when missing; its path
// ends in "/".
std::string FTPPrivateFolder(const Str255& url, const Str255& user, const char* use);
// Sends 'FTPF' with the URL to the target.
void SendFTPOpenCommand(const Str255& url, EventTargetRef target);
