// The Settings, recorder, Select Profile and Program profiles dialogs under Wine, against the
// simulated mouse, the real registry cache and real keyboard input.
#include "dialog_harness.h"

#include "mouse/transfer_lock.h"
#include "app/desk_app.h"
#include "resources/program_profiles_res.h"
#include "resources/recorder_res.h"
#include "resources/select_profile_res.h"
#include "resources/settings_dialog_res.h"
#include "settings/memory_copy.h"
#include "settings/profile_file.h"
#include "settings/program_rules.h"
#include "settings/text_files.h"
#include "ui/desk_services.h"
#include "ui/dialog_conventions_win.h"
#include "ui/dialog_drawing.h"
#include "ui/library_dialog_win.h"
#include "ui/open_profile_win.h"
#include "ui/program_profiles_win.h"
#include "ui/program_switch_win.h"
#include "ui/recorder_win.h"
#include "ui/select_profile_win.h"
#include "ui/settings_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace {

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

std::vector<uint8_t> Bytes(const ProfileBlock& block) {
    return std::vector<uint8_t>(block.bytes.begin(), block.bytes.end());
}

std::vector<uint8_t> Bytes(const HeaderBlock& block) {
    return std::vector<uint8_t>(block.bytes.begin(), block.bytes.end());
}

// What the dialog does to the system-wide settings, which Wine does not keep: the pointer
// speed (with the number of reports the mouse had seen by then) and the arrow cursor.
class DesktopRecorder final : public DesktopSettings {
  public:
    explicit DesktopRecorder(const SimulatedMouse& mouse) : mouse_(mouse) {}
    int PointerSpeed() override { return speed; }
    void SetPointerSpeed(int value) override {
        speed = value;
        speedsSet.push_back(value);
        reportsBeforeSpeed = mouse_.transcript.size();
    }
    void SetArrowCursor(HCURSOR cursor) override {
        ++handsSet;
        DestroyCursor(cursor); // the system would own it
    }
    void ReloadSystemCursors() override { ++reloads; }

    int speed = 10;
    std::vector<int> speedsSet;
    size_t reportsBeforeSpeed = 0;
    int handsSet = 0;
    int reloads = 0;

  private:
    const SimulatedMouse& mouse_;
};

// Opens the Settings dialog as the tray does: one at a time, each starting from what the last
// one left.
class SettingsHost final : public SettingsDialogHost {
  public:
    void SettingsDialogClosed(const SettingsDialogState& state) override {
        last = state;
        open = false;
    }
    SettingsDialogState last;
    bool open = false;
};

// What the dialogs stand on, around the simulated mouse: one session, the texts with the
// built-in strings at 8 points, the header block, the desktop recorder and the key memory.
class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        texts.dialogFontSize = 8;
        for (int p = 0; p < kProfileCount; ++p) {
            SeedProfile(p, {});
            headerBlock.SetResolution(p, 8, 8);
        }
    }
    void TearDown() override {
        if (dialog_ != nullptr && IsWindow(dialog_)) {
            DestroyWindow(dialog_);
        }
        PumpMessagesFor(50);
    }

    // Profile p in the cache and in the mouse: the given records, events of button 1.
    void SeedProfile(int p, std::vector<ButtonRecord> records,
                     std::vector<uint8_t> button1Events = {}) {
        profileBlock = ProfileBlock{};
        for (size_t n = 0; n < records.size(); ++n) {
            profileBlock.SetRecord(static_cast<int>(n), records[n]);
        }
        std::memcpy(profileBlock.data() + 128, button1Events.data(), button1Events.size());
        StoreCachedBlock(p, profileBlock);
        std::memcpy(mouse.firmware.memory[p + 1], profileBlock.data(), kBlockLength);
    }

    HWND OpenSettings() { return OpenSettings(host.last); }
    HWND OpenSettings(const SettingsDialogState& start) {
        host.open = true; // until the dialog tells its host it closed
        const SettingsDialog* opened = SettingsDialog::Create(desk, host, start);
        dialog_ = opened != nullptr ? opened->Window() : nullptr;
        PumpMessagesFor(50);
        return dialog_;
    }

    // What the open Settings dialog shows and edits.
    const SettingsDialogState& State() const {
        static const SettingsDialogState none;
        const SettingsDialog* settings = SettingsDialog::Of(dialog_);
        if (settings == nullptr) {
            ADD_FAILURE() << "no Settings dialog is open";
            return none;
        }
        return settings->State();
    }
    // True while the dialog shows the hand; false once it is gone, and its hand with it.
    static bool HandShown(HWND dialog) {
        const SettingsDialog* settings = SettingsDialog::Of(dialog);
        return settings != nullptr && settings->HandCursorShown();
    }

    // The open dialog's own answer to a message, as its dialog procedure gets it.
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        ::SettingsDialog* settings = ::SettingsDialog::Of(dialog_);
        return settings != nullptr ? settings->Handle(message, wParam, lParam) : FALSE;
    }

    int Selection(int id) {
        return static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0));
    }

    void Choose(int comboId, int function) {
        HWND combo = GetDlgItem(dialog_, comboId);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(function), 0);
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }

    // The shown profile's block in the open dialog, and the header block it shows.
    std::vector<uint8_t> Buffer() const { return Bytes(State().profileBlock); }
    const HeaderBlock& Shown() const { return ::SettingsDialog::Of(dialog_)->ShownHeader(); }

    // The pointer resting on a click area: the WM_SETCURSOR the system sends for it.
    void Hover(int id) {
        SendMessageW(dialog_, WM_SETCURSOR, reinterpret_cast<WPARAM>(GetDlgItem(dialog_, id)),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }

    SimulatedMouse mouse;
    RecordingWait wait;
    SimulatedMouseScope scope{mouse, &wait};
    std::unique_ptr<TransferLock> lock = CreateSystemTransferLock();
    MouseSession session{mouse, wait, *lock};
    TextSettings texts;
    HeaderBlock headerBlock;
    DesktopRecorder desktop{mouse};
    KeyRepeatMemory keys;
    // The program's copies stay current unless a test says another TarnDesk wrote the mouse.
    class View final : public MemoryView {
      public:
        bool CurrentBeforeWrite() override { return current; }
        void Wrote() override { ++writes; }
        void CacheStoreFailed() override { ++cacheFailures; }
        bool current = true;
        int writes = 0;
        int cacheFailures = 0;
    } view;
    bool headerKnown = true;
    int transfersUnderWay = 0;
    DeskServices desk{Instance(), session, texts, headerBlock,      headerKnown,
                      desktop,    keys,    view,  transfersUnderWay};
    SettingsHost host;
    ProgramSwitcher switcher{session};
    // The block SeedProfile put into mouse and cache last; the recorder and Select Profile
    // tests edit it as the Settings dialog edits the profile it shows.
    ProfileBlock profileBlock;
    HWND dialog_ = nullptr;
};

constexpr ButtonRecord Rec(uint8_t kind, uint8_t param = 0, uint8_t bytes = 0) {
    return ButtonRecord{0, kind, param, bytes};
}

// A profile with a recorded macro on button 1 and a profile switch on button 2.
const std::vector<ButtonRecord> kRichProfile = {Rec(1, 0), Rec(4, 0, 8), Rec(10, 2),  Rec(1, 3),
                                                Rec(1, 4), Rec(1, 5),    Rec(5, 0, 4)};
const std::vector<uint8_t> kMacroEvents = {0x04, 0x80, 10, 0, 0x04, 0x00, 10, 0};

using SettingsDialog = DialogTest;

TEST_F(SettingsDialog, OpensOnTheMouseProfileWithTheCachedButtonsAndResolution) {
    SeedProfile(1, kRichProfile, kMacroEvents);
    headerBlock.SetResolution(1, 8, 12);
    tarn_fw_set_active(&mouse.firmware, 1);
    HWND d = OpenSettings();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(State().currentProfile, 1);
    for (int i = 0; i < kProfileCount; ++i) {
        EXPECT_EQ(Enabled(d, IDC_PROFILE_NUMBER1 + i), i == 1) << i;
        EXPECT_EQ(ItemText(d, IDC_PROFILE_NUMBER1 + i),
                  std::wstring(1, static_cast<wchar_t>(L'1' + i)));
    }
    const int expected[] = {1, 8, 10, 4, 5, 6, 9};
    for (int n = 0; n < kButtonCount; ++n) {
        EXPECT_EQ(Selection(IDC_FUNCTION1 + n), expected[n]) << n;
        EXPECT_EQ(Visible(d, IDC_DETAIL1 + n), expected[n] >= 7) << n;
    }
    EXPECT_EQ(ItemText(d, IDC_DPI_X), L"800");
    EXPECT_EQ(ItemText(d, IDC_DPI_Y), L"1200");
    EXPECT_EQ(SendDlgItemMessageW(d, IDC_TRACK_Y, TBM_GETPOS, 0, 0), 12);
    EXPECT_FALSE(Enabled(d, IDC_FUNCTION1));
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
    EXPECT_FALSE(Visible(d, IDC_REFRESH));
    EXPECT_FALSE(Visible(d, IDC_CAPTION1));
    EXPECT_EQ(ItemText(d, IDC_FUNCTION1 + 1), L"Macro Key");
    EXPECT_TRUE(SaveScreenshot(d, L"settings_profile.png"));
}

TEST_F(SettingsDialog, FollowsAProfileSwitchOnTheMouseWithinOnePoll) {
    SeedProfile(3, kRichProfile, kMacroEvents);
    HWND d = OpenSettings();
    EXPECT_EQ(Selection(IDC_FUNCTION1 + 1), 0);
    tarn_fw_switch_profile(&mouse.firmware, 3);
    PumpMessagesFor(650);
    EXPECT_EQ(State().currentProfile, 3);
    EXPECT_TRUE(Enabled(d, IDC_PROFILE_NUMBER1 + 3));
    EXPECT_FALSE(Enabled(d, IDC_PROFILE_NUMBER1));
    EXPECT_EQ(Selection(IDC_FUNCTION1 + 1), 8);
}

