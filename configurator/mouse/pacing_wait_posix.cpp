// The system's pacing wait in builds without Windows (the native test build): the steady
// clock. Windows uses pacing_wait_win.cpp.
#include "memory_protocol.h"

PacingWait& SystemPacingWait() {
    return SteadyClockPacingWait();
}
