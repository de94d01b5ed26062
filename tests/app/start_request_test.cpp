#include "app/start_request.h"

#include <gtest/gtest.h>

namespace {

TEST(StartRequestTest, ReadsTheLastWordOfTheCommandLine) {
    struct Case {
        const char* commandLine;
        StartRequest request;
    };
    using enum StartRequest;
    const Case cases[] = {
        {"\"C:\\Program Files\\Quorvane\\Tickwell\\Tickwell.exe\"", kShow},
        {"\"C:\\Program Files\\Quorvane\\Tickwell\\Tickwell.exe\" StartUp", kStartUp},
        {"Tickwell.exe startup", kShow},
        {"\"C:\\Program Files\\Quorvane\\Tickwell\\Tickwell.exe\" /exit", kEndRunningCopies},
        {"Tickwell.exe /EXIT  ", kEndRunningCopies},
        {"Tickwell.exe\t/Exit", kEndRunningCopies},
        {"Tickwell.exe /exit StartUp", kStartUp},
        {"Tickwell.exe /exit now", kShow},
        {"Tickwell.exe -exit", kShow},
        {"Tickwell.exe /exits", kShow},
        {"/exit", kShow},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.request, ReadStartRequest(c.commandLine)) << c.commandLine;
    }
}

}  // namespace
