#include "tray/tray_texts.h"

namespace tray {
namespace {

std::uint32_t Get16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t Get32(const std::uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

}  // namespace

std::string CutGbk(const std::string& gbk, size_t maxBytes) {
    size_t end = 0;
    while (end < gbk.size()) {
        const unsigned char b = static_cast<unsigned char>(gbk[end]);
        const size_t length = (b >= 0x81 && b <= 0xFE && end + 1 < gbk.size()) ? 2 : 1;
        if (end + length > maxBytes) break;
        end += length;
    }
    return gbk.substr(0, end);
}

bool FindIcoImage(const std::uint8_t* data, size_t size, int index, IcoImage& image) {
    // The header: reserved 0, type 1 (icon), the number of images; then 16 bytes a directory entry.
    if (!data || size < 6 || index < 0 || Get16(data) != 0 || Get16(data + 2) != 1) return false;
    if (static_cast<std::uint32_t>(index) >= Get16(data + 4)) return false;
    const std::uint64_t entry = 6 + 16 * static_cast<std::uint64_t>(index);
    if (entry + 16 > size) return false;
    const std::uint8_t* e = data + entry;
    const std::uint64_t bytes = Get32(e + 8), offset = Get32(e + 12);
    if (bytes == 0 || offset + bytes > size) return false;
    image.width = e[0] ? e[0] : 256;
    image.height = e[1] ? e[1] : 256;
    image.offset = static_cast<size_t>(offset);
    image.size = static_cast<size_t>(bytes);
    return true;
}

}  // namespace tray
