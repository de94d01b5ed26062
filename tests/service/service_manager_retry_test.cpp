#include "service/service_manager_retry.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using std::chrono::milliseconds;

TEST(ServiceManagerRetryTest, WaitsShortlyWhileTheManagerIsBusyAndNoLongerThanTheLimit) {
    struct Case {
        std::uint32_t error;
        milliseconds elapsed;
        std::optional<milliseconds> wait;
    };
    constexpr std::uint32_t kAccessDenied = 5;
    constexpr std::uint32_t kServiceExists = 1073;
    for (const Case& c : {
             Case{ServiceManagerRetry::kDatabaseLocked, milliseconds{0}, milliseconds{250}},
             Case{ServiceManagerRetry::kRequestTimeout, milliseconds{0}, milliseconds{250}},
             Case{ServiceManagerRetry::kDatabaseLocked, milliseconds{29000}, milliseconds{250}},
             // The last wait ends at the limit, and nothing is tried after it.
             Case{ServiceManagerRetry::kDatabaseLocked, milliseconds{29900}, milliseconds{100}},
             Case{ServiceManagerRetry::kDatabaseLocked, milliseconds{30000}, std::nullopt},
             Case{ServiceManagerRetry::kRequestTimeout, milliseconds{45000}, std::nullopt},
             Case{kAccessDenied, milliseconds{0}, std::nullopt},
             Case{kServiceExists, milliseconds{0}, std::nullopt},
         }) {
        SCOPED_TRACE(testing::Message() << c.error << " after " << c.elapsed.count() << " ms");
        EXPECT_EQ(c.wait, ServiceManagerRetry::WaitBeforeRetry(c.error, c.elapsed));
    }
}

}  // namespace
