// The system's proxy settings. Linux keeps them in the environment
// (ftp_proxy, all_proxy, no_proxy and their upper-case forms), which is what
// SCDynamicStoreCopyProxies reads. Linux has no setting for FTP's passive
// mode, so the settings always say passive (kSCPropNetProxiesFTPPassive 1).
#pragma once

#include "CFDictionary.h"

typedef const struct __SCDynamicStore* SCDynamicStoreRef;

// The store argument is ignored (pass nil). The caller releases the result.
CFDictionaryRef SCDynamicStoreCopyProxies(SCDynamicStoreRef store);

extern const CFStringRef kSCPropNetProxiesFTPPassive;          // CFNumber 0 or 1
extern const CFStringRef kSCPropNetProxiesFTPEnable;           // CFNumber 0 or 1
extern const CFStringRef kSCPropNetProxiesFTPProxy;            // CFString: host
extern const CFStringRef kSCPropNetProxiesFTPPort;             // CFNumber
extern const CFStringRef kSCPropNetProxiesSOCKSEnable;         // CFNumber 0 or 1
extern const CFStringRef kSCPropNetProxiesSOCKSProxy;          // CFString: host
extern const CFStringRef kSCPropNetProxiesSOCKSPort;           // CFNumber
extern const CFStringRef kSCPropNetProxiesExceptionsList;      // CFArray of CFString (hosts, ".domains", "*")
