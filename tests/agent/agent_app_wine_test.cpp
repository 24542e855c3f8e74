// TarnAgent's window procedure, settings and tray texts in-process under Wine, fed by the
// simulated filter drivers; the keys it injects are watched (and swallowed) by a low-level
// keyboard hook.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "agent_app.h"
#include "driver_link_win.h"
#include "scroll_engine.h"
#include "sim_filter_drivers.h"
#include "test_harness_win.h"
#include "text_rules.h"

namespace {

std::vector<DWORD> keyDowns;

LRESULT CALLBACK WatchKeys(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) {
            keyDowns.push_back(key->vkCode);
        }
        return 1; // keep test keys away from every window
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int Count(const std::vector<DWORD>& keys, DWORD vk) {
    int n = 0;
    for (DWORD k : keys) {
        n += k == vk;
    }
    return n;
}

void WriteFile(const std::wstring& path, const std::wstring& text) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    const unsigned char bom[2] = {0xFF, 0xFE};
    fwrite(bom, 1, 2, f);
    fwrite(text.data(), sizeof(wchar_t), text.size(), f);
    fclose(f);
}

HKEY OpenSettingsKey() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kAgentRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    return key;
}

void SetDword(const wchar_t* name, DWORD value) {
    HKEY key = OpenSettingsKey();
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD length) {
    HKEY key = OpenSettingsKey();
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), length);
    RegCloseKey(key);
}

void SetString(const wchar_t* name, const std::wstring& value) {
    SetRaw(name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

UINT WheelLines() {
    UINT lines = 12345;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    return lines;
}

// What the agent asked the shell to start: "<file> <parameters> <show>".
std::vector<std::wstring> shellStarts;
void RecordShellStart(const wchar_t* file, const wchar_t* parameters, int show) {
    shellStarts.push_back(std::wstring(file) + L" " + parameters + L" " + std::to_wstring(show));
}

// The Mouse control panel's start: rundll32.exe, its parameters, SW_RESTORE (9).
std::wstring PanelStart() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(L"rundll32.exe shell32.dll,Control_RunDLL ") + system + L"\\main.cpl 9";
}

// Counts the WM_HSCROLL messages a plain window under the pointer receives.
int hscrolls = 0;
WPARAM lastHScroll = 0;
LRESULT CALLBACK CountHScroll(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HSCROLL) {
        ++hscrolls;
        lastHScroll = wParam;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Action codes: 15 Enter, 16 Esc, 17 Tab, 18 Space.
constexpr uint32_t Codes(uint32_t b1, uint32_t b2, uint32_t b3, uint32_t b4, uint32_t b5) {
    return b1 | b2 << 6 | b3 << 12 | b4 << 18 | b5 << 24;
}

class AgentApp : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kAgentRegistryKey);
        DeleteFileW(BesideTests(L"TarnPrefs.txt").c_str());
        agentSettings = AgentSettings{};
        agentEventState = AgentEventState{};
        agentDirectory.clear();
        agentLanguageFile.clear();
        tiltState = 0;
        keyDowns.clear();
        shellStarts.clear();
        shellStart = RecordShellStart;
        sim_ = new SimFilterDrivers; // outlives any reader left waiting
        SetFilterDeviceIo(sim_);
        hook_ = SetWindowsHookExW(WH_KEYBOARD_LL, WatchKeys, GetModuleHandleW(nullptr), 0);
        ASSERT_NE(nullptr, hook_);
        wheelBefore_ = WheelLines();
    }
    void TearDown() override {
        if (agentWindow) {
            SendMessageW(agentWindow, WM_COMMAND, kCmdExit, 0);
        }
        PumpMessagesFor(30);
        EXPECT_EQ(nullptr, agentWindow);
        UnhookWindowsHookEx(hook_);
        SetFilterDeviceIo(nullptr);
        shellStart = nullptr;
        SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, wheelBefore_, nullptr, 0);
        RegDeleteTreeW(HKEY_CURRENT_USER, kAgentRegistryKey);
        DeleteFileW(BesideTests(L"TarnPrefs.txt").c_str());
    }
    void Start(std::initializer_list<int> devices) {
        for (int device : devices) {
            sim_->SetPresent(device, true);
        }
        const bool started = StartAgent(GetModuleHandleW(nullptr));
        ASSERT_TRUE(started) << "calls " << sim_->Calls().size() << " err " << GetLastError();
        ASSERT_NE(nullptr, agentWindow);
        for (int device : devices) {
            ASSERT_TRUE(PumpUntil([&] { return sim_->IsArmed(device); }));
        }
    }
    void Inject(const EventRecord& record) {
        const uint64_t before = handled_;
        sim_->InjectEvent(0, record);
        // Handled once the driver is armed again and the message queue is empty.
        PumpUntil([&] { return sim_->Queued(0) == 0 && sim_->IsArmed(0); });
        PumpMessagesFor(30);
        (void)before;
    }
    void InjectButtons(uint32_t mask) {
        EventRecord record;
        record.buttonMask = mask;
        Inject(record);
    }
    void InjectKey(int32_t code) {
        EventRecord record;
        record.keyCode = code;
        Inject(record);
    }

    SimFilterDrivers* sim_ = nullptr;
    HHOOK hook_ = nullptr;
    UINT wheelBefore_ = 3;
    uint64_t handled_ = 0;
};

} // namespace

