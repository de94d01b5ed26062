// The probe page's host resolves to 127.0.0.1 inside the tests' private namespace.
#include "platform/web_probe.h"

#include <gtest/gtest.h>

#include "tests/support/http_server.h"

namespace {

TEST(PlatformWebProbeTest, OpensThePageWhenAWebServerAnswersAndFailsWhenNoneDoes) {
    PlatformWebProbe probe;
    {
        HttpServer server;
        EXPECT_EQ(ProbeResult::kOpened, probe.Probe(nullptr));
        EXPECT_EQ(1, server.requests());
    }
    EXPECT_EQ(ProbeResult::kUrlFailed, probe.Probe(nullptr));
}

}  // namespace
