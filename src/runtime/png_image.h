// PNG decoding for the pictures the windows show: libpng's simplified reading, from bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

struct RgbaImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // rows top to bottom, 4 bytes a pixel: red, green, blue, alpha

    // The pixel at (x, y) as 0xAARRGGBB; the image must hold it.
    std::uint32_t At(int x, int y) const;
};

// Decodes a PNG of any colour type and depth into 8-bit RGBA. False, with a one-line reason in *error,
// for bytes that are not a whole PNG or an image larger than `maxPixels`.
bool DecodePng(const unsigned char* data, std::size_t size, RgbaImage& image, std::string* error = nullptr,
               std::size_t maxPixels = 16u * 1024u * 1024u);

}  // namespace runtime