TEST_F(AgentApp, NoDeviceEndsAtOnceAndLeavesNoWindow) {
    EXPECT_FALSE(StartAgent(GetModuleHandleW(nullptr)));
    EXPECT_EQ(nullptr, FindWindowW(kAgentClassName, kAgentWindowName));
    EXPECT_EQ(nullptr, agentWindow);
}

TEST_F(AgentApp, WindowIsHiddenAndFoundByClassAndName) {
    Start({0});
    EXPECT_EQ(agentWindow, FindWindowW(kAgentClassName, kAgentWindowName));
    EXPECT_FALSE(IsWindowVisible(agentWindow));
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(desktop.right, screenRect.right);
    EXPECT_EQ(desktop.bottom, screenRect.bottom);
}

TEST_F(AgentApp, KeyCode113TwiceSendsOneChordAndWithAGapTwo) {
    Start({0});
    InjectKey(113);
    InjectKey(113);
    ASSERT_TRUE(PumpUntil([] { return keyDowns.size() >= 3; }));
    PumpMessagesFor(100);
    EXPECT_EQ((std::vector<DWORD>{VK_CONTROL, VK_LWIN, VK_TAB}), keyDowns);
    keyDowns.clear();
    InjectKey(0);
    InjectKey(113);
    ASSERT_TRUE(PumpUntil([] { return keyDowns.size() >= 3; }));
    EXPECT_EQ(1, Count(keyDowns, VK_TAB));
}

TEST_F(AgentApp, ButtonsActOnceOnReleaseWithTheLastMask) {
    SetDword(L"buttonA", Codes(15, 17, 0, 0, 0)); // button 1 Enter, button 2 Tab
    Start({0});
    InjectButtons(1);
    InjectButtons(3);
    PumpMessagesFor(50);
    EXPECT_TRUE(keyDowns.empty()) << "acted before the release";
    InjectButtons(0);
    ASSERT_TRUE(PumpUntil([] { return keyDowns.size() >= 2; }));
    PumpMessagesFor(50);
    EXPECT_EQ((std::vector<DWORD>{VK_RETURN, VK_TAB}), keyDowns);
    keyDowns.clear();
    InjectButtons(0);       // a second release runs nothing
    InjectButtons(1 << 12); // bits above button 10 are nobody's
    InjectButtons(0);
    PumpMessagesFor(50);
    EXPECT_TRUE(keyDowns.empty());
}

TEST_F(AgentApp, OnlyHidUpperFilterButtonsFourAndFiveActAtOnce) {
    SetDword(L"buttonA", Codes(15, 15, 15, 18, 17)); // button 4 Space, button 5 Tab
    Start({2});
    EXPECT_EQ(0, sim_->CountCalls(2, IOCTL_TARN_SET_SETTINGS));
    HidEventRecord hid;
    for (uint32_t code : {0x24u, 0x26u, 0xFFFFFFFFu, 0x25u}) {
        hid.code = code;
        sim_->InjectHidEvent(2, hid);
    }
    ASSERT_TRUE(PumpUntil([] { return keyDowns.size() >= 2; }));
    PumpMessagesFor(50);
    EXPECT_EQ((std::vector<DWORD>{VK_SPACE, VK_TAB}), keyDowns);
}

