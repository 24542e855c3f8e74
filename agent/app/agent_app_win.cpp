#include "agent_app.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstddef>
#include <cwchar>

#include "actions.h"
#include "crash_dumps.h"
#include "crash_dumps_win.h"
#include "driver_link_win.h"
#include "handle_owners_win.h"
#include "hidden_window_win.h"
#include "scroll_engine.h"
#include "text_rules.h"

static_assert(offsetof(NOTIFYICONDATAW, guidItem) + sizeof(GUID) == kTrayIconDataSize,
              "the shell is handed the structure up to guidItem");

HINSTANCE agentInstance = nullptr;
HWND agentWindow = nullptr;
RECT screenRect = {};
AgentEventState agentEventState;
std::wstring agentDirectory;
std::wstring agentLanguageFile;
uint64_t driverEventsHandled = 0;
uint64_t hidEventsHandled = 0;
ShellStart shellStart = nullptr;

namespace {

UINT taskbarCreatedMessage = 0;

std::wstring ModulePath() {
    const auto path = ReadModulePath([](wchar_t* buffer, uint32_t length) -> uint32_t {
        return GetModuleFileNameW(nullptr, buffer, length);
    });
    return path ? *path : std::wstring();
}

NOTIFYICONDATAW TrayIconData() {
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = agentWindow;
    data.uID = kTrayIconId;
    return data;
}

void CopyToField(wchar_t* field, size_t fieldLength, const std::wstring& text) {
    const std::wstring cut = CutToField(text, fieldLength);
    std::wmemcpy(field, cut.c_str(), cut.size() + 1);
}

void DeleteTrayIcon() {
    NOTIFYICONDATAW data = TrayIconData();
    data.uFlags = NIF_ICON;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

// Small-size image of an icon resource, so the 16 x 16 frame drawn for the tray
// is used rather than a scaled-down large one. The caller destroys it.
HICON LoadTrayIcon(int id) {
    return static_cast<HICON>(LoadImageW(agentInstance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

void ModifyTrayIcon(int iconId, const std::wstring& tip) {
    const UniqueIcon icon(LoadTrayIcon(iconId));
    if (!icon) {
        return;
    }
    NOTIFYICONDATAW data = TrayIconData();
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = icon.Get(); // the shell keeps its own copy
    CopyToField(data.szTip, std::size(data.szTip), tip);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

int CurrentRegion() {
    POINT pointer = {};
    GetCursorPos(&pointer);
    return PointerRegion(pointer.x, pointer.y, screenRect.right, screenRect.bottom);
}

void RefreshScreenRect() {
    GetWindowRect(GetDesktopWindow(), &screenRect);
}

void PressKey(BYTE vk, bool up) {
    keybd_event(vk, static_cast<BYTE>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)),
                up ? KEYEVENTF_KEYUP : 0, 0);
}

void SendTaskViewChord() {
    PressKey(VK_CONTROL, false);
    PressKey(VK_LWIN, false);
    PressKey(VK_TAB, false);
    PressKey(VK_TAB, true);
    PressKey(VK_LWIN, true);
    PressKey(VK_CONTROL, true);
}

VOID CALLBACK TiltTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    ScrollStep();
}

void ReadDwordValue(HKEY key, const wchar_t* name, uint32_t* field) {
    uint8_t data[4] = {};
    DWORD length = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, nullptr, data, &length) == ERROR_SUCCESS) {
        DwordSettingFromValue(data, length, field);
    }
}

void ReadLanguageValue(HKEY key) {
    uint8_t data[256] = {};
    DWORD length = kLanguageValueByteLimit;
    DWORD type = 0;
    if (RegQueryValueExW(key, kLanguageValueName, nullptr, &type, data, &length) != ERROR_SUCCESS) {
        return;
    }
    const auto code = LanguageCodeFromValue(type, data, length);
    if (!code) {
        return;
    }
    const size_t count =
        code->size() < kLanguageFieldCount - 1 ? code->size() : kLanguageFieldCount - 1;
    std::wmemcpy(agentSettings.language, code->c_str(), count);
    agentSettings.language[count] = L'\0';
}

} // namespace

