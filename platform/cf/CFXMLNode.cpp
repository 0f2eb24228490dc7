#include "CFXMLNode.h"

#include <cstring>
#include <vector>

#include "CFCollectionInternal.h"
#include "CFStringInternal.h"
#include "CFTree.h"
#include "CFURL.h"

namespace {

CFTypeID XMLNodeTypeID() {
  static const CFTypeID id = CFRuntimeRegisterType("CFXMLNode");
  return id;
}

template <typename T>
T Retained(T cf) {
  if (cf != nullptr) CFRetain(cf);
  return cf;
}

void ReleaseIf(CFTypeRef cf) {
  if (cf != nullptr) CFRelease(cf);
}

bool SameObject(CFTypeRef a, CFTypeRef b) { return a == b || (a != nullptr && b != nullptr && CFEqual(a, b)); }

bool SameExternalID(const CFXMLExternalID& a, const CFXMLExternalID& b) {
  return SameObject(a.systemID, b.systemID) && SameObject(a.publicID, b.publicID);
}

}  // namespace

// One node; the info record lives in the node, in the member its type uses.
struct __CFXMLNode : __CFRuntimeBase {
  __CFXMLNode() : __CFRuntimeBase(XMLNodeTypeID()) {}

  ~__CFXMLNode() override {
    ReleaseIf(string);
    switch (type) {
      case kCFXMLNodeTypeElement:
        ReleaseIf(element.attributes);
        ReleaseIf(element.attributeOrder);
        break;
      case kCFXMLNodeTypeProcessingInstruction: ReleaseIf(pi.dataString); break;
      case kCFXMLNodeTypeDocument: ReleaseIf(document.sourceURL); break;
      case kCFXMLNodeTypeDocumentType:
      case kCFXMLNodeTypeNotation:
        ReleaseIf(external.systemID);
        ReleaseIf(external.publicID);
        break;
      case kCFXMLNodeTypeElementTypeDeclaration: ReleaseIf(elementType.contentDescription); break;
      case kCFXMLNodeTypeAttributeListDeclaration:
        for (auto& a : attributeDecls) {
          ReleaseIf(a.attributeName);
          ReleaseIf(a.typeString);
          ReleaseIf(a.defaultString);
        }
        break;
      case kCFXMLNodeTypeEntity:
        ReleaseIf(entity.replacementText);
        ReleaseIf(entity.entityID.systemID);
        ReleaseIf(entity.entityID.publicID);
        ReleaseIf(entity.notationName);
        break;
      default: break;
    }
  }

  bool Equal(const __CFRuntimeBase* other) const override {
    auto* o = static_cast<const __CFXMLNode*>(other);
    if (o->type != type || !SameObject(o->string, string)) return false;
    switch (type) {
      case kCFXMLNodeTypeElement:
        return o->element.isEmpty == element.isEmpty && SameObject(o->element.attributes, element.attributes) &&
               SameObject(o->element.attributeOrder, element.attributeOrder);
      case kCFXMLNodeTypeProcessingInstruction: return SameObject(o->pi.dataString, pi.dataString);
      case kCFXMLNodeTypeDocument:
        return o->document.encoding == document.encoding && SameObject(o->document.sourceURL, document.sourceURL);
      case kCFXMLNodeTypeDocumentType:
      case kCFXMLNodeTypeNotation: return SameExternalID(o->external, external);
      case kCFXMLNodeTypeElementTypeDeclaration:
        return SameObject(o->elementType.contentDescription, elementType.contentDescription);
      case kCFXMLNodeTypeAttributeListDeclaration:
        if (o->attributeDecls.size() != attributeDecls.size()) return false;
        for (size_t i = 0; i < attributeDecls.size(); ++i) {
          const auto& a = attributeDecls[i];
          const auto& b = o->attributeDecls[i];
          if (!SameObject(a.attributeName, b.attributeName) || !SameObject(a.typeString, b.typeString) ||
              !SameObject(a.defaultString, b.defaultString))
            return false;
        }
        return true;
      case kCFXMLNodeTypeEntity:
        return o->entity.entityType == entity.entityType &&
               SameObject(o->entity.replacementText, entity.replacementText) &&
               SameExternalID(o->entity.entityID, entity.entityID) &&
               SameObject(o->entity.notationName, entity.notationName);
      case kCFXMLNodeTypeEntityReference: return o->entityRef.entityType == entityRef.entityType;
      default: return true;
    }
  }

