// Preferences: keyed property-list values kept per application domain.
//
// Each domain is one XML property-list file in the preferences folder (the
// folder FSFindFolder gives for 'pref'): "<domain>.plist" for the current
// user on any host, "ByHost/<domain>.<host name>.plist" for the current user
// on this host. The current application's domain is the main bundle's
// identifier ("com.brindlecote.Quorvel"). Values live in memory, read from
// the file at first use; a set is seen at once by every reader in the
// process and reaches the file only when the domain is synchronised, which
// writes it atomically (a temporary file renamed over the old one). A new
// file is made readable by its owner only, since servers and their accounts
// are kept here.
//
// A file that cannot be read as a dictionary (malformed, truncated, not a
// dictionary, unreadable, huge) reads as an empty domain and is left alone
// until something is written; it is then renamed aside to
// "<name>.corrupt" (or "<name>.corrupt.1", ...), never overwritten.
//
// Values must be property lists (strings, data, numbers, Booleans, dates,
// arrays and dictionaries with string keys); anything else is refused and
// not stored. The store keeps its own immutable copy of what is set, and
// hands out its values read-only: the caller of a Copy function owns one
// reference. Other users (kCFPreferencesAnyUser or another name) have no
// place here: nothing is read or stored for them.
//
// Meant for the main thread; the store is guarded by a lock all the same.
#pragma once

#include "CFArray.h"
#include "CFBase.h"
#include "CFPropertyList.h"
#include "CFString.h"

extern const CFStringRef kCFPreferencesAnyApplication;
extern const CFStringRef kCFPreferencesCurrentApplication;
extern const CFStringRef kCFPreferencesAnyHost;
extern const CFStringRef kCFPreferencesCurrentHost;
extern const CFStringRef kCFPreferencesAnyUser;
extern const CFStringRef kCFPreferencesCurrentUser;

// The value stored under the key for the current user on any host (Create
// rule); nil when there is none.
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);
// Stores a copy of the value under the key; nil removes the key. A value that
// is no property list is not stored.
void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID);
// Writes the domain's changes to its file, then forgets what was read so that
// the next read sees the file as it is now (also as changed by others). True
// when nothing was to be written or the write succeeded; on failure the
// changes are kept for a later attempt.
Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);

// The same for a given user and host.
CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef applicationID, CFStringRef userName,
                                         CFStringRef hostName);
void CFPreferencesSetValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID,
                           CFStringRef userName, CFStringRef hostName);
Boolean CFPreferencesSynchronize(CFStringRef applicationID, CFStringRef userName, CFStringRef hostName);
// The domain's keys in the order they were first stored (Create rule); nil
// when the domain holds none.
CFArrayRef CFPreferencesCopyKeyList(CFStringRef applicationID, CFStringRef userName, CFStringRef hostName);
