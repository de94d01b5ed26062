// Ending every running copy of Tickwell before an installer replaces or removes its files
// ("Tickwell.exe /exit"): all copies are asked at once, then each copy that still shows a
// window is asked again and waited for, all within one time limit, so that no file is
// touched while a copy may still hold it.
#pragma once

#include <chrono>

// The copies as the request reaches them.
class RunningCopies {
  public:
    virtual ~RunningCopies() = default;
    // Asks every copy at once, also one whose window no search finds yet.
    virtual void AskAllToEnd() = 0;
    // Asks one copy that still shows a window to end; false when no copy shows one.
    virtual bool AskOneStillShowing() = 0;
    // True once the copy asked last has ended within `patience`.
    virtual bool WaitForItsEnd(std::chrono::milliseconds patience) = 0;
    // Since AskAllToEnd.
    virtual std::chrono::milliseconds Elapsed() const = 0;
};

// As setup has always waited: a copy ends in well under a second unless it hangs.
inline constexpr std::chrono::milliseconds kEndPatience{5000};

// True once no copy shows a window any more; false when one was still there after
// kEndPatience in all.
bool EndRunningCopies(RunningCopies& copies);
