// The recorder dialog (102) and its low-level keyboard hook; the logic is in recorder.h.
#pragma once

#include "model/button_assignment.h"
#include "desk_services.h"

#include <windows.h>

#include <optional>

// Runs the recorder modally over `owner` for `button` with `function` (7, 8 or 9), showing
// what `stored` holds. The button's new assignment after Apply; nothing after Cancel.
std::optional<ButtonAssignment> RunRecorder(HWND owner, const DeskServices& desk, int button,
                                            ButtonFunction function,
                                            const ButtonAssignment& stored);
