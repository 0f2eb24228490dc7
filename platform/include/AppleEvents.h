// Apple events: typed descriptors, lists and records of them, events with
// parameters, the table of the application's event handlers, and sending.
//
// A descriptor owns its data: AEDisposeDesc frees it, AEDuplicateDesc copies
// it deeply; every call that gives a descriptor gives a new one that the
// caller disposes. Readers copy at most the size the caller gives and report
// the full size.
//
// Sending: an event addressed to this process (kCurrentProcess, or the main
// bundle's signature or identifier) goes to the installed handler at once.
// The file manager ('MACS') understands 'misc'/'mvis' with the items to show
// as direct object (FSRefs, file URLs or a list of them): the desktop's file
// manager shows them (the freedesktop FileManager1 ShowItems call over
// D-Bus), or, when none answers, the folder that holds the first item is
// opened. Under the headless host nothing is launched: the request is
// recorded (HeadlessCopyRevealRequests). Other events to the file manager
// give errAEEventNotHandled; events to other applications procNotFound.
#pragma once

#include <string>
#include <vector>

#include "CFBase.h"
#include "CarbonEvents.h"  // the descriptor type codes events and Apple events share
#include "MacTypes.h"

typedef FourCharCode DescType;
typedef FourCharCode AEKeyword;
typedef FourCharCode AEEventClass;
typedef FourCharCode AEEventID;
typedef SInt16 AEReturnID;
typedef SInt32 AETransactionID;
typedef SInt32 AESendMode;
typedef SInt16 AESendPriority;

typedef struct OpaqueAEDataStorage* AEDataStorage;

struct AEDesc {
  DescType descriptorType;
  AEDataStorage dataHandle;
};
typedef AEDesc AEAddressDesc;
typedef AEDesc AEDescList;
typedef AEDesc AERecord;
typedef AEDesc AppleEvent;
typedef AEDesc* AEDescPtr;

struct ProcessSerialNumber {
  UInt32 highLongOfPSN;
  UInt32 lowLongOfPSN;
};
enum : UInt32 {
  kNoProcess = 0,
  kSystemProcess = 1,
  kCurrentProcess = 2,
};

// Descriptor types.
enum : DescType {
  typeNull = 'null',
  typeAEList = 'list',
  typeAERecord = 'reco',
  typeAppleEvent = 'aevt',
  typeTrue = 'true',
  typeFalse = 'fals',
  typeEnumerated = 'enum',
  typeKeyword = 'keyw',
  typeApplSignature = 'sign',
  typeProcessSerialNumber = 'psn ',
  typeKernelProcessID = 'kpid',
  typeApplicationBundleID = 'bund',
  typeFileURL = 'furl',
  typeAlias = 'alis',
  typeFSS = 'fss ',
};

// Keywords and attributes.
enum : AEKeyword {
  keyDirectObject = '----',
  keyErrorNumber = 'errn',
  keyErrorString = 'errs',
  keyEventClassAttr = 'evcl',
  keyEventIDAttr = 'evid',
  keyAddressAttr = 'addr',
  keyReturnIDAttr = 'rtid',
  keyTransactionIDAttr = 'tran',
};

// Event classes and IDs.
enum : FourCharCode {
  kCoreEventClass = 'aevt',
  kAEOpenApplication = 'oapp',
  kAEOpenDocuments = 'odoc',
  kAEPrintDocuments = 'pdoc',
  kAEQuitApplication = 'quit',
  kAEReopenApplication = 'rapp',
  kAEAnswer = 'ansr',
  kAEMiscStandards = 'misc',
  kAEMakeObjectsVisible = 'mvis',
};

// Send modes: a reply mode, an interaction level and options.
enum : AESendMode {
  kAENoReply = 0x00000001,
  kAEQueueReply = 0x00000002,
  kAEWaitReply = 0x00000003,
  kAENeverInteract = 0x00000010,
  kAECanInteract = 0x00000020,
  kAEAlwaysInteract = 0x00000030,
  kAECanSwitchLayer = 0x00000040,
  kAEDontRecord = 0x00001000,
  kAEDontExecute = 0x00002000,
};
enum : AESendPriority {
  kAENormalPriority = 0,
  kAEHighPriority = 1,
};
enum : AEReturnID { kAutoGenerateReturnID = -1 };
enum : AETransactionID { kAnyTransactionID = 0 };
enum : SInt32 {
  kAEDefaultTimeout = -1,
  kNoTimeOut = -2,
};

