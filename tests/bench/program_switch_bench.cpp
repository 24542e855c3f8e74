// Program profiles: time from a foreground change to the select at the mouse, through
// TarnDesk.exe, unmodified, and the virtual mouse. Two copies of the front probe with rules
// for different profiles come to the front in turn; after each change the mouse's active
// profile is read back until it is the rule's. The figure includes the 250 ms settle, the
// profile query and the select.
//   wine build/win64/bench/program_switch_bench.exe [switches]   (default 200)
// It runs in the build's Wine prefix and leaves TarnDesk's settings key there empty.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "e2e_harness_win.h"
#include "vmouse_client_win.h"

using namespace tarn;

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Orvane\\Gaming\\Settings";
constexpr wchar_t kRulesKey[] = L"Software\\Orvane\\Gaming\\Settings\\Programs";
constexpr double kGiveUpMs = 2000.0;
// After each select: TarnDesk is idle again before the next change.
constexpr DWORD kPauseMs = 100;

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

} // namespace

int main(int argc, char** argv) {
    const int switches = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
    if (!e2e::EnterTestDesktop()) {
        std::fprintf(stderr, "cannot create the test desktop\n");
        return 1;
    }
    std::wstring error;
    if (!virt::VirtualMousePresent() && !virt::PlugVirtualMouse(e2e::VirtualDir(), &error)) {
        std::fprintf(stderr, "cannot plug the virtual mouse: %ls\n", error.c_str());
        return 1;
    }
    virt::MouseLink mouse;
    if (!mouse.Open() || !mouse.Command(TARN_VMOUSE_CLEAR_FAULTS) ||
        !mouse.Command(TARN_VMOUSE_SET_ACTIVE, 0, 0)) {
        std::fprintf(stderr, "cannot reach the virtual mouse\n");
        return 1;
    }
    // The full path without "..": the rule must name the path the system reports.
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW((e2e::TestsDir() + L"..\\tests\\").c_str(), MAX_PATH, full, nullptr);
    const std::wstring tests = full;
    const std::wstring front = tests + L"front\\";
    CreateDirectoryW(front.c_str(), nullptr);
    for (const wchar_t* name : {L"alpha.exe", L"beta.exe"}) {
        if (!CopyFileW((tests + L"tarn_front_probe.exe").c_str(), (front + name).c_str(), FALSE)) {
            std::fprintf(stderr, "cannot copy the front probe (build tarn_front_probe)\n");
            return 1;
        }
    }
    e2e::KillProcesses(L"TarnDesk.exe");
    e2e::DeleteCache();
    e2e::SetUserDword(kRulesKey, (front + L"alpha.exe").c_str(), 2);
    e2e::SetUserDword(kRulesKey, L"beta.exe", 3);
    e2e::SetUserDword(kSettingsKey, L"ProgramProfiles", 1);

    int status = 1;
    {
        e2e::Program desk(e2e::ProgramDir() + L"TarnDesk.exe", e2e::ProgramDir());
        e2e::WaitUntil([] { return e2e::ReadCachedBlock(255).has_value(); }, 30000, 20);
        e2e::Program alpha(front + L"alpha.exe", front);
        e2e::Program beta(front + L"beta.exe", front);
        HWND windows[2] = {};
        e2e::WaitUntil(
            [&] {
                windows[0] = e2e::FrontProbeWindow(alpha.Id());
                windows[1] = e2e::FrontProbeWindow(beta.Id());
                return windows[0] && windows[1];
            },
            10000);
        // Start from beta's profile, so that every switch changes it.
        if (windows[1]) {
            SetForegroundWindow(windows[1]);
            e2e::WaitUntil(
                [&] {
                    const std::optional<virt::MouseStatus> now = mouse.Status();
                    return now && now->activeProfile == 2;
                },
                3000);
        }
        const std::optional<virt::MouseStatus> start = mouse.Status();
        std::vector<double> latencies;
        int missed = 0;
        for (int i = 0; windows[0] && windows[1] && start && i < switches; ++i) {
            PumpMessagesFor(kPauseMs, 5);
            const uint32_t want = i % 2 == 0 ? 1u : 2u;
            const double changed = NowMs();
            SetForegroundWindow(windows[i % 2]);
            std::optional<virt::MouseStatus> now;
            while ((now = mouse.Status()) && now->activeProfile != want &&
                   NowMs() - changed < kGiveUpMs) {
                Sleep(1);
            }
            if (now && now->activeProfile == want) {
                latencies.push_back(NowMs() - changed);
            } else {
                ++missed;
            }
        }
        const std::optional<virt::MouseStatus> end = mouse.Status();
        if (latencies.size() >= 2 && end) {
            const long long selects =
                (static_cast<long long>(end->featureSets) - start->featureSets) -
                (static_cast<long long>(end->featureGets) - start->featureGets);
            std::printf("foreground change to select at the mouse, %zu switches (%d missed):\n"
                        "  median %.1f ms   99th percentile %.1f ms   min %.1f ms   max %.1f ms\n"
                        "  selects sent %lld (one per switch expected), settle 250 ms included\n",
                        latencies.size(), missed, Percentile(latencies, 0.5),
                        Percentile(latencies, 0.99), Percentile(latencies, 0.0),
                        Percentile(latencies, 1.0), selects);
            status = missed == 0 ? 0 : 1;
        } else {
            std::fprintf(stderr, "no switch reached the mouse\n");
        }
        if (HWND main = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"))
            PostMessageW(main, WM_COMMAND, 32771, 0);
        desk.WaitExit(10000);
    }
    e2e::KillProcesses(L"alpha.exe");
    e2e::KillProcesses(L"beta.exe");
    e2e::DeleteCache();
    return status;
}
