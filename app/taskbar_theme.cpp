#include "app/taskbar_theme.h"

TaskbarTheme ChooseTaskbarTheme(std::optional<std::uint32_t> systemUsesLightTheme,
                                bool highContrast) {
    if (highContrast) {
        return TaskbarTheme::kHighContrast;
    }
    return systemUsesLightTheme.value_or(0) != 0 ? TaskbarTheme::kLight : TaskbarTheme::kDark;
}
