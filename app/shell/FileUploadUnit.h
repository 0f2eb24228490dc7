// Uploads of project files to their FTP server: the folder a file goes to,
// the start of its stream and the texts a running upload shows.
#pragma once

#include <string>

#include "PreferenceUtilities.h"
#include "TFTPUnit.h"

// The FTP URL of the folder a file uploads to: the server's root folder,
// then the file's own directory ("FileInfoDirectory", may be empty).
std::string FileUploadFolderURL(const FTPServerInfo& server, const Str255& directory);

// Starts the upload of file into that folder with the server's login; the
// stream reports to callback with data. Nil when it cannot start (nothing is
// left to free); remote is the folder URL either way.
TFTPStream* StartFileUpload(const FTPServerInfo& server, const Str255& directory, const FSRef& file,
                            FTPStreamNotificationCallback callback, void* data, std::string& remote);

// A saved file uploads when its preview mode is "Server", or "Default" (or
// none) in a project whose mode is "Server".
Boolean UploadsOnSave(const Str255& fileMode, const Str255& projectMode);

// "Transfered 57%" for a ratio of 57.9 (the whole part of the percentage).
Str255 UploadProgressText(float percent);

// The message of a failed upload, naming the file.
Str255 UploadErrorMessage(const Str63& name, CFStreamError error);

// The stream callback of an editor pane's upload (data: the pane): the
// pane's "Uploading" button follows the transfer and goes at its end.
void UploadNotification(SInt16 code, float ratio, CFStreamError error, TFTPStream* stream, void* data);
