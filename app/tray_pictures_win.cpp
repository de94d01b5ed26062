#include "app/tray_pictures_win.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "resources/tickwell_ids.h"

namespace {

std::optional<DWORD> ReadSystemUsesLightTheme() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueA(
            HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
            "SystemUsesLightTheme", RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool HighContrastOn() {
    HIGHCONTRASTA contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

template <typename Function>
Function User32Function(const char* name) {
    const HMODULE user32 = ::GetModuleHandleA("user32.dll");
    const FARPROC found = user32 != nullptr ? ::GetProcAddress(user32, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The notification area shows small icons at the DPI of its monitor; the program is per
// monitor aware, so the system metrics alone would give the size of the primary monitor's
// DPI at start. Both functions exist from Windows 10 1607 on.
int SmallIconSize(HWND owner) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
    static const auto dpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    static const auto metricsForDpi =
        User32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    const UINT dpi = dpiForWindow != nullptr && owner != nullptr ? dpiForWindow(owner) : 0;
    if (dpi != 0 && metricsForDpi != nullptr) {
        return metricsForDpi(SM_CXSMICON, dpi);
    }
    return ::GetSystemMetrics(SM_CXSMICON);
}

int ResourceId(TrayState state, TaskbarTheme theme) {
    const int first = theme == TaskbarTheme::kLight          ? IDI_TRAY_LIGHT_SYNCHRONISED
                      : theme == TaskbarTheme::kHighContrast ? IDI_TRAY_SHAPES_SYNCHRONISED
                                                             : IDI_TRAY_DARK_SYNCHRONISED;
    return first + static_cast<int>(state);
}

UniqueIcon LoadIconResource(HMODULE module, int id, int size) {
    return UniqueIcon(
        static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
}

std::uint8_t Mix(std::uint32_t clockShare, std::uint8_t clock, std::uint32_t markShare,
                 std::uint8_t mark) {
    const std::uint32_t total = clockShare + markShare;
    return static_cast<std::uint8_t>(total == 0 ? 0
                                                : (clockShare * clock + markShare * mark) / total);
}

// The shapes carry their coverage in alpha, the clock in red and the mark in green (mixed
// along their edges): the result keeps the alpha and paints each in its colour.
UniqueIcon Tint(HICON shapes, COLORREF clock, COLORREF mark) {
    ICONINFO info{};
    if (!::GetIconInfo(shapes, &info)) {
        return {};
    }
    const UniqueBitmap colour(info.hbmColor);
    const UniqueBitmap shapeMask(info.hbmMask);
    BITMAP size{};
    if (!colour || ::GetObjectA(colour.get(), sizeof size, &size) == 0) {
        return {};
    }
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size.bmWidth;
    format.bmiHeader.biHeight = -size.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<std::size_t>(size.bmWidth) * size.bmHeight);
    const HDC screen = ::GetDC(nullptr);
    const int rows =
        ::GetDIBits(screen, colour.get(), 0, size.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    void* bits = nullptr;
    UniqueBitmap tinted(::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (rows != size.bmHeight || !tinted) {
        return {};
    }
    auto* out = static_cast<RGBQUAD*>(bits);
    for (const RGBQUAD& in : pixels) {
        // Straight alpha, as icons keep it.
        *out++ =
            RGBQUAD{Mix(in.rgbRed, GetBValue(clock), in.rgbGreen, GetBValue(mark)),
                    Mix(in.rgbRed, GetGValue(clock), in.rgbGreen, GetGValue(mark)),
                    Mix(in.rgbRed, GetRValue(clock), in.rgbGreen, GetRValue(mark)), in.rgbReserved};
    }
    // All clear: the alpha decides what shows.
    const std::vector<std::uint8_t> clear((size.bmWidth + 15) / 16 * 2 * size.bmHeight, 0);
    const UniqueBitmap mask(::CreateBitmap(size.bmWidth, size.bmHeight, 1, 1, clear.data()));
    ICONINFO made{TRUE, 0, 0, mask.get(), tinted.get()};
    return UniqueIcon(::CreateIconIndirect(&made));
}

}  // namespace

TrayPicture CurrentTrayPicture(HWND owner, TrayState state) {
    TrayPicture picture{state, ChooseTaskbarTheme(ReadSystemUsesLightTheme(), HighContrastOn()),
                        SmallIconSize(owner)};
    if (picture.theme == TaskbarTheme::kHighContrast) {
        // The text colour on the window colour the taskbar uses then, and the mark in the
        // colour high contrast keeps for what stands out.
        picture.clockColour = ::GetSysColor(COLOR_WINDOWTEXT);
        picture.markColour = ::GetSysColor(COLOR_HIGHLIGHT);
    }
    return picture;
}

UniqueIcon LoadTrayPicture(HMODULE module, const TrayPicture& picture) {
    UniqueIcon icon =
        LoadIconResource(module, ResourceId(picture.state, picture.theme), picture.size);
    if (!icon || picture.theme != TaskbarTheme::kHighContrast) {
        return icon;
    }
    return Tint(icon.get(), picture.clockColour, picture.markColour);
}
