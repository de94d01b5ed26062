// What a start does that finds another copy holding the one-copy mutex: a copy that runs
// is asked to show its window and this start ends; a copy that is ending (its window gone)
// is waited for, and this start then runs as the one copy.
#pragma once

#include <chrono>

// The copy that holds the mutex, as a start that found it reaches it.
class RunningCopy {
  public:
    virtual ~RunningCopy() = default;
    // Asks the copy to show its window; true once its main window answered within `patience`
    // (one attempt when it is zero).
    virtual bool AskToShow(std::chrono::milliseconds patience) = 0;
    // True once the copy let go of the mutex within `patience`, ending or ended, and this
    // start holds it.
    virtual bool WaitForRelease(std::chrono::milliseconds patience) = 0;
};

enum class SecondStart { kEnd, kRunAsTheOneCopy };

// A copy that answers within kAnswerPatience runs; one that does not is ending and has
// kReleasePatience to let go. While waiting, the copy is asked again now and then: one that
// was itself still starting answers once its window exists, and this start need not wait on.
inline constexpr std::chrono::milliseconds kAnswerPatience{1000};
inline constexpr std::chrono::milliseconds kReleasePatience{10000};
inline constexpr std::chrono::milliseconds kReleaseSlice{1000};

SecondStart MeetRunningCopy(RunningCopy& copy);
