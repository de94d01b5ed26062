#include "app/running_copies.h"

bool EndRunningCopies(RunningCopies& copies) {
    copies.AskAllToEnd();
    while (copies.AskOneStillShowing()) {
        // One limit for all: a window that stays after its process has ended counts as a
        // copy that did not end, and cannot keep this loop going.
        const std::chrono::milliseconds left = kEndPatience - copies.Elapsed();
        if (left <= std::chrono::milliseconds::zero()) {
            return false;
        }
        if (!copies.WaitForItsEnd(left)) {
            return false;
        }
    }
    return true;
}
