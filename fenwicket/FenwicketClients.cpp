// Callback clients: registration, the walk over the clients and how their
// answers combine, the engine's text filter and change hooks, and clicks.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "CFString.h"
#include "MacMemory.h"
#include "fenwicket/FenwicketInternal.h"

using namespace fenwicket;

namespace {

// Calls fn for every client, first registered first. The count is taken
// when the walk starts: a client registered meanwhile hears the next walk.
template <typename Fn>
void ForEachClient(WasteData* data, Fn fn) {
  CFArrayRef clients = data->CALLBACKS.CUSTOM;
  if (clients == nullptr) return;
  CFRetain(clients);
  const CFIndex count = CFArrayGetCount(clients);
  for (CFIndex i = 0; i < count && i < CFArrayGetCount(clients); ++i) {
    auto* client = static_cast<const WasteCustomCallbacks*>(CFArrayGetValueAtIndex(clients, i));
    if (client && !fn(*client)) break;
  }
  CFRelease(clients);
}

}  // namespace

void WasteRegisterCallbackClient(HIViewRef inView, const WasteCustomCallbacks& inCallbacks, void* inContext) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr || data->CALLBACKS.CUSTOM == nullptr) return;
  auto* block = reinterpret_cast<WasteCustomCallbacks*>(NewPtr(sizeof(WasteCustomCallbacks)));
  if (block == nullptr) return;
  std::memcpy(block, &inCallbacks, sizeof(WasteCustomCallbacks));
  block->CONTEXT = inContext;
  CFArrayAppendValue(data->CALLBACKS.CUSTOM, block);
}

namespace fenwicket {

Boolean AcceptsInput(WasteData* data) {
  Boolean accept = true;
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.ACCEPTINPUT) c.ACCEPTINPUT(accept, data->CONTROLLER, c.CONTEXT);
    return true;
  });
  return accept;
}

Boolean InputAllowed(WasteData* data) {
  const bool hostReadOnly = WEFeatureFlag(weFReadOnly, weBitTest, data->CONTROLLER) == 1 && !data->readOnlyForClients;
  return !hostReadOnly && AcceptsInput(data);
}

void ApplyClientsReadOnly(WasteData* data) {
  WEReference we = data->CONTROLLER;
  const bool readOnly = WEFeatureFlag(weFReadOnly, weBitTest, we) == 1;
  if (!AcceptsInput(data)) {
    if (!readOnly) {
      WEFeatureFlag(weFReadOnly, weBitSet, we);
      data->readOnlyForClients = true;
    }
  } else if (data->readOnlyForClients) {
    data->readOnlyForClients = false;
    if (readOnly) WEFeatureFlag(weFReadOnly, weBitClear, we);
  }
}

void NotifyUserFlux(WasteData* data, SInt32 offset, SInt32 delta, UInt8 previousChar) {
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.USERFLUX) c.USERFLUX(offset, delta, previousChar, data->CONTROLLER, c.CONTEXT);
    return true;
  });
}

void NotifyContextualMenu(WasteData* data, MenuRef menu) {
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.CONTEXTUALMENU) c.CONTEXTUALMENU(menu, data->CONTROLLER, c.CONTEXT);
    return true;
  });
}

OSStatus AskReceiveDrag(WasteData* data, const void* bytes, FlavorType type, DragRef drag) {
  OSStatus answer = dragNotAcceptedErr;
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    answer = c.RECEIVEDRAG ? c.RECEIVEDRAG(bytes, type, 0, drag, data->CONTROLLER, c.CONTEXT)
                           : OSStatus(dragNotAcceptedErr);
    return true;
  });
  return answer;
}

void NotifyTrackCursor(WasteData* data, SInt32 anchor) {
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.TRACKCURSOR) c.TRACKCURSOR(anchor, data->CONTROLLER, c.CONTEXT);
    return true;
  });
}

void NotifyTrackWord(WasteData* data, CFStringRef word, const CFRange& range) {
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.TRACKWORD) c.TRACKWORD(word, range, data->CONTROLLER, c.CONTEXT);
    return true;
  });
}

void NotifyDrawGutter(WasteData* data, CGContextRef context, SInt32 line, const CFRange& range, const CGRect& cell) {
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.DRAWGUTTER) c.DRAWGUTTER(context, line, range, cell, data->CONTROLLER, c.CONTEXT);
    return true;
  });
}

