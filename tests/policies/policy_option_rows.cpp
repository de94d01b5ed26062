// Prints the options a policy may set, one line each: the stored name, the lowest and the
// highest value a policy may give and the default; then the values a policy sets beside
// them, each after a word for where it stands ("servers": beside a server list; "service":
// the clock service's, one a line). The templates' check reads this rather than a copy of the table
// and the ranges, so that templates and program cannot drift apart.
#include <cstdio>

#include "config/clock_policy.h"
#include "config/option_policy.h"
#include "config/option_table.h"

int main() {
    for (const OptionRow& row : kOptionRows) {
        if (row.policy) {
            std::printf("%s %d %d %d\n", row.name, static_cast<int>(row.policy->low),
                        static_cast<int>(row.policy->high),
                        static_cast<int>(StoredOptions{}.*row.field));
        }
    }
    std::printf("servers %s %d %d\n", kAllowUserServersValue,
                static_cast<int>(kAllowUserServersRange.low),
                static_cast<int>(kAllowUserServersRange.high));
    std::printf("service %s %d %d %d\n", kMaxUserOffsetValue,
                static_cast<int>(kMaxUserOffsetPolicyRange.low),
                static_cast<int>(kMaxUserOffsetPolicyRange.high), 0);
    std::printf(
        "service %s %d %d %d\n", kRequireNtsValue, static_cast<int>(kRequireNtsPolicyRange.low),
        static_cast<int>(kRequireNtsPolicyRange.high), static_cast<int>(ClockPolicy{}.requireNts));
    return 0;
}