std::wstring AgentPrefsFile() {
    if (!agentDirectory.empty()) {
        return PrefsFilePath(agentDirectory);
    }
    const std::wstring module = ModulePath();
    if (module.empty()) {
        return {};
    }
    return PrefsFilePath(ProgramDirectory(module));
}

std::wstring AgentText(const wchar_t* key, const wchar_t* builtIn, size_t field) {
    std::wstring looked;
    if (!agentLanguageFile.empty()) {
        wchar_t buffer[kTextBufferCount] = {};
        GetPrivateProfileStringW(agentSettings.language, key, L"", buffer,
                                 static_cast<DWORD>(std::size(buffer)), agentLanguageFile.c_str());
        looked = buffer;
    }
    return CutToField(TextOrDefault(looked, builtIn), field);
}

std::wstring AgentExitItemText() {
    const std::wstring pattern = AgentText(kAgentExitKey, kAgentDefaultExit, kTextBufferCount);
    std::wstring appName = kDefaultAppName;
    const std::wstring prefs = AgentPrefsFile();
    if (!prefs.empty()) {
        wchar_t buffer[kTextBufferCount] = {};
        GetPrivateProfileStringW(kPrefsSection, kAppNameKey, kDefaultAppName, buffer,
                                 static_cast<DWORD>(std::size(buffer)), prefs.c_str());
        appName = buffer;
    }
    return FormatExitItem(pattern, appName);
}

void OpenMouseControlPanel() {
    wchar_t system[255] = {};
    const UINT length = GetSystemDirectoryW(system, static_cast<UINT>(std::size(system)));
    if (length == 0 || length >= std::size(system)) {
        system[0] = L'\0';
    }
    const std::wstring parameters =
        std::wstring(L"shell32.dll,Control_RunDLL ") + system + L"\\main.cpl";
    if (shellStart != nullptr) {
        shellStart(L"rundll32.exe", parameters.c_str(), SW_RESTORE);
        return;
    }
    ShellExecuteW(nullptr, L"open", L"rundll32.exe", parameters.c_str(), nullptr, SW_RESTORE);
}

void ReadAgentSettings() {
    agentSettings.scrolling = kDefaultScrolling;
    agentSettings.buttonA = kDefaultButtonA;
    agentSettings.buttonB = kDefaultButtonB;
    const std::wstring prefs = AgentPrefsFile();
    if (!prefs.empty()) {
        agentSettings.buttonA = GetPrivateProfileIntW(
            kPrefsSection, L"buttonA", static_cast<INT>(kDefaultButtonA), prefs.c_str());
        agentSettings.buttonB = GetPrivateProfileIntW(
            kPrefsSection, L"buttonB", static_cast<INT>(kDefaultButtonB), prefs.c_str());
    }
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kAgentRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    ReadDwordValue(key.Get(), L"buttonA", &agentSettings.buttonA);
    ReadDwordValue(key.Get(), L"buttonB", &agentSettings.buttonB);
    ReadDwordValue(key.Get(), L"scrolling", &agentSettings.scrolling);
    ReadLanguageValue(key.Get());
    ReadDwordValue(key.Get(), L"hideicon", &agentSettings.hideicon);
    ReadDwordValue(key.Get(), L"icontype", &agentSettings.icontype);
}

void ApplyWheelSetting() {
    const UINT lines = WheelLinesOf(agentSettings.scrolling);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0);
    // Bounded: a hung top-level window must not hold the agent before its message
    // loop runs.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWHEELSCROLLLINES, 0,
                        SMTO_ABORTIFHUNG | SMTO_NORMAL, 1000, &result);
}

void AddTrayIcon() {
    if (agentSettings.hideicon != 0) {
        return;
    }
    int iconId = agentEventState.batteryBlinking
                     ? BatteryIconId(agentSettings.icontype, agentEventState.blinkPhase)
                     : RegionIconId(agentSettings.icontype, CurrentRegion());
    if (iconId == 0) {
        iconId = kIconSmall;
    }
    NOTIFYICONDATAW data = TrayIconData();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = MSG_TRAY_NOTIFY;
    const UniqueIcon icon(LoadTrayIcon(iconId));
    data.hIcon = icon.Get(); // the shell keeps its own copy
    CopyToField(data.szTip, std::size(data.szTip),
                AgentText(kAgentMouseKey, kAgentDefaultMouse, kTipFieldCount));
    Shell_NotifyIconW(NIM_ADD, &data);
}

