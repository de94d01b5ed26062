#include "app/second_start.h"

SecondStart MeetRunningCopy(RunningCopy& copy) {
    if (copy.AskToShow(kAnswerPatience)) {
        return SecondStart::kEnd;
    }
    for (auto waited = std::chrono::milliseconds::zero(); waited < kReleasePatience;
         waited += kReleaseSlice) {
        if (copy.WaitForRelease(kReleaseSlice)) {
            return SecondStart::kRunAsTheOneCopy;
        }
        if (copy.AskToShow(std::chrono::milliseconds::zero())) {
            return SecondStart::kEnd;
        }
    }
    return SecondStart::kEnd;
}
