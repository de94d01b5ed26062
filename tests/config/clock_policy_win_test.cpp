// The machine's clock policy in the registry, as setup writes it and the service reads it.
// Wine runs every test as an administrator, so HKEY_LOCAL_MACHINE is writable here.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "config/clock_policy.h"
#include "config/default_servers.h"
#include "base/unique_handle_win.h"

namespace {

constexpr const char* kPolicyKey = "Software\\Quorvane\\Tickwell";

// The policy key as an administrator edits it by hand.
UniqueRegistryKey AdministratorsKey(const std::string& path) {
    HKEY raw = nullptr;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &raw, nullptr);
    return UniqueRegistryKey(raw);
}

bool PolicyKeyExists() {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ | KEY_WOW64_64KEY, &raw) !=
        ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(raw);
    return true;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> BuiltInAddresses() {
    std::vector<std::string> addresses;
    for (const DefaultServer& server : kDefaultServers) {
        addresses.emplace_back(server.address);
    }
    return Sorted(addresses);
}

class MachineClockPolicyTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(RemoveMachineClockPolicy()); }
    void TearDown() override { EXPECT_TRUE(RemoveMachineClockPolicy()); }
};

TEST_F(MachineClockPolicyTest, SetupsDefaultsKeepWhatTheAdministratorAdded) {
    const ClockPolicy none = LoadMachineClockPolicy();
    EXPECT_TRUE(none.approvedServers.empty());
    EXPECT_EQ(none.maxUserOffsetSeconds, 0);

    ASSERT_TRUE(WriteDefaultMachineClockPolicy());
    ClockPolicy policy = LoadMachineClockPolicy();
    EXPECT_EQ(Sorted(policy.approvedServers), BuiltInAddresses());
    EXPECT_EQ(policy.maxUserOffsetSeconds, 0);

    const DWORD limit = 30;
    ::RegSetValueExA(AdministratorsKey(kPolicyKey).get(), "nMaxUserOffset", 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&limit), sizeof limit);
    ::RegSetValueExA(AdministratorsKey(std::string(kPolicyKey) + "\\ApprovedServers").get(),
                     "time.example.org", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    // An upgrade, by a package that approves more servers.
    ASSERT_TRUE(WriteDefaultMachineClockPolicy({"ntp.corp.example", "[2001:db8::123]"}));
    policy = LoadMachineClockPolicy();
    std::vector<std::string> expected = BuiltInAddresses();
    expected.insert(expected.end(), {"time.example.org", "ntp.corp.example", "[2001:db8::123]"});
    EXPECT_EQ(Sorted(policy.approvedServers), Sorted(expected));
    EXPECT_EQ(policy.maxUserOffsetSeconds, 30);

    ASSERT_TRUE(RemoveMachineClockPolicy());
    EXPECT_FALSE(PolicyKeyExists());
    EXPECT_TRUE(LoadMachineClockPolicy().approvedServers.empty());
}

TEST_F(MachineClockPolicyTest, ReadsTheOffsetLimitAnAdministratorWrote) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
        std::int32_t expected;
    };
    const std::vector<Case> cases = {
        {"seconds", REG_DWORD, {0x10, 0x0e, 0, 0}, 3600},
        {"beyond any offset", REG_DWORD, {0xff, 0xff, 0xff, 0xff}, INT_MAX},
        {"a text", REG_SZ, {'6', '0', 0}, 0},
        {"too short", REG_BINARY, {60}, 0},
    };
    for (const Case& c : cases) {
        ::RegSetValueExA(AdministratorsKey(kPolicyKey).get(), "nMaxUserOffset", 0, c.type,
                         c.data.data(), static_cast<DWORD>(c.data.size()));
        EXPECT_EQ(LoadMachineClockPolicy().maxUserOffsetSeconds, c.expected) << c.name;
    }
}

// Only a REG_DWORD of 1 requires secure time: a value an administrator got wrong leaves the
// plain servers allowed, as the service did before it knew the value.
TEST_F(MachineClockPolicyTest, ReadsWhetherTheAdministratorRequiresSecureTime) {
    const std::pair<DWORD, bool> cases[] = {{1, true}, {0, false}, {2, false}};
    for (const auto& [value, required] : cases) {
        ::RegSetValueExA(AdministratorsKey(kPolicyKey).get(), "bRequireNts", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&value), sizeof value);
        EXPECT_EQ(required, LoadMachineClockPolicy().requireNts) << value;
    }
    ::RegSetValueExA(AdministratorsKey(kPolicyKey).get(), "bRequireNts", 0, REG_SZ,
                     reinterpret_cast<const BYTE*>("1"), 2);
    EXPECT_FALSE(LoadMachineClockPolicy().requireNts);
}

}  // namespace
