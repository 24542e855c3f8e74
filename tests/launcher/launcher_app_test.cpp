// TarnWake's window under Wine: real windows, SetupAPI INF reading, the registry and
// ShellExecuteW, with a stand-in agent that records its starts.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "launcher_app.h"
#include "launcher_fixture.h"

using namespace tarnwake;
using namespace wake_test;

namespace {

const std::string kConfigId = "HID\\Vid_F1D0&Pid_0084&MI_02&Col01";

std::string Inf(const std::string& body) {
    return "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n\r\n" + body;
}

std::string ControlFlags(const std::string& fields) {
    return Inf("[ControlFlags]\r\nExcludeFromSelect = " + fields + "\r\n");
}

std::wstring MousePath(const std::wstring& interfacePart) {
    return L"\\\\?\\hid#vid_f1d0&pid_0084&" + interfacePart +
           L"#1&2d595ca7&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
}

int IconWidth(HICON icon) {
    ICONINFO info = {};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return 0;
    }
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

class Launcher : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(RegisterWakeClass(GetModuleHandleW(nullptr)), 0);
        agent_ = folder_.Copy(TestProgramDirectory() + L"stand_in_agent.exe", L"TarnAgent.exe");
        ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, agent_));
    }

    void TearDown() override {
        Stop();
        DeleteRunValue(KEY_WOW64_32KEY);
        DeleteRunValue(KEY_WOW64_64KEY);
    }

    bool Start(const std::string& inf) {
        const std::wstring path = folder_.Write(L"TarnMsFlt.inf", inf);
        return StartLauncherWithInf(GetModuleHandleW(nullptr), path.c_str());
    }

    // Destroys the window and takes the quit message it posts; returns the quit code.
    WPARAM Stop() {
        if (mainWindow != nullptr) {
            DestroyWindow(mainWindow);
        }
        MSG msg = {};
        WPARAM code = 0xFFFF;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                code = msg.wParam;
            }
        }
        return code;
    }

    ScratchFolder folder_;
    std::wstring agent_;
};

} // namespace

TEST_F(Launcher, StartsHiddenWithItsClassAndClosesInfOnDestroy) {
    ASSERT_TRUE(Start(ControlFlags(kConfigId)));
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_EQ(FindWindowW(L"TarnWakeClass", L"TarnWakeWnd"), mainWindow);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    EXPECT_EQ(GetClassLongPtrW(mainWindow, GCL_STYLE),
              static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW));
    // The program's own icons, in the large and the small size.
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(GetClassLongPtrW(mainWindow, GCLP_HICON))),
              GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(GetClassLongPtrW(mainWindow, GCLP_HICONSM))),
              GetSystemMetrics(SM_CXSMICON));
    EXPECT_TRUE(arrivals.Registered()) << "HID arrival registration";
    EXPECT_NE(infHandle, INVALID_HANDLE_VALUE);

    EXPECT_EQ(Stop(), 0u) << "WM_DESTROY posts quit code 0";
    EXPECT_EQ(infHandle, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(arrivals.Registered());
    EXPECT_EQ(mainWindow, nullptr);
}

TEST_F(Launcher, ListedArrivalStartsAgentOnlyWhileNoAgentWindowExists) {
    ASSERT_TRUE(Start(ControlFlags(kConfigId)));
    {
        AgentWindow agent;
        ASSERT_NE(agent.Handle(), nullptr);
        EXPECT_EQ(SendArrival(mainWindow, kMousePath), 0);
        EXPECT_EQ(folder_.WaitForStarts(0), 0);
    }
    EXPECT_EQ(SendArrival(mainWindow, kMousePath), 0);
    EXPECT_EQ(folder_.WaitForStarts(1), 1);
    // Removal and other device events start nothing.
    auto broadcast = InterfaceBroadcast(kMousePath);
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                 reinterpret_cast<LPARAM>(broadcast.data()));
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    reinterpret_cast<DEV_BROADCAST_HDR*>(broadcast.data())->dbch_devicetype = DBT_DEVTYP_VOLUME;
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(broadcast.data()));
    EXPECT_EQ(folder_.WaitForStarts(1), 1);
}

