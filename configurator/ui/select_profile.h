// The Select Profile dialog's Windows-free part: which target it pre-selects and what OK
// stores.
#pragma once

#include "model/button_assignment.h"

#include <cstdint>

// The profile to pre-select: the stored target of a profile switch, otherwise the profile
// shown. Either way 0..4: a target or a shown profile outside that range (a corrupt block,
// the basic state) selects 0, so that OK always stores a real profile.
int32_t InitialTargetProfile(const ButtonAssignment& stored, int32_t currentProfile);
// What OK stores for the chosen target (0..4; anything else stores 0).
ButtonAssignment ProfileSwitchTo(int32_t selectedProfile);