// Statuses of the Apple Event Manager (errAECoercionFail is in MacTypes.h).
enum : OSStatus {
  errAECorruptData = -1702,
  errAEDescNotFound = -1701,
  errAEWrongDataType = -1703,
  errAENotAEDesc = -1704,
  errAEBadListItem = -1705,
  errAENewerVersion = -1706,
  errAENotAppleEvent = -1707,
  errAEEventNotHandled = -1708,
  errAEReplyNotValid = -1709,
  errAEUnknownSendMode = -1710,
  errAETimeout = -1712,
  errAEHandlerNotFound = -1717,
  errAEUnknownAddressType = -1716,
  errAEIllegalIndex = -1719,
};

// --- Descriptors -------------------------------------------------------------
// Sets the descriptor to the null descriptor (no data).
void AEInitializeDesc(AEDesc* desc);
// A descriptor of the type holding a copy of the bytes. paramErr for a
// negative size or nil data with a size.
OSErr AECreateDesc(DescType typeCode, const void* dataPtr, Size dataSize, AEDesc* result);
// Frees the data and leaves the null descriptor; nothing for nil.
OSErr AEDisposeDesc(AEDesc* theAEDesc);
OSErr AEDuplicateDesc(const AEDesc* theAEDesc, AEDesc* result);
// The byte size of a simple descriptor's data (0 for lists, records and events).
Size AEGetDescDataSize(const AEDesc* theAEDesc);
// Copies up to maximumSize bytes of the data. errAEDescNotFound for lists,
// records and events.
OSErr AEGetDescData(const AEDesc* theAEDesc, void* dataPtr, Size maximumSize);
// Converts to another type: the same type or typeWildCard copies; numbers and
// Booleans convert among themselves when the value fits; text converts
// between typeChar (Mac Roman), typeUTF8Text and typeUnicodeText; typeFSRef
// and typeFileURL (the URL's text) convert into each other; a simple
// descriptor becomes a list of one item and a list of one item converts as
// that item. Otherwise errAECoercionFail.
OSErr AECoerceDesc(const AEDesc* theAEDesc, DescType toType, AEDesc* result);

// --- Lists and records -------------------------------------------------------
// The factoring arguments are not used (pass nil and 0).
OSErr AECreateList(const void* factoringPtr, Size factoredSize, Boolean isRecord, AEDescList* resultList);
OSErr AECountItems(const AEDescList* theAEDescList, long* theCount);
// index 1..count replaces an item, 0 or count + 1 appends; errAEIllegalIndex
// otherwise. Records and events take keyed items only (AEPutKeyPtr).
OSErr AEPutPtr(AEDescList* theAEDescList, long index, DescType typeCode, const void* dataPtr, Size dataSize);
OSErr AEPutDesc(AEDescList* theAEDescList, long index, const AEDesc* theAEDesc);
// Item index (from 1) of a list, record or event's parameters, converted to
// desiredType (typeWildCard: as it is). theAEKeyword, typeCode and
// actualSize may be nil; errAEIllegalIndex past the end.
OSErr AEGetNthPtr(const AEDescList* theAEDescList, long index, DescType desiredType, AEKeyword* theAEKeyword,
                  DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize);
OSErr AEGetNthDesc(const AEDescList* theAEDescList, long index, DescType desiredType, AEKeyword* theAEKeyword,
                   AEDesc* result);
// Keyed items of records (and of events: their parameters).
OSErr AEPutKeyPtr(AERecord* theAERecord, AEKeyword theAEKeyword, DescType typeCode, const void* dataPtr,
                  Size dataSize);
OSErr AEPutKeyDesc(AERecord* theAERecord, AEKeyword theAEKeyword, const AEDesc* theAEDesc);
OSErr AEGetKeyPtr(const AERecord* theAERecord, AEKeyword theAEKeyword, DescType desiredType, DescType* typeCode,
                  void* dataPtr, Size maximumSize, Size* actualSize);
OSErr AEGetKeyDesc(const AERecord* theAERecord, AEKeyword theAEKeyword, DescType desiredType, AEDesc* result);
OSErr AEDeleteKeyDesc(AERecord* theAERecord, AEKeyword theAEKeyword);

