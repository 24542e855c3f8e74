// The tray program with the simulated mouse plugged in: the memory copy, the re-read after
// arrivals, Reset to Default and the Settings dialog's single instance.
#include "app/desk_app.h"

#include "model/button_assignment.h"
#include "model/memory_image.h"
#include "mouse/memory_protocol.h"
#include "mouse/transfer_lock.h"
#include "settings/profile_cache.h"
#include "resources/settings_dialog_res.h"
#include "resources/tarndesk_res.h"
#include "tray_fixture.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

std::vector<uint8_t> Area(const SimulatedMouse& mouse, int area) {
    return std::vector<uint8_t>(mouse.firmware.memory[area],
                                mouse.firmware.memory[area] + kBlockLength);
}

// Top-level dialogs of this process that are visible.
int OpenDialogs() {
    struct Count {
        int dialogs = 0;
    } count;
    EnumWindows(
        [](HWND candidate, LPARAM data) -> BOOL {
            wchar_t className[16] = {};
            DWORD process = 0;
            GetWindowThreadProcessId(candidate, &process);
            GetClassNameW(candidate, className, 16);
            if (process == GetCurrentProcessId() && IsWindowVisible(candidate) &&
                std::wstring(className) == L"#32770") {
                ++reinterpret_cast<Count*>(data)->dialogs;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.dialogs;
}

class TrayWithMouse : public TrayFixture {
  protected:
    void SetUp() override {
        tarn_fw_init(&mouse.firmware);
        for (int area = 0; area < kAreaCount; ++area) {
            for (size_t i = 0; i < kBlockLength; ++i) {
                mouse.firmware.memory[area][i] = static_cast<uint8_t>(area * 40 + i * 3);
            }
        }
        OpenMainWindow();
    }
};

} // namespace

TEST_F(TrayWithMouse, CopyStoresEveryAreaOfTheMouse) {
    DeleteSettingsTree();
    // A Settings dialog shows the active profile 1 from the cache and edits its own copy.
    WriteValue(CacheKeyPath(0), kProfileValueName, REG_BINARY,
               std::vector<uint8_t>(kBlockLength, 0x3C));
    SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
    ASSERT_NE(app.OpenDialog(), nullptr);
    const ProfileBlock working = app.OpenDialog()->State().profileBlock;
    ASSERT_EQ(working.bytes[0], 0x3C);
    mouse.ClearTranscript();
    app.SyncCacheFromDevice();
    for (int profile = 0; profile < kProfileCount; ++profile) {
        EXPECT_EQ(ReadValue(CacheKeyPath(profile), kProfileValueName), Area(mouse, profile + 1));
    }
    EXPECT_EQ(ReadValue(CacheKeyPath(255), kHeaderValueName), Area(mouse, 0));
    ASSERT_NE(app.OpenDialog(), nullptr);
    EXPECT_EQ(app.OpenDialog()->State().profileBlock, working)
        << "the dialog's working copy is left as it was";
    EXPECT_TRUE(mouse.Sent().size() > 0);
    EXPECT_EQ(mouse.OpenHandles(), 0);
}

// The cache is the user's last good copy: a copy without the mouse, one torn by an unplug
// or by a refused page stores only the blocks that arrived whole.
TEST_F(TrayWithMouse, MissingOrTornCopiesKeepTheCachedBlocks) {
    DeleteSettingsTree();
    app.SyncCacheFromDevice();
    std::vector<std::vector<uint8_t>> good;
    for (int area = 0; area < kAreaCount; ++area) {
        good.push_back(Area(mouse, area));
    }
    auto cached = [](int area) {
        return area == 0 ? ReadValue(CacheKeyPath(255), kHeaderValueName)
                         : ReadValue(CacheKeyPath(area - 1), kProfileValueName);
    };

    // Started with the mouse unplugged.
    mouse.unplugged = true;
    app.SyncCacheFromDevice();
    for (int area = 0; area < kAreaCount; ++area) {
        EXPECT_EQ(cached(area), good[size_t(area)]) << "no mouse, area " << area;
    }

    // New content; unplugged in the middle of profile 2's read (areas 1 and 2 came whole).
    std::memset(mouse.firmware.memory, 0xA7, sizeof mouse.firmware.memory);
    mouse.unplugged = false;
    mouse.reportCount = 0;
    mouse.unplugAfterReports = 88 * 2 + 40;
    app.SyncCacheFromDevice();
    for (int area = 0; area < kAreaCount; ++area) {
        EXPECT_EQ(cached(area), area == 1 || area == 2 ? Area(mouse, area) : good[size_t(area)])
            << "unplugged mid-copy, area " << area;
    }

    // Replugged, and the header's page 5 is refused: the profiles come in, the header stays,
    // in the cache and in the buffer the dialog shows and Apply writes.
    mouse.unplugged = false;
    mouse.unplugAfterReports = -1;
    mouse.firmware.rejectPages[0] = 1u << 5;
    app.SyncCacheFromDevice();
    for (int area = 1; area < kAreaCount; ++area) {
        EXPECT_EQ(cached(area), Area(mouse, area)) << "area " << area;
    }
    EXPECT_EQ(cached(0), good[0]);
    EXPECT_EQ(std::vector<uint8_t>(app.headerBlock.bytes.begin(), app.headerBlock.bytes.end()),
              good[0]);

    // The next whole copy brings cache and mouse in line.
    mouse.firmware.rejectPages[0] = 0;
    app.SyncCacheFromDevice();
    for (int area = 0; area < kAreaCount; ++area) {
        EXPECT_EQ(cached(area), Area(mouse, area)) << "area " << area;
    }
}

TEST_F(TrayWithMouse, ResetWritesDefaultsIntoTheMouseAndKeepsHeaderBytes) {
    app.SyncCacheFromDevice(); // the header as the mouse holds it
    const auto headerBefore = Area(mouse, 0);
    SendMessageW(window, WM_COMMAND, IDM_RESET_TO_DEFAULT, 0);
    for (int profile = 0; profile < kProfileCount; ++profile) {
        const auto area = Area(mouse, profile + 1);
        EXPECT_EQ(area[0], (profile << 5) | 0);
        EXPECT_EQ(area[1], KindMouseButton);
        EXPECT_EQ(area[4 * 4 + 2], 4); // button 4's record: "Button 5"
        EXPECT_EQ(area[5 * 4 + 1], KindOff);
        EXPECT_EQ(std::vector<uint8_t>(area.begin() + 28, area.end()),
                  std::vector<uint8_t>(kBlockLength - 28, 0));
        EXPECT_EQ(ReadValue(CacheKeyPath(profile), kProfileValueName), area);
    }
    auto header = headerBefore;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        const uint8_t record[5] = {static_cast<uint8_t>(profile), 0, 1, 8, 8};
        std::memcpy(header.data() + 64 + 8 * profile, record, sizeof(record));
    }
    EXPECT_EQ(Area(mouse, 0), header);
    EXPECT_EQ(ReadValue(CacheKeyPath(255), kHeaderValueName), header);
}

TEST_F(TrayWithMouse, SettingOpensOneDialogAtATime) {
    ASSERT_EQ(OpenDialogs(), 0);
    SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
    EXPECT_NE(app.OpenDialog(), nullptr);
    EXPECT_EQ(OpenDialogs(), 1);
    // Neither the menu item nor a double click on the icon opens a second one.
    SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
    SendMessageW(window, MSG_TRAY_NOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_EQ(OpenDialogs(), 1);
    // Once it is closed, the next request opens a new one.
    HWND open = FindWindowW(L"#32770", nullptr);
    ASSERT_NE(open, nullptr);
    SendMessageW(open, WM_CLOSE, 0, 0);
    PumpMessagesFor(20);
    EXPECT_EQ(app.OpenDialog(), nullptr);
    if (IsWindow(open)) {
        DestroyWindow(open);
    }
    SendMessageW(window, MSG_TRAY_NOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_NE(app.OpenDialog(), nullptr);
    EXPECT_EQ(OpenDialogs(), 1);
    open = FindWindowW(L"#32770", nullptr);
    SendMessageW(open, WM_CLOSE, 0, 0);
    if (IsWindow(open)) {
        DestroyWindow(open);
    }
    PumpMessagesFor(20);
}

TEST_F(TrayWithMouse, ProgramEndRestoresTheHandTheDialogLeft) {
    // The fixture's desktop counts what the dialog does to the system cursors.
    SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
    HWND dialog = FindWindowW(L"#32770", nullptr);
    ASSERT_NE(dialog, nullptr);
    // The pointer rests on profile number 1 (no WM_MOUSELEAVE will come).
    const auto hover = [&] {
        SendMessageW(dialog, WM_SETCURSOR,
                     reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_PROFILE_BUTTON1)),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    };
    hover();
    ASSERT_EQ(desktop.handsSet, 1);
    // Log-off: the program hears of it and ends without destroying anything.
    SendMessageW(window, WM_ENDSESSION, FALSE, 0); // cancelled: nothing ends
    EXPECT_EQ(desktop.reloads, 0);
    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(desktop.reloads, 1);
    // The tray's Close ends the program while the dialog is open.
    hover();
    SendMessageW(window, WM_COMMAND, IDM_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(desktop.reloads, 2);
    DestroyWindow(dialog);
    EXPECT_EQ(desktop.reloads, 2) << "restored once only";
    PumpMessagesFor(20);
}

// A second start of the tray program finds the first one's instance mutex and asks it to
// open its Settings dialog, as a double click on its icon does.
TEST_F(TrayWithMouse, SecondStartHandsOverToTheRunningTray) {
    ASSERT_FALSE(app.HandOverToRunningTray()) << "the first start takes the tray's place";
    ASSERT_EQ(OpenDialogs(), 0);
    // The second start is a process of its own, with an application object of its own.
    DeskApp second(GetModuleHandleW(nullptr), mouse, wait, *lock, desktop);
    EXPECT_TRUE(second.HandOverToRunningTray()) << "the second start hands over";
    PumpMessagesFor(50);
    EXPECT_NE(app.OpenDialog(), nullptr);
    EXPECT_EQ(OpenDialogs(), 1);
    HWND open = FindWindowW(L"#32770", nullptr);
    SendMessageW(open, WM_CLOSE, 0, 0);
    if (IsWindow(open)) {
        DestroyWindow(open);
    }
    PumpMessagesFor(20);
}

// A first run whose header read tears keeps no partly-zero header: nothing shows or writes a
// header until one arrived whole.
TEST_F(TrayWithMouse, FirstRunWithATornHeaderShowsAndWritesNoHeader) {
    DeleteSettingsTree();
    tarn_fw_set_active(&mouse.firmware, 1);
    const auto headerBefore = Area(mouse, 0);
    mouse.firmware.rejectPages[0] = 1u << 5;
    app.SyncCacheFromDevice();
    EXPECT_FALSE(app.headerKnown);
    SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
    HWND dialog = SettingsWindow();
    ASSERT_NE(dialog, nullptr);
    wchar_t shown[32] = {};
    GetDlgItemTextW(dialog, IDC_DPI_X, shown, 32);
    EXPECT_EQ(std::wstring(shown), L"\u2014");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_TRACK_X)));
    mouse.firmware.rejectPages[0] = 0;
    HWND combo = GetDlgItem(dialog, IDC_FUNCTION1 + 2);
    SendMessageW(combo, CB_SETCURSEL, FunctionRightClick, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_FUNCTION1 + 2, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    SendMessageW(dialog, WM_COMMAND, IDC_APPLY, 0);
    EXPECT_EQ(Area(mouse, 0), headerBefore) << "a header was written without one read whole";
    EXPECT_EQ(Area(mouse, 2)[4 * 2 + 1], KindMouseButton) << "the profile was not written";
    EXPECT_FALSE(KeyExists(CacheKeyPath(255)));

    // The next whole copy makes the header known, and the dialog shows it.
    app.SyncCacheFromDevice();
    EXPECT_TRUE(app.headerKnown);
    app.OpenDialog()->Refresh();
    GetDlgItemTextW(dialog, IDC_DPI_X, shown, 32);
    EXPECT_NE(std::wstring(shown), L"\u2014");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_TRACK_X)));
}

