// Settle and respect logic of program profiles.
#include "program_switch.h"

#include <utility>

void ProgramSwitch::ForegroundChanged(std::wstring imagePath) {
    inFront_ = std::move(imagePath);
    seen_ = true;
}

std::optional<int> ProgramSwitch::Target(const ProgramRuleSettings& settings) const {
    if (!settings.on || !seen_) {
        return std::nullopt;
    }
    // Windows of one program (or a quick trip away and back) are no program change; a
    // profile picked on the mouse or in the Settings dialog is kept until there is one.
    if (settledValid_ && SameProgramText(inFront_, settled_)) {
        return std::nullopt;
    }
    if (const std::optional<int> ruled = RuleProfileFor(settings.rules, inFront_)) {
        return ruled;
    }
    return settings.desktopProfile;
}

void ProgramSwitch::Settled() {
    settled_ = inFront_;
    settledValid_ = seen_;
}

void ProgramSwitch::Reconsider() {
    settledValid_ = false;
}

bool SelectNeeded(std::optional<int32_t> mouseProfile, int target) {
    return mouseProfile.has_value() && *mouseProfile != target;
}
