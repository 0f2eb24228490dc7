// FSRevealFile: asks the file manager to show an item.
#include "AppleEvents.h"
#include "PascalCarbonCommon.h"

OSStatus FSRevealFile(const FSRef& ref) {
  const OSType finder = 'MACS';
  AEAddressDesc target;
  AppleEvent event;
  AEInitializeDesc(&target);
  AEInitializeDesc(&event);
  Err = AECreateDesc(typeApplSignature, &finder, sizeof finder, &target);
  if (Err == noErr)
    Err = AECreateAppleEvent(kAEMiscStandards, kAEMakeObjectsVisible, &target, kAutoGenerateReturnID, kAnyTransactionID,
                             &event);
  if (Err == noErr) Err = AEPutParamPtr(&event, keyDirectObject, typeFSRef, &ref, sizeof ref);
  if (Err == noErr)
    Err = AESend(&event, nullptr, kAENoReply | kAECanInteract, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr);
  AEDisposeDesc(&event);
  AEDisposeDesc(&target);
  return Err;
}
