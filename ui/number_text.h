// What the dialogs accept as a number, and what they refuse; the program words the refusals.
// Without windows.h, so that the rules are tested natively.
#pragma once

#include <optional>
#include <string>

// Why a number field's text was refused; the bounds are those of kOutOfRange.
struct NumberRefusal {
    enum class Kind { kNotAnInteger, kNotANumber, kOutOfRange };

    Kind kind = Kind::kNotAnInteger;
    int min = 0;
    int max = 0;

    bool operator==(const NumberRefusal&) const = default;
};

// The text of the box that tells a refusal.
using RefusalWording = std::string (*)(const NumberRefusal& refusal);

// Blanks and tabs around the value are allowed, one sign before it, anything else is not.
// Empty when the text is no such value (an integer beyond int included).
std::optional<int> ParseDialogInteger(const std::string& text);
std::optional<double> ParseDialogNumber(const std::string& text);
// Empty when value lies within min..max, both included.
std::optional<NumberRefusal> IntegerRangeRefusal(int value, int min, int max);
