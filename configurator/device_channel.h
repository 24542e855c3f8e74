// The one way the configurator talks to the mouse: enumerate its HID interfaces, open each,
// run one memory-protocol operation on it, close it again.
#pragma once

#include <cstdint>

enum DeviceOperation : int {
    ReadProfile = 0,
    WriteProfile = 1,
    QueryCurrentProfile = 2,
    SelectProfile = 3,
    ReadHeader = 4,
    WriteHeader = 5,
};

// The profile the Settings dialog shows and edits (0..4, or 5 in the mouse's basic state).
extern int32_t currentProfile;

// Runs the operation on every matching HID interface that opens for reading and writing.
void RunDeviceOperation(int operation, int argument);
// True when any HID interface of the mouse is present; opens nothing.
bool IsMousePresent();