TEST_F(SettingsDialog, ClickingNumberFourSelectsIndexThree) {
    SeedProfile(3, kRichProfile, kMacroEvents);
    HWND d = OpenSettings();
    // A real click on the click area over the number.
    SetForegroundWindow(d);
    RECT rect;
    GetWindowRect(GetDlgItem(d, IDC_PROFILE_BUTTON1 + 3), &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    PumpMessagesFor(150);
    EXPECT_EQ(State().currentProfile, 3);
    EXPECT_EQ(mouse.firmware.activeProfile, 3);
    EXPECT_TRUE(Enabled(d, IDC_PROFILE_NUMBER1 + 3));
    EXPECT_EQ(Selection(IDC_FUNCTION1 + 2), 10);
    // The next poll sees the new profile and shows the same content.
    PumpMessagesFor(600);
    EXPECT_EQ(State().lastSeenProfile, 3);
    EXPECT_EQ(Selection(IDC_FUNCTION1 + 2), 10);
    SetCursorPos(1, 1);
}

TEST_F(SettingsDialog, MacroChoiceOpensTheRecorderAndClosingItWritesTheProfile) {
    tarn_fw_set_active(&mouse.firmware, 2);
    HWND d = OpenSettings();
    Choose(IDC_FUNCTION1 + 1, 1); // a change before the recorder, written with it
    EXPECT_TRUE(Enabled(d, IDC_APPLY));
    bool recorderShown = false;
    ModalSteps steps({[&] {
        HWND r = FindDialog(L"Macro Key");
        recorderShown = r != nullptr;
        if (r != nullptr) {
            SendMessageW(r, WM_COMMAND, IDC_CANCEL, 0);
        }
    }});
    Choose(IDC_FUNCTION1 + 3, FunctionMacroKey);
    EXPECT_TRUE(recorderShown);
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
    EXPECT_EQ(MouseArea(mouse, 3), Buffer());
    EXPECT_EQ(CachedValue(2), Buffer());
    EXPECT_EQ(State().profileBlock.bytes[5], KindMouseButton); // button 1 now "Left Click"

    Choose(IDC_FUNCTION1 + 3, FunctionLeftClick);
    EXPECT_FALSE(Visible(d, IDC_DETAIL1 + 3));
    EXPECT_TRUE(Enabled(d, IDC_APPLY));
}

TEST_F(SettingsDialog, SelectProfileChoiceStoresTheTargetInMouseAndCache) {
    HWND d = OpenSettings();
    ModalSteps steps({[&] {
        HWND s = FindDialog(L"Select Profile");
        if (s != nullptr) {
            SendMessageW(s, WM_COMMAND, MAKEWPARAM(IDC_TARGET1 + 4, BN_CLICKED), 0);
            SendMessageW(s, WM_COMMAND, IDOK, 0);
        }
    }});
    Choose(IDC_FUNCTION1 + 5, FunctionSelectProfile);
    const uint8_t record[] = {0x05, KindProfileSwitch, 4, 0};
    EXPECT_EQ(std::memcmp(mouse.firmware.memory[1] + 20, record, 4), 0);
    EXPECT_EQ(CachedValue(0), Buffer());
    EXPECT_TRUE(Visible(d, IDC_DETAIL1 + 5));
}

// The mouse switches profiles while Select Profile is open: the poll waits, the target goes
// into the profile that was shown, and the switch shows once the dialog has closed.
TEST_F(SettingsDialog, DetailDialogResultLandsInTheProfileShownWhenItOpened) {
    SeedProfile(3, kRichProfile, kMacroEvents);
    tarn_fw_set_active(&mouse.firmware, 1);
    HWND d = OpenSettings();
    ASSERT_EQ(State().currentProfile, 1);
    const std::vector<uint8_t> profile3 = MouseArea(mouse, 4);
    ModalSteps steps({[&] {
                          tarn_fw_switch_profile(&mouse.firmware, 3);
                          PumpMessagesFor(700); // more than one poll period inside the modal loop
                      },
                      [&] {
                          HWND s = FindDialog(L"Select Profile");
                          if (s != nullptr) {
                              SendMessageW(s, WM_COMMAND, MAKEWPARAM(IDC_TARGET1 + 4, 0), 0);
                              SendMessageW(s, WM_COMMAND, IDOK, 0);
                          }
                      }});
    Choose(IDC_FUNCTION1 + 5, FunctionSelectProfile);
    ASSERT_TRUE(steps.Done());
    const uint8_t record[] = {(1 << 5) | 5, KindProfileSwitch, 4, 0};
    EXPECT_EQ(std::memcmp(mouse.firmware.memory[2] + 20, record, 4), 0) << "not in profile 1";
    EXPECT_EQ(std::memcmp(CachedValue(1).data() + 20, record, 4), 0);
    EXPECT_EQ(MouseArea(mouse, 4), profile3) << "profile 3 was not being edited";
    EXPECT_EQ(CachedValue(3), profile3);
    // Now the dialog follows the mouse.
    EXPECT_EQ(State().currentProfile, 3);
    EXPECT_TRUE(Enabled(d, IDC_PROFILE_NUMBER1 + 3));
    EXPECT_EQ(Selection(IDC_FUNCTION1 + 1), FunctionMacroKey);
}

// The arrival copy runs inside the dialog's message loop: the next Apply still writes the
// profile that is shown, not the last one the copy moved through the buffer.
TEST_F(SettingsDialog, ArrivalCopyWhileOpenLeavesTheShownProfileToApply) {
    SeedProfile(1, kRichProfile, kMacroEvents);
    tarn_fw_set_active(&mouse.firmware, 1);
    HWND d = OpenSettings();
    SyncCacheFromDevice(session, headerBlock);
    Choose(IDC_FUNCTION1 + 3, FunctionRightClick);
    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
    const std::vector<uint8_t> applied = MouseArea(mouse, 2);
    EXPECT_EQ(applied[4 + 1], KindMacro) << "button 1's macro was lost";
    EXPECT_EQ(std::vector<uint8_t>(applied.begin() + 128, applied.begin() + 136), kMacroEvents);
}

// A restore rewrites mouse and cache behind the open dialog: it shows the restored profile, so
// an Apply cannot write the old one back.
TEST_F(SettingsDialog, ARestoreBehindTheOpenDialogIsShownBeforeAnyApply) {
    SeedProfile(1, kRichProfile, kMacroEvents);
    tarn_fw_set_active(&mouse.firmware, 1);
    HWND d = OpenSettings();
    ASSERT_EQ(Selection(IDC_FUNCTION1 + 1), FunctionMacroKey);
    SeedProfile(1, {Rec(1, 0), Rec(1, 1)}); // what the restore put into mouse and cache
    ::SettingsDialog::Of(d)->Refresh();     // what the tray does once a restore is done
    EXPECT_EQ(Selection(IDC_FUNCTION1 + 1), FunctionRightClick);
    Choose(IDC_FUNCTION1 + 3, FunctionRightClick);
    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
    EXPECT_EQ(MouseArea(mouse, 2)[4 + 1], 1) << "button 1 stays as restored";
}

// Writes that do not reach the mouse: one message, and Apply stays enabled to try again.
TEST_F(SettingsDialog, WriteThatMissesTheMouseIsToldAndApplyStaysEnabled) {
    HWND d = OpenSettings();
    std::vector<std::wstring> told;
    auto answer = [&] {
        HWND box = FindDialog(L"Error");
        if (box != nullptr) {
            told.push_back(ItemText(box, 0xFFFF));
            SendMessageW(box, WM_COMMAND, IDOK, 0);
        }
    };
    Choose(IDC_FUNCTION1 + 1, FunctionRightClick);
    mouse.firmware.rejectPages[0] = 1u << 4; // the header's page 4 is refused
    {
        ModalSteps steps({answer});
        SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], texts.LookupDefault(kWriteFailedKey, kDefaultWriteFailed));
    EXPECT_TRUE(Enabled(d, IDC_APPLY));
    EXPECT_EQ(MouseArea(mouse, 1), Buffer()) << "the profile itself went through";

    // Applied again once the mouse takes it: no message, Apply off.
    mouse.firmware.rejectPages[0] = 0;
    {
        ModalSteps steps({answer});
        SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
    }
    EXPECT_EQ(told.size(), 1u);
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
    EXPECT_EQ(MouseArea(mouse, 0), Bytes(headerBlock));

    // A detail dialog closed while the mouse is gone: told, Apply on; the cache has it.
    mouse.unplugged = true;
    {
        ModalSteps steps({[&] {
                              if (HWND s = FindDialog(L"Select Profile")) {
                                  SendMessageW(s, WM_COMMAND, IDOK, 0);
                              }
                          },
                          answer});
        Choose(IDC_FUNCTION1 + 4, FunctionSelectProfile);
    }
    EXPECT_EQ(told.size(), 2u);
    EXPECT_TRUE(Enabled(d, IDC_APPLY));
    EXPECT_EQ(CachedValue(0), Buffer());
}

TEST_F(SettingsDialog, ResolutionTrackbarsShowStepsAndWriteBothIntoTheHeader) {
    headerBlock.SetResolution(0, 8, 12);
    HWND d = OpenSettings();
    HWND trackX = GetDlgItem(d, IDC_TRACK_X);
    SendMessageW(trackX, TBM_SETPOS, TRUE, 4);
    SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 4), reinterpret_cast<LPARAM>(trackX));
    EXPECT_EQ(ItemText(d, IDC_DPI_X), L"400");
    EXPECT_EQ(Shown().bytes[64 + 3], 4);
    EXPECT_EQ(Shown().bytes[64 + 4], 12);
    EXPECT_TRUE(Enabled(d, IDC_APPLY));
    // TB_ENDTRACK changes nothing.
    SendMessageW(trackX, TBM_SETPOS, TRUE, 9);
    SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(trackX));
    EXPECT_EQ(ItemText(d, IDC_DPI_X), L"400");

    // Real keys on the focused Y trackbar.
    SetForegroundWindow(d);
    SetFocus(GetDlgItem(d, IDC_TRACK_Y));
    TapKey(VK_END);
    PumpMessagesFor(100);
    EXPECT_EQ(ItemText(d, IDC_DPI_Y), L"3200");
    EXPECT_EQ(Shown().bytes[64 + 4], 32);

    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
    EXPECT_EQ(mouse.firmware.memory[0][64 + 3], 4);
    EXPECT_EQ(mouse.firmware.memory[0][64 + 4], 32);
    EXPECT_EQ(CachedValue(255)[64 + 4], 32);
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
}