TEST_F(AgentApp, SettingsRecordCarriesTheReadSettingsToBothTarnFilters) {
    SetDword(L"buttonA", 0x11111111);
    SetDword(L"buttonB", 0x22222222);
    SetDword(L"scrolling", 0x0000040A);
    Start({0, 1});
    for (int device : {0, 1}) {
        int seen = 0;
        for (const SimDriverCall& call : sim_->Calls()) {
            if (call.device == device && call.code == IOCTL_TARN_SET_SETTINGS) {
                const SettingsRecord record =
                    DecodeSettingsRecord(call.input.data(), call.input.size());
                EXPECT_EQ(0x11111111u, record.buttonA);
                EXPECT_EQ(0x22222222u, record.buttonB);
                EXPECT_EQ(0x40Au, record.scrolling);
                ++seen;
            }
        }
        EXPECT_EQ(1, seen) << device;
    }
    EXPECT_EQ(10u, WheelLines());
}

TEST_F(AgentApp, ReloadChangesActionsAndRepeatCountButNotWheelNorDrivers) {
    SetDword(L"buttonA", Codes(15, 0, 0, 0, 0));
    SetDword(L"scrolling", 0x0307);
    Start({0});
    EXPECT_EQ(7u, WheelLines());
    SetDword(L"buttonA", Codes(16, 0, 0, 0, 0)); // button 1 now Esc
    SetDword(L"scrolling", 0x0502);
    SendMessageW(agentWindow, MSG_RELOAD_SETTINGS, 0, 0);
    EXPECT_EQ(5u, HorizontalRepeatCount(agentSettings));
    EXPECT_EQ(7u, WheelLines());
    EXPECT_EQ(1, sim_->CountCalls(0, IOCTL_TARN_SET_SETTINGS));
    InjectButtons(1);
    InjectButtons(0);
    ASSERT_TRUE(PumpUntil([] { return !keyDowns.empty(); }));
    EXPECT_EQ((std::vector<DWORD>{VK_ESCAPE}), keyDowns);
}

TEST_F(AgentApp, WheelSettingLinesPagesAndZero) {
    agentSettings.scrolling = 0x313;
    ApplyWheelSetting();
    EXPECT_EQ(WHEEL_PAGESCROLL, WheelLines());
    agentSettings.scrolling = 0x307;
    ApplyWheelSetting();
    EXPECT_EQ(7u, WheelLines());
    agentSettings.scrolling = 0x300;
    ApplyWheelSetting();
    EXPECT_EQ(0u, WheelLines());
}

TEST_F(AgentApp, SettingsComeFromFileThenRegistryAndReReadsKeepTheRightFields) {
    WriteFile(BesideTests(L"TarnPrefs.txt"), L"[MouseSetting]\r\nbuttonA=123\r\nbuttonB=456\r\n");
    SetDword(L"buttonB", 789);
    SetString(L"language", L"0407");
    SetDword(L"hideicon", 1);
    SetDword(L"icontype", 1);
    agentSettings.scrolling = 0x999;
    ReadAgentSettings();
    EXPECT_EQ(123u, agentSettings.buttonA);
    EXPECT_EQ(789u, agentSettings.buttonB);
    EXPECT_EQ(0x303u, agentSettings.scrolling);
    EXPECT_STREQ(L"0407", agentSettings.language);
    EXPECT_EQ(1u, agentSettings.hideicon);
    EXPECT_EQ(1u, agentSettings.icontype);

    RegDeleteTreeW(HKEY_CURRENT_USER, kAgentRegistryKey);
    ReadAgentSettings();
    EXPECT_EQ(456u, agentSettings.buttonB);        // back to the file
    EXPECT_STREQ(L"0407", agentSettings.language); // kept from the last read
    EXPECT_EQ(1u, agentSettings.icontype);

    DeleteFileW(BesideTests(L"TarnPrefs.txt").c_str());
    ReadAgentSettings();
    EXPECT_EQ(kDefaultButtonA, agentSettings.buttonA);
    EXPECT_EQ(kDefaultButtonB, agentSettings.buttonB);
}

