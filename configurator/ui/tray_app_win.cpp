// TarnDesk's hidden main window and tray.
#include "tray_app.h"

#include "device_channel.h"
#include "diagnostics_win.h"
#include "handle_owners_win.h"
#include "profile_cache.h"
#include "profile_menu.h"
#include "profile_record.h"
#include "program_files_win.h"
#include "program_switch_win.h"
#include "resources/settings_dialog_res.h"
#include "resources/tarndesk_res.h"
#include "settings_dialog.h"
#include "text_files.h"
#include "tray_rules.h"

#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>

#include <cstddef>
#include <string>

static_assert(offsetof(NOTIFYICONDATAW, guidItem) + sizeof(GUID) == kTrayIconDataSize);

int32_t settingsDialogClosed = 1;
HINSTANCE programInstance = nullptr;
HWND mainWindow = nullptr;

namespace {

constexpr GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// Registered window message the shell broadcasts when the taskbar is (re)created.
UINT taskbarCreatedMessage = 0;
// The tooltip is read once, when the icon is first added, and kept for later re-adds.
std::wstring trayTip;
bool trayTipRead = false;
// Handle of the arrival registration; kept for the whole run and never used.
HDEVNOTIFY arrivalNotification = nullptr;

void RegisterArrivalNotification(HWND window) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kHidInterfaceClass;
    arrivalNotification = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void OnDeviceChange(HWND window, WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL || data == 0) {
        return;
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
        return;
    }
    const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
    const std::wstring_view name =
        BroadcastInterfaceName(broadcast->dbcc_name, header->dbch_size,
                               offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name));
    if (ContainsIgnoringCase(name, ArrivalPattern(vendorId, productId))) {
        // Restarting the timer on every arrival gives one re-read after a burst.
        SetTimer(window, kRereadTimerId, kRereadDelayMs, nullptr);
    }
}

} // namespace

ATOM RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDM_TRAY);
    windowClass.lpszClassName = kMainClassName;
    return RegisterClassExW(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance) {
    programInstance = instance;
    taskbarCreatedMessage = RegisterWindowMessageW(kTaskbarCreatedMessageName);
    HWND window = CreateWindowExW(0, kMainClassName, kMainWindowName, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return nullptr;
    }
    mainWindow = window;
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    RegisterArrivalNotification(window);
    return window;
}

// The copy and the reset run inside an open Settings dialog's message loop: they move every
// profile through a block of their own, so profileBlock, the profile the dialog shows, stays
// as it is.
void SyncCacheFromDevice() {
    // The cache is the user's last good copy: zeros from a missing mouse or a torn read
    // must not replace it, so only a block that arrived whole is stored.
    uint8_t block[kBlockLength] = {};
    for (int profile = 0; profile < kProfileCount; ++profile) {
        if (RunDeviceOperation(ReadProfile, profile, block)) {
            StoreCachedBlock(profile, block);
        }
    }
    if (RunDeviceOperation(ReadHeader, 0, headerBlock)) {
        StoreCachedBlock(kHeaderCacheNumber, headerBlock);
    } else {
        // The dialog shows and Apply writes headerBlock itself, so a torn read would put zero
        // resolutions into the mouse: keep working on the last good header instead.
        LoadCachedHeader();
    }
}

void ResetToDefault() {
    bool reached = true;
    uint8_t block[kBlockLength];
    for (int profile = 0; profile < kProfileCount; ++profile) {
        WriteDefaultProfile(profile, block);
        reached = RunDeviceOperation(WriteProfile, profile, block) && reached;
        StoreCachedBlock(profile, block); // the user's own request: stored with or without a mouse
        WriteDefaultProfileSettings(profile, headerBlock);
    }
    reached = RunDeviceOperation(WriteHeader, 0, headerBlock) && reached;
    StoreCachedBlock(kHeaderCacheNumber, headerBlock);
    if (!reached) {
        ShowWriteFailed(nullptr);
    }
}

void ShowWriteFailed(HWND owner) {
    RecordDeskError(L"settings did not reach the mouse");
    const std::wstring text = LookupDefault(kWriteFailedKey, kDefaultWriteFailed);
    MessageBoxW(owner, text.c_str(), nullptr, MB_ICONERROR | MB_OK);
}