// A cache that cannot be written is told once, not kept quiet.
TEST_F(TrayWithMouse, ACacheThatCannotBeStoredIsToldOnce) {
    DeleteSettingsTree();
    app.SyncCacheFromDevice();
    SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
    HWND dialog = SettingsWindow();
    ASSERT_NE(dialog, nullptr);
    // Below a volatile key no lasting key can be made: every store of the cache fails.
    DeleteSettingsTree();
    UniqueKey volatileKey;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, volatileKey.Put(),
                              nullptr),
              ERROR_SUCCESS);
    const std::vector<std::wstring> boxes = AnswerMessageBoxes([&] {
        for (int apply = 0; apply < 2; ++apply) {
            SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 0),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_TRACK_X)));
            SendMessageW(dialog, WM_COMMAND, IDC_APPLY, 0);
        }
    }, L"Mouse");
    volatileKey.Reset();
    DeleteSettingsTree();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(L"could not be saved"), std::wstring::npos);
}

// While another TarnDesk holds the mouse, the tray waits for it with its windows answering.
TEST_F(TrayWithMouse, WaitingForAnotherTarnDeskKeepsTheWindowsAnswering) {
    const std::unique_ptr<TransferLock> serving = CreateSystemTransferLock(true);
    DeskApp tray{GetModuleHandleW(nullptr), mouse, wait, *serving, desktop};
    HWND trayWindow = tray.CreateMainWindow();
    ASSERT_NE(trayWindow, nullptr);
    const UniqueHandle held(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    bool answered = false;
    std::thread other([&] {
        const UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kTransferLockName));
        WaitForSingleObject(mutex.Get(), INFINITE);
        SetEvent(held.Get());
        Sleep(100); // the tray is waiting by now
        DWORD_PTR result = 0;
        answered =
            SendMessageTimeoutW(trayWindow, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result) != 0;
        ReleaseMutex(mutex.Get());
    });
    WaitForSingleObject(held.Get(), 5000);
    tray.ResetToDefault();
    other.join();
    EXPECT_TRUE(answered) << "the tray's window did not answer while it waited";
    EXPECT_EQ(Area(mouse, 1)[1], KindMouseButton) << "the reset did not go through afterwards";
    DestroyWindow(trayWindow);
}
