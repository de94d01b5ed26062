// A stand-in for an open Explorer folder window: a visible top-level window of Explorer's
// class "CabinetWClass" in the test's own process, for checks that the program tells other
// programs' windows from its own.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

namespace desktop {

class ExplorerLookalike {
  public:
    // Shows the window at once; window() is null when it could not be made.
    explicit ExplorerLookalike(const std::string& title);
    // Takes the window down.
    ~ExplorerLookalike();

    ExplorerLookalike(const ExplorerLookalike&) = delete;
    ExplorerLookalike& operator=(const ExplorerLookalike&) = delete;

    HWND window() const { return window_; }

  private:
    HWND window_ = nullptr;
    // Answers what other programs send the window, whatever the test's thread is doing.
    std::thread thread_;
};

}  // namespace desktop
