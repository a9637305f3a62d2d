// The portable part of the notification-area icon: texts cut to the shell's byte limits, and the images of
// an .ico file found with every size and offset checked against the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tray {

// The shell's limits for the icon's texts, in bytes without the terminating zero.
inline constexpr size_t kTipBytes = 127;
inline constexpr size_t kBalloonTextBytes = 255;
inline constexpr size_t kBalloonTitleBytes = 63;

// `gbk` cut to at most `maxBytes` bytes, never in the middle of a double-byte character (a lead byte
// 0x81..0xFE and the byte after it stay together or go together).
std::string CutGbk(const std::string& gbk, size_t maxBytes);

// One image of an .ico file: its size in pixels (0 meaning 256, as the file says) and where its bytes lie.
struct IcoImage {
    int width = 0, height = 0;
    size_t offset = 0, size = 0;
};
// Image `index` of the .ico file in `data`: false when the data is not an icon file, has no such image, or
// its directory names bytes beyond the data.
bool FindIcoImage(const std::uint8_t* data, size_t size, int index, IcoImage& image);

}  // namespace tray
