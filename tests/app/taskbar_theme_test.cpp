#include "app/taskbar_theme.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TaskbarThemeTest, TheLightValueDecidesUnlessHighContrastIsOn) {
    struct Case {
        std::optional<std::uint32_t> systemUsesLightTheme;
        bool highContrast;
        TaskbarTheme theme;
    };
    using enum TaskbarTheme;
    const Case cases[] = {
        // Before Windows 10 1903, and under Wine, the value is missing: the taskbar is dark.
        {std::nullopt, false, kDark},
        {0, false, kDark},
        {1, false, kLight},
        // Any other value set counts as light, as the shell reads it.
        {2, false, kLight},
        {0xFFFFFFFF, false, kLight},
        {std::nullopt, true, kHighContrast},
        {0, true, kHighContrast},
        {1, true, kHighContrast},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.theme, ChooseTaskbarTheme(c.systemUsesLightTheme, c.highContrast))
            << (c.systemUsesLightTheme ? std::to_string(*c.systemUsesLightTheme) : "absent")
            << " high contrast " << c.highContrast;
    }
}

}  // namespace
