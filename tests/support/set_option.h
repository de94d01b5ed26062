// One option changed the way the Options dialog's OK changes it: the whole value at once.
#pragma once

#include "config/settings.h"

inline void SetOption(Settings& settings, std::int32_t UserOptions::*field, std::int32_t value) {
    UserOptions options = settings.userOptions();
    options.*field = value;
    settings.publish(options);
}
