// Wall time of the memory link against the simulated mouse with the production pacing wait:
// one 512-byte block read, one block write, and the full copy that start-up makes (five
// profiles and the header). Each figure is the median over repeats, printed as a ratio to the
// protocol's floor of 800 ms per block per interface (its fixed waits). The simulated mouse
// answers in microseconds, so the ratio shows what the waits and the walk add.
//
// Usage: memory_link_bench [repeats] [system] [load]
//   repeats: default 5; the full copy runs max(1, repeats / 2) times.
//   system:  use the system's HID mouse (the virtual mouse when it is plugged) through the
//            production SetupDi/HidD walk instead of the in-process simulated mouse.
//   load:    measure twice, quiet and then with one normal-priority busy thread per core (a
//            game using every core), and print the two side by side.
#include "mouse/mouse_session.h"
#include "mouse/memory_protocol.h"
#include "model/memory_image.h"
#include "simulated_mouse.h"

#include "busy_load.h"
#include "test_harness_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

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

// The production wait, timed: shows how much of a block's time is lateness of the waits. It
// passes the operation bracket on, so the thread runs as the program's would.
class TimedWait final : public PacingWait {
  public:
    explicit TimedWait(PacingWait& system) : system_(system) {}
    void Wait(uint32_t milliseconds) override {
        const double start = NowMs();
        system_.Wait(milliseconds);
        waitedMs += NowMs() - start;
        requestedMs += milliseconds;
    }
    void BeginOperation() override { system_.BeginOperation(); }
    void EndOperation() override { system_.EndOperation(); }
    double waitedMs = 0;
    double requestedMs = 0;

  private:
    PacingWait& system_;
};

struct Figures {
    double overshootMedian[2] = {}; // 5 ms and 50 ms waits on their own
    double overshootMax[2] = {};
    double write = 0, read = 0, copy = 0; // ms, medians
    double lateness = 0;                  // % of the requested waiting time
    uint32_t violations = 0;
    bool intact = true;
};

double Ratio(double ms, int blocks) {
    return ms / (800.0 * blocks);
}

void PrintRatio(const char* what, double ms, int blocks) {
    std::printf("%-34s %9.1f ms   floor %6.0f ms   ratio %.4f\n", what, ms, 800.0 * blocks,
                Ratio(ms, blocks));
}

Figures Run(int repeats, bool system, SimulatedMouse& mouse, MouseInterfaceSet& interfaces) {
    Figures f;
    // The waits alone, as the protocol requests them, bracketed as in an operation.
    const std::unique_ptr<PacingWait> systemWait = CreateSystemPacingWait();
    PacingWait& wait = *systemWait;
    int w = 0;
    for (uint32_t ms : {5u, 50u}) {
        std::vector<double> over;
        const PacedOperation paced(wait);
        for (int i = 0; i < 40; ++i) {
            const double start = NowMs();
            wait.Wait(ms);
            over.push_back(NowMs() - start - ms);
        }
        std::sort(over.begin(), over.end());
        f.overshootMedian[w] = Median(over);
        f.overshootMax[w] = over.back();
        std::printf("pacing wait %2u ms: overshoot median %.3f ms, min %.3f ms, max %.3f ms\n", ms,
                    Median(over), over.front(), over.back());
        ++w;
    }

    UnsharedTransferLock lock;
    // A real mouse gets its profile 0 back afterwards.
    ProfileBlock saved;
    if (system) {
        MouseSession(interfaces, wait, lock).ReadProfile(0, saved);
    }
    const uint32_t violationsBefore = mouse.firmware.pacingViolations;
    TimedWait timed(wait);
    MouseSession session(interfaces, timed, lock);
    ProfileBlock block;
    HeaderBlock header;
    for (size_t i = 0; i < kBlockLength; ++i)
        block.bytes[i] = uint8_t(i * 13 + 7);
    f.write = Measure(repeats, [&] { session.WriteProfile(0, block); });
    f.read = Measure(repeats, [&] { session.ReadProfile(0, block); });
    for (size_t i = 0; i < kBlockLength; ++i) // what was written reads back
        f.intact = f.intact && block.bytes[i] == uint8_t(i * 13 + 7);
    f.copy = Measure(std::max(1, repeats / 2), [&] {
        for (int profile = 0; profile < kProfileCount; ++profile)
            session.ReadProfile(profile, block);
        session.ReadHeader(header);
    });
    if (system) {
        MouseSession(interfaces, wait, lock).WriteProfile(0, saved);
    }
    f.lateness = 100.0 * (timed.waitedMs - timed.requestedMs) / timed.requestedMs;

    std::printf("median of %d repeats (full copy: %d)\n", repeats, std::max(1, repeats / 2));
    PrintRatio("block write (512 bytes)", f.write, 1);
    PrintRatio("block read (512 bytes)", f.read, 1);
    PrintRatio("full copy (5 profiles + header)", f.copy, 6);
    std::printf("time in pacing waits: %.1f ms for %.0f ms requested (lateness %.2f%%)\n",
                timed.waitedMs, timed.requestedMs, f.lateness);
    if (!system) {
        f.violations = mouse.firmware.pacingViolations - violationsBefore;
        std::printf("pacing violations seen by the firmware: %u\n", f.violations);
        f.intact = f.intact && f.violations == 0;
    }
    std::printf("data %s\n", f.intact ? "intact" : "DIFFERS");
    return f;
}