TEST_F(AgentApp, RegistryValuesOfWrongTypesAndSizes) {
    SetString(L"language", L"0409");
    ReadAgentSettings();
    ASSERT_STREQ(L"0409", agentSettings.language);

    // Stored without a terminator: the characters up to the value's length.
    const wchar_t unterminated[4] = {L'd', L'e', L'u', L'x'};
    SetRaw(L"language", REG_SZ, unterminated, sizeof(unterminated));
    ReadAgentSettings();
    EXPECT_STREQ(L"deux", agentSettings.language);
    SetString(L"language", L"0409");
    ReadAgentSettings();
    ASSERT_STREQ(L"0409", agentSettings.language);

    const DWORD number = 0x00340030;
    SetRaw(L"language", REG_DWORD, &number, sizeof(number));
    ReadAgentSettings();
    EXPECT_STREQ(L"0409", agentSettings.language);

    const std::wstring tooLong(200, L'x'); // 402 bytes with terminator
    SetString(L"language", tooLong);
    ReadAgentSettings();
    EXPECT_STREQ(L"0409", agentSettings.language);

    const std::wstring longest(126, L'y'); // 254 bytes with terminator: fits
    SetString(L"language", longest);
    ReadAgentSettings();
    EXPECT_EQ(longest, std::wstring(agentSettings.language));

    const uint64_t wide = 0x1111111122222222ull;
    SetRaw(L"buttonA", REG_QWORD, &wide, sizeof(wide));
    const uint8_t oneByte = 0x07;
    SetRaw(L"scrolling", REG_BINARY, &oneByte, 1);
    SetString(L"icontype", L"1"); // four bytes: taken as the number 0x31, type not looked at
    ReadAgentSettings();
    EXPECT_EQ(kDefaultButtonA, agentSettings.buttonA);
    EXPECT_EQ(0x07u, agentSettings.scrolling);
    EXPECT_EQ(0x31u, agentSettings.icontype);
    UpdateRegionIcon(); // an icon type of no set changes nothing
    UpdateBatteryIcon();
}

TEST_F(AgentApp, ExitItemSurvivesLongNamesAndStrayConversions) {
    const std::wstring longName(10000, L'N');
    WriteFile(BesideTests(L"TarnPrefs.txt"), L"[MouseSetting]\r\nAppName=" + longName + L"\r\n");
    std::wstring text = AgentExitItemText();
    EXPECT_LE(text.size(), 255u);
    EXPECT_EQ(0u, text.find(L"Close NNNN"));

    const std::wstring languageFile = BesideTests(L"agent_test_language.txt");
    WriteFile(languageFile, L"[xx]\r\nExit=%n%d%x %s %s %S %%\r\nOpenCPL=Panel\r\n");
    WriteFile(BesideTests(L"TarnPrefs.txt"), L"[MouseSetting]\r\nAppName=Tarn\r\n");
    agentLanguageFile = languageFile;
    wcscpy(agentSettings.language, L"xx");
    text = AgentExitItemText();
    EXPECT_NE(std::wstring::npos, text.find(L"Tarn"));
    EXPECT_EQ(text.find(L"Tarn"), text.rfind(L"Tarn")) << "the name went in once";
    EXPECT_EQ(L"Panel", AgentText(kAgentOpenCplKey, kAgentDefaultOpenCpl, 255));
    EXPECT_EQ(L"Battery Low", AgentText(kAgentBatteryLowKey, kAgentDefaultBatteryLow, 256));
    DeleteFileW(languageFile.c_str());

    DeleteFileW(BesideTests(L"TarnPrefs.txt").c_str());
    agentLanguageFile.clear();
    EXPECT_EQ(L"Close Scroll Mouse", AgentExitItemText());
}

TEST_F(AgentApp, BatteryBlinksUntilTheFlagClears) {
    Start({0});
    EventRecord record;
    record.battery = 1;
    Inject(record);
    EXPECT_EQ(1u, agentEventState.batteryBlinking);
    const uint32_t phase = agentEventState.blinkPhase;
    ASSERT_TRUE(PumpUntil([&] { return agentEventState.blinkPhase != phase; }, 2000));
    record.battery = 0;
    Inject(record);
    EXPECT_EQ(0u, agentEventState.batteryBlinking);
    const uint32_t stopped = agentEventState.blinkPhase;
    PumpMessagesFor(700);
    EXPECT_EQ(stopped, agentEventState.blinkPhase) << "timer 2 still runs";
}

