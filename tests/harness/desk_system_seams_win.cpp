// Compiled into every Windows test program that links TarnDesk's glue: like TarnDesk's entry
// point, it installs the system's own HID interfaces, pacing wait and transfer lock before
// main runs. Simulated mice still take over through mouseInterfaces and pacingWait.
#include "mouse_firmware.h"

namespace {

const bool systemSeamsInstalled = [] {
    InstallSystemSeams(WindowsSeams());
    return true;
}();

} // namespace
