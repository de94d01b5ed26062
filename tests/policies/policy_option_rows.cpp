// Prints the options a policy may set, one line each: the stored name, the lowest and the
// highest value a policy may give and the default. The templates' check reads this rather
// than a copy of the table, so that templates and program cannot drift apart.
#include <cstdio>

#include "config/option_table.h"

int main() {
    for (const OptionRow& row : kOptionRows) {
        if (row.policy) {
            std::printf("%s %d %d %d\n", row.name, static_cast<int>(row.policy->low),
                        static_cast<int>(row.policy->high),
                        static_cast<int>(StoredOptions{}.*row.field));
        }
    }
    return 0;
}
