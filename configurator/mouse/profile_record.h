// The configurator's view of the mouse's memory images: button records, event lists and
// the per-profile resolution records, and the program-wide working storage.
#pragma once

#include "button_assignment.h"
#include "memory_image.h"

#include <cstddef>
#include <cstdint>

// Program-wide working storage (one instance each).
// The profile the Settings dialog shows and edits (0..4, or 5 in the mouse's basic state);
// written by SettingsDialogProc only: QueryProfile (the mouse's answer) and the profile buttons.
extern int32_t currentProfile;
// The shown profile's block: loaded by RefreshSettingsDialog and the profile buttons, and
// edited by EncodeButtonFunction, the Recorder's Apply and Select Profile's OK.
extern uint8_t profileBlock[kBlockLength];
// Written by the tray (SyncCacheFromDevice, ResetToDefault), SettingsDialogProc's trackbars
// (WriteResolution) and the command line's Import.
extern uint8_t headerBlock[kBlockLength];
// Written by SettingsDialogProc only: DecodeButtonFunctions and the function boxes.
extern int32_t buttonChoices[kButtonCount];
// Scratch for one button's record and events, written by EncodeButtonFunction (Settings
// dialog), the Recorder (recorder.cpp) and Select Profile (select_profile.cpp).
extern uint8_t workRecord[4];
extern uint8_t workEvents[kEventListLength];

void WriteResolution(uint8_t* header, int profile, int stepX, int stepY);

// Record n and, for choices 0..6, the event list of button n in profileBlock.
void EncodeButtonFunction(int button);
// Sets buttonChoices from records 0..6 of profileBlock.
void DecodeButtonFunctions();
// The defaults that "Reset to Default" writes: the seven records of profile i into a zeroed
// profile block, and profile i's ProfileSettings in a header block (bytes 5-7 kept).
void WriteDefaultProfile(int profile, uint8_t* block);
void WriteDefaultProfileSettings(int profile, uint8_t* header);