TEST_F(AgentApp, BatteryBalloonIsAWarningWithTheLanguageTexts) {
    Start({0});
    NOTIFYICONDATAW data = BatteryBalloonData();
    EXPECT_EQ(kTrayIconDataSize, data.cbSize);
    EXPECT_EQ(agentWindow, data.hWnd);
    EXPECT_EQ(kTrayIconId, data.uID);
    EXPECT_EQ(static_cast<UINT>(NIF_INFO), data.uFlags) << "the balloon only: icon and tip stay";
    EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), data.dwInfoFlags);
    EXPECT_EQ(10000u, data.uTimeout);
    EXPECT_STREQ(L"Mouse", data.szInfoTitle);
    EXPECT_STREQ(L"Battery Low", data.szInfo);
    EXPECT_STREQ(L"Battery Low", data.szTip);

    // Translations, cut to the fields that show them.
    const std::wstring languageFile = BesideTests(L"agent_balloon_language.txt");
    WriteFile(languageFile, L"[xx]\r\nMouse=" + std::wstring(100, L'M') + L"\r\nBatteryLow=Akku " +
                                std::wstring(300, L'B') + L"\r\n");
    agentLanguageFile = languageFile;
    wcscpy(agentSettings.language, L"xx");
    data = BatteryBalloonData();
    EXPECT_EQ(std::wstring(63, L'M'), data.szInfoTitle);
    EXPECT_EQ(254u, wcslen(data.szInfo)); // the file's value is cut at 254 characters
    EXPECT_EQ(0, wcsncmp(data.szInfo, L"Akku BBB", 8));
    EXPECT_EQ(127u, wcslen(data.szTip));
    DeleteFileW(languageFile.c_str());
}

TEST_F(AgentApp, TiltRepeatsEvery200msUntilReleased) {
    Start({0});
    // A plain window under the pointer takes the steps (three WM_HSCROLL each by default).
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CountHScroll;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TarnTiltTarget";
    RegisterClassW(&windowClass);
    HWND target =
        CreateWindowExW(WS_EX_TOPMOST, L"TarnTiltTarget", L"", WS_POPUP | WS_VISIBLE, 300, 300, 300,
                        200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, target);
    SetCursorPos(450, 400);
    PumpMessagesFor(50);
    ASSERT_EQ(target, WindowFromPoint(POINT{450, 400}));
    hscrolls = 0;

    EventRecord record;
    record.tilt = 0x0001;
    Inject(record);
    EXPECT_EQ(1, tiltState);
    EXPECT_EQ(1u, agentEventState.repeatTimerActive);
    EXPECT_GE(hscrolls, 3) << "one step at once";
    EXPECT_EQ(static_cast<WPARAM>(SB_LINERIGHT), lastHScroll);
    // Then one step per 200 ms from timer 1: about five in a second (loose bounds, as
    // timers under load run late).
    const int atStart = hscrolls;
    PumpMessagesFor(1000);
    const int steps = (hscrolls - atStart) / 3;
    EXPECT_GE(steps, 3);
    EXPECT_LE(steps, 6);
    record.tilt = 0; // no tilt information: the repeat goes on
    Inject(record);
    EXPECT_EQ(1, tiltState);
    EXPECT_EQ(1u, agentEventState.repeatTimerActive);
    record.tilt = 0x0100;
    Inject(record);
    EXPECT_EQ(0, tiltState);
    EXPECT_EQ(0u, agentEventState.repeatTimerActive);
    const int atRelease = hscrolls;
    PumpMessagesFor(500);
    EXPECT_EQ(atRelease, hscrolls) << "steps after the release";
    EXPECT_FALSE(KillTimer(agentWindow, kTiltTimer)) << "the repeat timer was left running";
    record.tilt = 0xFF01;
    Inject(record);
    EXPECT_EQ(1, tiltState);
    EXPECT_EQ(0u, agentEventState.repeatTimerActive);
    EXPECT_EQ(atRelease + 3, hscrolls) << "one step, no repeat";
    PumpMessagesFor(300);
    EXPECT_EQ(atRelease + 3, hscrolls);
    EXPECT_FALSE(KillTimer(agentWindow, kTiltTimer));
    DestroyWindow(target);
}

