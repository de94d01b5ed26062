#include "config/server_entry.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace {

constexpr std::size_t kMaxLineLength = 1023;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One line from position; the line feed is consumed, and characters past the limit are
// dropped so they never spill into the next field.
std::string ReadLine(const std::string& text, std::size_t& position) {
    const std::size_t end = text.find('\n', position);
    const std::size_t lineEnd = end == std::string::npos ? text.size() : end;
    std::string line = text.substr(position, std::min(lineEnd - position, kMaxLineLength));
    position = end == std::string::npos ? text.size() : end + 1;
    return line;
}

void SkipSpace(const std::string& text, std::size_t& position) {
    while (position < text.size() && IsSpace(text[position])) {
        ++position;
    }
}

}  // namespace

std::string FixedThreeDecimals(double value) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);
    // Exactly: |value| = mantissa * 2^(exponent - 53), so |value| * 1000 is an integer times a
    // power of two, rounded here to the nearest integer, ties to even, as printf rounds.
    if (std::isfinite(value) && exponent <= 53) {
        const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
        const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * 1000;
        const int shift = 53 - exponent;
        std::uint64_t thousandths = 0;
        if (shift < 127) {
            const unsigned __int128 unit = static_cast<unsigned __int128>(1) << shift;
            const unsigned __int128 rest = scaled & (unit - 1);
            const unsigned __int128 half = unit >> 1;
            thousandths = static_cast<std::uint64_t>(scaled >> shift);
            if (rest > half || (rest == half && shift > 0 && (thousandths & 1) != 0)) {
                ++thousandths;
            }
        }
        char text[32];
        std::snprintf(text, sizeof text, "%s%llu.%03llu", std::signbit(value) ? "-" : "",
                      static_cast<unsigned long long>(thousandths / 1000),
                      static_cast<unsigned long long>(thousandths % 1000));
        return text;
    }
    // Far beyond any delay: printf, with the locale's decimal point put back to '.'.
    char text[400];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string result(text);
    const std::string point = localeconv()->decimal_point;
    if (const std::size_t at = result.find(point); point != "." && at != std::string::npos) {
        result.replace(at, point.size(), ".");
    }
    return result;
}

std::string ServerEntry::toText() const {
    // Never through the process locale: the decimal point is always '.'.
    std::string delayText = FixedThreeDecimals(delay);
    if (delayText.size() < 5) {
        delayText.insert(0, 5 - delayText.size(), ' ');
    }
    return title + "\n" + address + "\n" + std::to_string(userAdded) + " " + delayText;
}

void ServerEntry::fromText(const std::string& text) {
    std::size_t position = 0;
    title = ReadLine(text, position);
    address = ReadLine(text, position);

    SkipSpace(text, position);
    const char* end = text.data() + text.size();
    std::int32_t added = 0;
    const std::from_chars_result integer = std::from_chars(text.data() + position, end, added);
    if (integer.ec != std::errc()) {
        userAdded = 0;
        return;
    }
    userAdded = added;
    position = static_cast<std::size_t>(integer.ptr - text.data());

    SkipSpace(text, position);
    if (position < text.size() && text[position] == '+') {
        ++position;
    }
    double measured = 0;
    const std::from_chars_result number = std::from_chars(text.data() + position, end, measured);
    if (number.ec == std::errc()) {
        delay = measured;
    }
}
