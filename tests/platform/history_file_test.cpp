#include "platform/history_file.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <vector>

#include "tests/support/history_folder.h"

namespace {

namespace fs = std::filesystem;

class HistoryFileTest : public HistoryFolderTest {
  protected:
    static bool AppendLine(HistoryFile& file, const std::string& line) {
        return file.Rewrite([&line](const std::string& text) { return text + line + "\n"; });
    }
    static std::size_t Lines(const std::string& text) {
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(HistoryFileTest, AFailedWriteSaysSoAndLeavesNothingBehind) {
    fs::create_directories(folder_);
    std::ofstream(folder_ / "Quorvane") << "a file where the folder should be";
    FolderHistoryFile file(Folder(), "history.csv");
    EXPECT_FALSE(AppendLine(file, "one"));
    EXPECT_EQ("", file.Read());
}

TEST_F(HistoryFileTest, CopiesWritingAtOnceLoseNoLine) {
    constexpr int kPerCopy = 20;
    std::vector<std::thread> copies;
    for (int copy = 0; copy < 2; ++copy) {
        copies.emplace_back([this] {
            FolderHistoryFile file(Folder(), "history.csv");  // a file of its own, as a copy has
            for (int i = 0; i < kPerCopy; ++i) {
                AppendLine(file, "run " + std::to_string(i));
            }
        });
    }
    for (std::thread& copy : copies) {
        copy.join();
    }
    EXPECT_EQ(2u * kPerCopy, Lines(FolderHistoryFile(Folder(), "history.csv").Read()));
}

// A reader that knows nothing of the lock (an editor, a virus scanner) holds the file open
// for a moment: the replacement waits for it rather than losing the line.
TEST_F(HistoryFileTest, AReaderHoldingTheFileForAMomentCostsNoLine) {
    FolderHistoryFile file(Folder(), "history.csv");
    ASSERT_TRUE(AppendLine(file, "one"));
    std::promise<void> opened;
    std::thread reader([&] {
        std::ifstream in(fs::path(Folder()) / "history.csv", std::ios::binary);
        opened.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    opened.get_future().wait();
    EXPECT_TRUE(AppendLine(file, "two"));
    reader.join();
    EXPECT_EQ("one\ntwo\n", file.Read());
}

#ifdef _WIN32
// The program's titles are in the ANSI code page; the file is UTF-8 whatever that page is.
TEST_F(HistoryFileTest, TheFileIsUtf8) {
    char ansi[8] = {};
    ::WideCharToMultiByte(CP_ACP, 0, L"\u00f6", 1, ansi, sizeof ansi, nullptr, nullptr);
    const std::string line = std::string("K") + ansi + "ln";
    FolderHistoryFile file(Folder(), "history.csv");
    ASSERT_TRUE(AppendLine(file, line));
    EXPECT_EQ("K\xC3\xB6ln\n", FileText());
    EXPECT_EQ(line + "\n", file.Read());
}
#endif

}  // namespace
