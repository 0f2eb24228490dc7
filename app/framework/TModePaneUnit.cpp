#include "TModePaneUnit.h"

#include <cstdio>

#include "PascalCarbonCommon.h"

void TModePane::SetLowerPane(TPane* pane) {
  if (pane == nullptr) return;
  if (HIViewRef container = HIViewFind(kTModePaneLowerViewID, kTPaneViewSignature, GetWindow()))
    pane->AddSubview(container);
}

void TModePane::GotQuery(const Str255& query) {
  std::fwrite(query.data() + 1, 1, size_t(query.len()), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
