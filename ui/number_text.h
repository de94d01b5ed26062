// What the dialogs accept as a number, and the texts of their refusals. Without windows.h,
// so that the rules are tested natively.
#pragma once

#include <optional>
#include <string>

inline constexpr const char* kNotAnInteger = "Please enter an integer.";
inline constexpr const char* kIntegerOutOfRange = "Please enter an integer between %1 and %2.";
inline constexpr const char* kNotANumber = "Please enter a number.";

// Blanks and tabs around the value are allowed, one sign before it, anything else is not.
// Empty when the text is no such value (an integer beyond int included).
std::optional<int> ParseDialogInteger(const std::string& text);
std::optional<double> ParseDialogNumber(const std::string& text);
// "Please enter an integer between 0 and 59."
std::string IntegerRangeMessage(int min, int max);
// Empty when value lies within min..max, both included; else the range message.
std::string IntegerRangeRefusal(int value, int min, int max);
