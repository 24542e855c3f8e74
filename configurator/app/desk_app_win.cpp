// TarnDesk's hidden main window and tray.
#include "desk_app.h"

#include "arrival_rule.h"
#include "open_request.h"
#include "ui/dialog_conventions_win.h"
#include "ui/diagnostics_menu_win.h"
#include "ui/history_dialog_win.h"
#include "ui/library_dialog_win.h"
#include "ui/open_profile_win.h"
#include "settings/profile_file.h"
#include "settings/memory_copy.h"
#include "settings/profile_cache.h"
#include "ui/message_boxes_win.h"
#include "ui/profile_menu.h"
#include "ui/program_profiles_win.h"
#include "resources/tarndesk_res.h"
#include "text_rules.h"
#include "text_search.h"

#include <commctrl.h>
#include <shellapi.h>

#include <utility>

namespace {

constexpr GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

constexpr wchar_t kOpenNotHandedKey[] = L"OpenNotHanded";
constexpr wchar_t kDefaultOpenNotHanded[] =
    L"The TarnDesk that runs already did not take %s. Open the file again.";
constexpr wchar_t kOpenUnreadKey[] = L"OpenUnread";
constexpr wchar_t kDefaultOpenUnread[] = L"%s cannot be used: %s.";
constexpr wchar_t kOpenNeitherKey[] = L"OpenNeither";
constexpr wchar_t kDefaultOpenNeither[] =
    L"%s is neither a profile file nor a backup of the mouse's profiles. Nothing was written.";
constexpr wchar_t kOpenProfileRefusedKey[] = L"OpenProfileRefused";
constexpr wchar_t kDefaultOpenProfileRefused[] = L"The profile file cannot be loaded.";
// A sender that floods the tray with files is refused beyond this many waiting.
constexpr size_t kWaitingFilesMax = 16;

// The path as the running tray, whose current folder is its own, must see it.
std::wstring FullPath(const std::wstring& path) {
    const DWORD count = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (count == 0) {
        return path;
    }
    std::wstring full(count, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), count, full.data(), nullptr);
    if (written == 0 || written >= count) {
        return path;
    }
    full.resize(written);
    return full;
}

} // namespace

DeskApp::DeskApp(HINSTANCE instance, MouseInterfaceSet& interfaces, PacingWait& wait,
                 TransferLock& lock, DesktopSettings& desktop)
    : session(interfaces, wait, lock), switcher(session), instance_(instance),
      desktop_(desktop), services_{instance, session, texts, headerBlock,       headerKnown,
                                   desktop_, keys_,   *this, transfersUnderWay_},
      tray_(instance, texts) {
    session.UseJournal(&journal_);
    session.UseHistory(&history_);
    history_.failed = [this](const std::wstring& problem) {
        historyProblem_ = problem;
        if (mainWindow_ != nullptr) {
            PostMessageW(mainWindow_, kHistoryKeepFailedMessage, 0, 0);
        }
    };
}

DeskApp::~DeskApp() {
    if (mainWindow_ != nullptr && IsWindow(mainWindow_)) {
        DestroyWindow(mainWindow_);
    }
    switcher.Stop();
}

HWND DeskApp::CreateMainWindow() {
    const HiddenWindowClass windowClass{
        kMainClassName, MainWindowProc, LoadIconW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM)),
        static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                      LR_SHARED)),
        MAKEINTRESOURCEW(IDM_TRAY)};
    RegisterHiddenWindowClass(instance_, windowClass);
    InitCommonControls();
    taskbarCreatedMessage_ = RegisterWindowMessageW(kTaskbarCreatedMessageName);
    memoryChangedMessage_ = RegisterWindowMessageW(kMemoryChangedMessageName);
    mainWindow_ = CreateHiddenWindow(instance_, kMainClassName, kMainWindowName, this);
    if (mainWindow_ != nullptr) {
        arrivals_.Register(mainWindow_, kHidInterfaceClass);
    }
    return mainWindow_;
}

bool DeskApp::Start() {
    if (CreateMainWindow() == nullptr) {
        return false;
    }
    texts.Load();
    // The icon comes first: its tip tells while the start-up copy reads the mouse, and a
    // balloon can say that the mouse was changed elsewhere.
    tray_.Add(mainWindow_);
    SyncCacheFromDevice();
    switcher.Start();
    if (ShowCrashNotices(mainWindow_, kTrayIconId, texts)) {
        balloonOffersHistory_ = false; // its balloon replaced the one that offered History
    }
    return true;
}

