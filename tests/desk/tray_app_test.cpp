// TarnDesk's main window procedure driven by messages, on the real registry, menus, timers
// and shell, with no mouse attached.
#include "app/desk_app.h"

#include "handle_owners_win.h"
#include "model/memory_image.h"
#include "resources/settings_dialog_res.h"
#include "resources/tarndesk_res.h"
#include "settings/profile_cache.h"
#include "settings/text_files.h"
#include "model/button_assignment.h"
#include "tray_fixture.h"
#include "ui/message_boxes_win.h"
#include "ui/tray_icon_win.h"

#include <gtest/gtest.h>

#include <dbt.h>
#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

bool TrayIconExists(HWND window) {
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

std::vector<uint8_t> CachedProfile(int number) {
    return ReadValue(CacheKeyPath(number), kProfileValueName);
}

// The 16 x 16 icon's pixel at (x, y) as 0x00RRGGBB.
uint32_t IconPixel(HICON icon, int x, int y) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) {
        return 0;
    }
    const UniqueBitmap color(info.hbmColor);
    const UniqueBitmap mask(info.hbmMask);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    uint32_t pixels[256] = {};
    const WindowDc screen(nullptr);
    GetDIBits(screen.Get(), color.Get(), 0, 16, pixels, &format, DIB_RGB_COLORS);
    return pixels[y * 16 + x] & 0xFFFFFF;
}

// The main window with no mouse attached: the simulated mouse stays unplugged, whatever
// HID devices the Wine prefix holds.
class TrayApp : public TrayFixture {
  protected:
    TrayApp() { mouse.unplugged = true; }

    static void SetUpTestSuite() { DeleteValue(kSettingsKeyPath, kLanguageValueName); }

    void SetUp() override {
        app.texts.Load();
        OpenMainWindow();
    }

    // Opens the Settings dialog while the mouse is plugged in for a moment; its window.
    HWND OpenSettingsWithMouse() {
        mouse.unplugged = false;
        SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
        mouse.unplugged = true;
        return SettingsWindow();
    }

    void Arrive(const std::wstring& name, WPARAM event = DBT_DEVICEARRIVAL) {
        auto bytes = InterfaceBroadcast(name);
        SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(bytes.data()));
    }

    // True when an arrival started the re-read timer (stopping it).
    bool RereadPending() { return KillTimer(window, kRereadTimerId) != FALSE; }
};

} // namespace

TEST_F(TrayApp, ArrivalsOfTheConfigurationInterfaceOnlyStartTheReread) {
    Arrive(kMouseConfigInterface);
    EXPECT_TRUE(RereadPending());
    Arrive(L"\\\\?\\HID#VID_F1D0&PID_0084&MI_02&COL01#7&2B&0&0000#{4D1E55B2-F16F-11CF}");
    EXPECT_TRUE(RereadPending());
    Arrive(L"\\\\?\\hid#vid_f1d0&pid_0084#0000#{4d1e55b2-f16f-11cf-88cb-001111000030}");
    EXPECT_FALSE(RereadPending());
    Arrive(L"\\\\?\\hid#vid_f1d0&pid_0084&mi_01&col01#0000");
    EXPECT_FALSE(RereadPending());
    Arrive(L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col02#0000");
    EXPECT_FALSE(RereadPending());
    // Removal and other events change nothing.
    Arrive(kMouseConfigInterface, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_FALSE(RereadPending());
    Arrive(kMouseConfigInterface, DBT_DEVNODES_CHANGED);
    EXPECT_FALSE(RereadPending());
}

TEST_F(TrayApp, MalformedDeviceBroadcastsAreIgnored) {
    EXPECT_EQ(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0), 0);
    EXPECT_FALSE(RereadPending());
    auto volume = InterfaceBroadcast(kMouseConfigInterface, DBT_DEVTYP_VOLUME);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(volume.data()));
    EXPECT_FALSE(RereadPending());
    // A record whose size stops before the pattern ends is read no further than its size.
    auto shortened = InterfaceBroadcast(kMouseConfigInterface);
    reinterpret_cast<DEV_BROADCAST_HDR*>(shortened.data())->dbch_size =
        static_cast<DWORD>(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + 20 * 2);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(shortened.data()));
    EXPECT_FALSE(RereadPending());
    reinterpret_cast<DEV_BROADCAST_HDR*>(shortened.data())->dbch_size = 4;
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(shortened.data()));
    EXPECT_FALSE(RereadPending());
}