TEST_F(SettingsDialog, PointerSpeedRoundTripsThroughTheTrackbar) {
    desktop.speed = 7;
    HWND d = OpenSettings();
    EXPECT_EQ(SendDlgItemMessageW(d, IDC_SPEED, TBM_GETPOS, 0, 0), 3);
    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0); // without moving it: 2 x 3
    HWND track = GetDlgItem(d, IDC_SPEED);
    SendMessageW(track, TBM_SETPOS, TRUE, 0);
    SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(track));
    EXPECT_TRUE(Enabled(d, IDC_APPLY));
    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0); // position 0 gives the slowest speed, 1
    SendMessageW(track, TBM_SETPOS, TRUE, 10);
    SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(track));
    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0); // TB_ENDTRACK moved nothing
    SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_BOTTOM, 0), reinterpret_cast<LPARAM>(track));
    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
    EXPECT_EQ(desktop.speedsSet, (std::vector<int>{6, 1, 1, 20}));
    // The system's own speed at an opening: 20 shows position 10, 1 shows 0.
    SendMessageW(d, WM_COMMAND, IDC_CLOSE, 0);
    desktop.speed = 1;
    d = OpenSettings();
    EXPECT_EQ(SendDlgItemMessageW(d, IDC_SPEED, TBM_GETPOS, 0, 0), 0);
}

// Apply: pointer speed, profile write, its cache store, header write, its cache store, the
// 50 ms pause and the select, in this order; observed at every pacing wait.
TEST_F(SettingsDialog, ApplyWritesInItsOrderAndSelectsAfterThePause) {
    tarn_fw_set_active(&mouse.firmware, 2);
    HWND d = OpenSettings();
    ASSERT_EQ(State().currentProfile, 2);
    Choose(IDC_FUNCTION1 + 1, FunctionRightClick);
    HWND trackX = GetDlgItem(d, IDC_TRACK_X);
    SendMessageW(trackX, TBM_SETPOS, TRUE, 16);
    SendMessageW(d, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 16), reinterpret_cast<LPARAM>(trackX));
    const std::vector<uint8_t> oldProfile = CachedValue(2);
    const std::vector<uint8_t> oldHeader = CachedValue(255);
    const std::vector<uint8_t> newProfile = Buffer();
    const std::vector<uint8_t> newHeader = Bytes(Shown());
    ASSERT_NE(oldProfile, newProfile);
    ASSERT_NE(oldHeader, newHeader);

    struct Seen {
        uint32_t ms;
        size_t sent; // reports sent by then
        bool profileStored;
        bool headerStored;
    };
    std::vector<Seen> seen;
    wait.onWait = [&](uint32_t ms) {
        seen.push_back(
            {ms, mouse.Sent().size(), CachedValue(2) == newProfile, CachedValue(255) == newHeader});
    };
    mouse.ClearTranscript();
    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
    wait.onWait = nullptr;

    EXPECT_EQ(desktop.speedsSet.size(), 1u);
    EXPECT_EQ(desktop.reportsBeforeSpeed, 0u) << "the speed is set before any report";
    // The reports: profile 2 into area 3, the header into area 0, then the select.
    const std::vector<FeatureReport> sent = mouse.Sent();
    ASSERT_EQ(sent.size(), 88u + 88u + 1u);
    for (size_t p = 0; p < 8; ++p) {
        EXPECT_EQ(sent[11 * p], (FeatureReport{5, 7, 1, 0, 3, uint8_t(p), 0, 0})) << p;
        EXPECT_EQ(sent[88 + 11 * p], (FeatureReport{5, 7, 1, 0, 0, uint8_t(p), 0, 0})) << p;
    }
    EXPECT_EQ(sent.back(), (FeatureReport{5, 9, 0xFE, 2, 0, 0, 0, 0}));
    EXPECT_EQ(MouseArea(mouse, 3), newProfile);
    EXPECT_EQ(MouseArea(mouse, 0), newHeader);
    EXPECT_EQ(mouse.firmware.pacingViolations, 0u);

    // 88 waits per block, the pause, the select's wait.
    ASSERT_EQ(seen.size(), 88u + 88u + 2u);
    const Seen& profileEnd = seen[87];
    EXPECT_FALSE(profileEnd.profileStored) << "stored before the profile was written";
    const Seen& headerStart = seen[88];
    EXPECT_TRUE(headerStart.profileStored) << "the profile is stored before the header write";
    EXPECT_FALSE(headerStart.headerStored);
    const Seen& headerEnd = seen[175];
    EXPECT_FALSE(headerEnd.headerStored) << "stored before the header was written";
    const Seen& pause = seen[176];
    EXPECT_EQ(pause.ms, 50u);
    EXPECT_EQ(pause.sent, 176u) << "the pause follows the header's last report";
    EXPECT_EQ(headerEnd.sent, 176u);
    EXPECT_TRUE(pause.headerStored) << "the header is stored before the pause";
    EXPECT_EQ(seen[177].sent, 177u) << "the select comes after it";
    EXPECT_EQ(seen[177].ms, 5u);
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
}

TEST_F(SettingsDialog, ApplyInTheBasicStateWritesOnlyTheHeader) {
    tarn_fw_set_active(&mouse.firmware, 5);
    // The basic state loads no profile: the dialog keeps the block it started from.
    SettingsDialogState start;
    start.profileBlock.bytes.fill(0x5A);
    headerBlock.bytes[3] = 9;
    HWND d = OpenSettings(start);
    ASSERT_EQ(State().currentProfile, 5);
    ASSERT_EQ(Buffer(), std::vector<uint8_t>(kBlockLength, 0x5A));
    mouse.ClearTranscript();
    wait.waits.clear();
    SendMessageW(d, WM_COMMAND, IDC_APPLY, 0);
    EXPECT_EQ(desktop.speedsSet.size(), 1u);
    // Index 5 has no area on the mouse: no profile write and no select, only the header.
    const std::vector<FeatureReport> sent = mouse.Sent();
    ASSERT_EQ(sent.size(), 88u);
    for (size_t p = 0; p < 8; ++p) {
        EXPECT_EQ(sent[11 * p], (FeatureReport{5, 7, 1, 0, 0, uint8_t(p), 0, 0})) << p;
    }
    EXPECT_EQ(mouse.firmware.memory[0][3], 9);
    EXPECT_EQ(mouse.firmware.activeProfile, 5);
    EXPECT_EQ(wait.waits.size(), 88u + 1u);
    EXPECT_EQ(wait.waits.back(), 50u);
    // The cache takes both blocks like any other index.
    EXPECT_EQ(CachedValue(5), Buffer());
    EXPECT_EQ(CachedValue(255)[3], 9);
}

TEST_F(SettingsDialog, BasicStateShowsOnlyTheBasicLayout) {
    tarn_fw_set_active(&mouse.firmware, 5);
    HWND d = OpenSettings();
    EXPECT_EQ(State().currentProfile, 5);
    for (int id = IDC_CAPTION1; id < IDC_CAPTION1 + 11; ++id) {
        EXPECT_TRUE(Visible(d, id) && Enabled(d, id)) << id;
    }
    for (int id : {IDC_SPEED, IDC_SLOW, IDC_FAST, IDC_ACCELERATION, IDC_APPLY, IDC_CLOSE,
                   IDC_STATUS, IDC_LOGO_ANCHOR, IDC_BASIC_ANCHOR, IDC_MAKER_ANCHOR}) {
        EXPECT_TRUE(Visible(d, id)) << id;
    }
    for (int id : {IDC_PROFILE_LABEL, 201, 205, 211, 215, 221, 222, 227, 231, 237, 241, 243, 245,
                   246, IDC_MOUSE_ANCHOR, IDC_REFRESH}) {
        EXPECT_FALSE(Visible(d, id)) << id;
    }
    EXPECT_TRUE(SaveScreenshot(d, L"settings_basic.png"));
    // Back to a profile: the profile layout returns at the next poll.
    tarn_fw_set_active(&mouse.firmware, 0);
    PumpMessagesFor(650);
    EXPECT_TRUE(Visible(d, IDC_FUNCTION1 + 1));
    EXPECT_FALSE(Visible(d, IDC_SPEED));
}

TEST_F(SettingsDialog, AnswerAboveFiveKeepsWhatIsShown) {
    SeedProfile(1, kRichProfile, kMacroEvents);
    tarn_fw_set_active(&mouse.firmware, 1);
    HWND d = OpenSettings();
    mouse.firmware.queryAnswer = 9;
    PumpMessagesFor(650);
    EXPECT_EQ(State().currentProfile, 1);
    for (int i = 0; i < kProfileCount; ++i) {
        EXPECT_EQ(Enabled(d, IDC_PROFILE_NUMBER1 + i), i == 1) << i;
    }
    EXPECT_EQ(Selection(IDC_FUNCTION1 + 1), 8);
    SendMessageW(d, WM_COMMAND, IDC_REFRESH, 0);
    EXPECT_EQ(State().currentProfile, 1);
}

TEST_F(SettingsDialog, HandOverClickAreasOnlyAndTheHoverWatchRestoresTheCursors) {
    SeedProfile(0, kRichProfile, kMacroEvents);
    HWND d = OpenSettings();
    Hover(IDC_FUNCTION1 + 1);
    Hover(IDC_APPLY);
    SendMessageW(d, WM_SETCURSOR, reinterpret_cast<WPARAM>(d), MAKELPARAM(HTCLIENT, 0));
    EXPECT_EQ(desktop.handsSet, 0);
    EXPECT_FALSE(HandShown(d));

    // The pointer on a detail button: the hand, and a 10 ms watch on that button.
    SetCursorPos(1, 1);
    Hover(IDC_DETAIL1 + 1);
    EXPECT_EQ(desktop.handsSet, 1);
    EXPECT_TRUE(HandShown(d));
    EXPECT_EQ(desktop.reloads, 0);
    // The pointer is elsewhere, so the watch ends the hover within a few ticks.
    PumpMessagesFor(100);
    EXPECT_EQ(desktop.reloads, 1);
    EXPECT_FALSE(HandShown(d));
    EXPECT_FALSE(KillTimer(GetDlgItem(d, IDC_DETAIL1 + 1), kHoverTimerId)) << "watch still runs";
    Hover(IDC_PROFILE_BUTTON1 + 4);
    EXPECT_EQ(desktop.handsSet, 2);
    PumpMessagesFor(100);
    EXPECT_EQ(desktop.reloads, 2);
}

