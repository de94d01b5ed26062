// A program the test starts, and what it holds of the system's resources.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "base/unique_handle_win.h"
#include "tests/e2e/desktop.h"

namespace desktop {

// Move-only: it owns the process handle.
class Process {
  public:
    // Runs `commandLine` in `workingFolder` (the test's own when empty); an empty Process
    // when it cannot start.
    static Process Start(const std::string& commandLine, const std::string& workingFolder = {});

    Process() = default;

    explicit operator bool() const { return static_cast<bool>(process_); }
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_.get(); }

    bool IsRunning() const;
    // The exit code, once the process has ended within `timeout`.
    std::optional<DWORD> WaitForExit(Milliseconds timeout) const;
    // Ends the process at once, as Task Manager would; true once it has ended.
    bool Kill(Milliseconds timeout);

  private:
    Process(UniqueHandle process, DWORD id) : process_(std::move(process)), id_(id) {}

    UniqueHandle process_;
    DWORD id_ = 0;
};

// What leak checks watch, for any process of the prefix. Under Wine 8 the working set and
// the private (committed) bytes are real, and so is the handle count, which comes from the
// system's handle table because GetProcessHandleCount always says 0 there. GDI and USER
// objects are not counted (GetGuiResources fails with ERROR_CALL_NOT_IMPLEMENTED): nullopt.
struct ProcessResources {
    std::size_t workingSetBytes = 0;
    std::size_t privateBytes = 0;
    DWORD handles = 0;
    std::optional<DWORD> gdiObjects;
    std::optional<DWORD> userObjects;
};

std::optional<ProcessResources> ResourcesOf(HANDLE process);

// The folder of the running program, with its trailing backslash: where the build put the
// programs it starts.
std::string ThisProgramFolder();

}  // namespace desktop
