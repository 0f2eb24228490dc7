#include "QVGlobals.h"

#include "HIView.h"
#include "PascalCarbonCommon.h"
#include "TSyntaxCollectionUnit.h"
#include "plinthora/Plinthora.h"

Str63 GetSupportedScriptLanguage(const Str63& fileName) {
  const Str63 language = GetSupportedFileLanguage(fileName);
  if (language == "php" || language == "perl" || language == "ruby") return language;
  if (kDevelopmentFeatureInlineErrors && language == "html") return language;
  return Str63();
}

void ResizeProjectPane(WindowRef window) {
  if (window == nullptr) return;
  if (HIViewRef toolbar = HIViewFind(129, 'TOOL', window)) {
    HIRect frame{};
    HIViewGetFrame(toolbar, &frame);
    frame.size.height = 18;
    HIViewSetFrame(toolbar, &frame);
    ToolbarSetStyle(toolbar, "light-gray");
  }
  if (HIViewRef tree = HIViewFind(128, 'BROW', window)) {
    HIRect frame{};
    HIViewGetFrame(tree, &frame);
    frame.origin.y -= 2;
    frame.size.height += 2;
    HIViewSetFrame(tree, &frame);
  }
}