TEST_F(SettingsDialog, EveryWayOutWhileTheHandIsShownRestoresTheCursors) {
    // Close, the close box, destroying the window (the tray's Close ends the program), and
    // log-off, which destroys nothing.
    const std::function<void(HWND)> endings[] = {
        [](HWND d) { SendMessageW(d, WM_COMMAND, IDC_CLOSE, 0); },
        [](HWND d) { SendMessageW(d, WM_CLOSE, 0, 0); },
        [](HWND d) { DestroyWindow(d); },
        [](HWND d) { SendMessageW(d, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); },
    };
    int expected = 0;
    for (const auto& end : endings) {
        HWND d = OpenSettings();
        // The dialog ends while the pointer still rests on the button: before the watch's
        // first tick, so no WM_MOUSELEAVE can come.
        Hover(IDC_PROFILE_BUTTON1);
        ASSERT_TRUE(HandShown(d));
        ASSERT_EQ(desktop.reloads, expected);
        end(d);
        EXPECT_EQ(desktop.reloads, ++expected);
        EXPECT_FALSE(HandShown(d));
        if (IsWindow(d)) {
            DestroyWindow(d); // after log-off: nothing more to restore
            EXPECT_EQ(desktop.reloads, expected);
        }
        PumpMessagesFor(30);
    }
    // Without the hand, ending the dialog leaves the system cursors alone.
    HWND d = OpenSettings();
    DestroyWindow(d);
    EXPECT_EQ(desktop.reloads, expected);
}

TEST_F(SettingsDialog, CloseEndsTheDialogAndAllowsTheNextOne) {
    HWND d = OpenSettings();
    const auto numberFont =
        reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(d, IDC_PROFILE_NUMBER1, WM_GETFONT, 0, 0));
    ASSERT_NE(numberFont, nullptr);
    SendMessageW(d, WM_COMMAND, IDC_CLOSE, 0);
    EXPECT_FALSE(host.open);
    EXPECT_FALSE(IsWindow(d));
    EXPECT_EQ(GetObjectType(numberFont), 0u) << "the number font outlives its dialog";
    d = OpenSettings();
    SendMessageW(d, WM_CLOSE, 0, 0);
    EXPECT_FALSE(host.open);
}

// The message box the dialog asks with, answered with `button` (IDYES applies, IDNO discards,
// IDCANCEL stays); `asked` counts the boxes seen.
ModalSteps::Step Answer(int button, int& asked) {
    return [button, &asked] {
        if (HWND box = FindDialog(L"Mouse")) {
            ++asked;
            SendMessageW(box, WM_COMMAND, button, 0);
        }
    };
}