TEST_F(TrayApp, BurstOfArrivalsGivesOneCopyAfterTheLast) {
    // The mouse arrives holding a marker; the cache shows when the copy ran.
    for (int i = 0; i < kProfileCount; ++i) {
        WriteValue(CacheKeyPath(i), kProfileValueName, REG_BINARY,
                   std::vector<uint8_t>(kBlockLength, 0));
    }
    mouse.unplugged = false;
    std::memset(mouse.firmware.memory, 0x5A, sizeof mouse.firmware.memory);
    const std::vector<uint8_t> first(kBlockLength, 0x5A);
    DWORD lastArrival = 0;
    for (int i = 0; i < 4; ++i) {
        Arrive(kMouseConfigInterface);
        lastArrival = GetTickCount();
        PumpMessagesFor(60);
        EXPECT_NE(CachedProfile(0), first) << "copied before the burst ended";
    }
    DWORD copiedAt = 0;
    while (GetTickCount() - lastArrival < 2000) {
        PumpMessagesFor(5);
        if (CachedProfile(0) == first) {
            copiedAt = GetTickCount();
            break;
        }
    }
    ASSERT_NE(copiedAt, 0u) << "no copy after the burst";
    EXPECT_GE(copiedAt - lastArrival, 180u);
    for (int i = 0; i < kProfileCount; ++i) {
        EXPECT_EQ(CachedProfile(i), first);
    }
    // Exactly one copy: later memory contents never reach the cache.
    std::memset(mouse.firmware.memory, 0x6B, sizeof mouse.firmware.memory);
    PumpMessagesFor(600);
    EXPECT_EQ(CachedProfile(0), first);
    EXPECT_FALSE(RereadPending());
}

TEST_F(TrayApp, AnyTimerCopiesTheMemoryAndStopsTheReread) {
    mouse.unplugged = false;
    std::memset(mouse.firmware.memory[5], 0x21, kBlockLength);
    std::memset(mouse.firmware.memory[0], 0x43, kBlockLength);
    Arrive(kMouseConfigInterface);
    SendMessageW(window, WM_TIMER, 7, 0);
    EXPECT_FALSE(RereadPending());
    EXPECT_EQ(CachedProfile(4), std::vector<uint8_t>(kBlockLength, 0x21));
    EXPECT_EQ(ReadValue(CacheKeyPath(255), kHeaderValueName),
              std::vector<uint8_t>(kBlockLength, 0x43));
}

TEST_F(TrayApp, ResetWithoutMouseStoresTheDefaults) {
    DeleteSettingsTree();
    // A Settings dialog shows the active profile 1 from the cache and edits its own copy.
    WriteValue(CacheKeyPath(0), kProfileValueName, REG_BINARY,
               std::vector<uint8_t>(kBlockLength, 0x77));
    ASSERT_NE(OpenSettingsWithMouse(), nullptr);
    const ProfileBlock working = app.OpenDialog()->State().profileBlock;
    ASSERT_EQ(working.bytes[0], 0x77);
    mouse.ClearTranscript();
    app.headerBlock.bytes.fill(0xEE); // as last read from the mouse
    app.headerKnown = true;
    // Nothing reached a mouse, and the user is told so once.
    const std::vector<std::wstring> told =
        AnswerMessageBoxes([&] { SendMessageW(window, WM_COMMAND, IDM_RESET_TO_DEFAULT, 0); });
    EXPECT_EQ(told, std::vector<std::wstring>{
                        app.texts.LookupDefault(kWriteFailedKey, kDefaultWriteFailed)});
    for (int i = 0; i < kProfileCount; ++i) {
        std::vector<uint8_t> expected(kBlockLength, 0);
        const uint8_t records[7][4] = {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {0, 0}, {0, 0}};
        for (int n = 0; n < 7; ++n) {
            expected[4 * n] = static_cast<uint8_t>((i << 5) | n);
            expected[4 * n + 1] = records[n][0];
            expected[4 * n + 2] = records[n][1];
        }
        EXPECT_EQ(CachedProfile(i), expected) << "profile " << i;
    }
    std::vector<uint8_t> header(kBlockLength, 0xEE);
    for (int i = 0; i < kProfileCount; ++i) {
        const uint8_t record[5] = {static_cast<uint8_t>(i), 0, 1, 8, 8};
        std::memcpy(header.data() + 64 + 8 * i, record, sizeof(record));
    }
    DWORD type = REG_NONE;
    EXPECT_EQ(ReadValue(CacheKeyPath(255), kHeaderValueName, &type), header);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(std::vector<uint8_t>(app.headerBlock.bytes.begin(), app.headerBlock.bytes.end()),
              header);
    ASSERT_NE(app.OpenDialog(), nullptr);
    // An open dialog shows the defaults now: an Apply from it must not write back what it
    // showed before the reset.
    EXPECT_EQ(app.OpenDialog()->State().profileBlock, DefaultProfile(0));
    EXPECT_TRUE(mouse.Sent().empty());
}

