#include "platform/history_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

FolderHistoryFile::FolderHistoryFile(std::string folder, std::string name)
    : folder_(std::move(folder)), name_(std::move(name)) {}

std::string FolderHistoryFile::Path(const std::string& name) const {
    return (std::filesystem::path(folder_) / name).string();
}

std::string FolderHistoryFile::Read() {
    // Under the lock: on Windows an open reader would make the replacement fail.
    std::string text;
    WithFileLock(Path(name_ + ".lock"), [&] {
        text = ProgramTextFromUtf8(ReadWhole(Path(name_)));
        return true;
    });
    return text;
}

bool FolderHistoryFile::Rewrite(const std::function<std::string(const std::string&)>& change) {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) {
        return false;
    }
    const std::string target = Path(name_);
    const std::string fresh = Path(name_ + ".new");
    return WithFileLock(Path(name_ + ".lock"), [&] {
        const std::string text =
            Utf8FromProgramText(change(ProgramTextFromUtf8(ReadWhole(target))));
        {
            std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
            out << text;
            out.flush();
            if (!out) {
                return false;
            }
        }
        return ReplaceFileAtomically(fresh, target);
    });
}
