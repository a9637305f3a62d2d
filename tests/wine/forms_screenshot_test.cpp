// The five windows made from their tables as real Win32 windows: each is opened, photographed from the
// screen into build/screenshots/<window>.png for a person to look at, and its banner is checked on the
// pixels (the window's top-left shows the right part of the banner picture).
//
//   bash scripts/wine/emulator.sh build/win64/forms_screenshot_test.exe   (or ctest in build/win64)
#include <windows.h>

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/form_win32.h"
#include "runtime/png_image.h"
#include "ui/forms.h"
#include "ui/pictures.h"

namespace {

// build/screenshots of the source tree, in Windows form (Wine maps the Unix root to Z:).
std::string ScreenshotFolder() {
    std::string folder = std::string("Z:") + QUILLON_SOURCE_DIR + "/build/screenshots";
    for (char& c : folder) {
        if (c == '/') c = '\\';
    }
    return folder;
}

// Lets the window paint: delivers the queued messages for a while.
void Pump(int milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

// The screen inside `rect` as RGBA.
runtime::RgbaImage CaptureScreen(const RECT& rect) {
    runtime::RgbaImage image;
    image.width = rect.right - rect.left;
    image.height = rect.bottom - rect.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, image.width, image.height, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, old);
        const auto* bgra = static_cast<const std::uint8_t*>(bits);
        image.pixels.resize(size_t(image.width) * image.height * 4);
        for (size_t i = 0; i < image.pixels.size(); i += 4) {
            image.pixels[i] = bgra[i + 2];
            image.pixels[i + 1] = bgra[i + 1];
            image.pixels[i + 2] = bgra[i];
            image.pixels[i + 3] = 255;
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

bool SavePng(const runtime::RgbaImage& image, const std::string& path) {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr) != 0;
}

// Whether two 0xAARRGGBB colours are the same apart from the display's rounding.
bool SameColour(std::uint32_t a, std::uint32_t b) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > 8) return false;
    }
    return true;
}

struct Shot {
    const runtime::WindowSpec& table;
    const char* file;
    int bannerOffset;  // banner picture x shown at client x 0
};

TEST(FormsScreenshots, EachWindowShowsItsBanner) {
    const std::string folder = ScreenshotFolder();
    CreateDirectoryA(folder.c_str(), nullptr);

    const Shot shots[] = {
        {ui::MainWindowSpec(), "main", 7},
        {ui::ServerEditorWindowSpec(), "server-editor", -1},
        {ui::AudioDialogSpec(), "audio", 0},
        {ui::DevicesDialogSpec(), "devices", 0},
        {ui::GatewayDialogSpec(), "gateway", 0},
    };
    for (const Shot& shot : shots) {
        SCOPED_TRACE(shot.table.name);
        runtime::Win32Form form(shot.table);
        try {
            ASSERT_TRUE(form.Create(nullptr));
        } catch (const std::exception& error) {
            FAIL() << "creating " << shot.table.name << ": " << error.what();
        }
        form.Show();
        // Above anything else on the desktop while it is photographed.
        SetWindowPos(form.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetForegroundWindow(form.Handle());
        UpdateWindow(form.Handle());
        Pump(600);

        RECT frame;
        ASSERT_TRUE(GetWindowRect(form.Handle(), &frame));
        EXPECT_EQ(frame.right - frame.left, shot.table.width);
        EXPECT_EQ(frame.bottom - frame.top, shot.table.height);
        const runtime::RgbaImage screen = CaptureScreen(frame);
        ASSERT_EQ(screen.width, shot.table.width);
        EXPECT_TRUE(SavePng(screen, folder + "\\" + shot.file + ".png")) << folder;

        if (shot.bannerOffset >= 0) {
            const runtime::Picture& picture =
                shot.bannerOffset == 7 ? ui::pictures::kMainBanner : ui::pictures::kDialogBanner;
            runtime::RgbaImage banner;
            ASSERT_TRUE(runtime::DecodePng(picture.png, picture.size, banner));
            POINT client = {0, 0};
            ClientToScreen(form.Handle(), &client);
            const int dx = client.x - frame.left, dy = client.y - frame.top;
            // Away from the buttons MainWindow carries on its banner.
            for (int x : {0, 100, 300}) {
                for (int y : {4, 62}) {
                    EXPECT_TRUE(SameColour(screen.At(dx + x, dy + y), banner.At(x + shot.bannerOffset, y)))
                        << "client pixel " << x << "," << y << ": " << std::hex << screen.At(dx + x, dy + y)
                        << " instead of " << banner.At(x + shot.bannerOffset, y);
                }
            }
        }
        form.Close();
        Pump(100);
    }
}

}  // namespace
