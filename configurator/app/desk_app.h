// TarnDesk's process as one object: the session with the mouse, the text settings, the
// program's header block, the hidden main window with the tray icon and its menu, program
// profiles and the open Settings dialog. One per process.
#pragma once

#include "ui/desk_services.h"
#include "ui/desktop_settings.h"
#include "handle_owners_win.h"
#include "hidden_window_win.h"
#include "model/memory_image.h"
#include "mouse/mouse_session.h"
#include "ui/program_switch_win.h"
#include "ui/recorder.h"
#include "ui/settings_dialog.h"
#include "settings/cache_journal.h"
#include "settings/history.h"
#include "settings/text_files.h"
#include "ui/tray_icon_win.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The system's own class name, capital L included: other programs find TarnDesk's window by
// it, so it is kept exactly as it is spelled.
inline constexpr wchar_t kMainClassName[] = L"TarnDeskCLass";
inline constexpr wchar_t kMainWindowName[] = L"TarnDeskWnd";
inline constexpr UINT_PTR kRereadTimerId = 1;
inline constexpr UINT kRereadDelayMs = 200;
inline constexpr wchar_t kTaskbarCreatedMessageName[] = L"TaskbarCreated";
// One tray program per log-on session: the first start holds this mutex for its lifetime.
inline constexpr wchar_t kTrayInstanceName[] = L"Local\\TarnDeskTray";
inline constexpr DWORD kHandOverWaitMs = 10000;
inline constexpr DWORD kHandOverStepMs = 50;
// Posted to the main window when a write was stopped because the memory it would replace
// could not be kept in the history: told once the write's hold has ended.
inline constexpr UINT kHistoryKeepFailedMessage = WM_APP + 40;
// Posted to the main window by itself when a later start handed it a file to open: the sender
// waits for WM_COPYDATA's answer, so the file is handled after it.
inline constexpr UINT kOpenFileMessage = WM_APP + 41;
// While a transfer is under way a file handed over waits; this timer looks again.
inline constexpr UINT_PTR kOpenRetryTimerId = 2;
inline constexpr UINT kOpenRetryDelayMs = 250;

class DeskApp final : public SettingsDialogHost, public MemoryView {
  public:
    DeskApp(HINSTANCE instance, MouseInterfaceSet& interfaces, PacingWait& wait, TransferLock& lock,
            DesktopSettings& desktop);
    ~DeskApp() override;
    DeskApp(const DeskApp&) = delete;
    DeskApp& operator=(const DeskApp&) = delete;

    // The tray program from its entry point (a second start hands over); the exit code.
    // `openFile` ("/open FILE"): the file the tray handles, this one or the one running.
    int Run(const std::wstring& openFile = {});
    // When a tray program already runs in this session: hands it `openFile`, or without one
    // asks it to open its Settings dialog as a double click on its icon does, and returns true
    // (this start then ends). Otherwise takes the tray's place and returns false.
    bool HandOverToRunningTray(const std::wstring& openFile = {});
    // A profile file or backup opened from the desktop: a backup is restored after the user
    // confirmed it, a profile file goes into the profile the user chooses. Kept until a
    // transfer under way has ended.
    void OpenFile(const std::wstring& path);
    // Start-up up to the message loop: the window, arrivals, texts, the copy, program
    // profiles, the tray icon. False when the main window cannot be made.
    bool Start();
    // Registers "TarnDeskCLass" (icon 110, menu 106) and creates the hidden main window,
    // registered for HID interface arrivals. Null on failure.
    HWND CreateMainWindow();

    // Reads the five profile blocks and the header block from the mouse into the cache; see
    // SyncCacheFromDevice in the settings layer.
    void SyncCacheFromDevice();
    // "Reset to Default": the defaults into the mouse and the cache; says so when a block did
    // not reach the mouse whole.
    void ResetToDefault();
    // "Setting": opens dialog 101 when none is open and the mouse is present.
    void OpenSettingsDialog();

    HWND MainWindow() const { return mainWindow_; }
    SettingsDialog* OpenDialog() const { return settingsDialog_; }
    const DeskServices& Services() { return services_; }

    MouseSession session;
    TextSettings texts;
    // The header block: read whole from the mouse at start-up and at each arrival, edited by
    // the Settings dialog's trackbars, written by Apply and Reset.
    HeaderBlock headerBlock;
    // False until a header has been read whole or found whole in the cache.
    bool headerKnown = false;
    ProgramSwitcher switcher;
    // Balloons shown that the mouse came back changed elsewhere.
    int changedElsewhereTold = 0;

  private:
    static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnDeviceChange(WPARAM event, LPARAM data);
    void SettingsDialogClosed(const SettingsDialogState& last) override;
    // MemoryView
    bool CurrentBeforeWrite() override;
    void Wrote() override;
    void CacheStoreFailed() override;
    // Another TarnDesk process wrote the mouse: the header, and an open dialog, from the cache.
    void CatchUpWithMouse();
    void RestoreProfiles();
    void OpenHistory();
    void OpenLibrary();
    // The files handed over that wait, one at a time, for no transfer to be under way.
    void OpenWaitingFiles();
    void OpenNow(const std::wstring& path);
    // What a write from one of the tray's own dialogs or an opened file does afterwards: the
    // header from the cache and an open Settings dialog shown anew.
    void MouseWrittenHere();
    void TellChangedElsewhere();
    // A balloon after a change the history holds: a click on it opens History.
    void ShowHistoryBalloon(const std::wstring& text);

    HINSTANCE instance_;
    DesktopSettings& desktop_;
    KeyRepeatMemory keys_;
    CacheJournal journal_;
    HistoryKeeper history_;
    std::wstring historyProblem_;
    bool changedElsewhereUntold_ = false;
    // The balloon shown last offers History (another balloon, or its end, takes that back).
    bool balloonOffersHistory_ = false;
    // The count of the mouse's changes by any TarnDesk (MemoryChanges) that the program's
    // copies stand for.
    uint32_t knownChanges_ = 0;
    UINT memoryChangedMessage_ = 0;
    int transfersUnderWay_ = 0;
    bool cacheFailureTold_ = false;
    DeskServices services_;
    TrayIcon tray_;
    HWND mainWindow_ = nullptr;
    DeviceArrivals arrivals_;
    UINT taskbarCreatedMessage_ = 0;
    SettingsDialog* settingsDialog_ = nullptr;
    // What the next Settings dialog starts from: what the last one left.
    SettingsDialogState lastSettings_;
    HWND programProfilesDialog_ = nullptr;
    HWND libraryDialog_ = nullptr;
    // Files handed over or opened at the start, oldest first, not handled yet.
    std::vector<std::wstring> waitingFiles_;
    // Held for the process's life, so the next start in this session hands over.
    UniqueHandle trayInstance_;
};
