#include "ui/number_text.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <type_traits>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The text between leading and trailing blanks.
std::string_view Trimmed(const std::string& text) {
    std::string_view view(text);
    while (!view.empty() && IsBlank(view.front())) {
        view.remove_prefix(1);
    }
    while (!view.empty() && IsBlank(view.back())) {
        view.remove_suffix(1);
    }
    return view;
}

template <typename Number>
std::optional<Number> ParseWhole(const std::string& text) {
    std::string_view view = Trimmed(text);
    // from_chars takes a minus sign but no plus sign.
    if (view.size() > 1 && view.front() == '+' && view[1] != '-') {
        view.remove_prefix(1);
    }
    Number value{};
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (view.empty() || error != std::errc() || end != view.data() + view.size()) {
        return std::nullopt;
    }
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value)) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

std::optional<int> ParseDialogInteger(const std::string& text) {
    return ParseWhole<int>(text);
}

std::optional<double> ParseDialogNumber(const std::string& text) {
    return ParseWhole<double>(text);
}

std::optional<NumberRefusal> IntegerRangeRefusal(int value, int min, int max) {
    if (value < min || value > max) {
        return NumberRefusal{NumberRefusal::Kind::kOutOfRange, min, max};
    }
    return std::nullopt;
}
