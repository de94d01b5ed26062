#include <windows.h>

#include "platform/month_names.h"

void LoadMonthNames(MonthNames& names) {
    for (int month = 1; month <= 12; ++month) {
        char name[MonthNames::kCapacity] = {};
        // A failed call keeps the English default of that month.
        if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME1 + month - 1, name,
                             sizeof name) > 0) {
            name[sizeof name - 1] = '\0';
            names.Set(month, name);
        }
    }
}
