// One option changed the way the Options dialog's OK changes it: the whole value at once.
#pragma once

#include <type_traits>

#include "config/settings.h"

template <typename Value>
void SetOption(Settings& settings, Value UserOptions::*field, std::type_identity_t<Value> value) {
    UserOptions options = settings.Options();
    options.*field = value;
    settings.Publish(options);
}