HICON LoadTrayIconImage() {
    auto icon = static_cast<HICON>(LoadImageW(nullptr, (ProgramFolder() + kTrayIconFile).c_str(),
                                              IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
    if (icon == nullptr) {
        icon = static_cast<HICON>(
            LoadImageW(programInstance, MAKEINTRESOURCEW(IDI_TRAY), IMAGE_ICON, 16, 16, 0));
    }
    return icon;
}

bool AddTrayIcon(HWND window) {
    if (!trayTipRead) {
        trayTip = CutToField(LookupDefault(kTitleKey, kDefaultTitle), kTipFieldCount);
        trayTipRead = true;
    }
    const UniqueIcon icon(LoadTrayIconImage());
    if (!icon) {
        return false;
    }
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = MSG_TRAY_NOTIFY;
    data.hIcon = icon.Get(); // the shell keeps its own copy
    wcsncpy(data.szTip, trayTip.c_str(), kTipFieldCount - 1);
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

HMENU LoadTrayMenu(HMENU* loaded) {
    *loaded = LoadMenuW(programInstance, MAKEINTRESOURCEW(IDM_TRAY));
    if (*loaded == nullptr) {
        return nullptr;
    }
    HMENU popup = GetSubMenu(*loaded, 0);
    for (int id : {IDM_SETTING, IDM_CLOSE, IDM_RESET_TO_DEFAULT, IDM_BACKUP_PROFILES,
                   IDM_RESTORE_PROFILES, IDM_PROGRAM_PROFILES, IDM_COPY_DIAGNOSTICS}) {
        OverrideMenuItemText(popup, id);
    }
    return popup;
}

void ShowTrayMenu(HWND window) {
    UniqueMenu loaded;
    HMENU popup = LoadTrayMenu(loaded.Put());
    if (popup == nullptr) {
        return;
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    SetCapture(window);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    loaded.Reset();
    ReleaseCapture();
}

void OpenSettingsDialog() {
    if (settingsDialogClosed != 1) {
        return; // one Settings dialog at a time
    }
    if (!IsMousePresent()) {
        MessageBoxW(nullptr, kConnectMouseText, nullptr, MB_ICONERROR | MB_OK);
        return;
    }
    // The flag is cleared only for a dialog that exists, or "Setting" would never open again.
    if (CreateDialogParamW(programInstance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr,
                           SettingsDialogProc, 0) != nullptr) {
        settingsDialogClosed = 0;
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_SETTING:
            OpenSettingsDialog();
            return 0;
        case IDM_RESET_TO_DEFAULT:
            ResetToDefault();
            return 0;
        case IDM_BACKUP_PROFILES:
            BackUpProfiles(nullptr);
            return 0;
        case IDM_RESTORE_PROFILES:
            RestoreProfiles(nullptr);
            return 0;
        case IDM_PROGRAM_PROFILES:
            EditProgramProfiles(nullptr);
            return 0;
        case IDM_COPY_DIAGNOSTICS:
            CopyDiagnostics(window);
            return 0;
        case IDM_CLOSE:
            DestroyWindow(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    case MSG_TRAY_NOTIFY:
        if (lParam == WM_LBUTTONDBLCLK) {
            OpenSettingsDialog();
        } else if (lParam == WM_RBUTTONUP) {
            ShowTrayMenu(window);
        }
        return 0;
    case WM_DEVICECHANGE:
        OnDeviceChange(window, wParam, lParam);
        return 0;
    case WM_TIMER:
        SyncCacheFromDevice();
        KillTimer(window, kRereadTimerId);
        ReconsiderProgramInFront(); // the mouse that arrived takes the program's profile
        return 0;
    case WM_PAINT: {
        const PaintScope paint(window); // nothing to draw
        return 0;
    }
    case WM_ENDSESSION:
        // Log-off ends the program here, without WM_DESTROY.
        if (wParam != FALSE) {
            RestoreSystemCursors();
        }
        return 0;
    case WM_DESTROY: {
        // The program ends; a Settings dialog still open may have left the hand cursor.
        RestoreSystemCursors();
        StopProgramSwitching();
        numberFont.Reset();
        NOTIFYICONDATAW data = {};
        data.cbSize = kTrayIconDataSize;
        data.hWnd = window;
        data.uID = kTrayIconId;
        Shell_NotifyIconW(NIM_DELETE, &data);
        if (window == mainWindow) {
            mainWindow = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    }
    default:
        if (taskbarCreatedMessage != 0 && message == taskbarCreatedMessage) {
            AddTrayIcon(window); // Explorer restarted: without this the program is unreachable
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool HandOverToRunningTray() {
    // Held until the process ends; the system closes it then, so the next start runs.
    static HANDLE trayInstance = nullptr;
    trayInstance = CreateMutexW(nullptr, FALSE, kTrayInstanceName);
    if (trayInstance == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    // The running one creates its window before its start-up copy; allow it a moment to.
    HWND running = nullptr;
    for (DWORD waited = 0; running == nullptr && waited < kHandOverWaitMs;
         waited += kHandOverStepMs) {
        running = FindWindowW(kMainClassName, kMainWindowName);
        if (running == nullptr) {
            Sleep(kHandOverStepMs);
        }
    }
    if (running != nullptr) {
        DWORD runningProcess = 0;
        GetWindowThreadProcessId(running, &runningProcess);
        // This start came from the user, so it may pass the foreground on to the dialog.
        AllowSetForegroundWindow(runningProcess);
        PostMessageW(running, MSG_TRAY_NOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
    }
    return true;
}

int RunTarnDesk(HINSTANCE instance) {
    if (HandOverToRunningTray()) {
        return 0;
    }
    RegisterMainWindowClass(instance);
    InitCommonControls();
    HWND window = CreateMainWindow(instance);
    if (window == nullptr) {
        return 0;
    }
    LoadTextSettings();
    SyncCacheFromDevice();
    StartProgramSwitching();
    AddTrayIcon(window);
    ShowCrashNotices(window, kTrayIconId);
    MSG message = {};
    BOOL got = 0;
    // GetMessageW returns -1 on an invalid call; ending the loop then avoids spinning.
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : 0;
}
