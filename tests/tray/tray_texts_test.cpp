// The notification icon's texts cut to the shell's byte limits without splitting a character, and the
// images of .ico files found only where the file really holds them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tray/tray_texts.h"

namespace {

TEST(TrayTexts, CutToTheByteLimitWithoutSplittingACharacter) {
    struct Case { std::string text; size_t limit; std::string cut; };
    const std::string server = "服务器";  // three double-byte characters
    const Case cases[] = {
        {"Quillon", tray::kTipBytes, "Quillon"},
        {std::string(200, 'a'), tray::kTipBytes, std::string(127, 'a')},
        {std::string(126, 'a') + server, tray::kTipBytes, std::string(126, 'a')},            // 服 would need 128
        {std::string(125, 'a') + server, tray::kTipBytes, std::string(125, 'a') + "服"},
        {std::string(62, 'x') + "\x81\x40" + "y", tray::kBalloonTitleBytes, std::string(62, 'x')},  // trail 0x40
        {server + server, 5, "服务"},
        {"\xD2", 5, "\xD2"},  // a lead byte at the very end stands alone
        {"", tray::kBalloonTextBytes, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(tray::CutGbk(c.text, c.limit), c.cut) << c.text.size() << " bytes";
}

TEST(TrayTexts, IcoImagesAreFoundOnlyInsideTheData) {
    std::ifstream in(QUILLON_SOURCE_DIR "/src/ui/pictures/quillon.ico", std::ios::binary);
    const std::vector<std::uint8_t> ico((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(ico.size(), 166u);
    tray::IcoImage image;
    ASSERT_TRUE(tray::FindIcoImage(ico.data(), ico.size(), 0, image));
    EXPECT_EQ(image.width, 48);
    EXPECT_EQ(image.offset, 166u);
    EXPECT_EQ(image.size, 1640u);
    ASSERT_TRUE(tray::FindIcoImage(ico.data(), ico.size(), 9, image));
    EXPECT_EQ(image.width, 256);  // 0 in the directory
    EXPECT_EQ(image.offset + image.size, ico.size());

    // The file cut to `keep` bytes, with `count` bytes from `at` set to `value`.
    struct Case { const char* what; size_t keep; int index; size_t at; std::uint8_t value; size_t count; };
    const Case refused[] = {
        {"cut inside the first image", 1000, 0, 0, 0, 0},
        {"cut inside the directory", 20, 0, 0, 0, 0},
        {"only the header", 6, 0, 0, 0, 0},
        {"an image it does not have", ico.size(), 10, 0, 0, 0},
        {"a negative index", ico.size(), -1, 0, 0, 0},
        {"not an icon (type 2)", ico.size(), 0, 2, 2, 1},
        {"an offset past the end", ico.size(), 0, 6 + 12 + 3, 0xFF, 1},
        {"a size past the end", ico.size(), 1, 22 + 8 + 3, 0x7F, 1},
        {"an empty image", ico.size(), 0, 6 + 8, 0, 4},
    };
    for (const Case& c : refused) {
        std::vector<std::uint8_t> data(ico.begin(), ico.begin() + static_cast<std::ptrdiff_t>(c.keep));
        for (size_t i = c.at; i < c.at + c.count && i < data.size(); ++i) data[i] = c.value;
        EXPECT_FALSE(tray::FindIcoImage(data.data(), data.size(), c.index, image)) << c.what;
    }
    EXPECT_FALSE(tray::FindIcoImage(nullptr, 0, 0, image));
}

}  // namespace
