#include "config/server_entry.h"

#include <charconv>
#include <cstring>

#include "base/decimal_text.h"

namespace {

constexpr std::size_t kMaxLineLength = 1023;
constexpr const char kNtsMark[] = "nts";

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

std::string ServerEntry::ToText() const {
    std::string delayText = DecimalText(delay, 3);
    if (delayText.size() < 5) {
        delayText.insert(0, 5 - delayText.size(), ' ');
    }
    return title + "\n" + address + "\n" + std::to_string(userAdded) + " " + delayText +
           (nts ? std::string(" ") + kNtsMark : std::string());
}

void ServerEntry::FromText(const std::string& text) {
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
    if (number.ec != std::errc()) {
        return;
    }
    delay = measured;
    position = static_cast<std::size_t>(number.ptr - text.data());
    SkipSpace(text, position);
    nts = text.compare(position, std::string::npos, kNtsMark) == 0;
}
