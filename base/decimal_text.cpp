#include "base/decimal_text.h"

#include <charconv>
#include <cmath>

std::string DecimalText(double value, int decimals, bool withSign) {
    // to_chars never looks at the locale, and rounds exactly as printf does.
    char text[400];
    char* begin = text;
    if (withSign && !std::signbit(value)) {
        *begin++ = '+';
    }
    const std::to_chars_result written =
        std::to_chars(begin, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, written.ptr);
}
