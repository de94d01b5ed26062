#include "tests/e2e/tickwell_session.h"

#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "resources/tickwell_ids.h"

namespace e2e {

namespace {

constexpr const char* kProfileKey = "Software\\Quorvane\\Tickwell";

// The build folder holds bin\ (the programs, this one too) and e2e\ (the fixture's files).
std::string BuildFolder() {
    const std::string bin = desktop::ThisProgramFolder();
    const std::string withoutSlash = bin.substr(0, bin.size() - 1);
    return withoutSlash.substr(0, withoutSlash.find_last_of('\\') + 1);
}

// Wine shows the Unix root as drive Z:.
std::string UnixPath(const std::string& windowsPath) {
    std::string path = windowsPath.substr(2);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

std::string HistoryPath() {
    char folder[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\Quorvane\\Tickwell\\history.csv";
}

void EndStrayCopies() {
    for (HWND window : desktop::TopLevelWindows({.className = "#32770", .title = kTitle})) {
        const HANDLE process =
            ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, desktop::ProcessOf(window));
        if (process != nullptr) {
            ::TerminateProcess(process, 1);
            ::WaitForSingleObject(process, 5000);
            ::CloseHandle(process);
        }
    }
}

}  // namespace

TickwellSession::TickwellSession() {
    EndStrayCopies();
    desktop::RegistryKey(kProfileKey).DeleteTree();
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        Policy(root).DeleteTree();
    }
    ::DeleteFileA(HistoryPath().c_str());
    // Web pages open in the fixture's stand-in browser, which only writes their addresses.
    desktop::RegistryKey("Software\\Wine\\WineBrowser")
        .WriteString("Browsers", UnixPath(BuildFolder() + "e2e\\record-url"));
    std::ofstream(BuildFolder() + "e2e\\opened-urls", std::ios::trunc);
}

TickwellSession::~TickwellSession() {
    for (desktop::Process& copy : copies_) {
        if (copy.IsRunning()) {
            copy.Kill(Milliseconds(5000));
        }
    }
    SetConnected(false);
}

std::string TickwellSession::HistoryText() {
    std::ifstream in(HistoryPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool TickwellSession::SetConnected(bool connected) {
    const std::string wanted = connected ? "up" : "down";
    const std::string folder = BuildFolder() + "e2e\\";
    // Renamed into place, so that the switch never reads half a request.
    std::ofstream(folder + "connection-request.new", std::ios::trunc) << wanted;
    ::MoveFileExA((folder + "connection-request.new").c_str(),
                  (folder + "connection-request").c_str(), MOVEFILE_REPLACE_EXISTING);
    return desktop::WaitUntil(
        [&] {
            std::string state;
            std::ifstream(folder + "connection-state") >> state;
            return state == wanted;
        },
        Milliseconds(5000));
}

desktop::RegistryKey TickwellSession::Options() {
    return desktop::RegistryKey(std::string(kProfileKey) + "\\Options");
}

desktop::RegistryKey TickwellSession::Policy(HKEY root, const std::string& subkey) {
    const std::string path = "Software\\Policies\\Quorvane\\Tickwell";
    return desktop::RegistryKey(subkey.empty() ? path : path + "\\" + subkey, root);
}

desktop::RegistryKey TickwellSession::Servers() {
    return desktop::RegistryKey(std::string(kProfileKey) + "\\Servers");
}

void TickwellSession::SeedProfile(const std::vector<Server>& servers,
                                  const std::map<std::string, DWORD>& options) {
    Options().WriteDword("bFirstStart", 0);
    for (const auto& [name, value] : options) {
        Options().WriteDword(name, value);
    }
    Servers().WriteDword("Servers_Counter", static_cast<DWORD>(servers.size()));
    for (std::size_t i = 0; i < servers.size(); ++i) {
        Servers().WriteString("Servers " + std::to_string(i),
                              servers[i].title + "\n" + servers[i].address + "\n" +
                                  std::to_string(servers[i].userAdded) + " 0.000" +
                                  (servers[i].nts ? " nts" : ""));
    }
}

std::string TickwellSession::ScreenshotPath(const std::string& name) {
    const std::string folder = BuildFolder() + "screenshots\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder + name + ".png";
}

std::vector<std::string> TickwellSession::OpenedUrls() {
    std::ifstream file(BuildFolder() + "e2e\\opened-urls");
    std::vector<std::string> urls;
    for (std::string line; std::getline(file, line);) {
        urls.push_back(line);
    }
    return urls;
}

desktop::Process& TickwellSession::Start(const std::string& arguments) {
    const std::string program = desktop::ThisProgramFolder() + "Tickwell.exe";
    copies_.push_back(desktop::Process::Start("\"" + program + "\"" + arguments));
    return copies_.back();
}

HWND TickwellSession::MainWindowOf(const desktop::Process& copy, Milliseconds timeout) {
    return desktop::WaitForWindow(
        [&copy](HWND window) {
            // The title comes with the window's initialisation, once every control exists.
            return desktop::ProcessOf(window) == copy.id() &&
                   desktop::ClassOf(window) == "#32770" &&
                   ::GetDlgItem(window, IDC_MAIN_SYNCHRONIZE) != nullptr &&
                   desktop::TextOf(window) == kTitle;
        },
        timeout);
}

std::optional<desktop::MessageBoxSeen> TickwellSession::BoxOf(const desktop::Process& copy,
                                                              const std::string& caption,
                                                              Milliseconds timeout) {
    return desktop::MessageBoxSeen::WaitFor(caption, copy.id(), timeout);
}

SYSTEMTIME Today() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return now;
}

}  // namespace e2e
