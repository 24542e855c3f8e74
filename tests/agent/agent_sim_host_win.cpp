// TarnAgent as a test process: the real start-up and window over simulated filter drivers.
// The command line lists the devices present: "1", "2", "3" in any combination.
#include <windows.h>

#include <cwchar>

#include "agent_app.h"
#include "driver_link_win.h"
#include "sim_filter_drivers.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    auto* drivers = new SimFilterDrivers; // lives as long as the process
    for (const wchar_t* c = commandLine; c && *c; ++c) {
        if (*c >= L'1' && *c <= L'3') {
            drivers->SetPresent(*c - L'1', true);
        }
    }
    SetFilterDeviceIo(drivers);
    return AgentMain(instance);
}
