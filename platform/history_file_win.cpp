#include <windows.h>

#include "platform/history_file.h"
#include "base/unique_handle_win.h"

namespace {

// CreateFile gives INVALID_HANDLE_VALUE, not null, when it fails.
HANDLE NullWhenInvalid(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

std::string Recoded(const std::string& text, UINT from, UINT to) {
    if (text.empty()) {
        return text;
    }
    const int length = static_cast<int>(text.size());
    const int wide = ::MultiByteToWideChar(from, 0, text.data(), length, nullptr, 0);
    std::wstring middle(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(from, 0, text.data(), length, middle.data(), wide);
    const int narrow =
        ::WideCharToMultiByte(to, 0, middle.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(narrow), '\0');
    ::WideCharToMultiByte(to, 0, middle.data(), wide, result.data(), narrow, nullptr, nullptr);
    return result;
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

// A program that knows nothing of the lock (an editor, a virus scanner, a backup) may hold
// the file open for a moment without letting it be replaced: the replacement waits for it
// rather than losing the run's line.
bool ReplaceFileAtomically(const std::string& source, const std::string& target) {
    constexpr DWORD kPatienceMs = 2000;
    constexpr DWORD kStepMs = 50;
    for (DWORD waited = 0;; waited += kStepMs) {
        if (::MoveFileExA(source.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || waited >= kPatienceMs) {
            return false;
        }
        ::Sleep(kStepMs);
    }
}

bool MakeFolder(const std::string& folder) {
    return ::CreateDirectoryA(folder.c_str(), nullptr) != FALSE ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string Utf8FromProgramText(const std::string& text) {
    return Recoded(text, CP_ACP, CP_UTF8);
}

std::string ProgramTextFromUtf8(const std::string& text) {
    return Recoded(text, CP_UTF8, CP_ACP);
}
