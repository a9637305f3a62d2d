// Where a dialog goes when it opens over the program's main window.
#pragma once

#include "runtime/form_runtime.h"

namespace runtime {

struct WindowCorner {
    int left = 0;
    int top = 0;
};

// The top-left corner that centres a window of `width` x `height` over the main window at
// (mainLeft, mainTop) of `mainWidth` x `mainHeight`: main top + main height / 2 - height / 2 (and the same
// across), worked out in floating point and truncated toward zero, so a corner left of or above the
// screen's origin moves toward 0, not away from it.
WindowCorner CentreOverMainWindow(int mainLeft, int mainTop, int mainWidth, int mainHeight, int width, int height);

// Moves `dialog` to centre it over `mainWindow` (both outer sizes).
void CentreOverMainWindow(Form& dialog, const Form& mainWindow);

}  // namespace runtime
