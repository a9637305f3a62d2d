// PNG decoding: pictures made here with libpng's writer come back pixel for pixel; damaged bytes give an
// error; and the pictures the program carries decode at the sizes the window tables rely on.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>
#include <vector>

#include "runtime/png_image.h"
#include "ui/pictures.h"

namespace runtime {
namespace {

// A PNG of `width` x `height` RGBA pixels, written by libpng.
std::vector<unsigned char> MakePng(int width, int height, const std::vector<std::uint8_t>& rgba,
                                   std::uint32_t format = PNG_FORMAT_RGBA) {
    png_image writer;
    std::memset(&writer, 0, sizeof writer);
    writer.version = PNG_IMAGE_VERSION;
    writer.width = static_cast<png_uint_32>(width);
    writer.height = static_cast<png_uint_32>(height);
    writer.format = format;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&writer, nullptr, &size, 0, rgba.data(), 0, nullptr));
    std::vector<unsigned char> bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&writer, bytes.data(), &size, 0, rgba.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

TEST(PngImage, PixelsComeBackInPlace) {
    // 3 x 2: distinct colours so that a swapped channel, a row turned over or an offset shows.
    std::vector<std::uint8_t> rgba = {
        255, 0, 0, 255,   0, 255, 0, 255,   0, 0, 255, 255,
        10, 20, 30, 128,  200, 100, 50, 0,  1, 2, 3, 255,
    };
    std::vector<unsigned char> png = MakePng(3, 2, rgba);
    RgbaImage image;
    std::string error;
    ASSERT_TRUE(DecodePng(png.data(), png.size(), image, &error)) << error;
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.pixels, rgba);
    EXPECT_EQ(image.At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(image.At(2, 0), 0xFF0000FFu);
    EXPECT_EQ(image.At(0, 1), 0x800A141Eu);
}

TEST(PngImage, GreyAndRgbWithoutAlphaBecomeOpaqueRgba) {
    std::vector<unsigned char> grey = MakePng(2, 1, {0, 200}, PNG_FORMAT_GRAY);
    RgbaImage image;
    ASSERT_TRUE(DecodePng(grey.data(), grey.size(), image));
    EXPECT_EQ(image.At(0, 0), 0xFF000000u);
    // libpng keeps grey levels on the sRGB curve when it expands them: 200 stays 200.
    EXPECT_EQ(image.At(1, 0), 0xFFC8C8C8u);

    std::vector<unsigned char> rgb = MakePng(1, 1, {9, 8, 7}, PNG_FORMAT_RGB);
    ASSERT_TRUE(DecodePng(rgb.data(), rgb.size(), image));
    EXPECT_EQ(image.At(0, 0), 0xFF090807u);
}

TEST(PngImage, DamagedBytesGiveAnError) {
    std::vector<std::uint8_t> rgba(16 * 16 * 4, 77);
    std::vector<unsigned char> png = MakePng(16, 16, rgba);
    RgbaImage image;
    std::string error;
    EXPECT_FALSE(DecodePng(png.data(), 0, image, &error));
    EXPECT_FALSE(error.empty());
    // Cut at every length: never a crash, and a picture cut short never decodes.
    for (size_t length = 1; length < png.size() - 12; ++length) {  // the last 12 bytes are the IEND chunk
        EXPECT_FALSE(DecodePng(png.data(), length, image, &error)) << "cut to " << length;
        EXPECT_TRUE(image.pixels.empty());
    }
    std::vector<unsigned char> flipped = png;
    flipped[1] = 'X';  // signature
    EXPECT_FALSE(DecodePng(flipped.data(), flipped.size(), image, &error));
    // A size limit refuses pictures too large to show.
    EXPECT_FALSE(DecodePng(png.data(), png.size(), image, &error, 255));
    EXPECT_TRUE(DecodePng(png.data(), png.size(), image, &error, 256));
}

TEST(PngImage, TheProgramsPicturesDecodeAtTheirDeclaredSizes) {
    const Picture* pictures[] = {&ui::pictures::kMainBanner, &ui::pictures::kDialogBanner, &ui::pictures::kDisplay,
                                 &ui::pictures::kColours,    &ui::pictures::kSpeaker,      &ui::pictures::kKeyboard,
                                 &ui::pictures::kDevices,    &ui::pictures::kPerformance,  &ui::pictures::kShield,
                                 &ui::pictures::kGateway,    &ui::pictures::kMicrophone};
    for (const Picture* picture : pictures) {
        RgbaImage image;
        std::string error;
        ASSERT_TRUE(DecodePng(picture->png, picture->size, image, &error)) << error;
        EXPECT_EQ(image.width, picture->width);
        EXPECT_EQ(image.height, picture->height);
    }
}

}  // namespace
}  // namespace runtime