// Each field whose id part occurs in the path starts the agent once per arrival: capital "HID"
// in the field, any case in the path; vendor and product alone match every interface.
TEST_F(Launcher, EachMatchingFieldStartsTheAgentUnlessItRuns) {
    ASSERT_TRUE(Start(ControlFlags("hid\\Vid_F1D0&Pid_0084&MI_02&Col01, Hid\\Vid_F1D0, "
                                   "USB\\Vid_F1D0&Pid_0084, HIDCLASS, HID\\, "
                                   "HID\\Vid_F1D0&Pid_0084, HID\\VID_F1D0&PID_0084&MI_02&COL01")));
    {
        AgentWindow agent;
        SendArrival(mainWindow, kMousePath);
        EXPECT_EQ(folder_.WaitForStarts(0), 0);
    }
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(2), 2);
    SendArrival(mainWindow, MousePath(L"MI_00"));
    SendArrival(mainWindow, L"\\\\?\\hid#vid_f1d0&pid_0085&mi_00#1&0&0000#{X}");
    EXPECT_EQ(folder_.WaitForStarts(3), 3);
}

TEST_F(Launcher, RunValueIsHandedOverAsOneFileName) {
    ASSERT_TRUE(Start(ControlFlags(kConfigId)));
    // As one file name this names no file; split into program and arguments it would start.
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, L"\"" + agent_ + L"\" /background"));
    SendArrival(mainWindow, kMousePath);
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, agent_ + L" /background"));
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(0), 0);

    // A program whose own name holds a space and what looks like an argument.
    const std::wstring odd = folder_.Copy(agent_, L"Tarn Agent -x.exe");
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, odd));
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(1), 1);
    // Quoted whole, as the installer writes it so that log-on does not split the path.
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, L"\"" + odd + L"\""));
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(2), 2);
}

TEST_F(Launcher, NoLineNoFieldOrNoRunValueStartsNothing) {
    const std::string infs[] = {
        Inf(""),
        Inf("[Other]\r\nExcludeFromSelect = " + kConfigId + "\r\n"),
        Inf("[ControlFlags]\r\nIncludeInSelect = " + kConfigId + "\r\n"),
        Inf("[ControlFlags]\r\nExcludeFromSelect =\r\n"),
        Inf("[ControlFlags]\r\nExcludeFromSelect\r\n"),
        Inf("[ControlFlags]\r\nExcludeFromSelect = ,,,\r\n"),
    };
    for (const std::string& inf : infs) {
        ASSERT_TRUE(Start(inf));
        SendArrival(mainWindow, kMousePath);
        Stop();
    }
    ASSERT_TRUE(Start(ControlFlags(kConfigId)));
    DeleteRunValue(KEY_WOW64_32KEY);
    SendArrival(mainWindow, kMousePath);
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, L""));
    SendArrival(mainWindow, kMousePath);
    const DWORD number = 0x41;
    ASSERT_TRUE(SetRunValueBytes(KEY_WOW64_32KEY, REG_DWORD, &number, sizeof(number)));
    SendArrival(mainWindow, kMousePath);
    // Longer than the 255-byte limit: not read at all.
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, agent_ + std::wstring(130, L' ')));
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(0), 0);

    // The same launcher starts the agent once the value is back.
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, agent_));
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(1), 1);
}

TEST_F(Launcher, ReadsTheRunValueFromThe32BitView) {
    // Distinct values in the two views tell whether this prefix redirects the Run key.
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, L"32"));
    ASSERT_TRUE(SetRunValue(KEY_WOW64_64KEY, L"64"));
    wchar_t seen[8] = {};
    DWORD size = sizeof(seen);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"TarnAgent", RRF_RT_REG_SZ, nullptr, seen,
                           &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(seen, L"32") << "a 32-bit program sees the 32-bit view by default";

    ASSERT_TRUE(Start(ControlFlags(kConfigId)));
    ASSERT_TRUE(SetRunValue(KEY_WOW64_64KEY, agent_));
    DeleteRunValue(KEY_WOW64_32KEY);
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(0), 0) << "a value only in the 64-bit view starts nothing";
    DeleteRunValue(KEY_WOW64_64KEY);
    ASSERT_TRUE(SetRunValue(KEY_WOW64_32KEY, agent_));
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(1), 1);
}

