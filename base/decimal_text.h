// Decimals as the stored settings, the history and the tips write them: always with a point,
// whatever locale the process runs in.
#pragma once

#include <string>

// value with the given number of decimals, rounded as the C locale's printf "%.Nf" rounds;
// withSign puts a '+' before a value that has no '-'.
std::string DecimalText(double value, int decimals, bool withSign = false);
