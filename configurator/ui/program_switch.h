// The decision behind program profiles: which profile to select once the foreground has
// settled on a program. The glue (program_switch_win.cpp) feeds it the foreground changes,
// runs the one-shot settle timer and talks to the mouse.
#pragma once

#include "settings/program_rules.h"

#include <cstdint>
#include <optional>
#include <string>

// A burst of foreground changes (Alt+Tab through several windows) settles this long after
// its last change; only then is the mouse asked and switched.
inline constexpr uint32_t kSettleDelayMs = 250;
// While another transfer holds the mouse, the pending select tries again this often.
inline constexpr uint32_t kTransferRetryMs = 50;

class ProgramSwitch {
  public:
    // The foreground moved to a window of the program at `imagePath` (empty when its process
    // could not be asked). The settle timer restarts with every change.
    void ForegroundChanged(std::wstring imagePath);
    // When the settle timer ran out: the profile the mouse should have now. Nothing while the
    // feature is off, while the program in front is the one already settled (so a profile
    // the user picked since then stays), or when neither a rule nor a desktop profile applies.
    std::optional<int> Target(const ProgramRuleSettings& settings) const;
    // The program in front has been dealt with; Target() gives nothing until it changes.
    void Settled();
    // The next Target() decides afresh for the program in front (new rules, a mouse that
    // arrived).
    void Reconsider();
    // A program has been seen in front since the start.
    bool KnowsProgramInFront() const { return seen_; }

  private:
    std::wstring inFront_;
    std::wstring settled_;
    bool seen_ = false;
    bool settledValid_ = false;
};

// Whether a select is due, given the mouse's answer to the profile query: never without a
// mouse, and not when it already has the target.
bool SelectNeeded(std::optional<int32_t> mouseProfile, int target);
