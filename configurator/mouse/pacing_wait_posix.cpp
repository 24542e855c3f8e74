// The system's pacing wait in builds without Windows (the native test build): the steady
// clock. Windows uses pacing_wait_win.cpp.
#include "pacing_wait.h"

std::unique_ptr<PacingWait> CreateSystemPacingWait() {
    return std::make_unique<SteadyClockWait>();
}
