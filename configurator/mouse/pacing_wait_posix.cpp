// The pacing wait of builds without Windows (the native test build): the standard library's
// sleep, repeated until the steady clock shows the full time. Windows uses pacing_wait_win.cpp.
#include "memory_protocol.h"

#include <chrono>
#include <thread>

namespace {

class SteadyClockWait final : public PacingWait {
  public:
    void Wait(uint32_t milliseconds) override {
        using Clock = std::chrono::steady_clock;
        const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (auto now = Clock::now(); now < end; now = Clock::now())
            std::this_thread::sleep_for(end - now);
    }
};

} // namespace

PacingWait& SystemPacingWait() {
    static SteadyClockWait wait;
    return wait;
}
