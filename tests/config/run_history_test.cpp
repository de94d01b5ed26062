#include "config/run_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

class RunHistoryTest : public testing::Test {
  protected:
    RunHistoryTest() {
        folder_ = fs::temp_directory_path() /
                  ("tickwell-history-" + std::to_string(std::random_device()()));
    }
    ~RunHistoryTest() override { fs::remove_all(folder_); }

    std::string Folder() const { return (folder_ / "Quorvane" / "Tickwell").string(); }
    std::string FileText() const {
        std::ifstream in(fs::path(Folder()) / "history.csv", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
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
                std::move(reason)};
    }

    fs::path folder_;
};

TEST_F(RunHistoryTest, AppendsUnderAHeaderQuotingFieldsAndReadsNewestFirst) {
    FolderHistoryFile file(Folder(), "history.csv");
    RunHistory history(file);
    ASSERT_TRUE(history.Append(Entry(1)));
    const HistoryEntry tricky = Entry(2, "No answer, \"really\"\nnone");
    ASSERT_TRUE(history.Append(tricky));

    const std::string text = FileText();
    EXPECT_EQ(0u, text.find(std::string(RunHistory::kHeader) + "\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find(",\"No answer, \"\"really\"\"\nnone\"\r\n")) << text;
    EXPECT_EQ((std::vector<HistoryEntry>{tricky, Entry(1)}), history.Entries());
    EXPECT_FALSE(fs::exists(fs::path(Folder()) / "history.csv.new"));
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

}  // namespace
