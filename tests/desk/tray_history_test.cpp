// The history against the simulated mouse: every way the tray writes the mouse keeps exactly
// one snapshot of the memory before it, a mouse changed elsewhere keeps the cache from before
// once, and a damaged file of the history is listed as damaged and never restored.
#include "app/desk_app.h"

#include "dialog_harness.h"
#include "model/button_assignment.h"
#include "resources/history_dialog_res.h"
#include "resources/select_profile_res.h"
#include "resources/settings_dialog_res.h"
#include "resources/tarndesk_res.h"
#include "settings/backup_restore.h"
#include "settings/history.h"
#include "settings/profile_cache.h"
#include "tray_fixture.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <functional>

namespace {

void ClearHistory() {
    const std::wstring folder = HistoryFolderPath();
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

MemoryImage Memory(const SimulatedMouse& mouse) {
    MemoryImage image{};
    for (int area = 0; area < kImageBlockCount; ++area)
        std::memcpy(image[size_t(area)].data(), mouse.firmware.memory[area], kBlockLength);
    return image;
}

MemoryImage Pattern(uint8_t seed) {
    MemoryImage image{};
    for (size_t b = 0; b < image.size(); ++b)
        for (size_t i = 0; i < kBlockLength; ++i)
            image[b][i] = uint8_t(seed + b * 40 + i * 3);
    return image;
}

std::wstring ProfileFileBeside(const wchar_t* name, const MemoryImage& image) {
    const std::wstring path = TestProgramDirectory() + L"\\" + name;
    const std::string text =
        FormatProfileFile(image, {0xF1D0, 0x0084, "1.0.0", "2026-12-08T10:00:00Z"});
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
    return path;
}

class TrayHistory : public TrayFixture {
  protected:
    void SetUp() override {
        tarn_fw_init(&mouse.firmware);
        const MemoryImage start = Pattern(0);
        for (int area = 0; area < kImageBlockCount; ++area)
            std::memcpy(mouse.firmware.memory[area], start[size_t(area)].data(), kBlockLength);
        OpenMainWindow();
        DeleteSettingsTree();
        ClearHistory();
        app.SyncCacheFromDevice(); // a first run: nothing to compare with
    }
    void TearDown() override {
        ClearHistory();
        TrayFixture::TearDown();
    }

    void CloseSettings() {
        if (HWND d = SettingsWindow()) {
            SendMessageW(d, WM_CLOSE, 0, 0);
            PumpMessagesFor(20);
        }
    }

    static void Choose(HWND dialog, int comboId, int function) {
        HWND combo = GetDlgItem(dialog, comboId);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(function), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }
};

} // namespace

TEST_F(TrayHistory, EveryWriteKeepsOneSnapshotOfTheMemoryBeforeIt) {
    struct Row {
        const char* name;
        ChangeCause cause;
        int profile;
        std::function<void()> act;
    };
    const Row rows[] = {
        {"Apply", ChangeCause::Apply, 0,
         [this] {
             SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
             HWND d = SettingsWindow();
             ASSERT_NE(d, nullptr);
             Choose(d, IDC_FUNCTION1 + 2, FunctionRightClick);
             SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
             CloseSettings();
         }},
        // Select Profile's result is written twice; the change is one step back.
        {"detail dialog", ChangeCause::Button, 0,
         [this] {
             SendMessageW(window, WM_COMMAND, IDM_SETTING, 0);
             HWND d = SettingsWindow();
             ASSERT_NE(d, nullptr);
             ModalSteps steps({[] {
                 if (HWND s = FindDialog(L"Select Profile")) {
                     SendMessageW(s, WM_COMMAND, MAKEWPARAM(IDC_TARGET1 + 4, BN_CLICKED), 0);
                     SendMessageW(s, WM_COMMAND, IDOK, 0);
                 }
             }});
             Choose(d, IDC_FUNCTION1 + 5, FunctionSelectProfile);
             ASSERT_TRUE(steps.Done());
             CloseSettings();
         }},
        // The balloon that says Reset is done opens History, once, on the step just kept.
        {"Reset", ChangeCause::Reset, -1,
         [this] {
             SendMessageW(window, WM_COMMAND, IDM_RESET_TO_DEFAULT, 0);
             int selected = -1;
             ModalSteps steps({[&selected] {
                 HWND history = FindDialog(L"History");
                 ASSERT_NE(history, nullptr) << "a click on the balloon did not open History";
                 selected =
                     ListView_GetNextItem(GetDlgItem(history, IDC_HISTORY_LIST), -1, LVNI_SELECTED);
                 PostMessageW(history, WM_COMMAND, IDC_HISTORY_CLOSE, 0);
             }});
             SendMessageW(window, MSG_TRAY_NOTIFY, kTrayIconId, NIN_BALLOONUSERCLICK);
             EXPECT_TRUE(steps.Done());
             EXPECT_EQ(selected, 0);
             // A second click (the balloon has gone) opens nothing.
             ModalSteps none({});
             SendMessageW(window, MSG_TRAY_NOTIFY, kTrayIconId, NIN_BALLOONUSERCLICK);
             EXPECT_FALSE(none.EndedAStuckDialog());
         }},
        {"import", ChangeCause::Import, -1,
         [this] {
             CapturedReport report;
             EXPECT_EQ(ImportMemory(app.session, ProfileFileBeside(L"h.tarnprofiles", Pattern(9)),
                                    app.headerBlock, report),
                       kExitDone);
         }},
        // The History dialog's Restore, confirmed once, of a snapshot kept earlier.
        {"restore", ChangeCause::Restore, -1,
         [this] {
             ASSERT_EQ(KeepSnapshot(app.session, Pattern(77), {ChangeCause::Import, -1}), L"");
             ModalSteps steps(
                 {[] { PostMessageW(FindDialog(L"History"), WM_COMMAND, IDC_HISTORY_RESTORE, 0); },
                  [] { PostMessageW(FindDialog(L"Mouse"), WM_COMMAND, IDYES, 0); },
                  [] { PostMessageW(FindDialog(L"Mouse"), WM_COMMAND, IDOK, 0); },
                  [] { PostMessageW(FindDialog(L"History"), WM_COMMAND, IDC_HISTORY_CLOSE, 0); }});
             SendMessageW(window, WM_COMMAND, IDM_HISTORY, 0);
             EXPECT_TRUE(steps.Done());
             EXPECT_EQ(Memory(mouse), Pattern(77)) << "the snapshot was not written back";
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ClearHistory();
        app.SyncCacheFromDevice();
        // The memory before the change, with the snapshot a restore starts from kept aside.
        const MemoryImage before = Memory(mouse);
        row.act();
        const std::vector<SnapshotEntry> entries = ListSnapshots(app.session);
        const size_t earlier = row.cause == ChangeCause::Restore ? 1 : 0;
        ASSERT_EQ(entries.size(), 1 + earlier);
        EXPECT_FALSE(entries[0].damaged)
            << std::string(entries[0].problem.begin(), entries[0].problem.end());
        EXPECT_EQ(entries[0].image, before);
        EXPECT_EQ(entries[0].name.reason.cause, row.cause);
        EXPECT_EQ(entries[0].name.reason.profile, row.profile);
        EXPECT_NE(Memory(mouse), before) << "the change did not reach the mouse";
    }
    // The same memory again is no new step back.
    const MemoryImage now = Memory(mouse);
    ASSERT_EQ(KeepSnapshot(app.session, now, {}), L"");
    const size_t count = ListSnapshots(app.session).size();
    ASSERT_EQ(KeepSnapshot(app.session, now, {}), L"");
    EXPECT_EQ(ListSnapshots(app.session).size(), count);
}

TEST_F(TrayHistory, AMouseChangedElsewhereKeepsTheCacheFromBeforeOnce) {
    // Nothing changed: no snapshot, no balloon, at start-up or at an arrival.
    app.SyncCacheFromDevice();
    SendMessageW(window, WM_TIMER, kRereadTimerId, 0);
    EXPECT_TRUE(ListSnapshots(app.session).empty());
    EXPECT_EQ(app.changedElsewhereTold, 0);
    // Nor after a write of this TarnDesk.
    SendMessageW(window, WM_COMMAND, IDM_RESET_TO_DEFAULT, 0);
    ClearHistory();
    app.SyncCacheFromDevice();
    EXPECT_TRUE(ListSnapshots(app.session).empty());
    EXPECT_EQ(app.changedElsewhereTold, 0);

    // Another computer wrote profile 3, then the mouse comes back.
    const MemoryImage before = Memory(mouse);
    mouse.firmware.memory[3][7] ^= 0x55;
    SendMessageW(window, WM_TIMER, kRereadTimerId, 0);
    std::vector<SnapshotEntry> entries = ListSnapshots(app.session);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].image, before);
    EXPECT_EQ(entries[0].name.reason.cause, ChangeCause::ChangedElsewhere);
    EXPECT_EQ(app.changedElsewhereTold, 1);
    EXPECT_EQ(ReadValue(CacheKeyPath(2), kProfileValueName),
              std::vector<uint8_t>(mouse.firmware.memory[3], mouse.firmware.memory[3] + 512));
    // Once: the cache holds the change now.
    SendMessageW(window, WM_TIMER, kRereadTimerId, 0);
    EXPECT_EQ(ListSnapshots(app.session).size(), 1u);
    EXPECT_EQ(app.changedElsewhereTold, 1);

    // At start-up the same, told once the icon is there.
    DestroyWindow(window);
    PumpMessagesFor(20);
    mouse.firmware.memory[0][3] ^= 0x11;
    DeskApp next{GetModuleHandleW(nullptr), mouse, wait, *lock, desktop};
    ASSERT_TRUE(next.Start());
    window = next.MainWindow();
    EXPECT_EQ(ListSnapshots(app.session).size(), 2u);
    EXPECT_EQ(next.changedElsewhereTold, 1);
}

TEST_F(TrayHistory, ADamagedSnapshotIsListedAsDamagedAndNeverRestored) {
    ASSERT_EQ(KeepSnapshot(app.session, Pattern(50), {ChangeCause::Apply, 2}), L"");
    std::vector<SnapshotEntry> entries = ListSnapshots(app.session);
    ASSERT_EQ(entries.size(), 1u);
    // One byte changed by hand: the checksum no longer matches.
    std::string text = FormatProfileFile(Pattern(50), {0xF1D0, 0x0084, "1.0.0", "x"});
    text[text.find("profile2 0040 ") + 15] ^= 1;
    WriteFileBytes(entries[0].path, std::vector<uint8_t>(text.begin(), text.end()));
    entries = ListSnapshots(app.session);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].damaged);
    EXPECT_NE(entries[0].problem.find(L"checksum"), std::wstring::npos);

    const MemoryImage before = Memory(mouse);
    // The dialog says so instead of asking, and writes nothing.
    const std::vector<std::wstring> boxes = AnswerMessageBoxes(
        [&] {
            ModalSteps steps(
                {[] { PostMessageW(FindDialog(L"History"), WM_COMMAND, IDC_HISTORY_RESTORE, 0); },
                 [] { PostMessageW(FindDialog(L"History"), WM_COMMAND, IDC_HISTORY_CLOSE, 0); }});
            SendMessageW(window, WM_COMMAND, IDM_HISTORY, 0);
        },
        L"Mouse");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(L"damaged"), std::wstring::npos);
    EXPECT_EQ(Memory(mouse), before);
    EXPECT_EQ(ListSnapshots(app.session).size(), 1u);
}
