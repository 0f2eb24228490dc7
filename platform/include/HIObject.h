// HIObject: reference-counted objects with an event target, made from
// classes registered by ID. A class has a base class, a handler that answers
// the construct / initialise / destruct events and whatever else it lists,
// and the instance data its construct handler hands back.
#pragma once

#include "CFBase.h"
#include "CFString.h"
#include "CarbonEvents.h"
#include "MacTypes.h"

typedef struct __CHIObjectClass* HIObjectClassRef;
typedef OptionBits HIObjectClassOptions;

// The class at the root of every chain (no handler of its own) and the view
// base class (its standard view behaviour sits below the subclass handlers).
extern const CFStringRef kHIObjectClassID;  // "com.apple.hiobject"
extern const CFStringRef kHIViewClassID;    // "com.apple.hiview"

enum : OSStatus {
  hiObjectClassExistsErr = -22080,
  hiObjectClassHasInstancesErr = -22081,
  hiObjectClassHasSubclassesErr = -22082,
  hiObjectClassIsAbstractErr = -22083,
  hiObjectClassNotFoundErr = -22084,
};

// Registers a class under the ID. The handler receives, for the construct
// event ('hiob' 1), the construct data as its user data and the new object in
// kEventParamHIObjectInstance 'hioi' (typeHIObjectRef) and, for views, also in
// kEventParamHIViewInstance 'hivi' (typeControlRef); it answers its instance
// data by setting either parameter to typeVoidPtr. For every later event the
// handler is installed on the object's target with the class's event list and
// gets the instance data as its user data. An ID already registered gives
// hiObjectClassExistsErr; an unknown base class hiObjectClassNotFoundErr.
OSStatus HIObjectRegisterSubclass(CFStringRef inClassID, CFStringRef inBaseClassID, HIObjectClassOptions inOptions,
                                  EventHandlerUPP inConstructProc, ItemCount inNumEvents,
                                  const EventTypeSpec* inEventList, void* inConstructData,
                                  HIObjectClassRef* outClassRef);
// Refuses while objects of the class live (hiObjectClassHasInstancesErr) or
// while another class names it as base (hiObjectClassHasSubclassesErr).
OSStatus HIObjectUnregisterClass(HIObjectClassRef inClassRef);

// Makes an object: construct runs from the root base class to the class
// itself, then 'hiob' 2 initialise carries the parameters of inConstructData
// (an event, or nil) through the subclass handler, whose CallNextEventHandler
// reaches the base classes' initialise first. Views then get
// kEventControlInitialize. A failed construct or initialise destroys the
// object again and returns its status. The caller owns one reference; when
// the last one goes, 'hiob' 3 destruct reaches every class, subclass first.
OSStatus HIObjectCreate(CFStringRef inClassID, EventRef inConstructData, HIObjectRef* outObject);

EventTargetRef HIObjectGetEventTarget(HIObjectRef inObject);
// True when the object's class or one of its base classes has the ID.
Boolean HIObjectIsOfClass(HIObjectRef inObject, CFStringRef inObjectClassID);
// The instance data the class (the object's class or a base) made for it;
// nil when the object is not of that class.
void* HIObjectDynamicCast(HIObjectRef inObject, CFStringRef inClassID);
// A new reference to the ID of the object's own class.
CFStringRef HIObjectCopyClassID(HIObjectRef inObject);
// Archiving is not offered: every object answers true.
Boolean HIObjectIsArchivingIgnored(HIObjectRef inObject);
// The CF type ID that HIObjects (views included) share.
CFTypeID HIObjectGetTypeID();
