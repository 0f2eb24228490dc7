// Icons and PNG images from the application bundle or the system.
#include "CFURL.h"
#include "PascalCarbonCommon.h"

// '????': no particular creator or type.
constexpr OSType kUnknownCode = 0x3F3F3F3F;

IconRef FSGetIcon(const FSRef& ref) {
  FSCatalogInfo info{};
  Err = FSGetCatalogInfo(&ref, kIconServicesCatalogInfoMask, &info, nullptr, nullptr, nullptr);
  if (Err != noErr) return nullptr;
  IconRef icon = nullptr;
  SInt16 label = 0;
  Err = GetIconRefFromFileInfo(&ref, 0, nullptr, kIconServicesCatalogInfoMask, &info, kIconServicesNormalUsageFlag,
                               &icon, &label);
  return Err == noErr ? icon : nullptr;
}

IconRef RegisterIconRef(OSType creator, OSType type, const Str63& name, const Str63& folder) {
  FSRef file;
  if (FSGetResourceFile(name, folder, file) != noErr) return nullptr;
  IconRef icon = nullptr;
  Err = RegisterIconRefFromFSRef(creator, type, &file, &icon);
  return Err == noErr ? icon : nullptr;
}

IconRef LoadIconRef(const Str63& name, const Str63& folder) { return RegisterIconRef(kUnknownCode, kUnknownCode, name, folder); }

CGImageRef LoadPNGImage(const Str63& name, const Str63& folder) {
  FSRef file;
  if (FSGetResourceFile(name, folder, file) != noErr) return nullptr;
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  if (url == nullptr) return nullptr;
  CGDataProviderRef provider = CGDataProviderCreateWithURL(url);
  CFRelease(url);
  if (provider == nullptr) return nullptr;
  CGImageRef image = CGImageCreateWithPNGDataProvider(provider, nullptr, false, kCGRenderingIntentDefault);
  CGDataProviderRelease(provider);
  return image;
}