void PrintSideBySide(const Figures& quiet, const Figures& loaded, size_t busy) {
    std::printf("\n%-40s %12s %12s\n", "", "quiet", "loaded");
    std::printf("%-40s %12s %9zu busy\n", "(normal-priority busy threads)", "0", busy);
    const char* waits[2] = {"5 ms", "50 ms"};
    for (int w = 0; w < 2; ++w) {
        char label[64];
        std::snprintf(label, sizeof label, "pacing wait %s overshoot median, ms", waits[w]);
        std::printf("%-40s %12.3f %12.3f\n", label, quiet.overshootMedian[w],
                    loaded.overshootMedian[w]);
        std::snprintf(label, sizeof label, "pacing wait %s overshoot max, ms", waits[w]);
        std::printf("%-40s %12.3f %12.3f\n", label, quiet.overshootMax[w], loaded.overshootMax[w]);
    }
    std::printf("%-40s %12.4f %12.4f\n", "block write, ratio to floor", Ratio(quiet.write, 1),
                Ratio(loaded.write, 1));
    std::printf("%-40s %12.4f %12.4f\n", "block read, ratio to floor", Ratio(quiet.read, 1),
                Ratio(loaded.read, 1));
    std::printf("%-40s %12.4f %12.4f\n", "full copy, ratio to floor", Ratio(quiet.copy, 6),
                Ratio(loaded.copy, 6));
    std::printf("%-40s %11.2f%% %11.2f%%\n", "lateness of the pacing waits", quiet.lateness,
                loaded.lateness);
    std::printf("%-40s %12u %12u\n", "pacing violations seen by the firmware", quiet.violations,
                loaded.violations);
}

} // namespace

int main(int argc, char** argv) {
    int repeats = 5;
    bool system = false, load = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "system") == 0)
            system = true;
        else if (std::strcmp(argv[i], "load") == 0 || std::strcmp(argv[i], "--load") == 0)
            load = true;
        else
            repeats = std::max(1, std::atoi(argv[i]));
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    SimulatedMouse mouse;
    mouse.clock = [] { return uint64_t(NowMs() * 1000.0); };
    const std::unique_ptr<MouseInterfaceSet> systemInterfaces = CreateSystemMouseInterfaces();
    MouseInterfaceSet& interfaces = system ? *systemInterfaces : mouse;
    if (system) {
        SteadyClockWait unused;
        UnsharedTransferLock lock;
        if (!MouseSession(interfaces, unused, lock).IsMousePresent()) {
            std::printf("no mouse present: plug the virtual mouse first\n");
            return 2;
        }
    }
    std::printf("mouse: %s\n",
                system ? "the system's (production SetupDi/HidD walk)" : "simulated, in process");

    const Figures quiet = Run(repeats, system, mouse, interfaces);
    bool intact = quiet.intact;
    if (load) {
        BusyLoad busy;
        std::printf("\nwith %zu normal-priority busy threads (%u cores):\n", busy.Threads(),
                    BusyLoad::Cores());
        const Figures loaded = Run(repeats, system, mouse, interfaces);
        const size_t threads = busy.Threads();
        intact = intact && loaded.intact;
        PrintSideBySide(quiet, loaded, threads);
    }
    return intact ? 0 : 1;
}
