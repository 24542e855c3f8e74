#include "pacing_wait.h"

#include <chrono>
#include <thread>

void SteadyClockWait::Wait(uint32_t milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (auto now = Clock::now(); now < end; now = Clock::now())
        std::this_thread::sleep_for(end - now);
}
