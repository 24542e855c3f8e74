// TarnWake, unmodified, against the virtual mouse: an arrival of the mouse's configuration
// interface starts the command of the Run key once, and not while an agent window exists.
#include <gtest/gtest.h>

#include "e2e_harness_win.h"
#include "e2e_mouse.h"

namespace tarn::e2e {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// TarnWake, a 32-bit program, reads the 32-bit view, where the installer writes the agent's
// command; this test program is 64-bit, so it names that view.
void SetRunCommand(const std::wstring& command) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (command.empty())
        RegDeleteValueW(key, L"TarnAgent");
    else
        RegSetValueExW(key, L"TarnAgent", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

DWORD ProbeStarts() {
    DWORD starts = 0, size = sizeof(starts);
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\TarnE2E", L"ProbeStarts", RRF_RT_REG_DWORD, nullptr,
                 &starts, &size);
    return starts;
}

void ResetProbeStarts() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\TarnE2E", L"ProbeStarts");
}

void CloseAgentWindows() {
    KillProcesses(L"tarn_agent_probe.exe");
    for (int i = 0; i < 10; ++i) {
        HWND agent = FindWindowW(L"TarnAgentClass", L"TarnAgentWnd");
        if (!agent)
            return;
        PostMessageW(agent, WM_CLOSE, 0, 0);
        WaitUntil([&] { return !IsWindow(agent); }, 3000);
    }
}

class LauncherEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        CloseAgentWindows();
        KillProcesses(L"TarnAgent.exe");
        KillProcesses(L"TarnWake.exe");
        ResetProbeStarts();
        ASSERT_TRUE(EnsureUnplugged());
        wakePath_ = LauncherDir() + L"TarnWake.exe";
        ASSERT_NE(GetFileAttributesW(wakePath_.c_str()), INVALID_FILE_ATTRIBUTES)
            << "TarnWake.exe is not built";
    }
    void TearDown() override {
        CloseAgentWindows();
        KillProcesses(L"TarnAgent.exe");
        SetRunCommand(L"");
        if (HWND wake = FindWindowW(L"TarnWakeClass", L"TarnWakeWnd"))
            PostMessageW(wake, WM_CLOSE, 0, 0);
        EnsurePlugged();
    }

    Program StartWake() {
        Program wake(wakePath_, LauncherDir());
        EXPECT_TRUE(wake.Started());
        EXPECT_NE(WaitWindow(L"TarnWakeClass", L"TarnWakeWnd", 10000), nullptr);
        return wake;
    }

    std::wstring wakePath_;
};

TEST_F(LauncherEndToEnd, ArrivalStartsTheAgentOnceAndNotWhileOneRuns) {
    SetRunCommand(TestsDir() + L"tarn_agent_probe.exe");
    Program wake = StartWake();

    ASSERT_TRUE(EnsurePlugged());
    EXPECT_TRUE(WaitUntil([] { return ProbeStarts() == 1; }, 10000)) << "starts: " << ProbeStarts();
    EXPECT_NE(WaitWindow(L"TarnAgentClass", L"TarnAgentWnd", 5000), nullptr);
    SaveScreenshot(L"launcher_after_arrival");

    // The agent's window exists now: the next arrival starts nothing.
    ASSERT_TRUE(EnsureUnplugged());
    ASSERT_TRUE(EnsurePlugged());
    PumpMessagesFor(1500, 2);
    EXPECT_EQ(ProbeStarts(), 1u);

    // With the agent gone, the next arrival starts it again.
    CloseAgentWindows();
    ASSERT_TRUE(EnsureUnplugged());
    ASSERT_TRUE(EnsurePlugged());
    EXPECT_TRUE(WaitUntil([] { return ProbeStarts() == 2; }, 10000)) << "starts: " << ProbeStarts();
    EXPECT_NE(WaitWindow(L"TarnAgentClass", L"TarnAgentWnd", 5000), nullptr);
    EXPECT_NE(WaitWindow(L"TarnAgentClass", L"TarnAgentWnd", 5000), nullptr);

    HWND window = FindWindowW(L"TarnWakeClass", L"TarnWakeWnd");
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(wake.WaitExit(5000));
}

TEST_F(LauncherEndToEnd, RemovalStartsNothing) {
    SetRunCommand(TestsDir() + L"tarn_agent_probe.exe");
    ASSERT_TRUE(EnsurePlugged());
    Program wake = StartWake();
    ASSERT_TRUE(EnsureUnplugged());
    PumpMessagesFor(1000, 2);
    EXPECT_EQ(ProbeStarts(), 0u);
}

TEST_F(LauncherEndToEnd, ArrivalStartsTheRealAgentOnce) {
    SetRunCommand(ProgramDir() + L"TarnAgent.exe");
    Program wake = StartWake();
    ASSERT_TRUE(EnsurePlugged());
    EXPECT_NE(WaitWindow(L"TarnAgentClass", L"TarnAgentWnd", 10000), nullptr);
    SaveScreenshot(L"launcher_started_agent");
    ASSERT_TRUE(EnsureUnplugged());
    ASSERT_TRUE(EnsurePlugged());
    PumpMessagesFor(1500, 2);
    EXPECT_EQ(CountProcesses(L"TarnAgent.exe"), 1);
}

} // namespace
} // namespace tarn::e2e