TEST_F(TrayApp, SettingWithoutMouseShowsTheMessageOnce) {
    std::atomic<bool> done{false};
    std::wstring text;
    std::wstring caption;
    std::thread closer([&] {
        for (int i = 0; i < 500 && !done; ++i) {
            HWND box = FindWindowW(L"#32770", nullptr);
            DWORD process = 0;
            if (box != nullptr) {
                GetWindowThreadProcessId(box, &process);
            }
            if (box != nullptr && process == GetCurrentProcessId() && IsWindowVisible(box)) {
                wchar_t buffer[256] = {};
                GetDlgItemTextW(box, 0xFFFF, buffer, 256);
                text = buffer;
                GetWindowTextW(box, buffer, 256);
                caption = buffer;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    });
    SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
    done = true;
    closer.join();
    EXPECT_EQ(text, kConnectMouseText);
    EXPECT_EQ(caption, L"Error"); // no caption of our own: the system's default
    EXPECT_EQ(app.OpenDialog(), nullptr);
}

TEST_F(TrayApp, MenuKeepsResourceTextsWhereTheFileHasNone) {
    const std::wstring path =
        WriteLanguageFile(L"7201", Utf16File(L"[7201]\r\n32773=Einstellungen\r\n32771=Schlie\x00DF"
                                             L"en\r\n"));
    TextSettings german;
    german.languageCode = L"7201";
    german.languageFilePath = path;
    const TrayIcon tray(GetModuleHandleW(nullptr), german);
    HMENU loaded = nullptr;
    HMENU popup = tray.LoadPopupMenu(&loaded);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), 12);
    const UINT ids[12] = {IDM_SETTING,
                          0,
                          IDM_RESET_TO_DEFAULT,
                          0,
                          IDM_BACKUP_PROFILES,
                          IDM_RESTORE_PROFILES,
                          IDM_PROFILE_LIBRARY,
                          IDM_HISTORY,
                          IDM_PROGRAM_PROFILES,
                          IDM_COPY_DIAGNOSTICS,
                          0,
                          IDM_CLOSE};
    const wchar_t* texts[12] = {L"Einstellungen",
                                L"",
                                L"Reset to Default",
                                L"",
                                L"Back up profiles...",
                                L"Restore profiles...",
                                L"Profile library...",
                                L"History...",
                                L"Program profiles...",
                                L"Copy diagnostics",
                                L"",
                                L"Schlie\x00DF"
                                L"en"};
    for (int i = 0; i < 12; ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, texts[i]);
        if (ids[i] != 0) {
            EXPECT_EQ(GetMenuItemID(popup, i), ids[i]);
        } else {
            EXPECT_TRUE(GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR);
        }
    }
    DestroyMenu(loaded);
}

