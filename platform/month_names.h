// Twelve month names from the user's locale, used by every status line and date text.
#pragma once

#include <array>
#include <string>

class MonthNames {
  public:
    static constexpr std::size_t kCapacity = 32;  // 31 characters and the NUL

    // The English names, until LoadMonthNames replaces them.
    MonthNames();

    // month 1 to 12; anything else gives an empty name.
    const char* operator[](int month) const;

    void Set(int month, const std::string& name);

  private:
    std::array<std::array<char, kCapacity>, 12> names_{};
};

// The user locale's abbreviated month names. Written once at start, before any other
// thread exists, and only read afterwards.
void LoadMonthNames(MonthNames& names);
// A set of names, loaded as above.
MonthNames LoadedMonthNames();
