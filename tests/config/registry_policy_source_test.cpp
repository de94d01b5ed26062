// The policy keys as the registry holds them (the user's, under Wine in the tests), and the
// watch that tells the program they changed.
#include "config/registry_policy_source_win.h"

#include <gtest/gtest.h>

#include <string>

#include "base/unique_handle_win.h"
#include "config/policy_change_watch_win.h"

namespace {

constexpr PolicyScope kUM = PolicyScope::kUserMandatory;
constexpr PolicyScope kUR = PolicyScope::kUserRecommended;

class RegistryPolicySourceTest : public testing::Test {
  protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() { ::RegDeleteTreeA(HKEY_CURRENT_USER, kMandatoryPolicyKey); }

    static void Write(const std::string& subkey, const char* name, DWORD type, const void* data,
                      DWORD size) {
        const std::string path =
            std::string(kMandatoryPolicyKey) + (subkey.empty() ? "" : "\\" + subkey);
        UniqueRegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                    KEY_WRITE | kPolicyView, nullptr, key.put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size));
    }
    static void WriteDword(const std::string& subkey, const char* name, DWORD value) {
        Write(subkey, name, REG_DWORD, &value, sizeof value);
    }
    static void WriteText(const std::string& subkey, const char* name, const std::string& text) {
        Write(subkey, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
};

TEST_F(RegistryPolicySourceTest, ValuesAndListsAreReadAsTheyAreTyped) {
    WriteDword("", "nMaxDays", 30);
    WriteText("", "nTimeOut", "60");
    const std::uint64_t wide = 7;
    Write("", "bNotify", REG_QWORD, &wide, sizeof wide);
    WriteText("Servers", "2", "b.corp");
    WriteText("Servers", "10", "c.corp\tC");
    WriteText("Servers", "1", "a.corp");
    WriteText("Servers", "x", "not an entry");
    WriteText("Servers", "0", "not an entry either");
    WriteDword("Servers", "3", 5);
    WriteDword("Recommended", "nSynPeriod", 1);

    RegistryPolicySource source;
    const PolicyKeyContents mandatory = source.Read(kUM);
    EXPECT_EQ(PolicyValue::Dword(30), mandatory.values.at("NMAXDAYS"));
    EXPECT_EQ(PolicyValue::Text("60"), mandatory.values.at("nTimeOut"));
    EXPECT_EQ(PolicyValue::Other(), mandatory.values.at("bNotify"));
    const PolicyList expected = {{1, PolicyValue::Text("a.corp")},
                                 {2, PolicyValue::Text("b.corp")},
                                 {3, PolicyValue::Dword(5)},
                                 {10, PolicyValue::Text("c.corp\tC")}};
    EXPECT_EQ(expected, mandatory.lists.at(kServersList));
    EXPECT_EQ(0u, mandatory.lists.count(kApprovedServersList));  // no such key

    const PolicyKeyContents recommended = source.Read(kUR);
    EXPECT_EQ(PolicyValue::Dword(1), recommended.values.at("nSynPeriod"));
    EXPECT_EQ(1u, recommended.values.size());
    Clear();
    EXPECT_EQ(PolicyKeyContents{}, source.Read(kUM));
}

TEST_F(RegistryPolicySourceTest, TheWatchTellsOfEveryChangeOnceAndOfTheKeysComingAndGoing) {
    PolicyChangeWatch watch;
    EXPECT_FALSE(watch.Changed());
    const auto changedSoon = [&] {
        for (int i = 0; i < 50; ++i) {
            if (watch.Changed()) {
                return true;
            }
            ::Sleep(20);
        }
        return false;
    };
    struct Step {
        const char* what;
        void (*change)();
    };
    const Step steps[] = {
        {"the key created", [] { WriteDword("", "nMaxDays", 30); }},
        {"a value changed", [] { WriteDword("", "nMaxDays", 31); }},
        {"a recommendation added", [] { WriteDword("Recommended", "nTimeOut", 60); }},
        {"a list's entry added", [] { WriteText("Servers", "1", "a.corp"); }},
        {"the key deleted", [] { Clear(); }},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_TRUE(changedSoon()) << step.what;
        EXPECT_FALSE(watch.Changed()) << step.what;  // once, then armed again
    }
}

}  // namespace