int DeskApp::Run(const std::wstring& openFile) {
    const std::wstring file = openFile.empty() ? std::wstring() : FullPath(openFile);
    if (HandOverToRunningTray(file)) {
        return 0;
    }
    if (!Start()) {
        return 0;
    }
    if (!file.empty()) {
        OpenFile(file); // handled once the loop runs
    }
    MSG message = {};
    BOOL got = 0;
    // GetMessageW returns -1 on an invalid call; ending the loop then avoids spinning.
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        DispatchDeskMessage(message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : 0;
}

bool DeskApp::HandOverToRunningTray(const std::wstring& openFile) {
    // Held until the process ends; the system closes it then, so the next start runs.
    trayInstance_.Reset(CreateMutexW(nullptr, FALSE, kTrayInstanceName));
    if (!trayInstance_ || GetLastError() != ERROR_ALREADY_EXISTS) {
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
    bool taken = false;
    if (running != nullptr) {
        DWORD runningProcess = 0;
        GetWindowThreadProcessId(running, &runningProcess);
        // This start came from the user, so it may pass the foreground on to the dialog.
        AllowSetForegroundWindow(runningProcess);
        if (openFile.empty()) {
            PostMessageW(running, MSG_TRAY_NOTIFY, kTrayIconId, WM_LBUTTONDBLCLK);
            return true;
        }
        COPYDATASTRUCT data = {};
        data.dwData = static_cast<ULONG_PTR>(kOpenFileTag);
        data.cbData = static_cast<DWORD>(openFile.size() * sizeof(wchar_t));
        data.lpData = const_cast<wchar_t*>(openFile.data());
        DWORD_PTR answer = FALSE;
        // The running tray answers at once and handles the file afterwards.
        taken = SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                    SMTO_ABORTIFHUNG, kHandOverWaitMs, &answer) != 0 &&
                answer == TRUE;
    }
    if (!taken && !openFile.empty()) {
        texts.Load();
        Tell(nullptr, texts,
             FillPattern(texts.LookupDefault(kOpenNotHandedKey, kDefaultOpenNotHanded), {openFile}),
             MB_ICONERROR);
    }
    return true;
}

void DeskApp::OpenFile(const std::wstring& path) {
    waitingFiles_.push_back(path);
    if (mainWindow_ != nullptr) {
        PostMessageW(mainWindow_, kOpenFileMessage, 0, 0);
    }
}

void DeskApp::OpenWaitingFiles() {
    if (transfersUnderWay_ > 0) {
        // Never a second transfer beside the first: the file waits for it to end.
        SetTimer(mainWindow_, kOpenRetryTimerId, kOpenRetryDelayMs, nullptr);
        return;
    }
    KillTimer(mainWindow_, kOpenRetryTimerId);
    while (!waitingFiles_.empty() && transfersUnderWay_ == 0) {
        const std::wstring path = waitingFiles_.front();
        waitingFiles_.erase(waitingFiles_.begin());
        OpenNow(path);
    }
}

void DeskApp::OpenNow(const std::wstring& path) {
    // The questions count as part of the transfer, as the tray menu's restore counts them.
    const TransferUnderWay underWay(transfersUnderWay_);
    if (!session.IsMousePresent()) {
        ShowConnectMouse(texts);
        return;
    }
    CapturedReport report(&texts);
    std::string content;
    const std::wstring unread = ReadProfileFileText(path, &content, report);
    if (!unread.empty()) {
        Tell(nullptr, texts,
             FillPattern(texts.LookupDefault(kOpenUnreadKey, kDefaultOpenUnread), {path, unread}),
             MB_ICONERROR);
        return;
    }
    const auto wrote = [this] { MouseWrittenHere(); };
    const auto tellDone = [this](const std::wstring& done) { ShowHistoryBalloon(done); };
    if (IsBackupFile(content)) {
        RestoreProfilesFrom(nullptr, services_, path, wrote, tellDone);
        return;
    }
    if (!IsLibraryProfileFile(content)) {
        Tell(nullptr, texts,
             FillPattern(texts.LookupDefault(kOpenNeitherKey, kDefaultOpenNeither), {path}),
             MB_ICONERROR);
        return;
    }
    // Refused before the question: nothing is asked for a file that cannot be loaded.
    std::string name;
    if (!CheckLibraryFile(session, path, report, &name)) {
        Tell(nullptr, texts,
             texts.LookupDefault(kOpenProfileRefusedKey, kDefaultOpenProfileRefused) + L"\n\n" +
                 report.Text(),
             MB_ICONERROR);
        return;
    }
    const std::optional<int32_t> active = session.QueryProfile();
    const int slot = ChooseProfileSlot(instance_, nullptr, texts, FromUtf8(name),
                                       active.has_value() ? static_cast<int>(*active) : 0);
    if (slot < 0) {
        return; // cancelled: nothing written
    }
    LoadProfileInto(nullptr, services_, path, slot, wrote, tellDone);
}

// The copy and the reset run inside an open Settings dialog's message loop: they move every
// profile through a block of their own, so the profile the dialog shows stays as it is.
void DeskApp::SyncCacheFromDevice() {
    const TransferUnderWay underWay(transfersUnderWay_);
    const HeaderBlock before = headerBlock;
    tray_.ShowReading(mainWindow_, true);
    bool changedElsewhere = false;
    {
        // The copy is one piece: no write of another TarnDesk comes between its blocks.
        const SessionHold hold = session.Hold();
        const bool known = ::SyncCacheFromDevice(session, headerBlock, &changedElsewhere);
        headerKnown = headerKnown || known;
        knownChanges_ = MemoryChanges();
    }
    tray_.ShowReading(mainWindow_, false);
    changedElsewhereUntold_ = changedElsewhereUntold_ || changedElsewhere;
    TellChangedElsewhere();
    if (settingsDialog_ != nullptr) {
        settingsDialog_->HeaderReplaced(before);
    }
}

void DeskApp::TellChangedElsewhere() {
    if (changedElsewhereUntold_ && mainWindow_ != nullptr) {
        changedElsewhereUntold_ = false;
        ++changedElsewhereTold;
        ShowHistoryBalloon(texts.LookupDefault(kChangedElsewhereKey, kDefaultChangedElsewhere));
    }
}

void DeskApp::ShowHistoryBalloon(const std::wstring& text) {
    if (mainWindow_ != nullptr) {
        tray_.ShowBalloon(mainWindow_, text);
        balloonOffersHistory_ = true;
    }
}

void DeskApp::ResetToDefault() {
    if (transfersUnderWay_ > 0) {
        return;
    }
    const TransferUnderWay underWay(transfersUnderWay_);
    bool reached = false;
    {
        const SessionHold hold = session.Hold();
        // Reset replaces every profile anyway; only its header must be the mouse's latest.
        CurrentBeforeWrite();
        // Without a header read whole its other bytes are unknown: it is not written then.
        reached = WriteDefaults(session, headerBlock, headerKnown) && hold.Held();
        Wrote();
    }
    // An open dialog still shows the functions from before; an Apply from it would write
    // them back over the defaults.
    if (settingsDialog_ != nullptr) {
        settingsDialog_->Refresh();
    }
    // A write the history stopped is told by its own message, posted when it stopped.
    if (!reached && historyProblem_.empty()) {
        ShowWriteFailed(nullptr, texts);
    } else {
        ShowHistoryBalloon(texts.LookupDefault(kResetDoneKey, kDefaultResetDone));
    }
}

void DeskApp::RestoreProfiles() {
    if (transfersUnderWay_ > 0) {
        return;
    }
    const TransferUnderWay underWay(transfersUnderWay_);
    ::RestoreProfiles(
        nullptr, services_, [this] { MouseWrittenHere(); },
        [this](const std::wstring& done) { ShowHistoryBalloon(done); });
}

void DeskApp::OpenHistory() {
    if (transfersUnderWay_ > 0) {
        return;
    }
    RunHistoryDialog(nullptr, services_, [this] { MouseWrittenHere(); });
}

void DeskApp::OpenLibrary() {
    if (transfersUnderWay_ > 0) {
        return;
    }
    RunLibraryDialog(
        nullptr, services_, [this] { MouseWrittenHere(); }, libraryDialog_);
}

// After a write from one of the tray's own dialogs: the program's copies and an open Settings
// dialog show what the mouse holds now.
void DeskApp::MouseWrittenHere() {
    headerKnown = headerKnown || LoadCachedHeader().has_value();
    Wrote();
    if (settingsDialog_ != nullptr) {
        settingsDialog_->Refresh();
    }
}

bool DeskApp::CurrentBeforeWrite() {
    const uint32_t changes = MemoryChanges();
    // Checked before each of our writes, under the lock: a change counted since then by this
    // process is our own last write, which our copies hold.
    if (changes == knownChanges_ || LastMemoryChanger() == GetCurrentProcessId()) {
        knownChanges_ = changes;
        return true;
    }
    CatchUpWithMouse();
    return false;
}

void DeskApp::Wrote() {
    if (LastMemoryChanger() == GetCurrentProcessId()) {
        knownChanges_ = MemoryChanges();
    }
}

void DeskApp::CatchUpWithMouse() {
    if (const std::optional<HeaderBlock> cached = LoadCachedHeader()) {
        headerBlock = *cached;
        headerKnown = true;
    }
    knownChanges_ = MemoryChanges();
    if (settingsDialog_ != nullptr) {
        settingsDialog_->Refresh();
    }
}

void DeskApp::CacheStoreFailed() {
    if (cacheFailureTold_) {
        return;
    }
    cacheFailureTold_ = true;
    ShowCacheStoreFailed(nullptr, texts);
}

void DeskApp::OpenSettingsDialog() {
    if (settingsDialog_ != nullptr) {
        return; // one Settings dialog at a time
    }
    if (!session.IsMousePresent()) {
        ShowConnectMouse(texts);
        return;
    }
    settingsDialog_ = SettingsDialog::Create(services_, *this, lastSettings_);
}

void DeskApp::SettingsDialogClosed(const SettingsDialogState& last) {
    lastSettings_ = last;
    settingsDialog_ = nullptr;
}

void DeskApp::OnDeviceChange(WPARAM event, LPARAM data) {
    const std::wstring_view name = ArrivedInterfaceName(event, data);
    if (name.empty()) {
        return;
    }
    const DeviceIds& ids = session.Ids();
    if (ContainsIgnoringCase(name, ArrivalPattern(ids.vendorId, ids.productId))) {
        // Restarting the timer on every arrival gives one re-read after a burst.
        SetTimer(mainWindow_, kRereadTimerId, kRereadDelayMs, nullptr);
    }
}

LRESULT CALLBACK DeskApp::MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* app = reinterpret_cast<DeskApp*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (app == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return app->Handle(window, message, wParam, lParam);
}

LRESULT DeskApp::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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
            if (transfersUnderWay_ == 0) {
                const TransferUnderWay underWay(transfersUnderWay_);
                BackUpProfiles(nullptr, services_);
            }
            return 0;
        case IDM_RESTORE_PROFILES:
            RestoreProfiles();
            return 0;
        case IDM_HISTORY:
            OpenHistory();
            return 0;
        case IDM_PROFILE_LIBRARY:
            OpenLibrary();
            return 0;
        case IDM_PROGRAM_PROFILES:
            RunProgramProfilesDialog(nullptr, texts, switcher, programProfilesDialog_);
            return 0;
        case IDM_COPY_DIAGNOSTICS:
            if (transfersUnderWay_ == 0) {
                const TransferUnderWay underWay(transfersUnderWay_);
                CopyDiagnostics(window, session, texts);
            }
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
            tray_.ShowMenu(window);
        } else if (lParam == NIN_BALLOONUSERCLICK) {
            // History opens on its newest snapshot: the one the change just kept.
            if (std::exchange(balloonOffersHistory_, false)) {
                OpenHistory();
            }
        } else if (lParam == NIN_BALLOONTIMEOUT) {
            balloonOffersHistory_ = false;
        }
        return 0;
    case WM_COPYDATA: {
        // Any program on the desktop can send this: only a well-formed request of ours counts.
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::wstring path;
        if (data == nullptr || waitingFiles_.size() >= kWaitingFilesMax ||
            !ReadOpenRequest(data->dwData, data->lpData, data->cbData, &path)) {
            return FALSE;
        }
        OpenFile(path); // the sender waits for this answer, so the file is handled later
        return TRUE;
    }
    case kOpenFileMessage:
        OpenWaitingFiles();
        return 0;
    case kHistoryKeepFailedMessage:
        if (!historyProblem_.empty()) {
            ShowHistoryKeepFailed(nullptr, texts, historyProblem_);
            historyProblem_.clear();
        }
        return 0;
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kOpenRetryTimerId) {
            OpenWaitingFiles();
            return 0;
        }
        if (transfersUnderWay_ > 0) {
            return 0; // the timer comes again once the transfer under way has ended
        }
        SyncCacheFromDevice();
        KillTimer(window, kRereadTimerId);
        switcher.Reconsider(); // the mouse that arrived takes the program's profile
        return 0;
    case WM_PAINT: {
        const PaintScope paint(window); // nothing to draw
        return 0;
    }
    case WM_ENDSESSION:
        // Log-off ends the program here, without WM_DESTROY.
        if (wParam != FALSE && settingsDialog_ != nullptr) {
            settingsDialog_->RestoreSystemCursors();
        }
        return 0;
    case WM_DESTROY:
        // The program ends: an open Settings dialog goes with it (restoring the system
        // cursors, if it shows the hand, and releasing its font).
        if (settingsDialog_ != nullptr) {
            DestroyWindow(settingsDialog_->Window());
        }
        switcher.Stop();
        tray_.Remove(window);
        arrivals_.Unregister();
        if (window == mainWindow_) {
            mainWindow_ = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    default:
        if (memoryChangedMessage_ != 0 && message == memoryChangedMessage_) {
            // Our own writes are known already; another process's make our copies old.
            if (static_cast<DWORD>(wParam) != GetCurrentProcessId() && transfersUnderWay_ == 0) {
                CatchUpWithMouse();
            }
            return 0;
        }
        if (taskbarCreatedMessage_ != 0 && message == taskbarCreatedMessage_) {
            tray_.Add(window); // Explorer restarted: without this the program is unreachable
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
