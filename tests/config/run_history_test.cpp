#include "config/run_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/history_folder.h"

namespace {

namespace fs = std::filesystem;

class RunHistoryTest : public HistoryFolderTest {
  protected:
    static HistoryEntry Entry(int n, std::string reason = {}) {
        return {"2026-12-09T09:14:0" + std::to_string(n % 10) + "Z",
                "scheduled",
                "Server " + std::to_string(n),
                "ntp.example.org",
                "192.0.2.1",
                reason.empty() ? "success" : "failure",
                "+0.012000",
                "0.004000",
                "2",
                "+0.012000",
                std::move(reason),
                n % 2 == 0 ? HistoryEntry::kSecure : ""};
    }
};

TEST_F(RunHistoryTest, AppendsUnderAHeaderQuotingFieldsAndReadsNewestFirst) {
    FolderHistoryFile file(Folder(), "history.csv");
    RunHistory history(file);
    ASSERT_TRUE(history.Append(Entry(1)));
    const HistoryEntry tricky = Entry(2, "No answer, \"really\"\nnone");
    ASSERT_TRUE(history.Append(tricky));

    const std::string text = FileText();
    EXPECT_EQ(0u, text.find(std::string(RunHistory::kHeader) + "\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find(",\"No answer, \"\"really\"\"\nnone\",nts\r\n")) << text;
    EXPECT_EQ((std::vector<HistoryEntry>{tricky, Entry(1)}), history.Entries());
    EXPECT_FALSE(fs::exists(fs::path(Folder()) / "history.csv.new"));
}

// A spreadsheet runs a cell that starts with =, +, -, @, a tab or a carriage return: the
// texts get an apostrophe on the way out and lose it on the way in; numbers keep their sign.
TEST_F(RunHistoryTest, GuardsTextsThatASpreadsheetWouldRun) {
    const struct {
        std::string server;
        std::string written;  // the server's field in the file
    } cases[] = {
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1", "'+1"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tTab", "'\tTab"},
        {"\rReturn", "\"'\rReturn\""},
        {"'=already", "''=already"},
        {"'plain", "'plain"},
        {"Plain = fine", "Plain = fine"},
    };
    for (const auto& c : cases) {
        fs::remove_all(folder_);
        FolderHistoryFile file(Folder(), "history.csv");
        RunHistory history(file);
        HistoryEntry entry = Entry(1, "-reason");
        entry.server = c.server;
        entry.offset = "-0.500000";
        ASSERT_TRUE(history.Append(entry));
        const std::string text = FileText();
        EXPECT_NE(std::string::npos, text.find(",ntp.example.org,")) << text;
        EXPECT_NE(std::string::npos, text.find("," + c.written + ",")) << c.server << "\n" << text;
        EXPECT_NE(std::string::npos, text.find(",-0.500000,")) << text;
        EXPECT_NE(std::string::npos, text.find(",'-reason,\r\n")) << text;
        EXPECT_EQ(std::vector<HistoryEntry>{entry}, history.Entries()) << c.server;
    }
}

TEST_F(RunHistoryTest, KeepsTheLastThousandRuns) {
    std::vector<HistoryEntry> full;
    for (int i = 0; i < static_cast<int>(RunHistory::kMaxRuns); ++i) {
        full.push_back(Entry(i));
    }
    fs::create_directories(Folder());
    std::ofstream(fs::path(Folder()) / "history.csv", std::ios::binary) << HistoryText(full);

    FolderHistoryFile file(Folder(), "history.csv");
    RunHistory history(file);
    ASSERT_TRUE(history.Append(Entry(1000)));
    ASSERT_TRUE(history.Append(Entry(1001)));
    const std::vector<HistoryEntry> kept = history.Entries();
    ASSERT_EQ(RunHistory::kMaxRuns, kept.size());
    EXPECT_EQ("Server 1001", kept.front().server);
    EXPECT_EQ("Server 2", kept.back().server);
}

// A file written before secure time has eleven fields a line: they read as not secure, and the
// next line written keeps them.
TEST_F(RunHistoryTest, ReadsTheLinesOfAnOlderFileAsNotSecure) {
    fs::create_directories(Folder());
    std::ofstream(fs::path(Folder()) / "history.csv", std::ios::binary)
        << "time,kind,server,host,address,result,offset,delay,stratum,step,reason\r\n"
           "2026-12-09T09:14:01Z,scheduled,Server 1,ntp.example.org,192.0.2.1,success,"
           "+0.012000,0.004000,2,+0.012000,\r\n";
    FolderHistoryFile file(Folder(), "history.csv");
    RunHistory history(file);
    ASSERT_TRUE(history.Append(Entry(2)));
    EXPECT_EQ((std::vector<HistoryEntry>{Entry(2), Entry(1)}), history.Entries());
}

}  // namespace
