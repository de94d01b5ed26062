// What the screen shows, as pixels a test can compare or keep as a PNG file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

// 8-bit RGB, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    const std::uint8_t* Pixel(int x, int y) const { return &rgb[(y * width + x) * 3]; }
};

// What `paint` draws on a fresh bitmap of the screen's format.
std::optional<Image> Paint(int width, int height, const std::function<bool(HDC)>& paint);

// A rectangle of the screen as it is shown, overlapping windows included. Under Wine on Xvfb
// BitBlt from the screen's DC gives the real pixels.
std::optional<Image> CaptureScreen(const RECT& area);
std::optional<Image> CaptureWindow(HWND window);

// Writes an uncompressed PNG (stored deflate blocks), which every viewer reads; screenshots
// are small and few, so size does not matter.
class PngWriter {
  public:
    static std::string Encode(const Image& image);
    static bool Write(const Image& image, const std::string& path);
};

bool SaveScreenshot(HWND window, const std::string& path);

}  // namespace desktop
