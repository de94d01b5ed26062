// The registry store against the real registry (under Wine in the tests).
#include "config/registry_profile_store_win.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/settings.h"

namespace {

constexpr const char* kCompany = "Quorvane";

class RegistryProfileStoreTest : public testing::Test {
  protected:
    void SetUp() override {
        application_ = std::string("TickwellTest-") +
                       testing::UnitTest::GetInstance()->current_test_info()->name();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Quorvane\\" + application_).c_str());
    }
    void TearDown() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Quorvane\\" + application_).c_str());
    }

    // Writes a raw value, of any type and size, as another program or a corruption might.
    void WriteRaw(const std::string& section, const char* name, DWORD type, const void* data,
                  DWORD size) {
        UniqueRegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegCreateKeyExA(HKEY_CURRENT_USER, store().SectionPath(section).c_str(), 0,
                                    nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size));
    }

    RegistryProfileStore store() const { return RegistryProfileStore(kCompany, application_); }

    // What any other reader of the registry finds under the documented path.
    std::string ValuePath(const std::string& section) const {
        return "Software\\Quorvane\\" + application_ + "\\" + section;
    }
    std::optional<DWORD> StoredDword(const std::string& section, const char* name) const {
        DWORD value = 0;
        DWORD size = sizeof value;
        if (::RegGetValueA(HKEY_CURRENT_USER, ValuePath(section).c_str(), name, RRF_RT_REG_DWORD,
                           nullptr, &value, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return value;
    }
    std::optional<std::string> StoredText(const std::string& section, const char* name) const {
        char text[256] = {};
        DWORD size = sizeof text;
        if (::RegGetValueA(HKEY_CURRENT_USER, ValuePath(section).c_str(), name, RRF_RT_REG_SZ,
                           nullptr, text, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::string(text);
    }

    std::string application_;
};

TEST_F(RegistryProfileStoreTest, IntegersAndTextsComeBackUnchanged) {
    RegistryProfileStore s = store();
    EXPECT_FALSE(s.HasSection("Options"));
    EXPECT_EQ(14, s.GetInt("Options", "nMaxDays", 14));
    EXPECT_TRUE(s.HasSection("Options"));  // reading creates the key
    EXPECT_TRUE(s.PutInt("Options", "nOffset", -90));
    EXPECT_EQ(-90, s.GetInt("Options", "nOffset", 0));
    EXPECT_TRUE(s.PutInt("Options", "nMax", INT32_MIN));
    EXPECT_EQ(INT32_MIN, s.GetInt("Options", "nMax", 0));

    const std::string text = "Chile.     Universidad de Chile. Santiago\n146.83.183.179\n0 0.000";
    EXPECT_TRUE(s.PutString("Servers", "Servers 9", text));
    EXPECT_EQ(text, s.GetString("Servers", "Servers 9", "missing"));
    EXPECT_TRUE(s.PutString("Servers", "empty", ""));
    EXPECT_EQ("", s.GetString("Servers", "empty", "missing"));
    EXPECT_EQ("missing", s.GetString("Servers", "Servers 10", "missing"));
    EXPECT_FALSE(s.PutString("Servers", "nul", std::string("a\0b", 3)));
}

TEST_F(RegistryProfileStoreTest, BadStoredDataReadsAsAbsent) {
    const DWORD dword = 7;
    const std::uint64_t qword = 7;
    WriteRaw("Options", "text as dword", REG_SZ, "30", 3);
    WriteRaw("Options", "binary", REG_BINARY, &dword, sizeof dword);
    WriteRaw("Options", "short dword", REG_DWORD, &dword, 2);
    WriteRaw("Options", "qword", REG_QWORD, &qword, sizeof qword);
    WriteRaw("Options", "inner nul", REG_SZ, "ab\0cd", 6);
    WriteRaw("Options", "expand", REG_EXPAND_SZ, "%TEMP%", 7);
    WriteRaw("Options", "dword as text", REG_DWORD, &dword, sizeof dword);
    const std::string huge(RegistryProfileStore::kMaxTextBytes + 10, 'x');
    WriteRaw("Options", "huge", REG_SZ, huge.c_str(), static_cast<DWORD>(huge.size() + 1));

    RegistryProfileStore s = store();
    EXPECT_EQ(-1, s.GetInt("Options", "text as dword", -1));
    EXPECT_EQ(-1, s.GetInt("Options", "binary", -1));
    EXPECT_EQ(-1, s.GetInt("Options", "short dword", -1));
    EXPECT_EQ(-1, s.GetInt("Options", "qword", -1));
    EXPECT_EQ("d", s.GetString("Options", "inner nul", "d"));
    EXPECT_EQ("d", s.GetString("Options", "expand", "d"));
    EXPECT_EQ("d", s.GetString("Options", "dword as text", "d"));
    EXPECT_EQ("d", s.GetString("Options", "huge", "d"));
    EXPECT_EQ(7, s.GetInt("Options", "dword as text", -1));
}

TEST_F(RegistryProfileStoreTest, CorruptValuesNeverLoseTheRestOfTheSettings) {
    RegistryProfileStore s = store();
    s.PutInt("Options", "nMaxDiff", 5);
    WriteRaw("Options", "nTimeOut", REG_SZ, "60", 3);
    WriteRaw("Options", "sConnectStatus", REG_BINARY, "abc", 3);
    Settings settings(s);
    SyncRecord record;
    settings.Load(record);
    EXPECT_EQ(5, settings.Options().maxDiffMinutes);
    EXPECT_EQ(20, settings.Options().timeOutSeconds);
    EXPECT_EQ("", record.connectStatus);  // as never stored
    EXPECT_EQ(19, settings.servers.Size());
}

TEST_F(RegistryProfileStoreTest, LayoutUnderTheCompanyAndApplicationKeys) {
    RegistryProfileStore s = store();
    Settings settings(s);
    settings.ResetServers();
    settings.Save();

    EXPECT_EQ(std::optional<DWORD>(20), StoredDword("Options", "nTimeOut"));
    EXPECT_EQ(std::optional<DWORD>(0), StoredDword("Options", "bFirstStart"));
    EXPECT_EQ(std::optional<DWORD>(19), StoredDword("Servers", "Servers_Counter"));
    EXPECT_EQ("UK. University of Cambridge\n131.111.8.28\n0 0.000",
              StoredText("Servers", "Servers 18"));
}

TEST_F(RegistryProfileStoreTest, ApplicationNameIsTheExecutableWithoutExtension) {
    EXPECT_EQ("config_tests", RegistryProfileStore::ApplicationNameOfThisProgram());
}

}  // namespace
