// Private memory of the suite's programs when idle after start-up: each program is started
// from its own folder, left alone for a few seconds, measured and closed. Prints the private
// bytes the system reports, the committed private regions found by walking the address space
// (Wine 8 reports no private bytes for other processes, so this is the figure there) and the
// working set.
//
// With --idle SECONDS it then counts the program's wake-ups over that span: the context
// switches of every thread of its process, as the Linux kernel counts them under Wine
// (/proc/PID/task/TID/status: voluntary = the thread blocked after running, which an idle
// thread does once per wake-up; involuntary = it was preempted while running). Any timer,
// poll or message that wakes a thread of the program shows up there, Wine's own threads of
// the process included. Windows keeps no such count a program may read this simply, so
// outside Wine the line says so.
//
// With --program-profiles 1 TarnDesk's program profiles are switched on (with one rule) for
// the run and back off afterwards: its foreground hook must cost no wake-up while the program
// in front stays the same.
//
// Usage: idle_memory_bench [--settle SECONDS] [--idle SECONDS] [--program-profiles 0|1]
//                          PROGRAM...   (defaults 3 s, 0 s, 0)
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "test_harness_win.h"

namespace {

struct CloseContext {
    DWORD processId;
};

BOOL CALLBACK CloseWindowsOf(HWND window, LPARAM param) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == reinterpret_cast<CloseContext*>(param)->processId) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Committed memory of the process that no other process shares: private allocations (heaps,
// stacks) plus image pages it has written (copy-on-write).
SIZE_T CommittedPrivate(HANDLE process) {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    const unsigned char* at = nullptr;
    while (VirtualQueryEx(process, at, &region, sizeof(region)) == sizeof(region)) {
        const DWORD writable = PAGE_READWRITE | PAGE_EXECUTE_READWRITE;
        if (region.State == MEM_COMMIT &&
            (region.Type == MEM_PRIVATE ||
             (region.Type == MEM_IMAGE && (region.Protect & writable) != 0))) {
            total += region.RegionSize;
        }
        at = static_cast<const unsigned char*>(region.BaseAddress) + region.RegionSize;
        if (at < static_cast<const unsigned char*>(region.BaseAddress)) {
            break;
        }
    }
    return total;
}

// ---- Wake-ups, through the Linux /proc that Wine shows as drive Z: ----

bool ReadUnixFile(const std::string& path, std::string* text) {
    const std::string dos = "Z:" + path; // Wine maps Z: to the Unix root
    FILE* file = std::fopen(dos.c_str(), "rb");
    if (!file) {
        return false;
    }
    text->clear();
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text->append(buffer, n);
    }
    std::fclose(file);
    return true;
}

