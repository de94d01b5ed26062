#include "platform/month_names.h"

#include <cstring>

MonthNames::MonthNames() {
    static const char* const kEnglish[] = {"January",   "February", "March",    "April",
                                           "May",       "June",     "July",     "August",
                                           "September", "October",  "November", "December"};
    for (int month = 1; month <= 12; ++month) {
        Set(month, kEnglish[month - 1]);
    }
}

const char* MonthNames::operator[](int month) const {
    return month >= 1 && month <= 12 ? names_[month - 1].data() : "";
}

void MonthNames::Set(int month, const std::string& name) {
    if (month < 1 || month > 12) {
        return;
    }
    std::array<char, kCapacity>& entry = names_[month - 1];
    const std::size_t length = name.size() < kCapacity ? name.size() : kCapacity - 1;
    std::memcpy(entry.data(), name.data(), length);
    entry[length] = '\0';
}

MonthNames LoadedMonthNames() {
    MonthNames months;
    LoadMonthNames(months);
    return months;
}