// What the dialog shows is what the mouse holds or a change Apply will write, and Apply is
// enabled exactly while there is one: after a detail dialog, a cancel, a close, a profile
// switch and a reset.
TEST_F(SettingsDialog, ShowsWhatTheMouseHoldsOrAChangeApplyWillWrite) {
    auto fresh = [&] {
        if (dialog_ != nullptr && IsWindow(dialog_)) {
            DestroyWindow(dialog_);
        }
        host.last = {};
        SeedProfile(1, kRichProfile, kMacroEvents);
        SeedProfile(0, {});
        for (int p = 0; p < kProfileCount; ++p) {
            headerBlock.SetResolution(p, 8, 8);
        }
        std::memcpy(mouse.firmware.memory[0], headerBlock.data(), kBlockLength);
        tarn_fw_set_active(&mouse.firmware, 0);
        return OpenSettings();
    };
    auto moveX = [&](int step) {
        HWND track = GetDlgItem(dialog_, IDC_TRACK_X);
        SendMessageW(track, TBM_SETPOS, TRUE, step);
        SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, step),
                     reinterpret_cast<LPARAM>(track));
    };
    auto click = [&](int id) { SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
    int asked = 0;
    const struct {
        const char* name;
        std::function<void()> run;
    } rows[] = {
        {"a resolution moved before a recording stays to be applied",
         [&] {
             HWND d = fresh();
             moveX(16);
             ModalSteps steps({[] {
                 HWND r = FindDialog(L"Single Key");
                 for (int id : {IDC_START, IDC_STOP, IDC_APPLY}) {
                     SendMessageW(r, WM_COMMAND, id, 0);
                 }
             }});
             Choose(IDC_FUNCTION1 + 1, FunctionSingleKey);
             EXPECT_EQ(MouseArea(mouse, 1)[4 + 1], KindSingleKey) << "the recording is written";
             EXPECT_EQ(ItemText(d, IDC_DPI_X), L"1600");
             EXPECT_EQ(MouseArea(mouse, 0)[64 + 3], 8);
             EXPECT_TRUE(Enabled(d, IDC_APPLY));
             click(IDC_APPLY);
             EXPECT_EQ(MouseArea(mouse, 0)[64 + 3], 16);
             EXPECT_FALSE(Enabled(d, IDC_APPLY));
         }},
        {"a cancelled recorder shows the button's function again",
         [&] {
             HWND d = fresh();
             const int before = Selection(IDC_FUNCTION1 + 3);
             ModalSteps steps(
                 {[] { SendMessageW(FindDialog(L"Macro Key"), WM_COMMAND, IDC_CANCEL, 0); }});
             Choose(IDC_FUNCTION1 + 3, FunctionMacroKey);
             EXPECT_EQ(Selection(IDC_FUNCTION1 + 3), before);
             EXPECT_FALSE(Visible(d, IDC_DETAIL1 + 3));
             EXPECT_FALSE(Enabled(d, IDC_APPLY));
         }},
        {"closing discards, and the next dialog shows the mouse's",
         [&] {
             HWND d = fresh();
             const int before = Selection(IDC_FUNCTION1 + 1);
             moveX(16);
             Choose(IDC_FUNCTION1 + 1, FunctionMiddleClick);
             asked = 0;
             {
                 ModalSteps steps({Answer(IDCANCEL, asked)});
                 click(IDC_CLOSE);
             }
             EXPECT_TRUE(IsWindow(d)) << "Cancel stays";
             {
                 ModalSteps steps({Answer(IDNO, asked)});
                 SendMessageW(d, WM_CLOSE, 0, 0);
             }
             EXPECT_EQ(asked, 2);
             EXPECT_FALSE(host.open);
             d = OpenSettings();
             EXPECT_EQ(ItemText(d, IDC_DPI_X), L"800");
             EXPECT_EQ(Selection(IDC_FUNCTION1 + 1), before);
             EXPECT_FALSE(Enabled(d, IDC_APPLY));
             EXPECT_EQ(headerBlock.bytes[64 + 3], 8);
         }},
        {"leaving a profile asks: stay, apply or discard",
         [&] {
             HWND d = fresh();
             Choose(IDC_FUNCTION1 + 1, FunctionMiddleClick);
             asked = 0;
             {
                 ModalSteps steps({Answer(IDCANCEL, asked)});
                 click(IDC_PROFILE_BUTTON1 + 1);
             }
             EXPECT_EQ(State().currentProfile, 0);
             EXPECT_EQ(Selection(IDC_FUNCTION1 + 1), FunctionMiddleClick);
             EXPECT_TRUE(Enabled(d, IDC_APPLY));
             {
                 ModalSteps steps({Answer(IDYES, asked)});
                 click(IDC_PROFILE_BUTTON1 + 1);
             }
             EXPECT_EQ(State().currentProfile, 1);
             EXPECT_EQ(MouseArea(mouse, 1)[4 + 1], KindMouseButton) << "applied before leaving";
             EXPECT_FALSE(Enabled(d, IDC_APPLY));
             const std::vector<uint8_t> profile1 = MouseArea(mouse, 2);
             Choose(IDC_FUNCTION1 + 1, FunctionLeftClick);
             {
                 ModalSteps steps({Answer(IDNO, asked)});
                 click(IDC_PROFILE_BUTTON1);
             }
             EXPECT_EQ(asked, 3);
             EXPECT_EQ(MouseArea(mouse, 2), profile1);
             click(IDC_PROFILE_BUTTON1 + 1); // nothing pending: no question
             EXPECT_EQ(asked, 3);
             EXPECT_EQ(Selection(IDC_FUNCTION1 + 1), FunctionMacroKey);
             EXPECT_FALSE(Enabled(d, IDC_APPLY));
         }},
        {"a reset from the tray shows the defaults in the open dialog",
         [&] {
             fresh();
             DestroyWindow(dialog_);
             DeskApp app{Instance(), mouse, wait, *lock, desktop};
             ASSERT_NE(app.CreateMainWindow(), nullptr);
             app.OpenSettingsDialog();
             ASSERT_NE(app.OpenDialog(), nullptr);
             dialog_ = app.OpenDialog()->Window();
             click(IDC_PROFILE_BUTTON1 + 1);
             Choose(IDC_FUNCTION1 + 4, FunctionMiddleClick);
             app.ResetToDefault();
             const ButtonAssignment reset = DecodeButton(LoadCachedProfile(1), 4);
             EXPECT_EQ(Selection(IDC_FUNCTION1 + 4), FunctionOf(reset).value_or(FunctionButtonOff));
             EXPECT_NE(Selection(IDC_FUNCTION1 + 2), FunctionSelectProfile);
             EXPECT_FALSE(Enabled(dialog_, IDC_APPLY));
             DestroyWindow(app.MainWindow());
             dialog_ = nullptr;
             PumpMessagesFor(20); // drains WM_QUIT
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.run();
    }
}

// Keys through the program's own loop: Tab and Shift+Tab move the focus in the Settings dialog,
// Enter applies, Escape closes; in the detail dialogs Escape and the close box cancel, Enter
// presses the focused or default button, and Escape while recording is a recorded key.
TEST_F(SettingsDialog, TabEnterAndEscapeInEveryDialog) {
    auto pump = [](DWORD ms) {
        const ULONGLONG end = GetTickCount64() + ms;
        while (GetTickCount64() < end) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchDeskMessage(message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    };
    auto focused = [] { return GetDlgCtrlID(GetFocus()); };
    HWND d = OpenSettings();
    SetForegroundWindow(d);
    SetFocus(GetDlgItem(d, IDC_TRACK_X));
    TapKey(VK_TAB);
    pump(100);
    EXPECT_EQ(focused(), IDC_TRACK_Y);
    TapKey(VK_TAB);
    pump(100);
    EXPECT_EQ(focused(), IDC_FUNCTION1 + 2) << "the topmost button comes next";
    PressKey(VK_SHIFT, true);
    TapKey(VK_TAB);
    PressKey(VK_SHIFT, false);
    pump(100);
    EXPECT_EQ(focused(), IDC_TRACK_Y);
    Choose(IDC_FUNCTION1 + 1, FunctionRightClick);
    TapKey(VK_RETURN);
    pump(100);
    EXPECT_EQ(MouseArea(mouse, 1), Buffer()) << "Enter applies";
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
    EXPECT_EQ(ItemText(d, IDC_APPLY), L"&Apply");
    EXPECT_EQ(GetWindowLongW(GetDlgItem(d, IDC_FUNCTION1 + 1), GWL_STYLE) & 3, CBS_DROPDOWNLIST)
        << "no text of one's own in the function lists";
    TapKey(VK_ESCAPE);
    pump(100);
    EXPECT_FALSE(host.open) << "Escape closes";

    // The recorder: Tab from Start skips the disabled buttons to Cancel; Escape while
    // recording is recorded; Enter on the focused Apply takes the recording.
    std::vector<std::wstring> rows;
    bool sysMenu = false;
    ModalSteps recorder({[&] {
                             HWND r = FindDialog(L"Macro Key");
                             sysMenu = (GetWindowLongW(r, GWL_STYLE) & WS_SYSMENU) != 0;
                             SetForegroundWindow(r);
                             SetFocus(GetDlgItem(r, IDC_START));
                             TapKey(VK_TAB);
                         },
                         [&] { EXPECT_EQ(focused(), IDC_CANCEL); },
                         [] { SendMessageW(FindDialog(L"Macro Key"), WM_COMMAND, IDC_START, 0); },
                         [] { TapKey(VK_ESCAPE); },
                         [&] {
                             HWND r = FindDialog(L"Macro Key");
                             ASSERT_NE(r, nullptr) << "Escape while recording closed it";
                             rows = ListRows(r, IDC_EVENTS);
                             SendMessageW(r, WM_COMMAND, IDC_STOP, 0);
                             // As Tab would: the focused push button becomes the default.
                             SendMessageW(r, WM_NEXTDLGCTL,
                                          reinterpret_cast<WPARAM>(GetDlgItem(r, IDC_APPLY)), TRUE);
                             TapKey(VK_RETURN);
                         }});
    const std::optional<ButtonAssignment> recorded =
        RunRecorder(nullptr, desk, 1, FunctionMacroKey, DecodeButton(profileBlock, 1));
    EXPECT_TRUE(sysMenu);
    EXPECT_TRUE(recorded.has_value());
    EXPECT_EQ(rows.size(), 2u) << "Escape down and up";
    ModalSteps escape({[] {
        SetForegroundWindow(FindDialog(L"Macro Key"));
        TapKey(VK_ESCAPE);
    }});
    EXPECT_FALSE(RunRecorder(nullptr, desk, 1, FunctionMacroKey, DecodeButton(profileBlock, 1)))
        << "Escape cancels";
    EXPECT_FALSE(escape.EndedAStuckDialog()) << "Escape cancels";
    ModalSteps closeBox(
        {[] { SendMessageW(FindDialog(L"Macro Key"), WM_SYSCOMMAND, SC_CLOSE, 0); }});
    EXPECT_FALSE(RunRecorder(nullptr, desk, 1, FunctionMacroKey, DecodeButton(profileBlock, 1)))
        << "the close box cancels";
    EXPECT_FALSE(closeBox.EndedAStuckDialog()) << "the close box cancels";

    // Select Profile: Tab leaves the targets for OK, Escape cancels.
    ModalSteps select({[&] {
                           HWND s = FindDialog(L"Select Profile");
                           sysMenu = (GetWindowLongW(s, GWL_STYLE) & WS_SYSMENU) != 0;
                           SetForegroundWindow(s);
                           SetFocus(GetDlgItem(s, IDC_TARGET1));
                           TapKey(VK_TAB);
                       },
                       [&] {
                           EXPECT_EQ(focused(), IDOK);
                           TapKey(VK_ESCAPE);
                       }});
    sysMenu = false;
    EXPECT_FALSE(RunSelectProfile(nullptr, desk, DecodeButton(profileBlock, 2), 0));
    EXPECT_FALSE(select.EndedAStuckDialog()) << "Escape cancels";
    EXPECT_TRUE(sysMenu);
}

// --- Recorder ---------------------------------------------------------------------------

class Recorder : public DialogTest {
  protected:
    // The recorder for `button` of profile `currentProfile`, showing what profileBlock stores;
    // its result goes into profileBlock as the Settings dialog puts it into the shown profile.
    std::optional<ButtonAssignment> Run(int button, ButtonFunction function) {
        const std::optional<ButtonAssignment> result =
            RunRecorder(nullptr, desk, button, function, DecodeButton(profileBlock, button));
        if (result) {
            EncodeButton(profileBlock, currentProfile, button, *result);
        }
        return result;
    }
    static HWND Find(const wchar_t* caption = L"Macro Key") { return FindDialog(caption); }
    static void Command(int id) { SendMessageW(Find(), WM_COMMAND, id, 0); }

    int32_t currentProfile = 0;
};

// Opened from the Settings dialog, which puts the recording into the mouse and the cache.
TEST_F(Recorder, InjectedKeysBecomePressAndReleaseEventsWithTheirUsages) {
    tarn_fw_set_active(&mouse.firmware, 1);
    OpenSettings();
    ASSERT_EQ(State().currentProfile, 1);
    std::vector<std::wstring> rows;
    ModalSteps steps({[] { Command(IDC_START); },
                      [] {
                          PressKey('A', true);
                          PressKey('A', true); // auto-repeat of a held key
                          PressKey('A', true);
                          PressKey('A', false);
                          PressKey(VK_F5, true);
                          PressKey(VK_F5, false);
                          PressKey('7', true);
                          PressKey('7', false);
                      },
                      [] {},
                      [&] {
                          rows = ListRows(Find(), IDC_EVENTS);
                          SaveScreenshot(Find(), L"recorder_live.png");
                          Command(IDC_STOP);
                      },
                      [] { Command(IDC_APPLY); }});
    Choose(IDC_FUNCTION1 + 2, FunctionMacroKey);
    EXPECT_TRUE(steps.Done());
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], L" A (Down)");
    EXPECT_EQ(rows[1], L" A (Up)");
    EXPECT_EQ(rows[2], L" F5 (Down)");
    const uint8_t record[] = {0x22, KindMacro, 0, 24};
    EXPECT_EQ(std::memcmp(State().profileBlock.data() + 8, record, 4), 0);
    const uint8_t events[] = {0x04, 0x80, 10, 0, 0x04, 0,    10, 0, 0x3E, 0x80, 10, 0,
                              0x3E, 0,    10, 0, 0x24, 0x80, 10, 0, 0x24, 0,    10, 0};
    EXPECT_EQ(std::memcmp(State().profileBlock.data() + 192, events, sizeof(events)), 0);
    EXPECT_EQ(MouseArea(mouse, 2), Buffer());
    EXPECT_EQ(CachedValue(1), Buffer());
}

TEST_F(Recorder, SingleKeyKeepsTwoEventsAndSystemKeysAreSkipped) {
    std::vector<std::wstring> rows;
    ModalSteps steps({[] { SendMessageW(Find(L"Single Key"), WM_COMMAND, IDC_START, 0); },
                      [] {
                          PressKey(VK_MENU, true); // Alt held: system key messages
                          TapKey('X');
                          PressKey(VK_MENU, false);
                          TapKey('B');
                          TapKey('C');
                      },
                      [] {},
                      [&] {
                          rows = ListRows(Find(L"Single Key"), IDC_EVENTS);
                          SendMessageW(Find(L"Single Key"), WM_COMMAND, IDC_STOP, 0);
                          SendMessageW(Find(L"Single Key"), WM_COMMAND, IDC_APPLY, 0);
                      }});
    Run(0, FunctionSingleKey);
    for (const std::wstring& row : rows) {
        EXPECT_EQ(row.find(L"X"), std::wstring::npos) << std::string(row.begin(), row.end());
    }
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(profileBlock.bytes[1], KindSingleKey);
    EXPECT_EQ(profileBlock.bytes[3], 8);
}

TEST_F(Recorder, MacroStopsAtSixteenAndTheLastKeyCarriesOver) {
    std::vector<std::wstring> first;
    std::vector<std::wstring> second;
    ModalSteps steps({[] { Command(IDC_START); },
                      [] {
                          for (WORD vk = 'A'; vk < 'A' + 10; ++vk) {
                              TapKey(vk);
                          }
                      },
                      [] {},
                      [&] {
                          first = ListRows(Find(), IDC_EVENTS);
                          Command(IDC_STOP);
                          Command(IDC_START);
                      },
                      [] {
                          PressKey('H', false); // same release as the last key examined
                          TapKey('K');
                      },
                      [] {},
                      [&] {
                          second = ListRows(Find(), IDC_EVENTS);
                          Command(IDC_STOP);
                          Command(IDC_CANCEL);
                      }});
    Run(1, FunctionMacroKey);
    EXPECT_EQ(first.size(), 16u);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0], L" K (Down)");
}

TEST_F(Recorder, StartStopApplyStoresAnEmptyRecording) {
    currentProfile = 2;
    SeedProfile(2, kRichProfile, kMacroEvents);
    ModalSteps steps(
        {[] { Command(IDC_START); }, [] { Command(IDC_STOP); }, [] { Command(IDC_APPLY); }});
    Run(1, FunctionMacroKey);
    const uint8_t record[] = {0x41, KindMacro, 0, 0};
    EXPECT_EQ(std::memcmp(profileBlock.data() + 4, record, 4), 0);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(profileBlock.bytes[128 + i], 0) << i;
    }
}

