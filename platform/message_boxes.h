// Modal message boxes with no owner window, as a synchronisation run shows them. A box can
// be closed from another thread through the guard it reports to.
#pragma once

#include <functional>
#include <string>

enum class BoxIcon { kInformation, kWarning, kError };

// Told when a box exists and when it has gone. The owner of the run closes an open box
// when the run is abandoned.
class BoxGuard {
  public:
    virtual ~BoxGuard() = default;
    // The box is on screen; close closes it from any thread. False when it should not be
    // shown any more: the box then closes at once.
    virtual bool Opened(std::function<void()> close) = 0;
    virtual void Closed() = 0;
};

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Blocks until the box is closed: by the user, or through the guard.
    virtual void Show(const std::string& text, const std::string& caption, BoxIcon icon,
                      BoxGuard& guard) = 0;
};

// MessageBoxA on Windows; elsewhere the text goes to standard error.
class PlatformMessageBoxes : public MessageBoxes {
  public:
    void Show(const std::string& text, const std::string& caption, BoxIcon icon,
              BoxGuard& guard) override;
};
