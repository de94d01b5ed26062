// What every end-to-end scenario of the program starts from: no settings, no running copy,
// a web server for the manual runs' probe, and helpers to read what the user sees.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/presentation.h"
#include "resources/tickwell_ids.h"
#include "tests/e2e/notification_area.h"
#include "tests/e2e/screenshot.h"
#include "tests/e2e/tickwell_session.h"
#include "tests/support/http_server.h"

namespace e2e {

using desktop::BoxIcon;
using desktop::MessageBoxSeen;
using desktop::Process;

inline constexpr Milliseconds kMoment{5000};
using presentation::kExitQuestion;

inline std::string Field(HWND window, int id) {
    return desktop::ControlText(window, id);
}

// The main window fills its fields when it initialises and on every idle tick.
inline bool FieldBecomes(HWND window, int id, const std::string& text) {
    return desktop::WaitUntil([&] { return Field(window, id) == text; }, kMoment);
}

// A picture of the window for a person to look at, once it has painted.
inline void Picture(HWND window, const std::string& name) {
    ::Sleep(500);
    desktop::SaveScreenshot(window, TickwellSession::ScreenshotPath(name));
}

inline bool WaitUntilShown(HWND window, bool shown) {
    return desktop::WaitUntil([&] { return desktop::IsShown(window) == shown; }, kMoment);
}

// The text as a regular expression that matches only itself.
inline std::string Literal(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// How many lines of the history (line breaks aside) the pattern finds.
inline int HistoryLines(const std::string& pattern) {
    std::istringstream text(TickwellSession::HistoryText());
    const std::regex wanted(pattern);
    int found = 0;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        found += std::regex_search(line, wanted) ? 1 : 0;
    }
    return found;
}

// Whether the icon, as explorer shows it, carries the failing state's red mark: more red than
// the clock's centre could hold.
inline bool ShowsTheRedMark(const desktop::TrayIcon& icon) {
    const std::optional<desktop::Image> shown = desktop::CaptureWindow(icon.window);
    int red = 0;
    for (int y = 0; shown && y < shown->height; ++y) {
        for (int x = 0; x < shown->width; ++x) {
            const std::uint8_t* pixel = shown->Pixel(x, y);
            red += pixel[0] > 170 && pixel[1] < 90 && pixel[2] < 90 ? 1 : 0;
        }
    }
    return red >= 12;
}

class ProgramTest : public testing::Test {
  protected:
    // A later start: the settings exist, the first server is chronyd.
    void SeedLaterStart(std::map<std::string, DWORD> options = {},
                        std::vector<Server> servers = {{"chronyd", kChronyd},
                                                       {"silent", kSilent}}) {
        TickwellSession::SeedProfile(servers, options);
    }
    // Starts a copy and waits for its main window.
    HWND StartAndWait(const std::string& arguments, Process** copy = nullptr) {
        Process& started = session.Start(arguments);
        if (copy != nullptr) {
            *copy = &started;
        }
        return TickwellSession::MainWindowOf(started);
    }
    // The user's answer to the exit question; the question must come.
    void AnswerExitQuestion(const Process& copy, int answer) {
        const auto question = TickwellSession::BoxOf(copy, kTitle, kMoment);
        ASSERT_TRUE(question);
        EXPECT_EQ(kExitQuestion, question->text());
        EXPECT_TRUE(question->HasButton(IDYES) && question->HasButton(IDNO));
        question->Answer(answer);
    }
    // The menu's History: its window comes up and tells when the next attempt is due.
    void ExpectTheHistoryWindowToAnnounceTheNextRun(const Process& copy, HWND main) {
        desktop::Post(main, WM_SYSCOMMAND, IDM_SYSTEM_HISTORY);
        const HWND history = desktop::WaitForWindow(
            {.processId = copy.id(), .title = "Tickwell History", .visibleOnly = true}, kMoment);
        ASSERT_NE(nullptr, history);
        EXPECT_TRUE(desktop::WaitUntil(
            [&] {
                return std::regex_match(Field(history, IDC_HISTORY_NEXT_RUN),
                                        std::regex("Next run: (today|tomorrow) \\d\\d:\\d\\d"));
            },
            kMoment))
            << Field(history, IDC_HISTORY_NEXT_RUN);
    }

    // The manual runs' probe page (www.example.com is this machine in the tests' hosts file).
    HttpServer web;
    TickwellSession session;
};

}  // namespace e2e
