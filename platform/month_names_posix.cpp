#include <langinfo.h>
#include <locale.h>

#include "platform/month_names.h"

void LoadMonthNames(MonthNames& names) {
    // The user's LC_TIME, without touching the process's global locale.
    const locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    const locale_t locale = user != nullptr ? user : newlocale(LC_TIME_MASK, "C", nullptr);
    if (locale == nullptr) {
        return;
    }
    for (int month = 1; month <= 12; ++month) {
        const char* name = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + month - 1), locale);
        if (name != nullptr && name[0] != '\0') {
            names.Set(month, name);
        }
    }
    freelocale(locale);
}