TEST_F(TrayApp, MenuOpensOnRightButtonReleaseOnly) {
    // A press does nothing.
    EXPECT_EQ(SendMessageW(window, MSG_TRAY_NOTIFY, 0, WM_RBUTTONDOWN), 0);
    EXPECT_EQ(FindWindowW(L"#32768", nullptr) != nullptr &&
                  IsWindowVisible(FindWindowW(L"#32768", nullptr)),
              false);
    // The release tracks the menu; another thread reads and dismisses it.
    std::atomic<bool> done{false};
    std::wstring firstItem;
    int items = 0;
    std::thread closer([&] {
        for (int i = 0; i < 500 && !done; ++i) {
            HWND menuWindow = FindWindowW(L"#32768", nullptr);
            if (menuWindow != nullptr && IsWindowVisible(menuWindow)) {
                auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
                wchar_t text[64] = {};
                GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
                firstItem = text;
                items = GetMenuItemCount(menu);
                PostMessageW(window, WM_CANCELMODE, 0, 0);
                PostMessageW(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
                return;
            }
            Sleep(10);
        }
    });
    EXPECT_EQ(SendMessageW(window, MSG_TRAY_NOTIFY, 0, WM_RBUTTONUP), 0);
    done = true;
    closer.join();
    EXPECT_EQ(items, 12);
    EXPECT_EQ(firstItem, L"Setting");
    EXPECT_EQ(GetCapture(), nullptr);
}

// The picture lies in the program's own folder, whatever the current folder is: started at
// log-on, TarnDesk's current folder is another one.
TEST_F(TrayApp, TrayIconPictureFromTheProgramsFolderElseTheResource) {
    const TrayIcon tray(GetModuleHandleW(nullptr), app.texts);
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    // No "image" folder beside the tests: icon 112 (cyan wheel), even from a current folder
    // that holds image\mark.ico (the programs' folder).
    SetCurrentDirectoryW((TestProgramDirectory() + L"..\\bin").c_str());
    HICON icon = tray.LoadIconImage();
    ASSERT_NE(icon, nullptr);
    const uint32_t resourceWheel = IconPixel(icon, 8, 4);
    DestroyIcon(icon);
    // image\mark.ico (orange wheel) beside the test program, from any current folder.
    const std::wstring folder = TestProgramDirectory() + L"image";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((TestProgramDirectory() + L"..\\bin\\image\\mark.ico").c_str(),
                          (folder + L"\\mark.ico").c_str(), FALSE));
    SetCurrentDirectoryW(saved);
    icon = tray.LoadIconImage();
    const uint32_t fileWheel = icon != nullptr ? IconPixel(icon, 8, 4) : 0;
    if (icon != nullptr) {
        DestroyIcon(icon);
    }
    DeleteFileW((folder + L"\\mark.ico").c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_GT(resourceWheel & 0xFF, (resourceWheel >> 16) & 0xFF) << std::hex << resourceWheel;
    EXPECT_GT((fileWheel >> 16) & 0xFF, fileWheel & 0xFF) << std::hex << fileWheel;
}

TEST_F(TrayApp, TrayIconAddedRemovedAndRestoredWithTheTaskbar) {
    // The icon as the start-up adds it: the shell knows it by window and id.
    TrayIcon tray(GetModuleHandleW(nullptr), app.texts);
    ASSERT_TRUE(tray.Add(window));
    EXPECT_TRUE(TrayIconExists(window));
    // Explorer restarted: its icons are gone until the programs add them again.
    NOTIFYICONDATAW data = {};
    data.cbSize = kTrayIconDataSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    Shell_NotifyIconW(NIM_DELETE, &data);
    EXPECT_FALSE(TrayIconExists(window));
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconExists(window));
    // Close: the icon goes, an open Settings dialog goes with its number font, and the loop
    // is told to end.
    HWND dialog = OpenSettingsWithMouse();
    ASSERT_NE(dialog, nullptr);
    const auto font =
        reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_PROFILE_NUMBER1, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    ASSERT_NE(GetObjectType(font), 0u);
    EXPECT_EQ(SendMessageW(window, WM_COMMAND, IDM_CLOSE, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(TrayIconExists(window));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(app.OpenDialog(), nullptr);
    EXPECT_EQ(GetObjectType(font), 0u);
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(TrayApp, NoPictureAtAllMeansNoTrayIcon) {
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(TestProgramDirectory().c_str());
    TrayIcon tray(GetModuleHandleW(L"kernel32.dll"), app.texts); // holds no icon 112
    EXPECT_FALSE(tray.Add(window));
    SetCurrentDirectoryW(saved);
    EXPECT_FALSE(TrayIconExists(window));
    // The other menu commands still work without an icon.
    EXPECT_EQ(SendMessageW(window, WM_COMMAND, 40000, 0), 0);
    EXPECT_EQ(SendMessageW(window, WM_PAINT, 0, 0), 0);
}