void UpdateRegionIcon() {
    const int iconId = RegionIconId(agentSettings.icontype, CurrentRegion());
    if (iconId == 0) {
        return;
    }
    ModifyTrayIcon(iconId, AgentText(kAgentMouseKey, kAgentDefaultMouse, kTipFieldCount));
}

void UpdateBatteryIcon() {
    const int iconId = BatteryIconId(agentSettings.icontype, agentEventState.blinkPhase);
    if (iconId == 0) {
        return;
    }
    ModifyTrayIcon(iconId, AgentText(kAgentBatteryLowKey, kAgentDefaultBatteryLow, kTipFieldCount));
}

// The dump the last run left behind, said once in a balloon.
void ShowCrashNotice() {
    const std::wstring dump = TakeCrashNotice(L"TarnAgent");
    if (dump.empty() || agentSettings.hideicon != 0) {
        return;
    }
    NOTIFYICONDATAW data = TrayIconData();
    data.uFlags = NIF_INFO;
    CopyToField(data.szInfoTitle, std::size(data.szInfoTitle),
                AgentText(kAgentMouseKey, kAgentDefaultMouse, kBalloonTitleFieldCount));
    CopyToField(
        data.szInfo, std::size(data.szInfo),
        FormatCrashNotice(
            AgentText(kCrashNoticeTextKey, kDefaultCrashNotice, kBalloonTextFieldCount), dump));
    data.dwInfoFlags = NIIF_WARNING;
    data.uTimeout = 10000;
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void ShowBatteryBalloon() {
    NOTIFYICONDATAW data = BatteryBalloonData();
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

NOTIFYICONDATAW BatteryBalloonData() {
    NOTIFYICONDATAW data = TrayIconData();
    data.uFlags = NIF_INFO;
    CopyToField(data.szInfoTitle, std::size(data.szInfoTitle),
                AgentText(kAgentMouseKey, kAgentDefaultMouse, kBalloonTitleFieldCount));
    const std::wstring text =
        AgentText(kAgentBatteryLowKey, kAgentDefaultBatteryLow, kBalloonTextFieldCount);
    CopyToField(data.szInfo, std::size(data.szInfo), text);
    CopyToField(data.szTip, std::size(data.szTip), text);
    data.dwInfoFlags = NIIF_WARNING;
    data.uTimeout = 10000;
    return data;
}

void ShowTrayMenu() {
    UniqueMenu menu(LoadMenuW(agentInstance, MAKEINTRESOURCEW(kTrayMenuId)));
    if (!menu) {
        return;
    }
    HMENU popup = GetSubMenu(menu.Get(), 0);
    if (!popup) {
        return;
    }
    POINT pointer = {};
    GetCursorPos(&pointer);
    SetForegroundWindow(agentWindow);
    SetCapture(agentWindow);
    const std::wstring openText =
        AgentText(kAgentOpenCplKey, kAgentDefaultOpenCpl, kTextBufferCount);
    ModifyMenuW(popup, kCmdOpenCpl, MF_BYCOMMAND | MF_STRING, kCmdOpenCpl, openText.c_str());
    const std::wstring exitText = AgentExitItemText();
    ModifyMenuW(popup, kCmdExit, MF_BYCOMMAND | MF_STRING, kCmdExit, exitText.c_str());
    TrackPopupMenu(popup, 0, pointer.x, pointer.y, 0, agentWindow, nullptr);
    menu.Reset();
    ReleaseCapture();
}

void HandleDriverEvent(const EventRecord& record) {
    const DriverEventSteps steps = StepDriverEvent(agentEventState, record);
    if (steps.sendChord) {
        SendTaskViewChord();
    }
    if (steps.battery == BatteryStep::StopBlink) {
        KillTimer(agentWindow, kBlinkTimer);
        UpdateRegionIcon();
    } else if (steps.battery == BatteryStep::StartBlink) {
        ShowBatteryBalloon();
        SetTimer(agentWindow, kBlinkTimer, kBlinkTimerInterval, nullptr);
    }
    if (steps.runButtons) {
        RunButtonActions(steps.buttonMask);
    }
    if (steps.storeTilt) {
        StoreTilt(steps.tiltValue);
    }
    if (steps.stopRepeat) {
        KillTimer(agentWindow, kTiltTimer);
    }
    if (steps.scrollOnce) {
        ScrollStep();
    }
    if (steps.startRepeat) {
        SetTimer(agentWindow, kTiltTimer, kTiltTimerInterval, TiltTimerProc);
    }
}

void HandleHidEvent(const HidEventRecord& record) {
    const uint32_t mask = HidEventButtonMask(record);
    if (mask != 0) {
        RunButtonActions(mask);
    }
}

LRESULT CALLBACK AgentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
    case WM_DISPLAYCHANGE:
        RefreshScreenRect();
        return 0;
    case WM_PAINT: {
        const PaintScope paint(window); // nothing to draw
        return 0;
    }
    case WM_TIMER:
        if (wParam == kTiltTimer) {
            ScrollStep();
        } else if (wParam == kBlinkTimer) {
            agentEventState.blinkPhase ^= 1;
            UpdateBatteryIcon();
        }
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCmdExit) {
            DeleteTrayIcon();
            CloseFilterDrivers();
            DestroyWindow(window);
        } else if (LOWORD(wParam) == kCmdOpenCpl) {
            OpenMouseControlPanel();
        }
        return 0;
    case WM_DESTROY:
        CoUninitialize();
        DeleteTrayIcon();
        if (window == agentWindow) {
            agentWindow = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    case MSG_TRAY_NOTIFY:
        if (LOWORD(lParam) == WM_LBUTTONDBLCLK) {
            OpenMouseControlPanel();
        } else if (LOWORD(lParam) == WM_RBUTTONUP) {
            ShowTrayMenu();
        }
        return 0;
    case MSG_DRIVER_EVENT: {
        EventRecord record;
        if (TakeDriverEvent(wParam, lParam, &record)) {
            ++driverEventsHandled;
            HandleDriverEvent(record);
        }
        return 0;
    }
    case MSG_RELOAD_SETTINGS:
        ReadAgentSettings();
        return 0;
    case MSG_HID_EVENT: {
        HidEventRecord record;
        if (TakeHidEvent(wParam, lParam, &record)) {
            ++hidEventsHandled;
            HandleHidEvent(record);
        }
        return 0;
    }
    default:
        break;
    }
    if (taskbarCreatedMessage != 0 && message == taskbarCreatedMessage) {
        AddTrayIcon(); // Explorer restarted and forgot our icon
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool StartAgent(HINSTANCE instance) {
    RegisterHiddenWindowClass(instance,
                              HiddenWindowClass{kAgentClassName, AgentWindowProc,
                                                LoadIconW(instance, MAKEINTRESOURCEW(kIconLarge)),
                                                LoadIconW(instance, MAKEINTRESOURCEW(kIconSmall))});

    agentInstance = instance;
    taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    agentWindow = CreateHiddenWindow(instance, kAgentClassName, kAgentWindowName);
    if (!agentWindow) {
        return false;
    }

    CoInitialize(nullptr);
    ReadAgentSettings();
    const SettingsRecord settings =
        SettingsRecordOf(agentSettings.buttonA, agentSettings.buttonB, agentSettings.scrolling);
    if (!OpenFilterDrivers(agentWindow, settings)) {
        // Nothing to act on. Destroying the window also balances CoInitialize.
        DestroyWindow(agentWindow);
        return false;
    }
    const std::wstring module = ModulePath();
    if (!module.empty()) {
        const AgentTextPaths paths = BuildAgentTextPaths(module, agentSettings.language);
        agentDirectory = paths.directory;
        agentLanguageFile = paths.languageFile;
    }
    ApplyWheelSetting();
    AddTrayIcon();
    ShowCrashNotice();
    // This thread runs every action from here on; it waits in GetMessageW between them.
    SetThreadPriority(GetCurrentThread(), kEventPathPriority);
    return true;
}

int RunAgentMessageLoop() {
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            return 0;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

int AgentMain(HINSTANCE instance) {
    if (FindWindowW(kAgentClassName, kAgentWindowName)) {
        OpenMouseControlPanel();
        return 0;
    }
    if (!StartAgent(instance)) {
        return 0;
    }
    return RunAgentMessageLoop();
}
