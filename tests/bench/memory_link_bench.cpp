// Wall time of the memory link against the simulated mouse with the production pacing wait:
// one 512-byte block read, one block write, and the full copy that start-up makes (five
// profiles and the header). Each figure is the median over repeats, printed as a ratio to the
// protocol's floor of 800 ms per block per interface (its fixed waits). The simulated mouse
// answers in microseconds, so the ratio shows what the waits and the walk add.
//
// Usage: memory_link_bench [repeats] [system]
//   repeats: default 5; the full copy runs max(1, repeats / 2) times.
//   system:  use the system's HID mouse (the virtual mouse when it is plugged) through the
//            production SetupDi/HidD walk instead of the in-process simulated mouse.
#include "device_channel.h"
#include "memory_protocol.h"
#include "profile_record.h"
#include "simulated_mouse.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Measure(int repeats, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const double start = NowMs();
        run();
        times.push_back(NowMs() - start);
    }
    return Median(times);
}

// The production wait, timed: shows how much of a block's time is lateness of the waits.
class TimedWait final : public PacingWait {
  public:
    void Wait(uint32_t milliseconds) override {
        const double start = NowMs();
        SystemPacingWait().Wait(milliseconds);
        waitedMs += NowMs() - start;
        requestedMs += milliseconds;
    }
    double waitedMs = 0;
    double requestedMs = 0;
};

void PrintRatio(const char* what, double ms, int blocks) {
    const double floor = 800.0 * blocks;
    std::printf("%-34s %9.1f ms   floor %6.0f ms   ratio %.4f\n", what, ms, floor, ms / floor);
}

} // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const bool system = argc > 2 && std::strcmp(argv[2], "system") == 0;
    SimulatedMouse mouse;
    mouse.clock = [] { return uint64_t(NowMs() * 1000.0); };
    if (!system)
        mouseInterfaces = &mouse;
    else if (!IsMousePresent()) {
        std::printf("no mouse present: plug the virtual mouse first\n");
        return 2;
    }
    std::printf("mouse: %s\n",
                system ? "the system's (production SetupDi/HidD walk)" : "simulated, in process");

    // The waits alone, as the protocol requests them.
    PacingWait& wait = SystemPacingWait();
    for (uint32_t ms : {5u, 50u}) {
        std::vector<double> over;
        for (int i = 0; i < 40; ++i) {
            const double start = NowMs();
            wait.Wait(ms);
            over.push_back(NowMs() - start - ms);
        }
        std::sort(over.begin(), over.end());
        std::printf("pacing wait %2u ms: overshoot median %.3f ms, min %.3f ms, max %.3f ms\n", ms,
                    Median(over), over.front(), over.back());
    }

    // A real mouse gets its profile 0 back afterwards.
    uint8_t saved[kBlockLength] = {};
    if (system) {
        RunDeviceOperation(ReadProfile, 0);
        std::memcpy(saved, profileBlock, sizeof saved);
    }
    TimedWait timed;
    pacingWait = &timed;
    for (size_t i = 0; i < kBlockLength; ++i)
        profileBlock[i] = uint8_t(i * 13 + 7);
    const double write = Measure(repeats, [] { RunDeviceOperation(WriteProfile, 0); });
    const double read = Measure(repeats, [] { RunDeviceOperation(ReadProfile, 0); });
    bool intact = true; // what was written reads back
    for (size_t i = 0; i < kBlockLength; ++i)
        intact = intact && profileBlock[i] == uint8_t(i * 13 + 7);
    const double copy = Measure(std::max(1, repeats / 2), [] {
        for (int profile = 0; profile < kProfileCount; ++profile)
            RunDeviceOperation(ReadProfile, profile);
        RunDeviceOperation(ReadHeader, 0);
    });
    pacingWait = nullptr;
    if (system) {
        std::memcpy(profileBlock, saved, sizeof saved);
        RunDeviceOperation(WriteProfile, 0);
    }
    mouseInterfaces = nullptr;

    std::printf("median of %d repeats (full copy: %d)\n", repeats, std::max(1, repeats / 2));
    PrintRatio("block write (512 bytes)", write, 1);
    PrintRatio("block read (512 bytes)", read, 1);
    PrintRatio("full copy (5 profiles + header)", copy, 6);
    std::printf("time in pacing waits: %.1f ms for %.0f ms requested (lateness %.2f%%)\n",
                timed.waitedMs, timed.requestedMs,
                100.0 * (timed.waitedMs - timed.requestedMs) / timed.requestedMs);
    if (!system) {
        std::printf("pacing violations seen by the firmware: %u\n",
                    mouse.firmware.pacingViolations);
        intact = intact && mouse.firmware.pacingViolations == 0;
    }
    std::printf("data %s\n", intact ? "intact" : "DIFFERS");
    return intact ? 0 : 1;
}