TEST_F(Launcher, MissingInfOrWindowEndsStart) {
    EXPECT_FALSE(
        StartLauncherWithInf(GetModuleHandleW(nullptr), (folder_.Path() + L"absent.inf").c_str()));
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(FindWindowW(L"TarnWakeClass", L"TarnWakeWnd"), nullptr);
    EXPECT_EQ(infHandle, INVALID_HANDLE_VALUE);
    // No window, no INF: the class is missing, so creation fails before the INF is opened.
    const std::wstring good = folder_.Write(L"TarnMsFlt.inf", ControlFlags(kConfigId));
    ASSERT_TRUE(UnregisterClassW(L"TarnWakeClass", GetModuleHandleW(nullptr)));
    EXPECT_FALSE(StartLauncherWithInf(GetModuleHandleW(nullptr), good.c_str()));
    EXPECT_EQ(infHandle, INVALID_HANDLE_VALUE);
    ASSERT_NE(RegisterWakeClass(GetModuleHandleW(nullptr)), 0);
    // Without a [Version] signature a Windows-NT style INF does not open.
    EXPECT_FALSE(Start("[ControlFlags]\r\nExcludeFromSelect = " + kConfigId + "\r\n"));
    EXPECT_EQ(mainWindow, nullptr);
}

TEST_F(Launcher, BadInfContentIsSafe) {
    std::string binary(4096, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    std::string manyFields;
    for (int i = 0; i < 10000; ++i) {
        manyFields += "HID\\Vid_0000&Pid_" + std::to_string(i) + ",";
    }
    const std::string longField = "HID\\" + std::string(1000, 'A');
    const std::string bad[] = {
        "",
        binary,
        Inf("[ControlFlags\r\nExcludeFromSelect = " + kConfigId + "\r\n"),
        Inf("[ControlFlags]]\r\n]ExcludeFromSelect[ = [" + kConfigId + "\r\n"),
        Inf("[ControlFlags]\r\nExcludeFromSelect = \"" + kConfigId + "\r\n"),
        ControlFlags(manyFields),
        ControlFlags(longField + "," + longField),
    };
    for (const std::string& inf : bad) {
        if (Start(inf)) {
            SendArrival(mainWindow, kMousePath);
            Stop();
        }
        EXPECT_EQ(infHandle, INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(folder_.WaitForStarts(0), 0);

    // Oversized fields are skipped; a listed id after them still counts.
    ASSERT_TRUE(Start(ControlFlags(longField + "," + std::string(300, 'H') + "," + kConfigId)));
    SendArrival(mainWindow, kMousePath);
    EXPECT_EQ(folder_.WaitForStarts(1), 1);
}

TEST_F(Launcher, DevicePathsOfAnyLength) {
    ASSERT_TRUE(Start(ControlFlags(kConfigId)));
    SendArrival(mainWindow, L"");
    SendArrival(mainWindow, L"V");

    // A structure that declares less than its name field.
    auto tiny = InterfaceBroadcast(kMousePath);
    reinterpret_cast<DEV_BROADCAST_HDR*>(tiny.data())->dbch_size = sizeof(DEV_BROADCAST_HDR);
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(tiny.data()));

    // A name without a terminator that ends right at an inaccessible page: an over-read
    // would fault.
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    auto* pages = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, info.dwPageSize * 2, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + info.dwPageSize, info.dwPageSize, PAGE_NOACCESS, &old));
    const std::wstring id = L"Vid_F1D0&Pid_0084&MI_02&Col01";
    const std::size_t bytes =
        offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + id.size() * sizeof(wchar_t);
    auto* edge = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(
        pages + info.dwPageSize - ((bytes + 3) & ~std::size_t{3}));
    edge->dbcc_size = static_cast<DWORD>((bytes + 3) & ~std::size_t{3});
    edge->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(edge->dbcc_name, id.data(), id.size() * sizeof(wchar_t));
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(edge));
    EXPECT_EQ(folder_.WaitForStarts(1), 1) << "the unterminated name still matches";
    VirtualFree(pages, 0, MEM_RELEASE);

    // 100,000 characters, the id at the very end.
    std::wstring longPath(100000, L'#');
    longPath.replace(longPath.size() - id.size(), id.size(), id);
    SendArrival(mainWindow, longPath);
    EXPECT_EQ(folder_.WaitForStarts(2), 2);
}
