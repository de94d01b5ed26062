// The tray icon's pictures as Tickwell.exe carries them, and the icon following the taskbar's
// theme as soon as Windows announces a change.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <iterator>
#include <optional>
#include <vector>

#include "app/tray_pictures_win.h"
#include "tests/e2e/notification_area.h"
#include "tests/e2e/process.h"
#include "tests/e2e/registry_key.h"
#include "tests/e2e/program_test_fixture.h"

namespace {

using namespace e2e;

constexpr TrayState kStates[] = {TrayState::kSynchronised, TrayState::kRunning, TrayState::kFailing,
                                 TrayState::kOverdue};
constexpr int kSizes[] = {16, 20, 24, 32, 40, 48, 64};

// Each kind of taskbar with a background like its own and, in high contrast, the text and
// highlight colours of Windows' High Contrast Black and White themes.
struct Taskbar {
    TaskbarTheme theme;
    COLORREF background;
    COLORREF clock = 0;
    COLORREF mark = 0;
};
constexpr Taskbar kTaskbars[] = {
    {TaskbarTheme::kDark, RGB(32, 32, 32)},
    {TaskbarTheme::kLight, RGB(243, 243, 243)},
    {TaskbarTheme::kHighContrast, RGB(0, 0, 0), RGB(255, 255, 255), RGB(26, 235, 255)},
    {TaskbarTheme::kHighContrast, RGB(255, 255, 255), RGB(0, 0, 0), RGB(55, 0, 110)},
};

// Tickwell.exe's resources, without running it.
class ProgramResources {
  public:
    ProgramResources()
        : module_(::LoadLibraryExA((desktop::ThisProgramFolder() + "Tickwell.exe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ProgramResources() {
        if (module_ != nullptr) {
            ::FreeLibrary(module_);
        }
    }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;

    HMODULE get() const { return module_; }

  private:
    HMODULE module_;
};

int WidthOf(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) {
        return 0;
    }
    const UniqueBitmap colour(info.hbmColor);
    const UniqueBitmap mask(info.hbmMask);
    BITMAP bitmap{};
    return colour && ::GetObjectA(colour.get(), sizeof bitmap, &bitmap) != 0 ? bitmap.bmWidth : 0;
}

bool Fill(HDC context, const RECT& area, COLORREF colour) {
    const UniqueGdiObject brush(::CreateSolidBrush(colour));
    return ::FillRect(context, &area, static_cast<HBRUSH>(brush.get())) != 0;
}

// The picture over its taskbar's background, as the notification area shows it.
std::optional<desktop::Image> Shown(HICON icon, int size, COLORREF background) {
    return desktop::Paint(size, size, [&](HDC context) {
        return Fill(context, {0, 0, size, size}, background) &&
               ::DrawIconEx(context, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    });
}

bool Near(const std::uint8_t* pixel, COLORREF colour) {
    return std::abs(pixel[0] - GetRValue(colour)) < 8 &&
           std::abs(pixel[1] - GetGValue(colour)) < 8 && std::abs(pixel[2] - GetBValue(colour)) < 8;
}

TEST(TrayPicturesTest, EveryStateIsToldApartAtEverySizeOnEveryTaskbar) {
    ProgramResources program;
    ASSERT_NE(nullptr, program.get());
    for (const Taskbar& taskbar : kTaskbars) {
        for (const int size : kSizes) {
            std::vector<desktop::Image> states;
            for (const TrayState state : kStates) {
                const UniqueIcon icon = LoadTrayPicture(
                    program.get(), {state, taskbar.theme, size, taskbar.clock, taskbar.mark});
                ASSERT_TRUE(icon) << size << " px, state " << static_cast<int>(state);
                EXPECT_EQ(size, WidthOf(icon.get()));
                const std::optional<desktop::Image> shown =
                    Shown(icon.get(), size, taskbar.background);
                ASSERT_TRUE(shown);
                states.push_back(*shown);
            }
            for (std::size_t a = 0; a < states.size(); ++a) {
                for (std::size_t b = a + 1; b < states.size(); ++b) {
                    EXPECT_NE(states[a].rgb, states[b].rgb)
                        << size << " px, theme " << static_cast<int>(taskbar.theme) << ": states "
                        << a << " and " << b << " look alike";
                }
            }
            if (taskbar.theme != TaskbarTheme::kHighContrast) {
                continue;
            }
            // Only the system's two colours over the background, blended at the edges: the
            // failing state shows both, and nothing of the fixed palette's red.
            const desktop::Image& failing = states[2];
            bool clockSeen = false;
            bool markSeen = false;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    const std::uint8_t* pixel = failing.Pixel(x, y);
                    clockSeen = clockSeen || Near(pixel, taskbar.clock);
                    markSeen = markSeen || Near(pixel, taskbar.mark);
                    EXPECT_LT(pixel[0], pixel[1] + 60) << size << " px at " << x << "," << y;
                }
            }
            EXPECT_TRUE(clockSeen && markSeen) << size << " px";
        }
    }

