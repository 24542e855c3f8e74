// The unmodified TarnWake.exe, started as a user's session would start it, with its INF beside
// it. Arrivals come from the virtual mouse, or as WM_DEVICECHANGE messages whose broadcast
// Wine copies into the launcher's process as it does for the system's own notifications.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "launcher_fixture.h"

using namespace wake_test;

namespace {

// Runs a tool to its end; its exit code, or -1.
int RunTool(const std::wstring& program, const std::wstring& arguments) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

class ReleaseLauncher : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::wstring bin = TestProgramDirectory() + L"..\\bin\\";
        program_ = folder_.Copy(bin + L"TarnWake.exe", L"TarnWake.exe");
        inf_ = bin + L"TarnMsFlt.inf";
        agent_ = folder_.Copy(TestProgramDirectory() + L"stand_in_agent.exe", L"TarnAgent.exe");
        ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, agent_));
    }

    void TearDown() override {
        if (process_.hProcess != nullptr) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 1);
            }
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        DeleteRunValue(KEY_WOW64_32KEY);
    }

    bool Launch() {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + program_ + L"\"";
        return CreateProcessW(program_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, folder_.Path().c_str(), &startup, &process_) != FALSE;
    }

    HWND WaitForWindow() {
        for (int i = 0; i < 200; ++i) {
            HWND window = FindWindowW(L"TarnWakeClass", L"TarnWakeWnd");
            if (window != nullptr) {
                return window;
            }
            if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) {
                return nullptr;
            }
        }
        return nullptr;
    }

    DWORD WaitForExit() {
        DWORD code = 0xDEAD;
        if (WaitForSingleObject(process_.hProcess, 10000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_.hProcess, &code);
        }
        return code;
    }

    // The full path of the module `name` in the launcher's process; empty when not loaded.
    std::wstring LoadedModule(const wchar_t* name) const {
        const HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_.dwProcessId);
        if (modules == INVALID_HANDLE_VALUE) {
            return {};
        }
        std::wstring path;
        MODULEENTRY32W module = {};
        module.dwSize = sizeof(module);
        for (BOOL more = Module32FirstW(modules, &module); more && path.empty();
             more = Module32NextW(modules, &module)) {
            if (lstrcmpiW(module.szModule, name) == 0) {
                path = module.szExePath;
            }
        }
        CloseHandle(modules);
        return path;
    }

    ScratchFolder folder_;
    std::wstring program_, inf_, agent_;
    PROCESS_INFORMATION process_ = {};
};

} // namespace

TEST_F(ReleaseLauncher, WithoutInfEndsAtOnceWithCodeZero) {
    ASSERT_TRUE(Launch());
    EXPECT_EQ(WaitForExit(), 0u);
    EXPECT_EQ(FindWindowW(L"TarnWakeClass", L"TarnWakeWnd"), nullptr);
}

// Plugging the mouse: the system's own arrival when the virtual mouse (built with the 64-bit
// tools) is there, else the same broadcast sent to the launcher's window.
TEST_F(ReleaseLauncher, MousePlugStartsAgentOnceAndNotWhileItRuns) {
    const std::wstring tool = TestProgramDirectory() + L"..\\..\\win64\\virtual\\tarnmouse.exe";
    const bool virtualMouse = GetFileAttributesW(tool.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (virtualMouse) {
        RunTool(tool, L"unplug");
    }
    folder_.Copy(inf_, L"TarnMsFlt.inf");
    ASSERT_TRUE(Launch());
    HWND window = WaitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    HMODULE image = LoadLibraryExW(program_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(107), RT_GROUP_ICON), nullptr);
    EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(108), RT_GROUP_ICON), nullptr);
    FreeLibrary(image);

    // The shipped INF lists only the configuration interface.
    SendArrival(window, L"\\\\?\\hid#vid_f1d0&pid_0084&mi_00#1&0&0000#{x}");
    SendArrival(window, L"\\\\?\\hid#vid_046d&pid_c077#1&0&0000#{x}");
    EXPECT_EQ(folder_.WaitForStarts(0), 0);

    auto plug = [&] {
        if (virtualMouse) {
            ASSERT_EQ(RunTool(tool, L"plug"), 0);
        } else {
            SendArrival(window, kMousePath);
        }
    };
    plug();
    EXPECT_EQ(folder_.WaitForStarts(1), 1);
    if (virtualMouse) {
        ASSERT_EQ(RunTool(tool, L"unplug"), 0);
    }
    {
        AgentWindow agent;
        plug();
        EXPECT_EQ(folder_.WaitForStarts(1), 1) << "a replug while the agent runs starts nothing";
    }
    if (virtualMouse) {
        RunTool(tool, L"unplug");
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(), 0u);
}

// A hid.dll that a user without rights planted beside the program, its current folder: the
// launcher asks HID for its interface class at start and must get the system's DLL.
TEST_F(ReleaseLauncher, UsesTheSystemsHidDllNotOnePlantedBesideIt) {
    folder_.Copy(inf_, L"TarnMsFlt.inf");
    const std::wstring planted =
        folder_.Copy(TestProgramDirectory() + L"planted\\hid.dll", L"hid.dll");
    ASSERT_TRUE(Launch());
    ASSERT_NE(WaitForWindow(), nullptr);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    // The window comes first, the HID registration right after it.
    std::wstring loaded;
    for (int i = 0; i < 100 && (loaded = LoadedModule(L"hid.dll")).empty(); ++i) {
        Sleep(50);
    }
    EXPECT_EQ(CompareStringOrdinal(loaded.c_str(), -1,
                                   (std::wstring(system) + L"\\hid.dll").c_str(), -1, TRUE),
              CSTR_EQUAL)
        << "hid.dll came from " << std::string(loaded.begin(), loaded.end());
    EXPECT_EQ(GetFileAttributesW((planted + L".loaded").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the planted DLL ran in the launcher";
    PostMessageW(FindWindowW(L"TarnWakeClass", L"TarnWakeWnd"), WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(), 0u);
}