// --- Events ------------------------------------------------------------------
OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID, const AEAddressDesc* target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent* result);
OSErr AEPutParamPtr(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType typeCode, const void* dataPtr,
                    Size dataSize);
OSErr AEPutParamDesc(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, const AEDesc* theAEDesc);
// errAEDescNotFound when the event has no such parameter.
OSErr AEGetParamPtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                    DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize);
OSErr AEGetParamDesc(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, AEDesc* result);
OSErr AEDeleteParam(AppleEvent* theAppleEvent, AEKeyword theAEKeyword);
// The attributes keyEventClassAttr, keyEventIDAttr (typeType), keyAddressAttr
// (the target descriptor), keyReturnIDAttr (typeSInt16) and
// keyTransactionIDAttr (typeSInt32).
OSErr AEGetAttributePtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                        DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize);
OSErr AEGetAttributeDesc(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                         AEDesc* result);

// --- Handlers ------------------------------------------------------------------
typedef OSErr (*AEEventHandlerProcPtr)(const AppleEvent* theAppleEvent, AppleEvent* reply, SRefCon handlerRefcon);
typedef AEEventHandlerProcPtr AEEventHandlerUPP;
inline AEEventHandlerUPP NewAEEventHandlerUPP(AEEventHandlerProcPtr proc) { return proc; }
inline void DisposeAEEventHandlerUPP(AEEventHandlerUPP) {}

// One handler per (class, ID); installing again replaces it. typeWildCard as
// class or ID matches any. isSysHandler is accepted and has no effect: there
// is one table per process.
OSErr AEInstallEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP handler,
                            SRefCon handlerRefcon, Boolean isSysHandler);
// errAEHandlerNotFound unless that handler is installed for that pair.
OSErr AERemoveEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP handler,
                           Boolean isSysHandler);
OSErr AEGetEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP* handler,
                        SRefCon* handlerRefcon, Boolean isSysHandler);

// Delivers the event to this process's handler for its class and ID (the
// exact pair first, then the wildcards) and answers its status;
// errAEEventNotHandled when no handler is installed. The reply (optional)
// becomes an empty 'aevt'/'ansr' event the handler may fill; the caller
// disposes it. The display hosts deliver the documents the program is asked
// to open this way ('aevt'/'odoc' with a list of FSRefs).
OSErr AEDispatchAppleEvent(const AppleEvent* theAppleEvent, AppleEvent* reply);

// --- Sending -------------------------------------------------------------------
// See the top of this file. The reply (optional) is set to the null
// descriptor, or, for an event to this process with kAEWaitReply, to what the
// handler put in it. To this process the status is the handler's.
OSErr AESend(const AppleEvent* theAppleEvent, AppleEvent* reply, AESendMode sendMode, AESendPriority sendPriority,
             SInt32 timeOutInTicks, void* idleProc, void* filterProc);

// --- Documents from outside ------------------------------------------------------
// Files named on the command line, and files given to a later launch of the
// program, reach the one running instance as open-documents events
// ('aevt'/'odoc', keyDirectObject a list of typeFSRef items, in the order
// given).
//
// Called once at start-up, after HostInitialize took its own options out of
// argv: registers the instance on the session bus under the application id
// (nil: the main bundle's identifier). Answers true when this process is the
// running instance: it goes on, and the files among argv[1..] are queued.
// Answers false when another instance already runs and has been handed the
// files (or, with none, asked to come forward): the caller exits. Without a
// session bus, or when the hand-over fails, this process goes on as its own
// instance with its files. Arguments after "--" are files even when they
// begin with '-'; other arguments beginning with '-' are left alone. Later
// calls answer as the first did and change nothing.
Boolean AEStartApplicationInstance(CFStringRef applicationID, int argc, char* const argv[]);
// The program is ready for documents (its document list is restored): the
// files queued so far, and those that arrive later, are delivered from the
// event loop by AEDispatchAppleEvent. Items that are no longer there when
// they are delivered are left out with a message on standard error; an event
// with no item left is not sent.
void AESetOpenDocumentsReady();

// --- Headless host ------------------------------------------------------------
// The paths of the items each reveal request asked the file manager to show,
// one entry per item, in order.
std::vector<std::string> HeadlessCopyRevealRequests();
void HeadlessClearRevealRequests();
