#include "config/run_history.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>

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

TEST_F(RunHistoryTest, AFailedWriteSaysSoAndLeavesNothingBehind) {
    fs::create_directories(folder_);
    std::ofstream(folder_ / "Quorvane") << "a file where the folder should be";
    FolderHistoryFile file(Folder(), "history.csv");
    RunHistory history(file);
    EXPECT_FALSE(history.Append(Entry(1)));
    EXPECT_TRUE(history.Entries().empty());
}

TEST_F(RunHistoryTest, CopiesWritingAtOnceLoseNoLine) {
    constexpr int kPerCopy = 20;
    std::vector<std::thread> copies;
    for (int copy = 0; copy < 2; ++copy) {
        copies.emplace_back([this] {
            FolderHistoryFile file(Folder(), "history.csv");  // a file of its own, as a copy has
            RunHistory history(file);
            for (int i = 0; i < kPerCopy; ++i) {
                history.Append(Entry(i));
            }
        });
    }
    for (std::thread& copy : copies) {
        copy.join();
    }
    FolderHistoryFile file(Folder(), "history.csv");
    EXPECT_EQ(2u * kPerCopy, RunHistory(file).Entries().size());
}

// A reader that knows nothing of the lock (an editor, a virus scanner) holds the file open
// for a moment: the replacement waits for it rather than losing the line.
TEST_F(RunHistoryTest, AReaderHoldingTheFileForAMomentCostsNoLine) {
    FolderHistoryFile file(Folder(), "history.csv");
    RunHistory history(file);
    ASSERT_TRUE(history.Append(Entry(1)));
    std::promise<void> opened;
    std::thread reader([&] {
        std::ifstream in(fs::path(Folder()) / "history.csv", std::ios::binary);
        opened.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    opened.get_future().wait();
    EXPECT_TRUE(history.Append(Entry(2)));
    reader.join();
    EXPECT_EQ(2u, history.Entries().size());
}

#ifdef _WIN32
// The program's titles are in the ANSI code page; the file is UTF-8 whatever that page is.
TEST_F(RunHistoryTest, TheFileIsUtf8) {
    char ansi[8] = {};
    ::WideCharToMultiByte(CP_ACP, 0, L"\u00f6", 1, ansi, sizeof ansi, nullptr, nullptr);
    HistoryEntry entry = Entry(1);
    entry.server = std::string("K") + ansi + "ln";
    FolderHistoryFile file(Folder(), "history.csv");
    RunHistory history(file);
    ASSERT_TRUE(history.Append(entry));
    EXPECT_NE(std::string::npos, FileText().find(",K\xC3\xB6ln,")) << FileText();
    EXPECT_EQ(std::vector<HistoryEntry>{entry}, history.Entries());
}
#endif

}  // namespace
