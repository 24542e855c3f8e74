// The Select Profile dialog (103); the logic is in select_profile.h.
#pragma once

#include "model/button_assignment.h"
#include "desk_services.h"

#include <windows.h>

#include <optional>

// Runs the dialog modally over `owner` for a button showing `stored` in profile
// `currentProfile`; the profile switch OK stores, none when cancelled.
std::optional<ButtonAssignment> RunSelectProfile(HWND owner, const DeskServices& desk,
                                                 const ButtonAssignment& stored,
                                                 int32_t currentProfile);
