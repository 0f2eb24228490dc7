// One node of an XML document as the XML parser reports it: a type code, a
// string (the element's name, the text, the comment, the target of a
// processing instruction, ...) and, for some types, a record of further
// information. Nodes are immutable CF objects.
#pragma once

#include "CFBase.h"
#include "CFString.h"

typedef const struct __CFXMLNode* CFXMLNodeRef;
// A tree whose nodes' info pointers hold CFXMLNodeRefs.
typedef CFTreeRef CFXMLTreeRef;

typedef CFIndex CFXMLNodeTypeCode;
enum : CFIndex {
  kCFXMLNodeTypeDocument = 1,
  kCFXMLNodeTypeElement = 2,
  kCFXMLNodeTypeAttribute = 3,
  kCFXMLNodeTypeProcessingInstruction = 4,
  kCFXMLNodeTypeComment = 5,
  kCFXMLNodeTypeText = 6,
  kCFXMLNodeTypeCDATASection = 7,
  kCFXMLNodeTypeDocumentFragment = 8,
  kCFXMLNodeTypeEntity = 9,
  kCFXMLNodeTypeEntityReference = 10,
  kCFXMLNodeTypeDocumentType = 11,
  kCFXMLNodeTypeWhitespace = 12,
  kCFXMLNodeTypeNotation = 13,
  kCFXMLNodeTypeElementTypeDeclaration = 14,
  kCFXMLNodeTypeAttributeListDeclaration = 15,
};

// The only node layout there is.
enum : CFIndex { kCFXMLNodeCurrentVersion = 1 };

// Element: attributes by name (CFString -> CFString) and their names in
// document order; isEmpty for a tag written as <name/>. Both collections
// are present (possibly empty) on nodes the parser makes.
struct CFXMLElementInfo {
  CFDictionaryRef attributes;
  CFArrayRef attributeOrder;
  Boolean isEmpty;
  char padding[3];
};

// Processing instruction: the node's string is the target, dataString the
// rest (nil when there is none).
struct CFXMLProcessingInstructionInfo {
  CFStringRef dataString;
};

// Document: the URL the data came from (nil when none) and the encoding the
// document was read in.
struct CFXMLDocumentInfo {
  CFURLRef sourceURL;
  CFStringEncoding encoding;
};

// A reference to outside data: the system identifier as a URL (relative
// ones resolved against the document's URL) and the public identifier.
struct CFXMLExternalID {
  CFURLRef systemID;
  CFStringRef publicID;
};

// Document type (the node's string is the root element's name).
struct CFXMLDocumentTypeInfo {
  CFXMLExternalID externalID;
};

struct CFXMLNotationInfo {
  CFXMLExternalID externalID;
};

struct CFXMLElementTypeDeclarationInfo {
  CFStringRef contentDescription;
};

struct CFXMLAttributeDeclarationInfo {
  CFStringRef attributeName;
  CFStringRef typeString;
  CFStringRef defaultString;
};

struct CFXMLAttributeListDeclarationInfo {
  CFIndex numberOfAttributes;
  CFXMLAttributeDeclarationInfo* attributes;
};

typedef CFIndex CFXMLEntityTypeCode;
enum : CFIndex {
  kCFXMLEntityTypeParameter = 0,
  kCFXMLEntityTypeParsedInternal = 1,
  kCFXMLEntityTypeParsedExternal = 2,
  kCFXMLEntityTypeUnparsed = 3,
  kCFXMLEntityTypeCharacter = 4,
};

struct CFXMLEntityInfo {
  CFXMLEntityTypeCode entityType;
  CFStringRef replacementText;  // internal entities
  CFXMLExternalID entityID;     // external entities
  CFStringRef notationName;     // unparsed entities
};

// Entity reference: the node's string is the entity's name.
struct CFXMLEntityReferenceInfo {
  CFXMLEntityTypeCode entityType;
};

CFTypeID CFXMLNodeGetTypeID();

// A node of the type with the string and a copy of the info record the type
// takes (the objects it names are retained; nil info is an all-zero record).
// Nil for another version than kCFXMLNodeCurrentVersion or an unknown type.
CFXMLNodeRef CFXMLNodeCreate(CFAllocatorRef alloc, CFXMLNodeTypeCode xmlType, CFStringRef dataString,
                             const void* additionalInfoPtr, CFIndex version);
CFXMLNodeRef CFXMLNodeCreateCopy(CFAllocatorRef alloc, CFXMLNodeRef origNode);

CFXMLNodeTypeCode CFXMLNodeGetTypeCode(CFXMLNodeRef node);  // 0 for nil
// Get rule. Nil for the document node.
CFStringRef CFXMLNodeGetString(CFXMLNodeRef node);
// The node's own record (one of the structs above, by type), valid while the
// node lives; nil for types without one (text, comments, CDATA, white space).
const void* CFXMLNodeGetInfoPtr(CFXMLNodeRef node);
CFIndex CFXMLNodeGetVersion(CFXMLNodeRef node);

// XML trees: CFTrees whose nodes carry a CFXMLNodeRef as their info.
CFXMLTreeRef CFXMLTreeCreateWithNode(CFAllocatorRef allocator, CFXMLNodeRef node);
CFXMLNodeRef CFXMLTreeGetNode(CFXMLTreeRef xmlTree);  // Get rule
