#include "select_profile.h"

int32_t InitialTargetProfile(const ButtonAssignment& stored, int32_t currentProfile) {
    if (stored.kind == AssignmentKind::ProfileSwitch && IsProfileIndex(stored.param)) {
        return stored.param;
    }
    return IsProfileIndex(currentProfile) ? currentProfile : 0;
}

ButtonAssignment ProfileSwitchTo(int32_t selectedProfile) {
    return ButtonAssignment::ProfileSwitch(IsProfileIndex(selectedProfile) ? selectedProfile : 0);
}
