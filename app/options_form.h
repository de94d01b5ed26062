// What the Options dialog edits: its own copy of the user's options, as the dialog shows
// them (the offset as direction, minutes and seconds), with the rules between its fields.
// Nothing reaches the program's settings until the dialog publishes Result() on OK.
#pragma once

#include <optional>

#include "config/settings.h"

// The fixed offset as the dialog shows it, and back.
struct OffsetParts {
    int direction;  // 0 ahead (+), 1 backward (-)
    int minutes;
    int seconds;
};
OffsetParts SplitOffset(int offsetSeconds);
int JoinOffset(const OffsetParts& parts);

class OptionsForm {
  public:
    // A stored period the dialog does not know behaves as manual only, so it shows as such.
    // unchosen: each option without a choice of the user's, a policy's value or else the
    // default, which Restore Default shows.
    explicit OptionsForm(const UserOptions& options, const UserOptions& unchosen = UserOptions{});

    // Those values into the fields; the program's settings stay as they are.
    void RestoreDefaults();
    // What the user did, by stored name: a field restored and not changed since, or one that
    // differs from what the dialog opened with.
    OptionEdits Edits() const;
    // "Exit after synchronization." is offered only with daily synchronisation; otherwise
    // it is cleared.
    bool ExitAfterOffered() const;
    void ApplyExitAfterRule();
    UserOptions Result() const;
    // OK turned "Only secure time servers" on: the catalogue may need secure servers.
    bool TurnedOnlySecureOn() const { return onlySecure && !opened_.onlySecure; }

    // Bound to the dialog's controls.
    int period = Settings::kDaily;
    bool showIcon = false;
    bool exitAfter = false;
    int minutes = 0;
    int maxDays = 0;
    int seconds = 0;
    int timeOut = 0;
    int maxDiff = 0;
    bool onlySecure = false;
    int direction = 0;

  private:
    UserOptions opened_;
    UserOptions unchosen_;
    std::optional<UserOptions> restored_;
};
