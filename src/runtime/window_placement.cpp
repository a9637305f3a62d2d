#include "runtime/window_placement.h"

namespace runtime {
namespace {

// static_cast from double to int truncates toward zero.
int centred(int mainStart, int mainSize, int size) {
    return static_cast<int>(mainStart + mainSize / 2.0 - size / 2.0);
}

}  // namespace

WindowCorner CentreOverMainWindow(int mainLeft, int mainTop, int mainWidth, int mainHeight, int width, int height) {
    WindowCorner corner;
    corner.left = centred(mainLeft, mainWidth, width);
    corner.top = centred(mainTop, mainHeight, height);
    return corner;
}

void CentreOverMainWindow(Form& dialog, const Form& mainWindow) {
    WindowCorner corner = CentreOverMainWindow(mainWindow.Left(), mainWindow.Top(), mainWindow.Width(),
                                               mainWindow.Height(), dialog.Width(), dialog.Height());
    dialog.MoveTo(corner.left, corner.top);
}

}  // namespace runtime