TEST_F(Recorder, CancelLeavesTheRecordAndListsTheStoredMacro) {
    std::vector<uint8_t> events;
    for (int i = 0; i < 16; ++i) { // a foreign record claiming more than the list holds
        events.insert(events.end(), {static_cast<uint8_t>(0x04 + i / 2),
                                     static_cast<uint8_t>(i % 2 ? 0 : 0x80), 10, 0});
    }
    std::vector<ButtonRecord> records = kRichProfile;
    records[1] = Rec(KindMacro, 0, 0xF0);
    SeedProfile(0, records, events);
    std::vector<uint8_t> before = Bytes(profileBlock);
    std::vector<std::wstring> rows;
    ModalSteps steps({[] {},
                      [&] {
                          rows = ListRows(Find(), IDC_EVENTS);
                          SaveScreenshot(Find(), L"recorder_macro.png");
                          Command(IDC_START);
                      },
                      [] { TapKey('Q'); }, [] {}, [] { Command(IDC_CANCEL); }});
    EXPECT_FALSE(Run(1, FunctionMacroKey).has_value());
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0], L" A (Down)  ");
    EXPECT_EQ(rows[15], L" H (Up) ");
    EXPECT_EQ(Bytes(profileBlock), before);
}

TEST_F(Recorder, TypedStringWarnsOfWhatItWillNotTypeAndReopensAsTheCharactersItTypes) {
    std::wstring shown;
    std::wstring warning;
    bool applyBefore = true;
    bool keptForEditing = false;
    const auto answer = [&](int button) {
        HWND box = FindDialog(L"Mouse");
        if (box != nullptr) {
            warning = ItemText(box, 0xFFFF);
            PostMessageW(box, WM_COMMAND, button, 0);
        }
    };
    ModalSteps typing({[&] {
                           HWND r = Find(L"String Key");
                           applyBefore = Enabled(r, IDC_APPLY);
                           SetForegroundWindow(r);
                           SetFocus(GetDlgItem(r, IDC_STRING));
                           PressKey(VK_SHIFT, true);
                           TapKey('A');
                           TapKey('1');
                           PressKey(VK_SHIFT, false);
                           TapKey('B');
                       },
                       [] {},
                       [&] {
                           HWND r = Find(L"String Key");
                           shown = ItemText(r, IDC_STRING);
                           PostMessageW(r, WM_COMMAND, IDC_APPLY, 0);
                       },
                       [&] { answer(IDNO); },
                       [&] {
                           HWND r = Find(L"String Key");
                           keptForEditing = r != nullptr && ItemText(r, IDC_STRING) == shown;
                           PostMessageW(r, WM_COMMAND, IDC_APPLY, 0);
                       },
                       [&] { answer(IDYES); }});
    Run(4, FunctionStringKey);
    EXPECT_FALSE(typing.EndedAStuckDialog());
    EXPECT_FALSE(applyBefore);
    EXPECT_EQ(shown, L"A!b"); // the field keeps the case it is typed in
    EXPECT_TRUE(keptForEditing) << "No goes back to the string";
    EXPECT_NE(warning.find(L"written: A !."), std::wstring::npos) << warning;
    const uint8_t record[] = {0x04, KindString, 0, 12};
    EXPECT_EQ(std::memcmp(profileBlock.data() + 16, record, 4), 0);
    const uint8_t events[] = {0x04, 0, 0, 0, 0x1E, 0, 0, 0, 0x05, 0, 0, 0};
    EXPECT_EQ(std::memcmp(profileBlock.data() + 64 + 4 * 64, events, 12), 0);

    std::wstring reopened;
    LRESULT limit = 0;
    ModalSteps again({[&] {
        HWND r = Find(L"String Key");
        reopened = ItemText(r, IDC_STRING);
        limit = SendDlgItemMessageW(r, IDC_STRING, EM_GETLIMITTEXT, 0, 0);
        SendMessageW(r, WM_COMMAND, IDC_CANCEL, 0);
    }});
    Run(4, FunctionStringKey);
    EXPECT_EQ(reopened, L"a1b");
    EXPECT_EQ(limit, 16);
}

// --- Program profiles --------------------------------------------------------------------

class ProgramProfilesDialog : public DialogTest {
  protected:
    void TearDown() override {
        switcher.Stop();
        RegDeleteTreeW(HKEY_CURRENT_USER, kProgramRulesKeyPath);
        DialogTest::TearDown();
    }
    // True when the dialog ended by itself: the steps did not have to end it.
    bool Run(const ModalSteps& steps) {
        RunProgramProfilesDialog(nullptr, texts, switcher, openDialog);
        return !steps.EndedAStuckDialog();
    }
    HWND openDialog = nullptr;
    static void SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kProgramRulesKeyPath, 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    static void Choose(HWND dialog, int id, int index) {
        SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
};

TEST_F(ProgramProfilesDialog, ShowsStoredRulesReportsTheRestAndStoresOnlyOnOk) {
    const DWORD four = 4;
    SetValue(L"C:\\Games\\game.exe", REG_DWORD, &four, sizeof(four));
    SetValue(L"broken.exe", REG_SZ, L"3", 4);
    int rows = -1;
    std::wstring program;
    std::wstring status;
    int ruleProfile = -1;
    // Escape after an edit: nothing is stored.
    ModalSteps cancel({[] {},
                       [&] {
                           HWND d = FindDialog(L"Program profiles");
                           HWND list = GetDlgItem(d, IDC_RULE_LIST);
                           rows = ListView_GetItemCount(list);
                           wchar_t text[MAX_PATH] = {};
                           ListView_GetItemText(list, 0, 0, text, MAX_PATH);
                           program = text;
                           status = ItemText(d, IDC_RULES_STATUS);
                           ruleProfile = static_cast<int>(
                               SendDlgItemMessageW(d, IDC_RULE_PROFILE, CB_GETCURSEL, 0, 0));
                           SaveScreenshot(d, L"program_profiles.png");
                           Choose(d, IDC_RULE_PROFILE, 0);
                           SetForegroundWindow(d);
                           TapKey(VK_ESCAPE);
                       }});
    EXPECT_TRUE(Run(cancel)) << "Escape ends the dialog";
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(program, L"C:\\Games\\game.exe");
    EXPECT_EQ(ruleProfile, 3);
    EXPECT_EQ(status, kDefaultRulesSkipped);
    ProgramRuleSettings stored = LoadProgramRuleSettings();
    EXPECT_EQ(stored.skipped, 1u);
    ASSERT_EQ(stored.rules.size(), 1u);
    EXPECT_EQ(stored.rules[0].profile, 3);

    // The switch, a desktop profile and another profile for the rule, then Enter.
    ModalSteps ok({[] {},
                   [&] {
                       HWND d = FindDialog(L"Program profiles");
                       CheckDlgButton(d, IDC_SWITCHING_ON, BST_CHECKED);
                       Choose(d, IDC_DESKTOP_PROFILE, 2);
                       Choose(d, IDC_RULE_PROFILE, 1);
                       SetForegroundWindow(d);
                       TapKey(VK_RETURN);
                   }});
    EXPECT_TRUE(Run(ok)) << "Enter ends the dialog";
    stored = LoadProgramRuleSettings();
    EXPECT_TRUE(stored.on);
    EXPECT_EQ(stored.desktopProfile, 1);
    EXPECT_EQ(stored.skipped, 0u) << "the unreadable value is gone once the rules are stored";
    ASSERT_EQ(stored.rules.size(), 1u);
    EXPECT_EQ(stored.rules[0].program, L"C:\\Games\\game.exe");
    EXPECT_EQ(stored.rules[0].profile, 1);
    EXPECT_TRUE(switcher.Rules().on) << "OK puts the rules in force";
}

// --- Select Profile ----------------------------------------------------------------------

class SelectProfile : public DialogTest {
  protected:
    // Select Profile for `button` of profile `currentProfile`, showing what profileBlock
    // stores; OK's target goes into profileBlock as the Settings dialog puts it there.
    bool Run(int button) {
        const std::optional<ButtonAssignment> result =
            RunSelectProfile(nullptr, desk, DecodeButton(profileBlock, button), currentProfile);
        if (result) {
            EncodeButton(profileBlock, currentProfile, button, *result);
        }
        return result.has_value();
    }

    int32_t currentProfile = 0;
};

TEST_F(SelectProfile, PreselectsTheStoredTargetAndEnterActsAsOk) {
    SeedProfile(0, kRichProfile);
    bool checked = false;
    ModalSteps steps({[] {},
                      [&] {
                          HWND s = FindDialog(L"Select Profile");
                          checked = IsDlgButtonChecked(s, IDC_TARGET1 + 2) == BST_CHECKED;
                          SaveScreenshot(s, L"select_profile.png");
                          SetForegroundWindow(s);
                      },
                      [] { TapKey(VK_RETURN); }});
    EXPECT_TRUE(Run(2)) << "Enter acts as OK";
    EXPECT_TRUE(checked);
    const uint8_t record[] = {0x02, KindProfileSwitch, 2, 0};
    EXPECT_EQ(std::memcmp(profileBlock.data() + 8, record, 4), 0);
}

TEST_F(SelectProfile, OtherRecordsPreselectTheActiveProfileAndLoseTheirEvents) {
    currentProfile = 3;
    SeedProfile(3, kRichProfile, kMacroEvents);
    bool checked = false;
    ModalSteps steps({[&] {
        HWND s = FindDialog(L"Select Profile");
        checked = IsDlgButtonChecked(s, IDC_TARGET1 + 3) == BST_CHECKED;
        SendMessageW(s, WM_COMMAND, IDOK, 0);
    }});
    Run(1);
    EXPECT_TRUE(checked);
    const uint8_t record[] = {0x61, KindProfileSwitch, 3, 0};
    EXPECT_EQ(std::memcmp(profileBlock.data() + 4, record, 4), 0);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(profileBlock.bytes[128 + i], 0) << i;
    }
}

TEST_F(SelectProfile, BasicStateStoresARealProfile) {
    currentProfile = 5;
    bool anyChecked = false;
    ModalSteps steps({[&] {
        HWND s = FindDialog(L"Select Profile");
        anyChecked = IsDlgButtonChecked(s, IDC_TARGET1) == BST_CHECKED;
        SendMessageW(s, WM_COMMAND, IDOK, 0);
    }});
    Run(0);
    EXPECT_TRUE(anyChecked);
    EXPECT_EQ(profileBlock.bytes[1], KindProfileSwitch);
    EXPECT_EQ(profileBlock.bytes[2], 0);
}

} // namespace

