#include "ntp/kiss_code.h"

#include <algorithm>

namespace {

bool IsPrintable(char c) {
    return c >= 0x20 && c < 0x7F;
}

KissCode::Meaning MeaningOf(const std::string& text) {
    if (text == "RATE") {
        return KissCode::Meaning::kSlowDown;
    }
    if (text == "DENY" || text == "RSTR") {
        return KissCode::Meaning::kRefused;
    }
    if (text == "NTSN") {
        return KissCode::Meaning::kNewKeys;
    }
    return KissCode::Meaning::kOther;
}

}  // namespace

KissCode::KissCode(std::string text) : text_(std::move(text)), meaning_(MeaningOf(text_)) {}

KissCode KissCode::FromReferenceId(const std::uint8_t* referenceId) {
    std::string text;
    for (std::size_t i = 0; i < kLength; ++i) {
        const char c = static_cast<char>(referenceId[i]);
        text += IsPrintable(c) ? c : '?';
    }
    return KissCode(std::move(text));
}

std::optional<KissCode> KissCode::FromText(std::string_view text) {
    if (text.size() != kLength || !std::all_of(text.begin(), text.end(), IsPrintable)) {
        return std::nullopt;
    }
    return KissCode(std::string(text));
}
