#include <windows.h>

#include "platform/history_file.h"
#include "platform/unique_handle_win.h"

namespace {

// CreateFile gives INVALID_HANDLE_VALUE, not null, when it fails.
HANDLE NullWhenInvalid(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace

bool WithFileLock(const std::string& lockPath, const std::function<bool()>& body) {
    const UniqueHandle file(
        NullWhenInvalid(::CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) {
        return false;
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        return false;
    }
    const bool done = body();
    OVERLAPPED again{};
    ::UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &again);
    return done;
}

bool ReplaceFileAtomically(const std::string& source, const std::string& target) {
    return ::MoveFileExA(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}
