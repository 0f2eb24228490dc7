// Internal to the platform library: the parts of the FTP streams that tests
// look at directly.
#pragma once

#include <string>

#include "CFDate.h"
#include "CFDictionary.h"
#include "CFStream.h"

// The address libcurl is given for an ftp:// URL: the user information taken
// out (into user and password, percent-decoded), each path segment
// percent-encoded (a valid "%XX" is kept as it is). False for a URL that is
// not ftp://, has no host, or whose host or path holds a control character
// (a line break in a path would end the FTP command early).
bool __CFFTPTransferURL(const std::string& url, std::string& transferURL, std::string& user, std::string& password);

// The stream error of a finished transfer, from libcurl's result code, the
// server's last reply code and the socket's errno (Linux numbering).
CFStreamError __CFFTPStreamError(int curlCode, long replyCode, long osErrno);

// CFFTPCreateParsedResourceListing with the present time given: a Unix
// listing's "Mon DD HH:MM" date is of the year that puts it at most about
// six months ahead of now. Dates are read as local times.
CFIndex __CFFTPParseListing(const UInt8* buffer, CFIndex length, CFAbsoluteTime now, CFDictionaryRef* parsed);