    // For a person to look at: each taskbar at 100 and 200 %, the states left to right.
    constexpr int kCell = 40;
    constexpr int kWidth = kCell * 4 + 8;
    constexpr int kHeight = static_cast<int>(std::size(kTaskbars)) * (16 + 32 + 2 * 16);
    const std::optional<desktop::Image> sheet = desktop::Paint(kWidth, kHeight, [&](HDC context) {
        bool drawn = true;
        int top = 0;
        for (const Taskbar& taskbar : kTaskbars) {
            for (const int size : {16, 32}) {
                drawn =
                    drawn && Fill(context, {0, top, kWidth, top + size + 16}, taskbar.background);
                for (int column = 0; column < 4; ++column) {
                    const UniqueIcon icon = LoadTrayPicture(
                        program.get(),
                        {kStates[column], taskbar.theme, size, taskbar.clock, taskbar.mark});
                    drawn = drawn && icon &&
                            ::DrawIconEx(context, 8 + column * kCell, top + 8, icon.get(), size,
                                         size, 0, nullptr, DI_NORMAL);
                }
                top += size + 16;
            }
        }
        return drawn;
    });
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(desktop::PngWriter::Write(*sheet, TickwellSession::ScreenshotPath("tray-icons")));
}

int Difference(const desktop::Image& a, const desktop::Image& b, int x, int y) {
    int sum = 0;
    for (int channel = 0; channel < 3; ++channel) {
        sum += std::abs(a.Pixel(x, y)[channel] - b.Pixel(x, y)[channel]);
    }
    return sum;
}

// Whether seen shows picture rather than other. Wine's tray draws a new icon over the old
// one, so half-transparent edges keep some of it: only the pixels where the two pictures
// differ most, opaque in both, are compared.
bool LooksLike(const desktop::Image& seen, const desktop::Image& picture,
               const desktop::Image& other) {
    int compared = 0;
    for (int y = 0; y < seen.height; ++y) {
        for (int x = 0; x < seen.width; ++x) {
            if (Difference(picture, other, x, y) < 300) {
                continue;
            }
            ++compared;
            if (Difference(seen, picture, x, y) >= Difference(seen, other, x, y)) {
                return false;
            }
        }
    }
    return compared > 0;
}

// The user's light or dark theme, given back as it was (absent) when the test ends.
class LightTheme {
  public:
    ~LightTheme() {
        key_.DeleteValue(kName);
        Announce();
    }

    bool Set(bool light) const {
        const bool stored = light ? key_.WriteDword(kName, 1) : key_.DeleteValue(kName);
        return stored && Announce();
    }

  private:
    static constexpr const char* kName = "SystemUsesLightTheme";

    // As Windows tells every top-level window of a new theme.
    static bool Announce() {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                                     reinterpret_cast<LPARAM>("ImmersiveColorSet"),
                                     SMTO_ABORTIFHUNG, 5000, &result) != 0;
    }

    desktop::RegistryKey key_{"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"};
};

TEST_F(ProgramTest, ALightTaskbarChangesTheTrayIconAtOnceAndBack) {
    SeedLaterStart();
    Process* copy = nullptr;
    ASSERT_NE(nullptr, StartAndWait("StartUp", &copy));
    const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
    ASSERT_TRUE(icon);
    const auto shown = [&] { return desktop::CaptureWindow(icon->window); };
    // Explorer draws a new icon within a few seconds: wait until two looks agree.
    std::optional<desktop::Image> dark;
    ASSERT_TRUE(desktop::WaitUntil(
        [&] {
            const std::optional<desktop::Image> before = dark;
            dark = shown();
            ::Sleep(300);
            return dark && before && dark->rgb == before->rgb;
        },
        kMoment));

    LightTheme theme;
    ASSERT_TRUE(theme.Set(true));
    std::optional<desktop::Image> light;
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            light = shown();
            return light && light->rgb != dark->rgb;
        },
        kStartTimeout));
    Picture(icon->window, "tray-icon-light-taskbar");

    ASSERT_TRUE(theme.Set(false));
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            const std::optional<desktop::Image> again = shown();
            return again && light && LooksLike(*again, *dark, *light);
        },
        kStartTimeout));
}

}  // namespace
