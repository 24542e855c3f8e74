// Event-to-action latency of TarnAgent and the records it loses at the fastest rate, in-process
// with the simulated filter drivers: the real window procedure, readers, record hand-off and
// dispatcher; the action is observed as the key it injects, seen by a low-level keyboard hook.
//   wine build/win64/bench/agent_event_bench.exe [events]
// With --virtual the agent opens the OS-level virtual filter drivers through the production
// device seam, and the records are injected into that kernel driver from this process.
//   wine build/win64/bench/agent_event_bench.exe --virtual [events]
// With --load everything is measured twice, quiet and then with one normal-priority busy
// thread per core (a game using every core), and the figures are printed side by side.
//   wine build/win64/bench/agent_event_bench.exe [--virtual] --load [events]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "agent_app.h"
#include "busy_load.h"
#include "device_install_win.h"
#include "driver_link_win.h"
#include "filter_client_win.h"
#include "sim_filter_drivers.h"
#include "test_harness_win.h"

namespace {

LARGE_INTEGER frequency;
volatile LONGLONG lastKeyAt = 0;
volatile LONG keysSeen = 0;

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Ms(LONGLONG ticks) {
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

LRESULT CALLBACK WatchKeys(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        if (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) {
            lastKeyAt = Now();
            InterlockedIncrement(&keysSeen);
        }
        return 1; // the benchmark's keys go nowhere
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// True once `keys` injected keys were seen, pumping meanwhile.
bool KeysSeenWithin(LONG keys, DWORD timeoutMs) {
    return PumpUntil([keys] { return keysSeen >= keys; }, timeoutMs, 1);
}

struct Latency {
    size_t count = 0;
    double median = 0, p99 = 0, max = 0;
    int timeouts = 0;
};

Latency Report(const char* what, std::vector<double>& samples, int timeouts) {
    Latency l;
    l.timeouts = timeouts;
    if (samples.empty()) {
        std::printf("%-44s no samples (%d timed out)\n", what, timeouts);
        return l;
    }
    std::sort(samples.begin(), samples.end());
    l.count = samples.size();
    l.median = samples[samples.size() / 2];
    l.p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
    l.max = samples.back();
    std::printf("%-44s n=%zu median %.3f ms  p99 %.3f ms  max %.3f ms  timeouts %d\n", what,
                l.count, l.median, l.p99, l.max, timeouts);
    return l;
}

// What one pass measures; a pass runs quiet or under load.
struct Figures {
    Latency hid;                                   // HID upper filter record -> key
    Latency tarn;                                  // HID lower filter key code -> Ctrl down
    long long lostQueueing = 0, lostOneRecord = 0; // by the agent, at the fastest rate
    unsigned long long droppedQueueing = 0, droppedOneRecord = 0; // by the simulated drivers
    int highestRateWithoutLoss = 0;                               // one-record driver, paced
};

void PrintLatencyRows(const char* what, const Latency& quiet, const Latency& loaded) {
    char label[96];
    std::snprintf(label, sizeof label, "%s median, ms", what);
    std::printf("%-52s %10.3f %10.3f\n", label, quiet.median, loaded.median);
    std::snprintf(label, sizeof label, "%s p99, ms", what);
    std::printf("%-52s %10.3f %10.3f\n", label, quiet.p99, loaded.p99);
    std::printf("%-52s %10.3f %10.3f\n", "  max, ms", quiet.max, loaded.max);
    std::printf("%-52s %10d %10d\n", "  timed out (1 s)", quiet.timeouts, loaded.timeouts);
}

void PrintHeader(size_t busy) {
    std::printf("\n%-52s %10s %10s\n", "", "quiet", "loaded");
    std::printf("%-52s %10d %10zu\n", "normal-priority busy threads", 0, busy);
}

// Button 4 = action 19 (Pause); the rest do nothing.
constexpr uint32_t kButtonA = 19u << 18;

bool Inject(HANDLE device, const std::vector<uint8_t>& record) {
    DWORD returned = 0;
    return DeviceIoControl(device, TARN_SIM_IOCTL_INJECT, const_cast<uint8_t*>(record.data()),
                           static_cast<DWORD>(record.size()), nullptr, 0, &returned,
                           nullptr) != FALSE;
}

uint32_t VirtualDropped(int device) {
    const auto status = tarn::virt::QueryFilterStatus(device);
    return status ? status->dropped : 0;
}

struct VirtualFigures {
    Latency hid;
    int sent = 0;
    uint32_t dropped = 0; // by the driver's queue
    long long lost = 0;   // by the agent
};

// The agent runs on the virtual filter drivers; every record crosses the driver host twice
// (inject, then the agent's fetch).
VirtualFigures MeasureVirtual(HANDLE vell, HANDLE hidLower, int events) {
    using namespace tarn::virt;
    VirtualFigures f;
    InjectRequest request;
    request.code = 0x24;
    const std::vector<uint8_t> button4 = BuildRecord(TARN_FILTER_VELL, request);
    std::vector<double> samples;
    int timeouts = 0;
    for (int i = 0; i < events; ++i) {
        const LONG want = keysSeen + 1;
        const LONGLONG at = Now();
        if (Inject(vell, button4) && KeysSeenWithin(want, 1000)) {
            samples.push_back(Ms(lastKeyAt - at));
        } else {
            ++timeouts;
        }
    }
    f.hid = Report("virtual HID upper filter record -> key", samples, timeouts);
    PumpMessagesFor(300, 1);

    // Fastest rate: one thread injects back to back while the window thread handles.
    const std::vector<uint8_t> record = BuildRecord(TARN_FILTER_HID_LOWER, InjectRequest{});
    const uint64_t handledBefore = driverEventsHandled;
    const uint32_t droppedBefore = VirtualDropped(TARN_FILTER_HID_LOWER);
    std::atomic<bool> finished{false};
    std::atomic<int> sent{0};
    const LONGLONG start = Now();
    std::thread injector([&] {
        for (int i = 0; i < events; ++i) {
            sent += Inject(hidLower, record) ? 1 : 0;
        }
        finished = true;
    });
    while (!finished.load()) {
        PumpMessagesFor(1, 1);
    }
    injector.join();
    const LONGLONG injected = Now();
    const uint32_t dropped = VirtualDropped(TARN_FILTER_HID_LOWER) - droppedBefore;
    const uint64_t expected = static_cast<uint64_t>(sent.load()) - dropped;
    const ULONGLONG end = GetTickCount64() + 20000;
    while (driverEventsHandled - handledBefore < expected && GetTickCount64() < end) {
        PumpMessagesFor(1, 1);
    }
    const uint64_t handled = driverEventsHandled - handledBefore;
    f.sent = sent.load();
    f.dropped = dropped;
    f.lost = static_cast<long long>(expected) - static_cast<long long>(handled);
    std::printf("virtual driver, %d records back to back: injected in %.1f ms (%.0f records/s), "
                "handled %llu; lost by the driver %u, lost by the agent %lld\n",
                f.sent, Ms(injected - start), f.sent / (Ms(injected - start) / 1000.0),
                static_cast<unsigned long long>(handled), dropped, f.lost);
    PumpMessagesFor(300, 1);
    return f;
}

void RunVirtual(int events, bool load) {
    using namespace tarn::virt;
    HANDLE vell = OpenFilterDevice(TARN_FILTER_VELL);
    HANDLE hidLower = OpenFilterDevice(TARN_FILTER_HID_LOWER);
    const VirtualFigures quiet = MeasureVirtual(vell, hidLower, events);
    if (load) {
        VirtualFigures loaded;
        size_t threads = 0;
        {
            BusyLoad busy;
            threads = busy.Threads();
            std::printf("\nwith %zu normal-priority busy threads (%u cores):\n", threads,
                        BusyLoad::Cores());
            loaded = MeasureVirtual(vell, hidLower, events);
        }
        PrintHeader(threads);
        PrintLatencyRows("virtual HID upper filter record -> key", quiet.hid, loaded.hid);
        std::printf("%-52s %10lld %10lld\n", "records lost by the agent (back to back)", quiet.lost,
                    loaded.lost);
        std::printf("%-52s %10u %10u\n", "  lost by the driver's queue", quiet.dropped,
                    loaded.dropped);
        std::printf("%-52s %10d %10d\n", "  injected", quiet.sent, loaded.sent);
        std::printf("\n");
    }

    // The driver host alone: inject requests on a device nobody reads.
    SendMessageW(agentWindow, WM_COMMAND, kCmdExit, 0);
    PumpMessagesFor(50, 1);
    ResetFilterDevice(TARN_FILTER_HID_LOWER);
    const std::vector<uint8_t> record = BuildRecord(TARN_FILTER_HID_LOWER, InjectRequest{});
    const LONGLONG alone = Now();
    int accepted = 0;
    for (int i = 0; i < events; ++i) {
        accepted += Inject(hidLower, record) ? 1 : 0;
    }
    const double ms = Ms(Now() - alone);
    std::printf("driver host alone: %d inject requests in %.1f ms (%.0f requests/s)\n", accepted,
                ms, accepted / (ms / 1000.0));
    CloseHandle(vell);
    CloseHandle(hidLower);
}

// One pass over the in-process drivers: latencies, the fastest rate, the paced rates.
Figures MeasureInProcess(SimFilterDrivers* drivers, int events) {
    Figures f;
    drivers->SetSingleBuffer(0, false);
    drivers->SetSingleBuffer(1, false);
    // 1. HID upper filter: every record is an action (button 4 at once).
    std::vector<double> hid;
    int hidTimeouts = 0;
    HidEventRecord button4;
    button4.code = 0x24;
    for (int i = 0; i < events; ++i) {
        const LONG want = keysSeen + 1;
        const LONGLONG at = Now();
        drivers->InjectHidEvent(2, button4);
        if (KeysSeenWithin(want, 1000)) {
            hid.push_back(Ms(lastKeyAt - at));
        } else {
            ++hidTimeouts;
        }
    }
    f.hid = Report("HID upper filter record -> key (button 4)", hid, hidTimeouts);

    // 2. HID lower filter: key code 113, then 0; each 113 becomes Ctrl+Windows+Tab.
    std::vector<double> tarn;
    int tarnTimeouts = 0;
    EventRecord chord, idle;
    chord.keyCode = 113;
    for (int i = 0; i < events / 2; ++i) {
        const LONG want = keysSeen + 3;
        const LONGLONG at = Now();
        drivers->InjectEvent(0, chord);
        if (KeysSeenWithin(want - 2, 1000)) {
            tarn.push_back(Ms(lastKeyAt - at));
            KeysSeenWithin(want, 1000);
        } else {
            ++tarnTimeouts;
        }
        drivers->InjectEvent(0, idle);
    }
    f.tarn = Report("HID lower filter key code 113 -> Ctrl down", tarn, tarnTimeouts);

    PumpMessagesFor(300, 1);

    // 3. Fastest rate: two drivers inject as fast as they can while the window thread runs.
    for (bool single : {false, true}) {
        drivers->SetSingleBuffer(0, single);
        drivers->SetSingleBuffer(1, single);
        const uint64_t handledBefore = driverEventsHandled;
        const uint64_t droppedBefore = drivers->Dropped(0) + drivers->Dropped(1);
        EventRecord record;
        record.field0 = 1;
        const LONGLONG start = Now();
        std::atomic<int> finished{0};
        auto burst = [&](int device) {
            for (int i = 0; i < events; ++i) {
                drivers->InjectEvent(device, record);
            }
            ++finished;
        };
        std::thread a(burst, 0), b(burst, 1);
        // The window thread must keep handling while the drivers inject.
        while (finished.load() < 2) {
            PumpMessagesFor(1, 1);
        }
        a.join();
        b.join();
        const LONGLONG injected = Now();
        const uint64_t dropped = drivers->Dropped(0) + drivers->Dropped(1) - droppedBefore;
        const uint64_t expected = 2ull * static_cast<uint64_t>(events) - dropped;
        const ULONGLONG end = GetTickCount64() + 20000;
        while (driverEventsHandled - handledBefore < expected && GetTickCount64() < end) {
            PumpMessagesFor(1, 1);
        }
        const LONGLONG done = Now();
        const uint64_t handled = driverEventsHandled - handledBefore;
        const long long lost = static_cast<long long>(expected) - static_cast<long long>(handled);
        (single ? f.lostOneRecord : f.lostQueueing) = lost;
        (single ? f.droppedOneRecord : f.droppedQueueing) = dropped;
        std::printf(
            "%s driver, 2 x %d records: injected in %.1f ms (%.0f records/s), handled %llu "
            "in %.1f ms (%.0f records/s); lost by the driver %llu, lost by the agent %lld\n",
            single ? "one-record" : "queueing", events, Ms(injected - start),
            2.0 * events / (Ms(injected - start) / 1000.0),
            static_cast<unsigned long long>(handled), Ms(done - start),
            static_cast<double>(handled) / (Ms(done - start) / 1000.0),
            static_cast<unsigned long long>(dropped), lost);
        PumpMessagesFor(100, 1);
    }

    // 4. A driver with one record buffer, paced: the highest rate at which nothing is lost.
    drivers->SetSingleBuffer(0, true);
    bool clean = true;
    for (int rate : {500, 1000, 2000, 5000, 10000}) {
        const uint64_t handledBefore = driverEventsHandled;
        const uint64_t droppedBefore = drivers->Dropped(0);
        const int count = std::max(100, rate); // about one second each
        std::atomic<bool> finished{false};
        std::thread injector([&] {
            const LONGLONG step = frequency.QuadPart / rate;
            LONGLONG next = Now();
            EventRecord record;
            for (int i = 0; i < count; ++i) {
                while (Now() < next) {
                    YieldProcessor();
                }
                drivers->InjectEvent(0, record);
                next += step;
            }
            finished = true;
        });
        while (!finished.load()) {
            PumpMessagesFor(1, 1);
        }
        injector.join();
        PumpMessagesFor(300, 1);
        const uint64_t handled = driverEventsHandled - handledBefore;
        const uint64_t dropped = drivers->Dropped(0) - droppedBefore;
        clean = clean && dropped == 0 && handled == static_cast<uint64_t>(count);
        if (clean) {
            f.highestRateWithoutLoss = rate;
        }
        std::printf("one-record driver paced at %5d records/s: %d injected, %llu handled, "
                    "lost by the driver %llu\n",
                    rate, count, static_cast<unsigned long long>(handled),
                    static_cast<unsigned long long>(dropped));
    }

    return f;
}

} // namespace

int main(int argc, char** argv) {
    bool virtualDrivers = false, load = false;
    int events = 10000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--virtual") {
            virtualDrivers = true;
        } else if (arg == "--load") {
            load = true;
        } else {
            events = std::max(2, std::atoi(argv[i]));
        }
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QueryPerformanceFrequency(&frequency);
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, WatchKeys, GetModuleHandleW(nullptr), 0);
    if (!hook) {
        std::printf("no keyboard hook\n");
        return 1;
    }
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kAgentRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    DWORD buttonA = kButtonA, hadButtonA = 0, oldButtonA = 0, size = sizeof(oldButtonA);
    hadButtonA = RegQueryValueExW(key, L"buttonA", nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(&oldButtonA), &size) == ERROR_SUCCESS;
    RegSetValueExW(key, L"buttonA", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&buttonA),
                   sizeof(buttonA));

    auto* drivers = new SimFilterDrivers;
    drivers->SetPresent(0, true);
    drivers->SetPresent(1, true);
    drivers->SetPresent(2, true);
    if (virtualDrivers) {
        // The kernel driver and its tool land beside this directory, in ..\virtual.
        std::wstring error;
        if (!tarn::virt::StartFilterDrivers(tarn::virt::ToolDirectory() + L"..\\virtual\\",
                                            &error)) {
            std::printf("virtual filter drivers did not start: %ls\n", error.c_str());
            return 1;
        }
        for (int device = 0; device < TARN_FILTER_DEVICE_COUNT; ++device) {
            tarn::virt::ResetFilterDevice(device);
        }
    } else {
        SetFilterDeviceIo(drivers);
    }
    UINT wheel = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &wheel, 0);
    if (!StartAgent(GetModuleHandleW(nullptr))) {
        std::printf("agent did not start\n");
        return 1;
    }
    PumpMessagesFor(200, 1);
    if (virtualDrivers) {
        RunVirtual(events, load);
    } else {
        const Figures quiet = MeasureInProcess(drivers, events);
        if (load) {
            Figures loaded;
            size_t threads = 0;
            {
                BusyLoad busy;
                threads = busy.Threads();
                std::printf("\nwith %zu normal-priority busy threads (%u cores):\n", threads,
                            BusyLoad::Cores());
                loaded = MeasureInProcess(drivers, events);
            }
            PrintHeader(threads);
            PrintLatencyRows("HID upper filter record -> key (button 4)", quiet.hid, loaded.hid);
            PrintLatencyRows("HID lower filter key code 113 -> Ctrl down", quiet.tarn, loaded.tarn);
            std::printf("%-52s %10lld %10lld\n", "records lost by the agent, queueing driver",
                        quiet.lostQueueing, loaded.lostQueueing);
            std::printf("%-52s %10lld %10lld\n", "records lost by the agent, one-record driver",
                        quiet.lostOneRecord, loaded.lostOneRecord);
            std::printf("%-52s %10llu %10llu\n", "  lost by the one-record driver (back to back)",
                        quiet.droppedOneRecord, loaded.droppedOneRecord);
            std::printf("%-52s %10d %10d\n", "highest paced rate without loss, records/s",
                        quiet.highestRateWithoutLoss, loaded.highestRateWithoutLoss);
        }
        SendMessageW(agentWindow, WM_COMMAND, kCmdExit, 0);
        PumpMessagesFor(50, 1);
    }
    UnhookWindowsHookEx(hook);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, wheel, nullptr, 0);
    if (hadButtonA) {
        RegSetValueExW(key, L"buttonA", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&oldButtonA),
                       sizeof(oldButtonA));
    } else {
        RegDeleteValueW(key, L"buttonA");
    }
    RegCloseKey(key);
    return 0;
}
