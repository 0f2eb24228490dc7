// PathUtilities: the folders that the program's user paths are expressed
// against (the folder of a file, the folder that holds the application, the
// user's folder, the user's web folder and its address on the local web
// server), joining a base with a relative path, and a short display form of
// paths.
//
// Home folders: the folder that holds the home folders is the parent of
// $HOME (normally /home), and the folder inside it that a path passes
// through names the user (/home/alice/... is alice's). A $HOME directly
// under the root (/root) is in no such folder. The running user is the one
// whose home is $HOME. The user's web folder is ~/public_html, served by the
// local web server as http://localhost/~user.
//
// Results are short strings; a result that would not fit whole is empty.
#pragma once

#include "Files.h"
#include "ShortString.h"

// base + path when the path begins with '/', otherwise base + "/" + path.
Str255 JoinBaseWithPath(const Str255& base, const Str255& path);
// Shortens a path for display: a last component with a '.' in it (a file
// name, or a folder name with a dot) is dropped; then a path inside a home
// folder loses the folders of homes and of the user and gets "." in front
// (/home/me/public_html/site/index.php gives ./public_html/site).
void FormatUserPath(Str255& path);
// The POSIX path of the folder that holds the item ("/" for an item at the
// root); empty when the item's path cannot be had.
Str255 GetBaseFilePath(const FSRef& file);
// The POSIX path of the folder that holds the application bundle.
Str255 GetApplicationPath();
// The home folder of the user in whose home the application lies
// (/home/alice for /home/alice/apps/Quorvel.app); for an application
// installed outside the home folders, the running user's home folder.
Str255 GetSystemPath();
// The POSIX path of the user's web folder; empty (fnfErr in Err) when it
// does not exist. Sets Err.
Str255 GetLocalhostPath();
// "http://localhost/~" + the user in whose home the application lies; for an
// application installed outside the home folders, the running user's own
// address. Empty when no user can be named.
Str255 GetLocalhostURL();
