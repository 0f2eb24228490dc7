// Opening items named by FSRef: their file URLs go to the URL calls of
// LaunchServices.cpp, which launch through the desktop or, headless, record.
#include <cstring>
#include <vector>

#include "CFArray.h"
#include "CFURL.h"
#include "Files.h"
#include "LSInfo.h"
#include "LaunchServices.h"

namespace {

void Clear(FSRef* ref) {
  if (ref) std::memset(ref, 0, sizeof *ref);
}

// The File Manager's status for an item that does not resolve.
OSStatus ItemStatus(const FSRef* ref) {
  OSErr err = FSGetCatalogInfo(ref, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr);
  return err != noErr ? err : OSStatus(fnfErr);
}

}  // namespace

OSStatus LSOpenFSRef(const FSRef* inRef, FSRef* outLaunchedRef) {
  Clear(outLaunchedRef);
  if (inRef == nullptr) return paramErr;
  CFURLRef url = CFURLCreateFromFSRef(nullptr, inRef);
  if (url == nullptr) return ItemStatus(inRef);
  OSStatus err = LSOpenCFURLRef(url, nullptr);
  if (err == noErr && outLaunchedRef != nullptr &&
      LSGetApplicationForItem(inRef, kLSRolesAll, outLaunchedRef, nullptr) != noErr)
    Clear(outLaunchedRef);
  CFRelease(url);
  return err;
}

OSStatus LSOpenFromRefSpec(const LSLaunchFSRefSpec* inLaunchSpec, FSRef* outLaunchedRef) {
  Clear(outLaunchedRef);
  if (inLaunchSpec == nullptr || (inLaunchSpec->numDocs > 0 && inLaunchSpec->itemRefs == nullptr))
    return paramErr;
  if (inLaunchSpec->appRef == nullptr && inLaunchSpec->numDocs == 0) return paramErr;
  CFURLRef app = nullptr;
  if (inLaunchSpec->appRef != nullptr) {
    app = CFURLCreateFromFSRef(nullptr, inLaunchSpec->appRef);
    if (app == nullptr) return kLSApplicationNotFoundErr;
  }
  CFMutableArrayRef items = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  OSStatus err = noErr;
  for (ItemCount i = 0; i < inLaunchSpec->numDocs && err == noErr; ++i) {
    CFURLRef item = CFURLCreateFromFSRef(nullptr, &inLaunchSpec->itemRefs[i]);
    if (item == nullptr) {
      err = ItemStatus(&inLaunchSpec->itemRefs[i]);
    } else {
      CFArrayAppendValue(items, item);
      CFRelease(item);
    }
  }
  if (err == noErr) {
    LSLaunchURLSpec spec{app, items, inLaunchSpec->passThruParams, inLaunchSpec->launchFlags,
                         inLaunchSpec->asyncRefCon};
    err = LSOpenFromURLSpec(&spec, nullptr);
  }
  if (err == noErr && outLaunchedRef != nullptr && inLaunchSpec->appRef != nullptr)
    std::memcpy(outLaunchedRef, inLaunchSpec->appRef, sizeof *outLaunchedRef);
  CFRelease(items);
  if (app) CFRelease(app);
  return err;
}

OSStatus LSSetExtensionHiddenForRef(const FSRef* inRef, Boolean) {
  if (inRef == nullptr) return paramErr;
  // No flag to set on Linux (see LaunchServices.h); the item must exist.
  return FSGetCatalogInfo(inRef, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr);
}
