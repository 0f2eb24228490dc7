// ApplicationFramework: what every framework unit needs and none owns: the
// application globals, the binding of a Carbon window to its program objects
// (the reference constant and the 'WIND' window properties), the title and
// proxy icon a window shows for its document, and the open-document command
// 'OPND' with its options record.
#pragma once

#include "CarbonEvents.h"
#include "Files.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "ShortString.h"
#include "TObjectUnit.h"

class TDocument;
class TPreferenceHandler;

// Globals set by the application object and its quit sequence.
extern TPreferenceHandler* AppPrefs;
extern OSType ApplicationSignature;
extern IBNibRef ApplicationNib;
extern Boolean ApplicationQuitting;

// Window properties hold object references: their size is a pointer's.
constexpr OSType kTWindowPropertyCreator = 'WIND';
constexpr OSType kTWindowDocumentListTag = 'docL';
constexpr OSType kTWindowPaneTag = 'pane';
constexpr ByteCount kObjectReferenceSize = sizeof(void*);

// Commands and parameters of the open-document command.
constexpr UInt32 kHICommandOpenDocument = 'OPND';
constexpr EventParamName kEventParamOpenFile = 'FREF';
constexpr EventParamName kEventParamOpenNewWindow = 'BOOL';
constexpr EventParamName kEventParamOpenOptions = 'OPOT';

// The open-command options: handed whole, in this process only, as 'OPOT'.
// The record keeps its fields' order; the two references are pointer-sized,
// so its size is sizeof, never a stored figure.
struct ApplicationOpenCommandOptions {
  FSRef file;              // also sent alone as 'FREF' when it is valid
  Str63 fileName;          // a file named by the sender (the error browsers)
  Str255 url;              // a URL to open instead of a file
  Boolean newWindow;       // open in a new window (also 'BOOL')
  Boolean keepInBackground;  // leave an open window or document where it is
  Str255 queryString;      // a text for the opened document's editor
  SInt16 defaultLine;      // a line to show when above 0
  SInt16 projectMode;      // a second number for the receiver
  SInt16 padding;
  EventRef event;          // an event for the receiver
  Ptr data;                // a block handed over; the application disposes it
  SInt32 dataSize;
};

// The window's framework object: nil for a nil window or a reference
// constant of 0 or below (no class test).
TObject* TWindowGetObject(WindowRef window);
// The pane attached to the window; nil when none.
TObject* TWindowGetPane(WindowRef window);
// Stores the reference itself (size bytes of it, at most a pointer's) under
// ('WIND', tag).
void TWindowSetProperty(OSType tag, const void* value, ByteCount size, WindowRef window);
// The stored reference; nil on any error (a missing or oversized property).
void TWindowGetProperty(OSType tag, void*& value, WindowRef window);
void TWindowRemoveProperty(OSType tag, WindowRef window);
// The window's title and proxy icon for the document (nil: none).
void TWindowSetDocument(TDocument* document, WindowRef window);

ApplicationOpenCommandOptions GetDefaultOpenCommandOptions();
// Sends 'OPND' with the file and the new-window flag to the application,
// synchronously.
void SendOpenDocumentCommand(const FSRef& file, Boolean newWindow);
// Sends 'OPND' with the whole record ('FREF' too when the file is valid).
void SendOpenDocumentCommandWithOptions(const ApplicationOpenCommandOptions& options);
