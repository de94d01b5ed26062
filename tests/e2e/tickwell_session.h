// The real Tickwell.exe as a user meets it, in the test run's Wine prefix: its settings in
// the registry before and after, the copies started, and the windows they show.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/e2e/desktop.h"
#include "tests/e2e/message_box_seen.h"
#include "tests/e2e/process.h"
#include "tests/e2e/registry_key.h"

namespace e2e {

using desktop::Milliseconds;

// Starting under Wine takes a second or two; a run against a silent server five.
inline constexpr Milliseconds kStartTimeout{15000};
inline constexpr Milliseconds kRunTimeout{15000};

inline constexpr const char* kTitle = "Tickwell";
// A server that answers (chronyd), one whose answers take 50 ms longer (the fixture's slow
// server), and one that never does (nothing listens there).
inline constexpr const char* kChronyd = "127.0.0.1";
inline constexpr const char* kSlow = "127.0.0.2";
inline constexpr const char* kAhead = "127.0.0.3";  // three hours ahead
inline constexpr const char* kSilent = "127.0.0.9";

struct Server {
    std::string title;
    std::string address;
    int userAdded = 1;
    bool nts = false;
};

class TickwellSession {
  public:
    // Forgets every setting and every copy of an earlier test.
    TickwellSession();
    // Ends every copy still running.
    ~TickwellSession();
    TickwellSession(const TickwellSession&) = delete;
    TickwellSession& operator=(const TickwellSession&) = delete;

    static desktop::RegistryKey Options();
    static desktop::RegistryKey Servers();
    // An administrator's policy key (mandatory), or a key under it ("Recommended",
    // "Servers"); every session starts without any.
    static desktop::RegistryKey Policy(HKEY root, const std::string& subkey = {});
    // Settings as a later start finds them: the options given (others at their defaults)
    // and this catalogue.
    static void SeedProfile(const std::vector<Server>& servers,
                            const std::map<std::string, DWORD>& options = {});
    // The program's history of runs, as every copy of this user writes it; read whole.
    static std::string HistoryText();
    // The folder beside the build's programs where the tests leave their pictures.
    static std::string ScreenshotPath(const std::string& name);
    // What the program opened in a web browser, in order.
    static std::vector<std::string> OpenedUrls();
    // Whether Windows reports a connection to the Internet (scheduled runs need one). None
    // until a test asks for it; each session ends without.
    static bool SetConnected(bool connected);

    // Starts a copy with these command-line arguments after the program's path.
    desktop::Process& Start(const std::string& arguments = "");
    // The copy's main window, hidden or shown, once it exists; null otherwise.
    static HWND MainWindowOf(const desktop::Process& copy, Milliseconds timeout = kStartTimeout);
    static std::optional<desktop::MessageBoxSeen> BoxOf(const desktop::Process& copy,
                                                        const std::string& caption,
                                                        Milliseconds timeout = kRunTimeout);

  private:
    std::vector<desktop::Process> copies_;
};

// Today's local date, as the program records it.
SYSTEMTIME Today();

}  // namespace e2e
