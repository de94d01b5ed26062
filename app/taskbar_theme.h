// Which of the tray icon's pictures suits the taskbar: the light or dark theme Windows
// reports, or high contrast, which overrides both.
#pragma once

#include <cstdint>
#include <optional>

enum class TaskbarTheme { kDark, kLight, kHighContrast };

// systemUsesLightTheme: the user's SystemUsesLightTheme value, absent before Windows 10 1903
// (whose taskbar is always dark) and under Wine.
TaskbarTheme ChooseTaskbarTheme(std::optional<std::uint32_t> systemUsesLightTheme,
                                bool highContrast);