void NotifyDrawBackground(WasteData* data, CGContextRef context, const CGRect& dirty, WEViewReference view) {
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.DRAWBACKGROUND) c.DRAWBACKGROUND(context, dirty, view, data->CONTROLLER, c.CONTEXT);
    return true;
  });
}

void NotifyIdleTyping(WasteData* data) {
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.IDLETYPING) c.IDLETYPING(data->CONTROLLER, c.CONTEXT);
    return true;
  });
}

UInt8 KeyCharacter(const UniChar* text, size_t count) {
  if (text == nullptr || count != 1) return 0;
  const UniChar c = text[0];
  if (c < 0x80) return UInt8(c);
  // Any other character as its Mac Roman byte, so that it never passes for
  // the ASCII character its low byte happens to be; NUL when it has none.
  UInt8 byte = 0;
  CFStringRef s = CFStringCreateWithCharacters(nullptr, &c, 1);
  if (s) {
    CFIndex used = 0;
    if (CFStringGetBytes(s, CFRangeMake(0, 1), kCFStringEncodingMacRoman, 0, false, &byte, 1, &used) != 1 ||
        used != 1)
      byte = 0;
    CFRelease(s);
  }
  return byte;
}

Boolean TextFilterHook(void*, Handle text, UInt32 modifiers, UInt32 keyCode, WEReference we) {
  WasteData* data = DataOfController(we);
  if (data == nullptr) return false;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  data->PREVIOUSCHAR = start > 0 ? WEGetChar(start - 1, we) : 0;
  UInt8 key = 0;
  if (text) {
    const Size size = GetHandleSize(text);
    key = KeyCharacter(reinterpret_cast<const UniChar*>(*text), size == Size(sizeof(UniChar)) ? 1 : 0);
  }
  Boolean answer = true;
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.TEXTFILTER) answer = c.TEXTFILTER(key, start, modifiers, keyCode, data->CONTROLLER, c.CONTEXT);
    return true;
  });
  // Only input that goes in is typing: a key a filter took must not make
  // the next unrelated change look typed.
  if (!answer) {
    if (text) SetHandleSize(text, 0);
    return true;
  }
  data->USERTYPING = true;
  return false;
}

void FluxHook(SInt32 offset, SInt32 delta, WEReference we) {
  WasteData* data = DataOfController(we);
  if (data == nullptr) return;
  data->IDLETIME = std::max<UInt32>(1, TickCount());
  if (data->changeLog) data->changeLog->emplace_back(offset, delta);
  FollowLineCountDigits(data);
  if (!data->FLUXSTATE) return;
  if (data->USERTYPING) {
    data->USERTYPING = false;
    UpdateWordTracking(data, offset, delta);
  }
  NotifyUserFlux(data, offset, delta, data->PREVIOUSCHAR);
  // The change's paragraphs are laid out once its clients have re-coloured
  // them, and the rows a new height moved are marked with the change's
  // own (the geometry's look-up does both).
  LongRect settled{};
  WEGetDestRect(&settled, we);
}

OSStatus ClickInView(WasteData* data, Point where, UInt16 button, UInt32 modifiers, EventTime when) {
  WEReference we = data->CONTROLLER;
  LongPt pt{};
  WEPointToLongPoint(where, &pt);
  WEEdge edge = kLeadingEdge;
  const SInt32 offset = WEGetOffset(&pt, &edge, we);
  const SInt32 line = WEOffsetToLine(offset, we);
  CGPoint local{CGFloat(where.h), CGFloat(where.v)};
  HIViewConvertPoint(&local, nullptr, data->VIEW);

  Boolean handled = false;
  if (local.x <= GutterWidth(data)) {
    ForEachClient(data, [&](const WasteCustomCallbacks& c) {
      if (c.CLICKGUTTER) c.CLICKGUTTER(line + 1, handled, data->CONTROLLER, c.CONTEXT);
      return !handled;
    });
  }
  ForEachClient(data, [&](const WasteCustomCallbacks& c) {
    if (c.CLICKCONTENT) c.CLICKCONTENT(local, SInt16(button), modifiers, data->CONTROLLER, c.CONTEXT);
    return true;
  });
  if (!handled) WEClick(where, EventModifiers(modifiers & 0xFFFF), UInt32(std::trunc(when * 60 + 0.5)), we);
  return noErr;
}

}  // namespace fenwicket
