// The Select Profile dialog (103); the logic is in select_profile.h.
#pragma once

#include "model/button_assignment.h"
#include "desk_services.h"

#include <windows.h>

#include <optional>
#include <string>

// "Profile 1".."Profile 5" as Select Profile names them (`profile` 0..4), for the other
// dialogs that offer the five profiles.
std::wstring ProfileChoiceName(const TextSettings& texts, int profile);

// Runs the dialog modally over `owner` for a button showing `stored` in profile
// `currentProfile`; the profile switch OK stores, none when cancelled.
std::optional<ButtonAssignment> RunSelectProfile(HWND owner, const DeskServices& desk,
                                                 const ButtonAssignment& stored,
                                                 int32_t currentProfile);
