#include "tests/e2e/process.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace desktop {

namespace {

// SystemExtendedHandleInformation: every open handle of the system with its process.
constexpr auto kExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);

struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

std::optional<DWORD> HandlesInSystemTable(DWORD processId) {
    constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<std::uint8_t> buffer(1 << 20);
    NTSTATUS status = 0;
    // The table grows while it is read; each retry has room for more.
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        status = ::NtQuerySystemInformation(kExtendedHandleInformation, buffer.data(),
                                            static_cast<ULONG>(buffer.size()), &needed);
        if (status != kInfoLengthMismatch) {
            break;
        }
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 65536));
    }
    if (status != 0) {
        return std::nullopt;
    }
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    DWORD count = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i) {
        count += table->entries[i].processId == processId ? 1 : 0;
    }
    return count;
}

std::optional<DWORD> GuiObjects(HANDLE process, DWORD kind) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD count = ::GetGuiResources(process, kind);
    if (count == 0 && ::GetLastError() != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return count;
}

}  // namespace

Process Process::Start(const std::string& commandLine, const std::string& workingFolder) {
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                          &started)) {
        return {};
    }
    ::CloseHandle(started.hThread);
    return Process(UniqueHandle(started.hProcess), started.dwProcessId);
}

bool Process::IsRunning() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(Milliseconds timeout) const {
    if (!process_ || ::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) !=
                         WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process_.get(), &exitCode)) {
        return std::nullopt;
    }
    return exitCode;
}

bool Process::Kill(Milliseconds timeout) {
    if (!process_) {
        return false;
    }
    ::TerminateProcess(process_.get(), 1);
    return WaitForExit(timeout).has_value();
}

std::optional<ProcessResources> ResourcesOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (!::GetProcessMemoryInfo(process, &memory, sizeof memory)) {
        return std::nullopt;
    }
    ProcessResources resources;
    resources.workingSetBytes = memory.WorkingSetSize;
    // The commit charge, which Windows also reports as PrivateUsage; Wine leaves that 0.
    resources.privateBytes = memory.PagefileUsage;
    if (!::GetProcessHandleCount(process, &resources.handles)) {
        return std::nullopt;
    }
    // A live process always holds some handles: 0 is Wine's stub speaking.
    if (resources.handles == 0) {
        const std::optional<DWORD> counted = HandlesInSystemTable(::GetProcessId(process));
        if (!counted) {
            return std::nullopt;
        }
        resources.handles = *counted;
    }
    resources.gdiObjects = GuiObjects(process, GR_GDIOBJECTS);
    resources.userObjects = GuiObjects(process, GR_USEROBJECTS);
    return resources;
}

std::string ThisProgramFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path);
    return full.substr(0, full.find_last_of('\\') + 1);
}

}  // namespace desktop