std::vector<std::string> UnixDirectory(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(("Z:" + path + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (found.cFileName[0] >= '0' && found.cFileName[0] <= '9') {
            names.emplace_back(found.cFileName);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// Field 22 of /proc/PID/stat: start time in clock ticks after boot.
unsigned long long StartTicks(const std::string& pid) {
    std::string stat;
    if (!ReadUnixFile("\\proc\\" + pid + "\\stat", &stat)) {
        return 0;
    }
    const size_t close = stat.rfind(')'); // the name in brackets may hold spaces
    if (close == std::string::npos) {
        return 0;
    }
    const char* at = stat.c_str() + close + 1;
    for (int field = 3; field < 22 && *at; ++field) {
        at = std::strchr(at + 1, ' ');
        if (!at) {
            return 0;
        }
    }
    return std::strtoull(at, nullptr, 10);
}

// The Unix process Wine runs the program in: Wine shows the program's Windows path as the
// process's first argument. The newest such process, so an older copy is not taken for it;
// a process that shows only the same file name counts when none shows the whole path.
std::string UnixPidOf(const std::wstring& program) {
    std::string path;
    for (wchar_t c : program) {
        path += c < 0x80 ? static_cast<char>(c) : '?';
    }
    path = Lower(path);
    const std::string name = path.substr(path.rfind('\\') + 1);
    std::string best;
    unsigned long long bestStart = 0;
    bool bestExact = false;
    for (const std::string& pid : UnixDirectory("\\proc")) {
        std::string cmdline;
        if (!ReadUnixFile("\\proc\\" + pid + "\\cmdline", &cmdline) || cmdline.empty()) {
            continue;
        }
        const std::string first = Lower(cmdline.substr(0, cmdline.find('\0')));
        const bool exact = first == path;
        const bool sameName =
            first.size() > name.size() &&
            first.compare(first.size() - name.size() - 1, std::string::npos, "\\" + name) == 0;
        if (!exact && !sameName) {
            continue;
        }
        const unsigned long long start = StartTicks(pid);
        if (best.empty() || (exact && !bestExact) || (exact == bestExact && start > bestStart)) {
            best = pid;
            bestStart = start;
            bestExact = exact;
        }
    }
    return best;
}

unsigned long long FieldOf(const std::string& status, const char* name) {
    const size_t at = status.find(name);
    return at == std::string::npos
               ? 0
               : std::strtoull(status.c_str() + at + std::strlen(name), nullptr, 10);
}

// Per thread id: voluntary + involuntary switches so far.
struct ThreadCount {
    std::string tid, name;
    unsigned long long voluntary, involuntary;
};

std::vector<ThreadCount> CountSwitches(const std::string& pid) {
    std::vector<ThreadCount> counts;
    const std::string task = "\\proc\\" + pid + "\\task";
    for (const std::string& tid : UnixDirectory(task)) {
        std::string status;
        if (!ReadUnixFile(task + "\\" + tid + "\\status", &status)) {
            continue;
        }
        std::string name;
        const size_t at = status.find("Name:\t");
        if (at != std::string::npos) {
            name = status.substr(at + 6, status.find('\n', at) - at - 6);
        }
        counts.push_back({tid, name, FieldOf(status, "voluntary_ctxt_switches:"),
                          FieldOf(status, "nonvoluntary_ctxt_switches:")});
    }
    return counts;
}

void MeasureWakeUps(const std::wstring& program, DWORD idleMs) {
    const std::string pid = UnixPidOf(program);
    if (pid.empty()) {
        wprintf(L"  wake-ups: not measurable here (no Linux /proc entry for the program; the "
                L"count needs Wine)\n");
        return;
    }
    const std::vector<ThreadCount> before = CountSwitches(pid);
    Sleep(idleMs);
    const std::vector<ThreadCount> after = CountSwitches(pid);
    unsigned long long voluntary = 0, involuntary = 0;
    std::string woken;
    for (const ThreadCount& a : after) {
        unsigned long long v = a.voluntary, i = a.involuntary;
        for (const ThreadCount& b : before) {
            if (b.tid == a.tid) {
                v -= b.voluntary;
                i -= b.involuntary;
            }
        }
        voluntary += v;
        involuntary += i;
        if (v + i > 0) {
            woken += " " + a.tid + " (" + a.name + "): " + std::to_string(v) + "+" +
                     std::to_string(i) + ";";
        }
    }
    wprintf(L"  idle %lu s: %llu wake-ups (context switches of its %zu threads, Linux pid %hs: "
            L"%llu voluntary, %llu involuntary)%hs%hs\n",
            idleMs / 1000, voluntary, after.size(), pid.c_str(), voluntary, involuntary,
            woken.empty() ? "" : "\n   woken:", woken.c_str());
}

void Measure(const std::wstring& program, DWORD settleMs, DWORD idleMs) {
    const std::wstring folder = program.substr(0, program.rfind(L'\\'));
    DWORD processId = 0;
    const UniqueHandle process =
        RunDetached(L"\"" + program + L"\"", nullptr, folder.c_str(), &processId);
    if (!process) {
        wprintf(L"%-60ls could not start (error %lu)\n", program.c_str(), GetLastError());
        return;
    }
    if (WaitForSingleObject(process.Get(), settleMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.Get(), &code);
        wprintf(L"%-60ls ended during start-up (exit code %lu)\n", program.c_str(), code);
    } else {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof(counters);
        if (GetProcessMemoryInfo(process.Get(),
                                 reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof(counters))) {
            wprintf(L"%ls\n  private bytes %8.1f KiB   committed private regions %8.1f KiB   "
                    L"working set %8.1f KiB\n",
                    program.c_str(), static_cast<double>(counters.PrivateUsage) / 1024.0,
                    static_cast<double>(CommittedPrivate(process.Get())) / 1024.0,
                    static_cast<double>(counters.WorkingSetSize) / 1024.0);
        } else {
            wprintf(L"%-60ls no memory counters (error %lu)\n", program.c_str(), GetLastError());
        }
        if (idleMs > 0) {
            MeasureWakeUps(program, idleMs);
        }
        CloseContext context{processId};
        EnumWindows(CloseWindowsOf, reinterpret_cast<LPARAM>(&context));
        if (WaitForSingleObject(process.Get(), 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process.Get(), 1);
        }
    }
}

constexpr wchar_t kDeskSettingsKey[] = L"Software\\Orvane\\Gaming\\Settings";
constexpr wchar_t kDeskRulesKey[] = L"Software\\Orvane\\Gaming\\Settings\\Programs";
constexpr wchar_t kSwitchValue[] = L"ProgramProfiles";
constexpr wchar_t kBenchRule[] = L"tarn-bench-program.exe";

// Switches TarnDesk's program profiles on or off in the user's settings; on adds one rule.
void SetProgramProfiles(bool on) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDeskSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        const DWORD value = on ? 1 : 0;
        RegSetValueExW(key, kSwitchValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
        RegCloseKey(key);
    }
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDeskRulesKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        const DWORD profile = 2;
        if (on) {
            RegSetValueExW(key, kBenchRule, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&profile),
                           sizeof(profile));
        } else {
            RegDeleteValueW(key, kBenchRule);
        }
        RegCloseKey(key);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    DWORD settleMs = 3000, idleMs = 0;
    bool programProfiles = false;
    int first = 1;
    while (first + 1 < argc && argv[first][0] == L'-') {
        const DWORD ms = static_cast<DWORD>(std::wcstoul(argv[first + 1], nullptr, 10) * 1000);
        if (std::wcscmp(argv[first], L"--settle") == 0) {
            settleMs = ms;
        } else if (std::wcscmp(argv[first], L"--idle") == 0) {
            idleMs = ms;
        } else if (std::wcscmp(argv[first], L"--program-profiles") == 0) {
            programProfiles = std::wcscmp(argv[first + 1], L"1") == 0;
        } else {
            break;
        }
        first += 2;
    }
    if (first >= argc) {
        fwprintf(stderr, L"usage: idle_memory_bench [--settle SECONDS] [--idle SECONDS] "
                         L"[--program-profiles 0|1] PROGRAM...\n");
        return 2;
    }
    if (programProfiles) {
        SetProgramProfiles(true);
        wprintf(L"TarnDesk's program profiles: on (foreground hook, one rule)\n");
    }
    for (int i = first; i < argc; ++i) {
        Measure(argv[i], settleMs, idleMs);
    }
    if (programProfiles) {
        SetProgramProfiles(false);
    }
    return 0;
}
