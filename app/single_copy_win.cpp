#include "app/single_copy_win.h"

#include "app/main_dialog.h"
#include "app/second_start.h"

namespace {

// One copy per user and session: the mutex lives in the session's own namespace.
std::string SingleCopyName() {
    char user[257] = {};
    DWORD length = sizeof user;
    ::GetUserNameA(user, &length);
    return std::string("Local\\Quorvane.Tickwell.") + user;
}

// The copy that holds the mutex, reached through its main window and the mutex itself.
class MutexHolder : public RunningCopy {
  public:
    MutexHolder(HANDLE mutex, const std::string& displayName)
        : mutex_(mutex),
          displayName_(displayName),
          showRequest_(::RegisterWindowMessageA(MainDialog::kShowRequestMessage)) {}

    bool AskToShow(std::chrono::milliseconds patience) override {
        // The running copy may take the foreground, which this start was given by the user.
        ::AllowSetForegroundWindow(ASFW_ANY);
        const ULONGLONG deadline = ::GetTickCount64() + patience.count();
        for (;;) {
            if (AskEachCandidate()) {
                return true;
            }
            if (::GetTickCount64() >= deadline) {
                return false;
            }
            ::Sleep(kRetryMilliseconds);
        }
    }

    bool WaitForRelease(std::chrono::milliseconds patience) override {
        // Abandoned: the copy ended without letting go, and the mutex is this start's all the
        // same.
        const DWORD result = ::WaitForSingleObject(mutex_, static_cast<DWORD>(patience.count()));
        return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }

  private:
    static constexpr DWORD kRetryMilliseconds = 100;
    // A window that takes longer is treated as none: the copy is then waited for.
    static constexpr UINT kAnswerMilliseconds = 500;

    // Only the main window answers with its own value: the program's boxes and other
    // programs' dialogs of the same title do not.
    bool AskEachCandidate() const {
        if (showRequest_ == 0) {
            return false;
        }
        HWND window = nullptr;
        while ((window = ::FindWindowExA(nullptr, window, "#32770", displayName_.c_str())) !=
               nullptr) {
            DWORD_PTR answer = 0;
            if (::SendMessageTimeoutA(window, showRequest_, 0, 0, SMTO_ABORTIFHUNG,
                                      kAnswerMilliseconds, &answer) != 0 &&
                answer == MainDialog::kShowAnswer) {
                return true;
            }
        }
        return false;
    }

    HANDLE mutex_;
    const std::string& displayName_;
    const UINT showRequest_;
};

}  // namespace

SingleCopy::~SingleCopy() {
    if (owned_) {
        ::ReleaseMutex(mutex_.get());
    }
}

bool SingleCopy::Claim(const std::string& displayName) {
    mutex_.reset(::CreateMutexA(nullptr, TRUE, SingleCopyName().c_str()));
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
        owned_ = static_cast<bool>(mutex_);
        return true;
    }
    MutexHolder holder(mutex_.get(), displayName);
    owned_ = MeetRunningCopy(holder) == SecondStart::kRunAsTheOneCopy;
    return owned_;
}