TEST_F(AgentApp, TaskbarRestartAndTrayMessagesAreHarmless) {
    Start({0});
    NOTIFYICONDATAW probe = {};
    probe.cbSize = kTrayIconDataSize;
    probe.hWnd = agentWindow;
    probe.uID = kTrayIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the agent added no tray icon";
    // A restarted taskbar has forgotten the icon; the agent adds it again.
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &probe));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe));
    SendMessageW(agentWindow, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));

    // Other tray notifications, and event messages that carry no record, do nothing.
    const uint64_t driverEvents = driverEventsHandled;
    const uint64_t hidEvents = hidEventsHandled;
    for (LPARAM notification : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN}) {
        SendMessageW(agentWindow, MSG_TRAY_NOTIFY, kTrayIconId, notification);
    }
    SendMessageW(agentWindow, MSG_DRIVER_EVENT, 0, 0x7FFFFFFF);
    SendMessageW(agentWindow, MSG_HID_EVENT, 5, 0);
    PumpMessagesFor(300);
    EXPECT_EQ(driverEvents, driverEventsHandled);
    EXPECT_EQ(hidEvents, hidEventsHandled);
    EXPECT_TRUE(keyDowns.empty());
    EXPECT_TRUE(shellStarts.empty()) << "a notification opened the control panel";
    EXPECT_EQ(nullptr, FindWindowW(L"#32768", nullptr)) << "a notification opened the menu";

    // A display change measures the desktop again.
    screenRect = RECT{};
    SendMessageW(agentWindow, WM_DISPLAYCHANGE, 32, 0);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(desktop.right, screenRect.right);
    EXPECT_EQ(desktop.bottom, screenRect.bottom);
    EXPECT_TRUE(IsWindow(agentWindow));
}

TEST_F(AgentApp, DoubleClickAndMenuCommandOpenTheMouseControlPanel) {
    Start({0});
    SendMessageW(agentWindow, MSG_TRAY_NOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_EQ((std::vector<std::wstring>{PanelStart()}), shellStarts);
    SendMessageW(agentWindow, WM_COMMAND, kCmdOpenCpl, 0);
    EXPECT_EQ((std::vector<std::wstring>{PanelStart(), PanelStart()}), shellStarts);
}

TEST_F(AgentApp, ExitStopsClosesAndEndsTheLoop) {
    Start({0, 2});
    PostMessageW(agentWindow, WM_COMMAND, kCmdExit, 0);
    EXPECT_EQ(0, RunAgentMessageLoop());
    EXPECT_EQ(nullptr, agentWindow);
    EXPECT_EQ(1, sim_->CountCalls(0, IOCTL_TARN_STOP));
    EXPECT_EQ(1, sim_->CountCalls(2, IOCTL_VELL_STOP));
    EXPECT_FALSE(sim_->IsOpen(0));
    EXPECT_FALSE(sim_->IsOpen(2));
}

namespace {
WNDPROC agentProc = nullptr;
std::wstring menuOpenText, menuExitText;
int menuItems = -1;

LRESULT CALLBACK WatchMenu(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITMENUPOPUP) {
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        wchar_t text[300] = {};
        GetMenuStringW(menu, kCmdOpenCpl, text, 300, MF_BYCOMMAND);
        menuOpenText = text;
        GetMenuStringW(menu, kCmdExit, text, 300, MF_BYCOMMAND);
        menuExitText = text;
        menuItems = GetMenuItemCount(menu);
        PostMessageW(window, WM_CANCELMODE, 0, 0);
    }
    return CallWindowProcW(agentProc, window, message, wParam, lParam);
}
} // namespace

TEST_F(AgentApp, TrayMenuShowsTheLanguageTextsAndTheFormattedExitItem) {
    WriteFile(BesideTests(L"TarnPrefs.txt"), L"[MouseSetting]\r\nAppName=Tarn Mouse\r\n");
    Start({0});
    agentProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(agentWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchMenu)));
    menuItems = -1;
    // Fallback in case the popup never starts: the timer ends any menu still open.
    SetTimer(nullptr, 0, 2000, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EndMenu();
    });
    SendMessageW(agentWindow, MSG_TRAY_NOTIFY, kTrayIconId, WM_RBUTTONUP);
    SetWindowLongPtrW(agentWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(agentProc));
    EXPECT_EQ(3, menuItems);
    EXPECT_EQ(L"Open Mouse Control Panel", menuOpenText);
    EXPECT_EQ(L"Close Tarn Mouse", menuExitText);
    EXPECT_NE(GetCapture(), agentWindow) << "capture left on the agent window";
}
