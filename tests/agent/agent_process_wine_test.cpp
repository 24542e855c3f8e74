// TarnAgent as a process: one agent at a time, and no agent without a device.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "test_harness_win.h"

namespace {

constexpr wchar_t kClass[] = L"TarnAgentClass";
constexpr wchar_t kName[] = L"TarnAgentWnd";

struct Started {
    HANDLE process = nullptr;
    DWORD id = 0;
};

Started StartHost(const wchar_t* devices) {
    std::wstring command = L"\"" + BesideTests(L"agent_sim_host.exe") + L"\" " + devices;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    Started started;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
        CloseHandle(info.hThread);
        started.process = info.hProcess;
        started.id = info.dwProcessId;
    }
    return started;
}

HWND WaitForAgentWindow(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (HWND window = FindWindowW(kClass, kName)) {
            return window;
        }
        Sleep(20);
    }
    return nullptr;
}

int CountAgentWindows() {
    int count = 0;
    EnumWindows(
        [](HWND window, LPARAM counter) -> BOOL {
            wchar_t className[64] = {}, name[64] = {};
            GetClassNameW(window, className, 64);
            GetWindowTextW(window, name, 64);
            if (wcscmp(className, kClass) == 0 && wcscmp(name, kName) == 0) {
                ++*reinterpret_cast<int*>(counter);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// The control panel that a second start opens is ours to close again: the processes it
// started, found by their parent's id.
void EndChildrenOf(DWORD parent) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent) {
            EndChildrenOf(entry.th32ProcessID);
            if (HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(child, 0);
                CloseHandle(child);
            }
        }
    }
    CloseHandle(snapshot);
}

// What the agent host asked the shell to start, one line per start.
std::vector<std::string> ShellStarts() {
    std::vector<std::string> lines;
    FILE* f = _wfopen(BesideTests(L"shell_starts.log").c_str(), L"rb");
    if (f == nullptr) {
        return lines;
    }
    char line[600];
    while (fgets(line, sizeof line, f) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        lines.push_back(text);
    }
    fclose(f);
    return lines;
}

DWORD WaitExit(const Started& started, DWORD timeoutMs) {
    if (WaitForSingleObject(started.process, timeoutMs) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(started.process, &code);
    return code;
}

} // namespace

TEST(AgentProcess, WithoutAnyDeviceItEndsAtOnceWithCodeZero) {
    ASSERT_EQ(nullptr, FindWindowW(kClass, kName)) << "an agent is already running";
    const auto before = std::chrono::steady_clock::now();
    Started host = StartHost(L"");
    ASSERT_NE(nullptr, host.process);
    EXPECT_EQ(0u, WaitExit(host, 10000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    EXPECT_EQ(nullptr, FindWindowW(kClass, kName));
    CloseHandle(host.process);
}

TEST(AgentProcess, SecondStartLeavesOneAgentAndExitEndsIt) {
    ASSERT_EQ(nullptr, FindWindowW(kClass, kName)) << "an agent is already running";
    Started first = StartHost(L"1");
    ASSERT_NE(nullptr, first.process);
    HWND window = WaitForAgentWindow(10000);
    ASSERT_NE(nullptr, window);

    DeleteFileW(BesideTests(L"shell_starts.log").c_str());
    Started second = StartHost(L"1 2 3");
    ASSERT_NE(nullptr, second.process);
    EXPECT_EQ(0u, WaitExit(second, 10000));
    // It opened the Mouse control panel, once; the running agent started nothing.
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(ShellStarts(),
              (std::vector<std::string>{std::string("rundll32.exe shell32.dll,Control_RunDLL ") +
                                        system + "\\main.cpl"}));
    EndChildrenOf(second.id);
    EXPECT_EQ(1, CountAgentWindows());
    EXPECT_EQ(window, FindWindowW(kClass, kName)) << "the running agent was replaced";
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), WaitExit(first, 0));

    PostMessageW(window, WM_COMMAND, 105, 0);
    EXPECT_EQ(0u, WaitExit(first, 10000));
    EXPECT_EQ(nullptr, FindWindowW(kClass, kName));
    CloseHandle(first.process);
    CloseHandle(second.process);
}