  CFHashCode Hash() const override { return CFHashCode(type) * 31 + (string ? CFHash(string) : 0); }

  std::string Describe() const override {
    return "<CFXMLNode " + __CFAddressText(this) + ">{type = " + std::to_string(type) +
           ", string = " + (string ? __CFStringGetUTF8(string) : std::string("(null)")) + "}";
  }

  const void* Info() const {
    switch (type) {
      case kCFXMLNodeTypeElement: return &element;
      case kCFXMLNodeTypeProcessingInstruction: return &pi;
      case kCFXMLNodeTypeDocument: return &document;
      case kCFXMLNodeTypeDocumentType:
      case kCFXMLNodeTypeNotation: return &external;
      case kCFXMLNodeTypeElementTypeDeclaration: return &elementType;
      case kCFXMLNodeTypeAttributeListDeclaration: return &attributeList;
      case kCFXMLNodeTypeEntity: return &entity;
      case kCFXMLNodeTypeEntityReference: return &entityRef;
      default: return nullptr;
    }
  }

  CFXMLNodeTypeCode type = 0;
  CFStringRef string = nullptr;
  CFXMLElementInfo element{};
  CFXMLProcessingInstructionInfo pi{};
  CFXMLDocumentInfo document{};
  CFXMLExternalID external{};  // document type and notation
  CFXMLElementTypeDeclarationInfo elementType{};
  CFXMLAttributeListDeclarationInfo attributeList{};
  std::vector<CFXMLAttributeDeclarationInfo> attributeDecls;  // what attributeList points at
  CFXMLEntityInfo entity{};
  CFXMLEntityReferenceInfo entityRef{};
};

namespace {

__CFXMLNode* NodeOf(CFTypeRef cf, const char* fn) { return __CFCheckedCast<__CFXMLNode>(cf, XMLNodeTypeID(), fn); }

CFXMLExternalID RetainedID(const CFXMLExternalID& id) {
  return CFXMLExternalID{Retained(id.systemID), Retained(id.publicID)};
}

}  // namespace

CFTypeID CFXMLNodeGetTypeID() { return XMLNodeTypeID(); }