namespace {

// --- Drawing helpers ---------------------------------------------------------------------

HBITMAP SolidBitmap(HDC dc, int w, int h, COLORREF colour) {
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(colour);
    RECT rect{0, 0, w, h};
    FillRect(memory, &rect, brush);
    DeleteObject(brush);
    SelectObject(memory, old);
    DeleteDC(memory);
    return bitmap;
}

TEST(DialogDrawing, KeyColourLeavesTheTargetAndOtherColoursCoverIt) {
    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP canvas = SolidBitmap(screen, 40, 40, RGB(10, 20, 30));
    HGDIOBJ old = SelectObject(target, canvas);

    HBITMAP clear = SolidBitmap(screen, 20, 20, kKeyColour);
    DrawTransparentAt(target, clear, POINT{5, 5});
    EXPECT_EQ(GetPixel(target, 10, 10), RGB(10, 20, 30));
    HBITMAP solid = SolidBitmap(screen, 20, 20, RGB(200, 40, 90));
    // A dialog's paint context need not have black text on a white background.
    SetBkColor(target, RGB(240, 240, 240));
    SetTextColor(target, RGB(12, 34, 56));
    DrawTransparentAt(target, solid, POINT{5, 5});
    EXPECT_EQ(GetBkColor(target), RGB(240, 240, 240));
    EXPECT_EQ(GetPixel(target, 5, 5), RGB(200, 40, 90));
    EXPECT_EQ(GetPixel(target, 24, 24), RGB(200, 40, 90));
    EXPECT_EQ(GetPixel(target, 25, 25), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(target, 4, 4), RGB(10, 20, 30));

    DeleteObject(clear);
    DeleteObject(solid);
    SelectObject(target, old);
    DeleteObject(canvas);
    DeleteDC(target);
    ReleaseDC(nullptr, screen);
}

using TrackbarDrawing = DialogTest;

TEST_F(TrackbarDrawing, ResolutionTrackbarsAnswerCustomDrawThroughTheMessageResult) {
    HWND d = OpenSettings();
    HDC dc = GetDC(GetDlgItem(d, IDC_TRACK_X));
    auto ask = [&](UINT_PTR id, DWORD stage, DWORD_PTR item, LONG_PTR* result) {
        NMCUSTOMDRAW draw{};
        draw.hdr.hwndFrom = GetDlgItem(d, static_cast<int>(id));
        draw.hdr.idFrom = id;
        draw.hdr.code = static_cast<UINT>(NM_CUSTOMDRAW);
        draw.dwDrawStage = stage;
        draw.dwItemSpec = item;
        draw.hdc = dc;
        draw.rc = RECT{10, 2, 21, 23};
        SetWindowLongPtrW(d, DWLP_MSGRESULT, 0x5A5A);
        INT_PTR answered = Handle(WM_NOTIFY, id, reinterpret_cast<LPARAM>(&draw));
        *result = GetWindowLongPtrW(d, DWLP_MSGRESULT);
        return answered;
    };
    LONG_PTR result = 0;
    EXPECT_TRUE(ask(IDC_TRACK_X, CDDS_PREPAINT, 0, &result));
    EXPECT_EQ(result, 0x70);
    EXPECT_TRUE(ask(IDC_TRACK_Y, CDDS_ITEMPREPAINT, TBCD_TICS, &result));
    EXPECT_EQ(result, CDRF_SKIPDEFAULT);
    EXPECT_TRUE(ask(IDC_TRACK_X, CDDS_ITEMPREPAINT, TBCD_THUMB, &result));
    EXPECT_EQ(result, CDRF_SKIPDEFAULT);
    EXPECT_TRUE(ask(IDC_TRACK_X, CDDS_ITEMPREPAINT, TBCD_CHANNEL, &result));
    EXPECT_EQ(result, CDRF_NOTIFYPOSTPAINT);
    EXPECT_TRUE(ask(IDC_TRACK_X, CDDS_ITEMPOSTPAINT, TBCD_CHANNEL, &result));
    EXPECT_EQ(result, CDRF_SKIPDEFAULT);
    EXPECT_TRUE(ask(IDC_TRACK_X, CDDS_ITEMPOSTPAINT, TBCD_THUMB, &result));
    EXPECT_EQ(result, 0);
    for (DWORD stage :
         {CDDS_POSTPAINT, CDDS_PREERASE, CDDS_POSTERASE, CDDS_ITEMPREERASE, CDDS_ITEMPOSTERASE}) {
        EXPECT_TRUE(ask(IDC_TRACK_X, stage, 0, &result)) << stage;
        EXPECT_EQ(result, 0) << stage;
    }
    // Other items, other controls and the speed trackbar are left to the system.
    EXPECT_FALSE(ask(IDC_TRACK_X, CDDS_ITEMPREPAINT, 7, &result));
    EXPECT_FALSE(ask(IDC_SPEED, CDDS_PREPAINT, 0, &result));
    EXPECT_EQ(result, 0x5A5A);
    ReleaseDC(GetDlgItem(d, IDC_TRACK_X), dc);
}

TEST_F(TrackbarDrawing, DetailButtonsShowThePictureOfTheirFunction) {
    SeedProfile(0, kRichProfile, kMacroEvents);
    HWND d = OpenSettings();
    SetForegroundWindow(d);
    PumpMessagesFor(300);
    // Button 1 records a macro: bitmap 136 is drawn onto its detail button.
    HWND detail = GetDlgItem(d, IDC_DETAIL1 + 1);
    HDC dc = GetDC(detail);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = IDC_DETAIL1 + 1;
    item.hwndItem = detail;
    item.hDC = dc;
    Handle(WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    COLORREF drawn = GetPixel(dc, 9, 9);
    HBITMAP macro = LoadBitmapW(Instance(), MAKEINTRESOURCEW(IDB_DETAIL_MACRO));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, macro);
    COLORREF expected = GetPixel(memory, 9, 9);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(macro);
    ReleaseDC(detail, dc);
    EXPECT_EQ(drawn, expected);
}

} // namespace

