// The golden scenarios' way into TarnDesk as it is built today.
#include "golden_desk.h"

#include "command_line.h"
#include "device_channel.h"
#include "handle_owners_win.h"
#include "program_switch_win.h"
#include "settings_dialog.h"
#include "text_files.h"
#include "tray_app.h"

#include "test_harness_win.h"

#include <commctrl.h>
#include <dbt.h>

#include <cstring>
#include <vector>

namespace {

class Desktop final : public DesktopSettings {
  public:
    explicit Desktop(GoldenDesktop& golden) : golden_(golden) {}
    int PointerSpeed() override { return golden_.PointerSpeed(); }
    void SetPointerSpeed(int speed) override { golden_.PointerSpeedSet(speed); }
    void SetArrowCursor(HCURSOR cursor) override { DestroyCursor(cursor); }
    void ReloadSystemCursors() override {}

  private:
    GoldenDesktop& golden_;
};

BOOL CALLBACK FindSettings(HWND window, LPARAM found) {
    if (reinterpret_cast<DLGPROC>(GetWindowLongPtrW(window, DWLP_DLGPROC)) == SettingsDialogProc) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring ReadBack(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (file) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
            bytes.append(buffer, got);
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                            length);
    return text;
}

} // namespace

struct GoldenDesk::State {
    State(SimulatedMouse& m, RecordingWait& w, GoldenDesktop& d) : scope(m, &w), desktop(d) {}
    SimulatedMouseScope scope;
    Desktop desktop;
    HWND window = nullptr;
};

GoldenDesk::GoldenDesk(SimulatedMouse& mouse, RecordingWait& wait, GoldenDesktop& desktop)
    : state_(std::make_unique<State>(mouse, wait, desktop)) {
    desktopSettings = &state_->desktop;
    settingsDialogClosed = 1;
}

GoldenDesk::~GoldenDesk() {
    if (HWND dialog = SettingsDialog())
        DestroyWindow(dialog);
    if (state_->window != nullptr && IsWindow(state_->window))
        DestroyWindow(state_->window);
    PumpMessagesFor(20); // drains WM_QUIT
    StopProgramSwitching();
    settingsDialogClosed = 1;
    desktopSettings = nullptr;
}

void GoldenDesk::Start() {
    static const ATOM registered = RegisterMainWindowClass(GetModuleHandleW(nullptr));
    (void)registered;
    InitCommonControls();
    state_->window = CreateMainWindow(GetModuleHandleW(nullptr));
    LoadTextSettings();
    SyncCacheFromDevice();
    StartProgramSwitching();
}

HWND GoldenDesk::MainWindow() const {
    return state_->window;
}

void GoldenDesk::Command(int id) {
    SendMessageW(state_->window, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void GoldenDesk::Arrival() {
    const wchar_t name[] =
        L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    std::vector<uint8_t> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + sizeof name);
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    broadcast->dbcc_size = static_cast<DWORD>(bytes.size());
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(broadcast->dbcc_name, name, sizeof name);
    SendMessageW(state_->window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(bytes.data()));
}

HWND GoldenDesk::SettingsDialog() const {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindSettings, reinterpret_cast<LPARAM>(&found));
    return found;
}

int GoldenDesk::RunCommandLine(const std::vector<std::wstring>& arguments, std::wstring* output) {
    const std::wstring path = BesideTests(L"golden-command-output.txt");
    int code = -1;
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                            CREATE_ALWAYS, 0, nullptr));
        const HANDLE savedOut = GetStdHandle(STD_OUTPUT_HANDLE);
        const HANDLE savedErr = GetStdHandle(STD_ERROR_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, file.Get());
        SetStdHandle(STD_ERROR_HANDLE, file.Get());
        code = ::RunCommandLine(ParseCommandLine(arguments));
        SetStdHandle(STD_OUTPUT_HANDLE, savedOut);
        SetStdHandle(STD_ERROR_HANDLE, savedErr);
    }
    *output = ReadBack(path);
    DeleteFileW(path.c_str());
    return code;
}
