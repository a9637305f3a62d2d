#include "runtime/png_image.h"

#include <png.h>

#include <cstring>

namespace runtime {

std::uint32_t RgbaImage::At(int x, int y) const {
    const std::uint8_t* p = &pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

bool DecodePng(const unsigned char* data, std::size_t size, RgbaImage& image, std::string* error,
               std::size_t maxPixels) {
    auto fail = [&](const std::string& reason) {
        if (error) *error = reason;
        image = RgbaImage{};
        return false;
    };
    if (!data || size == 0) return fail("the picture has no bytes");

    png_image reader;
    std::memset(&reader, 0, sizeof reader);
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&reader, data, size)) {
        return fail(std::string("the picture is not a readable PNG: ") + reader.message);
    }
    if (reader.width == 0 || reader.height == 0 ||
        static_cast<std::size_t>(reader.width) > maxPixels / static_cast<std::size_t>(reader.height)) {
        png_image_free(&reader);
        return fail("the picture is " + std::to_string(reader.width) + " x " + std::to_string(reader.height) +
                    " pixels, more than the program shows");
    }
    reader.format = PNG_FORMAT_RGBA;
    image.width = static_cast<int>(reader.width);
    image.height = static_cast<int>(reader.height);
    image.pixels.assign(PNG_IMAGE_SIZE(reader), 0);
    if (!png_image_finish_read(&reader, nullptr, image.pixels.data(), 0, nullptr)) {
        std::string reason = reader.message;
        png_image_free(&reader);
        return fail("the picture's PNG data is damaged: " + reason);
    }
    return true;
}

}  // namespace runtime
