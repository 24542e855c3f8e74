// The Select Profile dialog (resource 103): the target profile of a "Select Profile" button.
#pragma once

#include <cstdint>

// The target profile the radio buttons show, 0..4; written by SelectProfileDialogProc only.
extern int32_t selectedProfile;

// At opening: loads the edited button's record into workRecord, clears workEvents and
// returns the profile to pre-select: the stored target of a profile switch, otherwise
// currentProfile. Either way the result is 0..4 (a profile outside that range selects 0).
int32_t InitialTargetProfile();
// OK: stores a profile switch to selectedProfile as the edited button's record and clears
// the button's event list.
void StoreProfileSwitch();
