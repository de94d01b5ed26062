// A history folder of its own for each test, under the system's temporary folder, removed
// afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class HistoryFolderTest : public testing::Test {
  protected:
    HistoryFolderTest()
        : folder_(std::filesystem::temp_directory_path() /
                  ("tickwell-history-" + std::to_string(std::random_device()()))) {}
    ~HistoryFolderTest() override { std::filesystem::remove_all(folder_); }

    std::string Folder() const { return (folder_ / "Quorvane" / "Tickwell").string(); }
    std::string FileText() const {
        std::ifstream in(std::filesystem::path(Folder()) / "history.csv", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path folder_;
};