namespace {

// --- Texts in every language -------------------------------------------------------------

// LogPixels sets the scale of a process when it starts, so the larger scale is measured by a
// child copy of this test started under it.
constexpr wchar_t kFitChildVariable[] = L"TARN_TEXT_FIT_CHILD";
constexpr DWORD kLargeDpi = 144;
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

int Scaled(int pixels) {
    return MulDiv(pixels, static_cast<int>(GetDpiForSystem()), 96);
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

// A text as a control shows it: its layout and the pixels it has.
struct Shown {
    std::wstring text;
    UINT format;
    int room;
};

struct Fit {
    std::wstring text;
    int id = 0;
    int need = 0;  // pixels wide
    int room = 0;  // pixels the control gives it
    int lines = 0; // lines it takes
    int rows = 0;  // lines the control shows
    bool Fits() const { return need <= room && lines <= rows; }
};

// Ideographs, kana and Hangul: Windows draws them a full em wide through its linked East
// Asian fonts, while a Wine without such fonts draws narrower boxes; they are counted at the
// width Windows gives them.
bool FullWidth(wchar_t c) {
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFF60);
}

// The text laid out as the control lays it out, in the control's own font: wrapped within
// `room` or on one line.
Fit Measure(HWND control, const std::wstring& text, UINT format, int room, int rows) {
    std::wstring narrow;
    int fullWidth = 0;
    for (wchar_t c : text) {
        if (FullWidth(c)) {
            ++fullWidth;
        } else {
            narrow += c;
        }
    }
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT rect{0, 0, room, 0};
    DrawTextW(dc, text.c_str(), -1, &rect, format | DT_CALCRECT);
    RECT line{0, 0, 0, 0};
    DrawTextW(dc, narrow.c_str(), -1, &line,
              (format & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_CALCRECT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    const int lineHeight = std::max<int>(metrics.tmHeight, 1);
    // A font taller than its control is the layout's choice; a wrap onto a hidden line is not.
    Fit fit{text, GetDlgCtrlID(control),    rect.right,
            room, rect.bottom / lineHeight, std::max(rows / lineHeight, 1)};
    if (fullWidth > 0) {
        const int width = line.right + fullWidth * (metrics.tmHeight - metrics.tmInternalLeading);
        const bool wraps = (format & DT_WORDBREAK) != 0 && room > 0;
        fit.need = wraps ? std::min(width, room) : width;
        fit.lines = wraps ? (width + room - 1) / room : 1;
    }
    return fit;
}

// Every text of every control of the dialog, shown or hidden (the Settings dialog's two
// layouts share one set of controls): static texts, push buttons less their frame, check
// boxes and radio buttons less their box, group-box captions less the frame's corners, and
// every entry of a combo box in its selection field.
std::vector<Fit> MeasureTexts(HWND dialog) {
    std::vector<Fit> fits;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        RECT client{};
        GetClientRect(child, &client);
        const std::wstring text = ItemText(dialog, GetDlgCtrlID(child));
        const UINT wrap = DT_WORDBREAK | DT_EXPANDTABS;
        std::vector<Shown> texts;
        int rows = client.bottom;
        if (_wcsicmp(className, L"Static") == 0) {
            const DWORD type = style & SS_TYPEMASK;
            const UINT prefix = (style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0;
            if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
                texts.push_back({text, wrap | prefix, client.right});
            } else if (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE) {
                texts.push_back({text, DT_SINGLELINE | prefix, client.right});
            }
        } else if (_wcsicmp(className, L"Button") == 0) {
            const UINT format = (style & BS_MULTILINE) != 0 ? wrap : DT_SINGLELINE;
            switch (style & BS_TYPEMASK) {
            case BS_PUSHBUTTON:
            case BS_DEFPUSHBUTTON:
                texts.push_back({text, format, client.right - 2 * Scaled(3)});
                break;
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
            case BS_3STATE:
            case BS_AUTO3STATE:
                texts.push_back({text, format, client.right - Scaled(13 + 4)});
                break;
            case BS_GROUPBOX:
                texts.push_back({text, DT_SINGLELINE, client.right - 2 * Scaled(8)});
                rows = 0;
                break;
            default: // owner-drawn: pictures, not texts
                break;
            }
        } else if (_wcsicmp(className, L"ComboBox") == 0) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof(info);
            GetComboBoxInfo(child, &info);
            const LRESULT count = SendMessageW(child, CB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                wchar_t item[256] = {};
                if (SendMessageW(child, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 256) {
                    SendMessageW(child, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                 reinterpret_cast<LPARAM>(item));
                }
                texts.push_back(
                    {item, DT_SINGLELINE | DT_NOPREFIX, info.rcItem.right - info.rcItem.left});
            }
            rows = 0;
        } else if (_wcsicmp(className, WC_LISTVIEWW) == 0) {
            // Column captions within their columns, less the header's margins.
            HWND header = ListView_GetHeader(child);
            for (int i = 0; i < Header_GetItemCount(header); ++i) {
                wchar_t caption[256] = {};
                HDITEMW item{};
                item.mask = HDI_TEXT | HDI_WIDTH;
                item.pszText = caption;
                item.cchTextMax = 256;
                Header_GetItem(header, i, &item);
                fits.push_back(Measure(header, caption, DT_SINGLELINE | DT_NOPREFIX,
                                       item.cxy - 2 * Scaled(6), 0));
            }
        }
        for (const Shown& shown : texts) {
            if (!shown.text.empty()) {
                fits.push_back(Measure(child, shown.text, shown.format, shown.room, rows));
            }
        }
    }
    return fits;
}

// A window must be hidden before it is destroyed, so Wine does not wait two seconds for a
// window manager to withdraw it.
void Withdraw(HWND window) {
    SetWindowLongPtrW(window, GWL_STYLE,
                      GetWindowLongPtrW(window, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_VISIBLE));
}

BOOL CALLBACK FindThreadDialog(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wcscmp(className, L"#32770") == 0 && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The dialog of this thread that takes input: the modal one while its loop runs. Its caption
// is translated, so it is not found by its caption.
HWND ThreadDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindThreadDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

class TextFit : public DialogTest {
  protected:
    // The texts of the modal dialog that `run` opens, measured from inside its loop; then the
    // dialog is ended. Null when no dialog was seen.
    static HWND MeasureModal(const std::function<void()>& run, std::vector<Fit>* fits) {
        HWND seen = nullptr;
        ModalSteps steps({[&] {
            seen = ThreadDialog();
            if (seen != nullptr) {
                *fits = MeasureTexts(seen);
                Withdraw(seen);
                EndDialog(seen, IDCANCEL);
            }
        }});
        run();
        return seen;
    }

    // Opens every dialog in every shipped language as TarnDesk opens it (with the language's
    // font size) and fails on each text that does not fit; prints the widest text.
    void CheckEveryLanguage() {
        const std::wstring folder = TestProgramDirectory() + L"..\\bin\\Language\\";
        const auto codes = LanguageCodesIn(folder);
        ASSERT_GE(codes.size(), 12u);
        Fit widest{L"", 0, 0, 1, 0, 1};
        std::string widestAt;
        int measured = 0;
        for (const std::wstring& code : codes) {
            texts.languageCode = code;
            texts.languageFilePath = folder + code + L".txt";
            texts.dialogFontSize = static_cast<int32_t>(GetPrivateProfileIntW(
                code.c_str(), L"FontSize", 8, texts.languageFilePath.c_str()));
            std::vector<std::pair<const char*, std::vector<Fit>>> dialogs;
            HWND settings = OpenSettings();
            ASSERT_NE(settings, nullptr) << "Settings";
            dialogs.emplace_back("Settings", MeasureTexts(settings));
            Withdraw(settings);
            DestroyWindow(settings);
            dialog_ = nullptr;
            std::vector<Fit> fits;
            ASSERT_NE(
                MeasureModal(
                    [&] { RunRecorder(nullptr, desk, 2, FunctionMacroKey, ButtonAssignment{}); },
                    &fits),
                nullptr)
                << "recorder";
            dialogs.emplace_back("recorder", std::move(fits));
            fits.clear();
            ASSERT_NE(MeasureModal([&] { RunSelectProfile(nullptr, desk, ButtonAssignment{}, 0); },
                                   &fits),
                      nullptr)
                << "Select Profile";
            dialogs.emplace_back("Select Profile", std::move(fits));
            fits.clear();
            HWND openRules = nullptr;
            ASSERT_NE(
                MeasureModal([&] { RunProgramProfilesDialog(nullptr, texts, switcher, openRules); },
                             &fits),
                nullptr)
                << "Program profiles";
            dialogs.emplace_back("Program profiles", std::move(fits));
            fits.clear();
            HWND openLibrary = nullptr;
            ASSERT_NE(MeasureModal(
                          [&] {
                              RunLibraryDialog(
                                  nullptr, desk, [] {}, openLibrary);
                          },
                          &fits),
                      nullptr)
                << "Profile library";
            dialogs.emplace_back("Profile library", std::move(fits));
            fits.clear();
            std::wstring profileName = L"Profile 1";
            ASSERT_NE(MeasureModal([&] { AskProfileName(nullptr, texts, profileName); }, &fits),
                      nullptr)
                << "Profile name";
            dialogs.emplace_back("Profile name", std::move(fits));
            fits.clear();
            // A name of the longest kind: 64 wide characters.
            const std::wstring longName(kLibraryNameMaxCount, L'W');
            ASSERT_NE(
                MeasureModal([&] { ChooseProfileSlot(desk.instance, nullptr, texts, longName, 0); },
                             &fits),
                nullptr)
                << "Open Profile";
            dialogs.emplace_back("Open Profile", std::move(fits));
            for (const auto& [name, dialogFits] : dialogs) {
                for (const Fit& fit : dialogFits) {
                    ++measured;
                    const std::string where = Utf8(code) + " " + name + " control " +
                                              std::to_string(fit.id) + " \"" + Utf8(fit.text) +
                                              "\"";
                    EXPECT_TRUE(fit.Fits()) << where << ": " << fit.need << " px of " << fit.room
                                            << ", " << fit.lines << " line(s) of " << fit.rows;
                    if (static_cast<int64_t>(fit.need) * widest.room >
                        static_cast<int64_t>(widest.need) * fit.room) {
                        widest = fit;
                        widestAt = where;
                    }
                }
            }
            PumpMessagesFor(10);
        }
        std::printf("%u dpi: %d texts in %zu languages; the widest takes %d%% of its room: %s, "
                    "%d px of %d\n",
                    GetDpiForSystem(), measured, codes.size(), 100 * widest.need / widest.room,
                    widestAt.c_str(), widest.need, widest.room);
    }

    // The basic layout's picture (418 x 344 pixels at 96 dpi) ends above the logo under it,
    // which would cover its lowest label, and the resolution numbers stand in the middle of
    // their boxes.
    void CheckPicturesAndNumbers();
};

// The rows of the control's client area that hold its text's dark pixels: the space above
// them and below them.
std::pair<int, int> TextMargins(HWND control) {
    UpdateWindow(control);
    RECT client{};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    int first = -1;
    int last = -1;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            if (c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 200) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    ReleaseDC(control, dc);
    return {first, first < 0 ? -1 : client.bottom - 1 - last};
}

RECT ClientRectOf(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void TextFit::CheckPicturesAndNumbers() {
    tarn_fw_set_active(&mouse.firmware, 5);
    HWND d = OpenSettings();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(State().currentProfile, 5);
    const RECT anchor = ClientRectOf(d, IDC_BASIC_ANCHOR);
    const SIZE picture = PictureSizeOn(d, SIZE{418, 344});
    RECT units{0, 0, 4, 8};
    MapDialogRect(d, &units);
    // At 96 dpi it ends 296 dialog units down, its lowest label just above the logo at 280.
    EXPECT_LE(MulDiv(anchor.top + picture.cy, 8, units.bottom), 296)
        << GetDpiForSystem() << " dpi: the picture runs under the logo";
    Withdraw(d);
    DestroyWindow(d);
    dialog_ = nullptr;
    tarn_fw_set_active(&mouse.firmware, 0);
    d = OpenSettings();
    ASSERT_NE(d, nullptr);
    PumpMessagesFor(100);
    for (int id : {IDC_DPI_X, IDC_DPI_Y}) {
        const auto [above, below] = TextMargins(GetDlgItem(d, id));
        ASSERT_GE(above, 0) << id << ": no number drawn";
        EXPECT_LE(std::abs(above - below), 2)
            << GetDpiForSystem() << " dpi, box " << id << ": " << above << " px above the number, "
            << below << " below";
    }
    Withdraw(d);
    DestroyWindow(d);
    dialog_ = nullptr;
}

DWORD ReadLogPixels(bool* present) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    *present = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr,
                            &value, &size) == ERROR_SUCCESS;
    return value;
}

void WriteLogPixels(bool present, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (present) {
        RegSetValueExW(key, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
    } else {
        RegDeleteValueW(key, kLogPixels);
    }
    RegCloseKey(key);
}

TEST_F(TextFit, EveryTextFitsItsControlInEveryLanguageAt96And144Dpi) {
    // As TarnDesk's manifest declares: the dialogs take the system's scale.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (GetEnvironmentVariableW(kFitChildVariable, nullptr, 0) != 0) {
        ASSERT_EQ(GetDpiForSystem(), kLargeDpi);
        CheckEveryLanguage();
        CheckPicturesAndNumbers();
        return;
    }
    CheckEveryLanguage();
    CheckPicturesAndNumbers();

    bool present = false;
    const DWORD before = ReadLogPixels(&present);
    WriteLogPixels(true, kLargeDpi);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=TextFit.*";
    SetEnvironmentVariableW(kFitChildVariable, L"1");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(kFitChildVariable, nullptr);
    DWORD code = 1;
    if (started) {
        if (WaitForSingleObject(child.hProcess, 180000) != WAIT_OBJECT_0) {
            TerminateProcess(child.hProcess, 1);
        }
        GetExitCodeProcess(child.hProcess, &code);
        CloseHandle(child.hProcess);
        CloseHandle(child.hThread);
    }
    WriteLogPixels(present, before);
    ASSERT_TRUE(started);
    EXPECT_EQ(code, 0u) << "texts that do not fit at " << kLargeDpi << " dpi (see above)";
}

} // namespace
