// Chasing-arrows controls spin with the clock: one timer, running while any
// such control lives, marks the visible ones for redrawing at every step.
#pragma once

#include "HIView.h"

// The control takes part in the spinning until it is disposed.
void ChasingArrowsAdd(HIViewRef view);
// The step the arrows show now (0 to kHIThemeChasingArrowsSteps - 1): a
// whole turn each second of the event clock.
UInt32 ChasingArrowsStep();
