// TString's file operations, over the file-system helpers of
// PascalCarbonCommon (FSReadDataFork / FSWriteDataFork). Their absence
// stand-ins in TStringUnit.cpp step aside once this file is in the build.
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TStringUnit.h"

void TString::CreateWithFile(const FSRef& file) {
  Initialize();
  Ptr bytes = FSReadDataFork(file);  // Err: the read's status
  SetFileBytes(reinterpret_cast<const UInt8*>(bytes), bytes ? GetPtrSize(bytes) : 0);
  ReleasePtr(bytes);
}

void TString::Save(const FSRef& file) {
  OSStatus status = noErr;
  Ptr bytes = CreateFileBytes(status);
  if (bytes == nullptr) {
    // Writing only what converts would cut the file: keep it as it is.
    Err = status;
    return;
  }
  FSWriteDataFork(file, bytes);  // Err: the write's status
  ReleasePtr(bytes);
}