CFXMLNodeRef CFXMLNodeCreate(CFAllocatorRef alloc, CFXMLNodeTypeCode xmlType, CFStringRef dataString,
                             const void* additionalInfoPtr, CFIndex version) {
  if (version != kCFXMLNodeCurrentVersion || xmlType < kCFXMLNodeTypeDocument ||
      xmlType > kCFXMLNodeTypeAttributeListDeclaration)
    return nullptr;
  auto* node = new __CFXMLNode();
  node->type = xmlType;
  node->string = Retained(dataString);
  const void* info = additionalInfoPtr;
  switch (xmlType) {
    case kCFXMLNodeTypeElement:
      if (info) {
        auto* e = static_cast<const CFXMLElementInfo*>(info);
        node->element.attributes = Retained(e->attributes);
        node->element.attributeOrder = Retained(e->attributeOrder);
        node->element.isEmpty = e->isEmpty;
      }
      break;
    case kCFXMLNodeTypeProcessingInstruction:
      if (info) node->pi.dataString = Retained(static_cast<const CFXMLProcessingInstructionInfo*>(info)->dataString);
      break;
    case kCFXMLNodeTypeDocument:
      if (info) {
        auto* d = static_cast<const CFXMLDocumentInfo*>(info);
        node->document.sourceURL = Retained(d->sourceURL);
        node->document.encoding = d->encoding;
      }
      break;
    case kCFXMLNodeTypeDocumentType:
      if (info) node->external = RetainedID(static_cast<const CFXMLDocumentTypeInfo*>(info)->externalID);
      break;
    case kCFXMLNodeTypeNotation:
      if (info) node->external = RetainedID(static_cast<const CFXMLNotationInfo*>(info)->externalID);
      break;
    case kCFXMLNodeTypeElementTypeDeclaration:
      if (info)
        node->elementType.contentDescription =
            Retained(static_cast<const CFXMLElementTypeDeclarationInfo*>(info)->contentDescription);
      break;
    case kCFXMLNodeTypeAttributeListDeclaration:
      if (info) {
        auto* l = static_cast<const CFXMLAttributeListDeclarationInfo*>(info);
        if (l->numberOfAttributes > 0 && l->attributes != nullptr) {
          node->attributeDecls.reserve(size_t(l->numberOfAttributes));
          for (CFIndex i = 0; i < l->numberOfAttributes; ++i) {
            const auto& a = l->attributes[i];
            node->attributeDecls.push_back(
                {Retained(a.attributeName), Retained(a.typeString), Retained(a.defaultString)});
          }
        }
      }
      node->attributeList.numberOfAttributes = CFIndex(node->attributeDecls.size());
      node->attributeList.attributes = node->attributeDecls.empty() ? nullptr : node->attributeDecls.data();
      break;
    case kCFXMLNodeTypeEntity:
      if (info) {
        auto* e = static_cast<const CFXMLEntityInfo*>(info);
        node->entity.entityType = e->entityType;
        node->entity.replacementText = Retained(e->replacementText);
        node->entity.entityID = RetainedID(e->entityID);
        node->entity.notationName = Retained(e->notationName);
      }
      break;
    case kCFXMLNodeTypeEntityReference:
      if (info) node->entityRef.entityType = static_cast<const CFXMLEntityReferenceInfo*>(info)->entityType;
      break;
    default: break;
  }
  return reinterpret_cast<CFXMLNodeRef>(static_cast<__CFRuntimeBase*>(node));
}

CFXMLNodeRef CFXMLNodeCreateCopy(CFAllocatorRef alloc, CFXMLNodeRef origNode) {
  __CFXMLNode* n = NodeOf(origNode, "CFXMLNodeCreateCopy");
  if (n == nullptr) return nullptr;
  return CFXMLNodeCreate(alloc, n->type, n->string, n->Info(), kCFXMLNodeCurrentVersion);
}

CFXMLNodeTypeCode CFXMLNodeGetTypeCode(CFXMLNodeRef node) {
  __CFXMLNode* n = NodeOf(node, "CFXMLNodeGetTypeCode");
  return n ? n->type : 0;
}

CFStringRef CFXMLNodeGetString(CFXMLNodeRef node) {
  __CFXMLNode* n = NodeOf(node, "CFXMLNodeGetString");
  return n ? n->string : nullptr;
}

const void* CFXMLNodeGetInfoPtr(CFXMLNodeRef node) {
  __CFXMLNode* n = NodeOf(node, "CFXMLNodeGetInfoPtr");
  return n ? n->Info() : nullptr;
}

CFIndex CFXMLNodeGetVersion(CFXMLNodeRef node) {
  return NodeOf(node, "CFXMLNodeGetVersion") ? CFIndex(kCFXMLNodeCurrentVersion) : CFIndex(0);
}

CFXMLTreeRef CFXMLTreeCreateWithNode(CFAllocatorRef allocator, CFXMLNodeRef node) {
  if (NodeOf(node, "CFXMLTreeCreateWithNode") == nullptr) return nullptr;
  CFTreeContext context{0, const_cast<void*>(static_cast<const void*>(node)), CFRetain, CFRelease, CFCopyDescription};
  return CFTreeCreate(allocator, &context);
}

CFXMLNodeRef CFXMLTreeGetNode(CFXMLTreeRef xmlTree) {
  if (xmlTree == nullptr) return nullptr;
  CFTreeContext context{};
  CFTreeGetContext(xmlTree, &context);
  return NodeOf(context.info, "CFXMLTreeGetNode") ? static_cast<CFXMLNodeRef>(context.info) : nullptr;
}
