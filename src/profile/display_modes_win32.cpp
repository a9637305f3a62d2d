// The display modes of the screen the program runs on, as Windows reports them.
#include <windows.h>

#include "profile/display_sizes.h"

namespace profile {

std::vector<DisplaySize> SystemDisplayModes() {
    std::vector<DisplaySize> modes;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    // The display device of the calling thread; the modes are numbered from 0 until the system says no.
    for (DWORD index = 0; EnumDisplaySettingsA(nullptr, index, &mode); ++index) {
        modes.push_back({static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight)});
    }
    return modes;
}

}  // namespace profile
