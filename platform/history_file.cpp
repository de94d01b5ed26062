#include "platform/history_file.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

std::string ReadWhole(const std::string& path) {
    std::string text;
    const UniqueFile in(std::fopen(path.c_str(), "rb"));
    if (!in) {
        return text;
    }
    char buffer[16384];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        text.append(buffer, got);
    }
    return text;
}

bool WriteWhole(const std::string& path, const std::string& text) {
    UniqueFile out(std::fopen(path.c_str(), "wb"));
    if (!out) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
    // fclose flushes: its failure is a failed write too.
    return std::fclose(out.release()) == 0 && written;
}

// Every folder on the way, as a shell's "mkdir -p" makes them.
bool MakeFolders(const std::string& folder) {
    for (std::size_t end = folder.find_first_of("/\\", 1); end != std::string::npos;
         end = folder.find_first_of("/\\", end + 1)) {
        const std::string prefix = folder.substr(0, end);
        // A drive ("C:") or a doubled separator is no folder to make.
        if (!prefix.empty() && prefix.back() != ':' && prefix.back() != '/' &&
            prefix.back() != '\\') {
            MakeFolder(prefix);
        }
    }
    return MakeFolder(folder);
}

}  // namespace

FolderHistoryFile::FolderHistoryFile(std::string folder, std::string name)
    : folder_(std::move(folder)), name_(std::move(name)) {}

std::string FolderHistoryFile::Path(const std::string& name) const {
    // Windows takes a forward slash too.
    return folder_ + "/" + name;
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
    if (!MakeFolders(folder_)) {
        return false;
    }
    const std::string target = Path(name_);
    const std::string fresh = Path(name_ + ".new");
    return WithFileLock(Path(name_ + ".lock"), [&] {
        const std::string text =
            Utf8FromProgramText(change(ProgramTextFromUtf8(ReadWhole(target))));
        return WriteWhole(fresh, text) && ReplaceFileAtomically(fresh, target);
    });
}
