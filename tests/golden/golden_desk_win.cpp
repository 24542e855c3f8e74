// The golden scenarios' way into TarnDesk as it is built today.
#include "golden_desk.h"

#include "app/desk_app.h"
#include "mouse/transfer_lock.h"
#include "ui/command_line.h"

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
    State(SimulatedMouse& m, RecordingWait& w, GoldenDesktop& d)
        : mouse(m), wait(w), scope(m, &w), desktop(d), lock(CreateSystemTransferLock()),
          app(GetModuleHandleW(nullptr), m, w, *lock, desktop) {}
    SimulatedMouse& mouse;
    RecordingWait& wait;
    SimulatedMouseScope scope;
    Desktop desktop;
    std::unique_ptr<TransferLock> lock;
    DeskApp app;
};

GoldenDesk::GoldenDesk(SimulatedMouse& mouse, RecordingWait& wait, GoldenDesktop& desktop)
    : state_(std::make_unique<State>(mouse, wait, desktop)) {}

GoldenDesk::~GoldenDesk() {
    if (HWND window = state_->app.MainWindow())
        DestroyWindow(window);
    PumpMessagesFor(20); // drains WM_QUIT
}

void GoldenDesk::Start() {
    state_->app.Start();
}

HWND GoldenDesk::MainWindow() const {
    return state_->app.MainWindow();
}

void GoldenDesk::Command(int id) {
    SendMessageW(MainWindow(), WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void GoldenDesk::Arrival() {
    const wchar_t name[] =
        L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    std::vector<uint8_t> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + sizeof name);
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    broadcast->dbcc_size = static_cast<DWORD>(bytes.size());
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(broadcast->dbcc_name, name, sizeof name);
    SendMessageW(MainWindow(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(bytes.data()));
}

HWND GoldenDesk::SettingsDialog() const {
    const ::SettingsDialog* dialog = state_->app.OpenDialog();
    return dialog != nullptr ? dialog->Window() : nullptr;
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
        // A command-line run is a process of its own, with its own session.
        MouseSession session(state_->mouse, state_->wait, *state_->lock);
        code = ::RunCommandLine(session, ParseCommandLine(arguments));
        SetStdHandle(STD_OUTPUT_HANDLE, savedOut);
        SetStdHandle(STD_ERROR_HANDLE, savedErr);
    }
    *output = ReadBack(path);
    DeleteFileW(path.c_str());
    return code;
}
