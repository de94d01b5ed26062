#include "sync/server_tester.h"

RunResult ServerTester::Test(const std::string& host) {
    SyncRun test(context_, RunGate::kAlways, RunKind::kManual);
    return test.FetchServerTime(true, false, host);
}
