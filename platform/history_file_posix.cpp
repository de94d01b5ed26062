#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/history_file.h"

bool WithFileLock(const std::string& lockPath, const std::function<bool()>& body) {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool done = false;
    if (::flock(fd, LOCK_EX) == 0) {
        done = body();
        ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    return done;
}

bool ReplaceFileAtomically(const std::string& source, const std::string& target) {
    return std::rename(source.c_str(), target.c_str()) == 0;
}

bool MakeFolder(const std::string& folder) {
    return ::mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string Utf8FromProgramText(const std::string& text) {
    return text;
}

std::string ProgramTextFromUtf8(const std::string& text) {
    return text;
}
