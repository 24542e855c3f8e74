// TarnDesk, unmodified, with no mouse plugged in: the start-up copy stores nothing, the tray
// icon and its menu appear, "Setting" asks for the mouse, "Reset to Default" still stores the
// defaults and says that they did not reach the mouse, and "Close" ends the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <optional>

#include "e2e_harness_win.h"
#include "e2e_mouse.h"

namespace tarn::e2e {
namespace {

constexpr UINT kTrayCallback = 3025;
constexpr UINT kTrayIconId = 106;
constexpr UINT kCommandSetting = 32773;
constexpr UINT kCommandReset = 32772;
constexpr UINT kCommandClose = 32771;
constexpr int kCacheKeys[] = {0, 1, 2, 3, 4, 255};

bool CacheIs(const std::vector<uint8_t>& (*expected)(int key)) {
    for (int key : kCacheKeys) {
        std::optional<CachedBlock> block = ReadCachedBlock(key);
        if (!block || block->type != REG_BINARY || block->bytes != expected(key))
            return false;
    }
    return true;
}

bool CacheEmpty() {
    for (int key : kCacheKeys) {
        if (ReadCachedBlock(key))
            return false;
    }
    return true;
}

// What "Reset to Default" stores over an all-zero header.
const std::vector<uint8_t>& ResetDefaults(int key) {
    static const virt::MemoryImage image = virt::DefaultsAfterReset(virt::MemoryImage{});
    static std::vector<std::vector<uint8_t>> areas;
    if (areas.empty()) {
        for (size_t area = 0; area < virt::kAreaCount; ++area)
            areas.emplace_back(image.begin() + static_cast<std::ptrdiff_t>(area * 512),
                               image.begin() + static_cast<std::ptrdiff_t>((area + 1) * 512));
    }
    return areas[key == 255 ? 0 : static_cast<size_t>(key + 1)];
}

bool TrayIconPresent(HWND window) {
    NOTIFYICONDATAW data = {};
    data.cbSize = 968;
    data.hWnd = window;
    data.uID = kTrayIconId;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

// A visible top-level window of `className` that belongs to process `id`.
HWND WindowOfProcess(const wchar_t* className, DWORD id) {
    for (HWND candidate = FindWindowW(className, nullptr); candidate != nullptr;
         candidate = FindWindowExW(nullptr, candidate, className, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(candidate, &owner);
        if (owner == id && IsWindowVisible(candidate))
            return candidate;
    }
    return nullptr;
}

// Names the language file TarnDesk reads ("language" under its settings key); null removes it.
void SetLanguage(const wchar_t* code) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Orvane\\Gaming\\Settings", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (code != nullptr)
        RegSetValueExW(key, L"language", 0, REG_SZ, reinterpret_cast<const BYTE*>(code),
                       static_cast<DWORD>((wcslen(code) + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, L"language");
    RegCloseKey(key);
}

class DeskWithoutMouse : public testing::Test {
  protected:
    void SetUp() override {
        KillProcesses(L"TarnDesk.exe");
        ASSERT_TRUE(EnsureUnplugged());
        DeleteCache();
        // German texts, so the screenshots show the language file at work.
        SetLanguage(L"0407");
        desk_.emplace(ProgramDir() + L"TarnDesk.exe", ProgramDir());
        ASSERT_TRUE(desk_->Started());
        window_ = WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000);
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return TrayIconPresent(window_); }, 10000));
        EXPECT_TRUE(CacheEmpty()) << "start-up without the mouse stored blocks";
    }
    void TearDown() override {
        if (IsWindow(window_))
            PostMessageW(window_, WM_COMMAND, kCommandClose, 0);
        if (desk_ && desk_->Started()) {
            EXPECT_TRUE(desk_->WaitExit(10000)) << "Close did not end TarnDesk";
        }
        KillProcesses(L"TarnDesk.exe");
        SetLanguage(nullptr);
        EXPECT_TRUE(EnsurePlugged()); // the tier expects the mouse back
    }

    std::optional<Program> desk_;
    HWND window_ = nullptr;
};

TEST_F(DeskWithoutMouse, StartsHiddenWithItsTrayIconAndMenu) {
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_TRUE(WaitUntil([&] { return TrayIconPresent(window_); }, 5000));
    PostMessageW(window_, kTrayCallback, 0, WM_RBUTTONUP);
    HWND menu = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] { return (menu = WindowOfProcess(L"#32768", desk_->Id())) != nullptr; }, 5000))
        << "the tray menu did not open";
    PumpMessagesFor(300, 2);
    SaveScreenshot(L"desk_tray_menu");
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(window_, WM_CANCELMODE, 0, 0);
    EXPECT_TRUE(
        WaitUntil([&] { return WindowOfProcess(L"#32768", desk_->Id()) == nullptr; }, 5000));
}

TEST_F(DeskWithoutMouse, SettingAsksForTheMouse) {
    PostMessageW(window_, WM_COMMAND, kCommandSetting, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (box = WindowOfProcess(L"#32770", desk_->Id())) != nullptr; }, 5000));
    wchar_t text[128] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 128);
    // In the language of the file, under the system's own caption.
    EXPECT_STREQ(text, L"Bitte schlie\x00DF"
                       L"en Sie Ihre Maus an einen freien USB-Anschluss an!");
    GetWindowTextW(box, text, 128);
    EXPECT_STREQ(text, L"Error");
    SaveScreenshot(L"desk_connect_mouse");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
}

TEST_F(DeskWithoutMouse, ResetStoresTheDefaultsSaysTheyMissedTheMouseAndCloseEnds) {
    PostMessageW(window_, WM_COMMAND, kCommandReset, 0);
    EXPECT_TRUE(WaitUntil([] { return CacheIs(ResetDefaults); }, 10000))
        << "Reset did not store the defaults";
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (box = WindowOfProcess(L"#32770", desk_->Id())) != nullptr; }, 5000));
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_STREQ(text, L"Die Einstellungen haben die Maus nicht erreicht. Pr\u00fcfen Sie, ob sie "
                       L"angeschlossen ist, und versuchen Sie es dann erneut.");
    SaveScreenshot(L"desk_write_failed");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
    PostMessageW(window_, WM_COMMAND, kCommandClose, 0);
    ASSERT_TRUE(desk_->WaitExit(10000));
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_FALSE(TrayIconPresent(window_));
}

} // namespace
} // namespace tarn::e2e
