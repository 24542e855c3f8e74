// TarnDesk, unmodified, against the virtual mouse: the start-up copy into the registry cache,
// the single re-read 200 ms after the mouse arrives, "Reset to Default", a second start, and
// the fault table (the mouse gone or refusing a page during its copies and writes).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <shlobj.h>

#include "e2e_harness_win.h"
#include "e2e_mouse.h"

namespace tarn::e2e {
namespace {

constexpr UINT kCommandReset = 32772;
constexpr UINT kCommandClose = 32771;
constexpr double kBlockFloorMs = 800.0; // 8 pages x (5 ms x 10 + 50 ms)

bool CacheHolds(const virt::MemoryImage& image) {
    return FirstCacheMismatch(image) == virt::kAreaCount;
}

void ExpectCacheHolds(const virt::MemoryImage& image) {
    for (size_t area = 0; area < virt::kAreaCount; ++area) {
        std::optional<CachedBlock> block = ReadCachedBlock(CacheKeyOfArea(area));
        ASSERT_TRUE(block) << "no cache value for key " << CacheKeyOfArea(area);
        EXPECT_EQ(block->type, static_cast<DWORD>(REG_BINARY));
        ASSERT_EQ(block->bytes.size(), 512u);
        EXPECT_TRUE(block->bytes == Area(image, area))
            << "cache key " << CacheKeyOfArea(area) << " differs";
    }
}

class DeskEndToEnd : public DeskMouseTest {
  protected:
    void TearDown() override {
        if (HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"))
            PostMessageW(window, WM_COMMAND, kCommandClose, 0);
        if (desk_ && desk_->Started()) {
            EXPECT_TRUE(desk_->WaitExit(10000)) << "Close did not end TarnDesk";
        }
        DeskMouseTest::TearDown();
    }

    // Starts TarnDesk and waits for its start-up copy; returns the copy's duration in ms.
    double StartDeskAndWaitForCopy(const virt::MemoryImage& image) {
        const double start = NowMs();
        desk_.emplace(ProgramDir() + L"TarnDesk.exe", ProgramDir());
        EXPECT_TRUE(desk_->Started());
        EXPECT_TRUE(WaitUntil([&] { return CacheHolds(image); }, 30000, 5))
            << "the cache never held the memory";
        const double took = NowMs() - start;
        EXPECT_NE(WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 5000), nullptr);
        return took;
    }

    std::optional<Program> desk_;
};

TEST_F(DeskEndToEnd, StartUpCopiesTheMouseMemoryIntoTheCacheByteForByte) {
    const virt::MemoryImage image = PatternImage(11);
    ASSERT_TRUE(mouse_->Load(image));

    const double took = StartDeskAndWaitForCopy(image);
    ExpectCacheHolds(image);
    EXPECT_EQ(PagesRead(), 48u)
        << "six blocks of eight pages, through the one configuration interface";
    // The protocol floor: six blocks x 800 ms x the one interface that accepts the commands.
    const double floor = 6 * kBlockFloorMs * 1;
    std::printf("TarnDesk start-up copy: %.0f ms from process start, %.2f x the %.0f ms floor\n",
                took, took / floor, floor);
    RecordProperty("startup_copy_ms", static_cast<int>(took));
    EXPECT_GE(took, floor);
    PumpMessagesFor(1000, 2); // the tray icon follows the copy
    SaveScreenshot(L"desk_after_startup");
}

// A mouse written elsewhere while TarnDesk was not running: the next start keeps the cache
// from before as one "Changed elsewhere" snapshot, and a start after it keeps nothing more.
TEST_F(DeskEndToEnd, AStartAfterAChangeElsewhereKeepsTheCacheFromBeforeOnce) {
    ClearHistory();
    const virt::MemoryImage before = PatternImage(31);
    for (size_t area = 0; area < virt::kAreaCount; ++area)
        StoreCachedArea(area, Area(before, area));
    const virt::MemoryImage elsewhere = PatternImage(32);
    ASSERT_TRUE(mouse_->Load(elsewhere));
    StartDeskAndWaitForCopy(elsewhere);
    std::vector<std::wstring> kept = HistoryFiles();
    ASSERT_EQ(kept.size(), 1u) << "the cache from before was not kept";
    EXPECT_NE(kept[0].find(L"-elsewhere.tarnprofiles"), std::wstring::npos);

    PostMessageW(FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"), WM_COMMAND, kCommandClose, 0);
    ASSERT_TRUE(desk_->WaitExit(10000));
    const uint32_t readBefore = PagesRead();
    desk_.emplace(ProgramDir() + L"TarnDesk.exe", ProgramDir());
    ASSERT_TRUE(desk_->Started());
    EXPECT_TRUE(WaitUntil([&] { return PagesRead() >= readBefore + 48; }, 30000));
    PumpMessagesFor(1000, 2);
    EXPECT_EQ(HistoryFiles().size(), 1u) << "an unchanged mouse was kept again";
}

// The memory changed while the mouse was away is also kept: the cache from before becomes a
// "Changed elsewhere" snapshot (never on a first run, never when nothing changed).
TEST_F(DeskEndToEnd, ReplugRereadsTheMemoryOnce200MsAfterArrival) {
    ClearHistory();
    const virt::MemoryImage first = PatternImage(21);
    ASSERT_TRUE(mouse_->Load(first));
    StartDeskAndWaitForCopy(first);
    WaitUntil([&] { return PagesRead() >= 48; }, 5000);
    EXPECT_TRUE(HistoryFiles().empty()) << "a first run kept a snapshot";

    // New content while plugged; the mouse keeps it across the unplug.
    const virt::MemoryImage second = PatternImage(77);
    ASSERT_TRUE(mouse_->Load(second));
    ASSERT_TRUE(EnsureUnplugged());
    PumpMessagesFor(300, 2);
    EXPECT_TRUE(CacheHolds(first)) << "a removal must not touch the cache";

    ASSERT_TRUE(EnsurePlugged());
    const double arrived = NowMs();
    virt::MouseLink replugged;
    ASSERT_TRUE(replugged.Open());
    ASSERT_TRUE(replugged.Command(TARN_VMOUSE_CLEAR_FAULTS));
    double firstRead = 0;
    auto pagesRead = [&] {
        std::optional<virt::MouseStatus> status = replugged.Status();
        return status ? status->pagesRead : 0u;
    };
    EXPECT_TRUE(WaitUntil(
        [&] {
            if (pagesRead() == 0)
                return false;
            firstRead = NowMs();
            return true;
        },
        5000, 2))
        << "no re-read after the arrival";
    EXPECT_TRUE(WaitUntil([&] { return CacheHolds(second); }, 15000))
        << "the cache never held the new memory";
    PumpMessagesFor(1500, 2);
    EXPECT_EQ(pagesRead(), 48u) << "exactly one copy of the memory";
    const double delay = firstRead - arrived;
    std::printf("re-read began %.0f ms after the interface appeared\n", delay);
    // The interface is visible to this test about when the arrival is broadcast.
    EXPECT_GE(delay, 150.0);
    EXPECT_LE(delay, 2000.0);
    std::vector<std::wstring> kept = HistoryFiles();
    ASSERT_EQ(kept.size(), 1u) << "the memory changed elsewhere left no snapshot";
    EXPECT_NE(kept[0].find(L"-elsewhere.tarnprofiles"), std::wstring::npos);

    // Back unchanged: nothing more is kept.
    ASSERT_TRUE(EnsureUnplugged());
    ASSERT_TRUE(EnsurePlugged());
    virt::MouseLink again;
    ASSERT_TRUE(again.Open());
    EXPECT_TRUE(WaitUntil(
        [&] {
            std::optional<virt::MouseStatus> status = again.Status();
            return status && status->pagesRead >= 48;
        },
        15000));
    PumpMessagesFor(1000, 2);
    EXPECT_EQ(HistoryFiles().size(), 1u) << "an unchanged mouse was kept again";
}

TEST_F(DeskEndToEnd, ResetToDefaultWritesTheDefaultsIntoTheMouse) {
    virt::MemoryImage image{};
    image.fill(0xEE);
    ASSERT_TRUE(mouse_->Load(image));
    StartDeskAndWaitForCopy(image);
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));

    HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd");
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_COMMAND, kCommandReset, 0);
    EXPECT_TRUE(WaitUntil([&] { return PagesWritten() >= 48; }, 20000))
        << "written: " << PagesWritten();
    PumpMessagesFor(300, 2);
    EXPECT_EQ(PagesWritten(), 48u);

    const virt::MemoryImage expected = virt::DefaultsAfterReset(image);
    std::optional<virt::MemoryImage> memory = mouse_->Dump();
    ASSERT_TRUE(memory);
    for (size_t area = 0; area < virt::kAreaCount; ++area)
        EXPECT_TRUE(Area(*memory, area) == Area(expected, area)) << "area " << area << " differs";
    EXPECT_TRUE(WaitUntil([&] { return CacheHolds(expected); }, 3000));
    SaveScreenshot(L"desk_after_reset");
}

} // namespace
} // namespace tarn::e2e

namespace tarn::e2e {
namespace {

constexpr UINT kCommandSetting = 32773;

bool Shows(HWND dialog, int profile) {
    for (int i = 0; i < 5; ++i)
        if ((IsWindowEnabled(GetDlgItem(dialog, kFirstProfileButton + i)) != FALSE) !=
            (i == profile))
            return false;
    return true;
}

TEST_F(DeskEndToEnd, SettingsDialogFollowsAProfileSwitchOnTheMouseWithin500Ms) {
    const virt::MemoryImage image = virt::DefaultsAfterReset(virt::MemoryImage{});
    ASSERT_TRUE(mouse_->Load(image));
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_SET_ACTIVE, 0, 1));
    StartDeskAndWaitForCopy(image);

    HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd");
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_COMMAND, kCommandSetting, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (dialog = FindSettingsDialog(desk_->Id())) != nullptr; }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return Shows(dialog, 1); }, 5000))
        << "the dialog does not show profile 1";
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    PumpMessagesFor(700, 2); // TarnDesk paints on its own thread
    SaveScreenshot(L"settings_dialog_profile1");

    // The mouse's own "Select Profile" button.
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_PRESS_SWITCH, 0, 3));
    const double pressed = NowMs();
    ASSERT_TRUE(WaitUntil([&] { return Shows(dialog, 3); }, 3000, 2))
        << "the dialog never followed the mouse";
    const double took = NowMs() - pressed;
    std::printf("Settings dialog followed the mouse's switch after %.0f ms\n", took);
    // One poll period, plus the query and the refresh it triggers.
    EXPECT_LE(took, 700.0);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    PumpMessagesFor(700, 2); // TarnDesk paints on its own thread
    SaveScreenshot(L"settings_dialog_profile3");
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

} // namespace
} // namespace tarn::e2e
// Faults end to end: the mouse goes away or refuses a page while TarnDesk copies or writes
// its memory. For each case: TarnDesk neither crashes nor hangs, the cache holds no torn
// block, a write that missed the mouse is told, and the next copy after replugging brings
// cache and mouse back in line.
namespace tarn::e2e {
namespace {

constexpr wchar_t kWriteFailedText[] =
    L"The settings did not reach the mouse. Check that it is connected, then try again.";
constexpr int kApplyButton = 303;
constexpr int kButton3Function = 224;
constexpr int kRightClick = 2;
constexpr uint32_t kPagesPerBlock = 8;

// What TarnDesk is doing when the fault strikes.
enum class Trigger { StartUp, Arrival, Apply, Reset };
// The fault: the mouse absent from the start, unplugged once `atPage` pages have moved, or
// page 4 of profile 2 refused.
enum class Fault { Absent, Unplug, RefusePage };

struct FaultCase {
    const char* name;
    Trigger trigger;
    Fault fault;
    uint32_t atPage; // Unplug: pages read or written by then
};

const FaultCase kFaultCases[] = {
    {"StartUpWithoutTheMouse", Trigger::StartUp, Fault::Absent, 0},
    {"UnplugDuringStartUpCopy", Trigger::StartUp, Fault::Unplug, 2 * kPagesPerBlock + 1},
    {"UnplugDuringArrivalReread", Trigger::Arrival, Fault::Unplug, 2 * kPagesPerBlock + 1},
    {"UnplugDuringApply", Trigger::Apply, Fault::Unplug, 3},
    {"UnplugDuringResetToDefault", Trigger::Reset, Fault::Unplug, kPagesPerBlock + 3},
    {"PageRefusedMidBlockInCopyAndReset", Trigger::StartUp, Fault::RefusePage, 0},
};

// Test names and messages show the case by its name.
void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr size_t kRefusedArea = 3; // profile 2

std::vector<uint8_t> CachedArea(size_t area) {
    std::optional<CachedBlock> block = ReadCachedBlock(CacheKeyOfArea(area));
    return block ? block->bytes : std::vector<uint8_t>{};
}

// A visible message box of TarnDesk (a dialog that is not the Settings dialog); its text.
HWND FindMessageBox(DWORD processId, std::wstring* text) {
    for (HWND w = FindWindowW(L"#32770", nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner != processId || !IsWindowVisible(w) || GetDlgItem(w, 201) != nullptr)
            continue;
        wchar_t buffer[512] = {};
        GetDlgItemTextW(w, 0xFFFF, buffer, 512);
        *text = buffer;
        return w;
    }
    return nullptr;
}

class DeskFaults : public DeskEndToEnd, public testing::WithParamInterface<FaultCase> {
  protected:
    // TarnDesk's thread answers once it is back in a message loop: the transfer is over.
    bool Responsive(DWORD timeoutMs = 30000) {
        HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd");
        DWORD_PTR result = 0;
        return window != nullptr &&
               SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
    }
    // A fresh link after each plug: the old handle belongs to the removed device.
    bool Replug() {
        mouse_.reset();
        if (!EnsurePlugged())
            return false;
        mouse_.emplace();
        return mouse_->Open();
    }
    bool UnplugAt(uint32_t page, bool written) {
        const bool reached =
            WaitUntil([&] { return (written ? PagesWritten() : PagesRead()) >= page; }, 20000, 2);
        std::printf("unplugging after %u pages %s\n", written ? PagesWritten() : PagesRead(),
                    written ? "written" : "read");
        mouse_.reset();
        return reached && EnsureUnplugged();
    }
    // The message that a write missed the mouse, answered; false when none came.
    bool Told() {
        std::wstring text;
        HWND box = nullptr;
        if (!WaitUntil([&] { return (box = FindMessageBox(desk_->Id(), &text)) != nullptr; },
                       20000))
            return false;
        EXPECT_EQ(text, kWriteFailedText);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return WaitUntil([&] { return !IsWindow(box); }, 5000);
    }
    bool NoBox() {
        std::wstring text;
        return FindMessageBox(desk_->Id(), &text) == nullptr;
    }
    bool CacheMatchesMouse() {
        std::optional<virt::MemoryImage> memory = mouse_->Dump();
        return memory && CacheHolds(*memory);
    }
};

TEST_P(DeskFaults, NoCrashNoHangNoTornBlockToldAndBackInLineAfterReplug) {
    const FaultCase& c = GetParam();
    const virt::MemoryImage oldCache = PatternImage(3);
    const virt::MemoryImage memory = PatternImage(140);
    for (size_t area = 0; area < virt::kAreaCount; ++area)
        StoreCachedArea(area, Area(oldCache, area));
    ASSERT_TRUE(mouse_->Load(memory));
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_SET_ACTIVE, 0, 1));
    // Per area: what the cache may hold after the fault (old or new, never torn).
    std::vector<uint8_t> expectOld(virt::kAreaCount, 0);
    virt::MemoryImage before = oldCache, after = memory;

    if (c.trigger == Trigger::StartUp) {
        if (c.fault == Fault::Absent) {
            mouse_.reset();
            ASSERT_TRUE(EnsureUnplugged());
        } else if (c.fault == Fault::RefusePage) {
            ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_REJECT_PAGES, kRefusedArea, 1 << 4));
        }
        desk_.emplace(ProgramDir() + L"TarnDesk.exe", ProgramDir());
        ASSERT_TRUE(desk_->Started());
        if (c.fault == Fault::Unplug) {
            ASSERT_TRUE(UnplugAt(c.atPage, false));
        }
        ASSERT_NE(WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000), nullptr);
        ASSERT_TRUE(Responsive()) << "TarnDesk hangs";
        for (size_t area = 0; area < virt::kAreaCount; ++area) {
            const bool whole = c.fault == Fault::RefusePage ? area != kRefusedArea
                               : c.fault == Fault::Unplug   ? area == 1 || area == 2
                                                            : false;
            expectOld[area] = whole ? 0 : 1;
        }
    } else {
        StartDeskAndWaitForCopy(memory);
        before = memory;
        if (c.trigger == Trigger::Arrival) {
            after = PatternImage(200);
            ASSERT_TRUE(mouse_->Load(after));
            mouse_.reset();
            ASSERT_TRUE(EnsureUnplugged());
            ASSERT_TRUE(Replug());
            ASSERT_TRUE(UnplugAt(c.atPage, false));
            PumpMessagesFor(500, 2); // the re-read runs on with the mouse gone
            ASSERT_TRUE(Responsive()) << "TarnDesk hangs";
            for (size_t area = 0; area < virt::kAreaCount; ++area)
                expectOld[area] = area == 1 || area == 2 ? 0 : 1;
        } else if (c.trigger == Trigger::Reset) {
            after = virt::DefaultsAfterReset(memory); // stored whatever the mouse does
            ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));
            PostMessageW(FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"), WM_COMMAND, kCommandReset,
                         0);
            ASSERT_TRUE(UnplugAt(c.atPage, true));
            EXPECT_TRUE(Told()) << "a reset that missed the mouse was not told";
        }
    }

    if (c.trigger == Trigger::Apply) {
        HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd");
        PostMessageW(window, WM_COMMAND, kCommandSetting, 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (dialog = FindSettingsDialog(desk_->Id())) != nullptr; },
                              10000));
        ASSERT_TRUE(WaitUntil([&] { return Shows(dialog, 1); }, 5000));
        HWND combo = GetDlgItem(dialog, kButton3Function);
        SendMessageW(combo, CB_SETCURSEL, kRightClick, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kButton3Function, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));
        PostMessageW(dialog, WM_COMMAND, kApplyButton, 0);
        ASSERT_TRUE(UnplugAt(c.atPage, true));
        EXPECT_TRUE(Told()) << "an Apply that missed the mouse was not told";
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kApplyButton))) << "Apply is off";
        const std::vector<uint8_t> applied = CachedArea(2);
        EXPECT_NE(applied, Area(memory, 2)) << "the change is not in the cache";

        // Replugged: the copy brings the cache in line with the (torn) mouse, and Apply,
        // still enabled, writes the change whole.
        ASSERT_TRUE(Replug());
        ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));
        // The arrival's re-read waits for its timer and paces every page: on a loaded
        // machine it takes well over the usual few seconds.
        EXPECT_TRUE(WaitUntil([&] { return PagesRead() >= 48; }, 30000));
        // The thread answers messages sent to it while the tray icon changes its tip, so an
        // answer alone does not say that the copy is over.
        EXPECT_TRUE(WaitUntil([&] { return CacheMatchesMouse(); }, 15000))
            << "the re-read did not bring the cache in line";
        ASSERT_TRUE(Responsive());
        PostMessageW(dialog, WM_COMMAND, kApplyButton, 0);
        EXPECT_TRUE(WaitUntil([&] { return PagesWritten() >= 16; }, 10000));
        ASSERT_TRUE(Responsive());
        EXPECT_TRUE(NoBox()) << "a whole write was reported as failed";
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kApplyButton)));
        EXPECT_EQ(CachedArea(2), applied);
        EXPECT_TRUE(CacheMatchesMouse());
        EXPECT_FALSE(desk_->WaitExit(0)) << "TarnDesk ended";
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return;
    }

    // The cache: every block whole, from before or after the fault. The copy may still be
    // running: its thread answered while the tray icon changed its tip.
    const auto cacheAsExpected = [&] {
        for (size_t area = 0; area < virt::kAreaCount; ++area)
            if (CachedArea(area) != Area(expectOld[area] ? before : after, area))
                return false;
        return true;
    };
    WaitUntil(cacheAsExpected, 15000);
    for (size_t area = 0; area < virt::kAreaCount; ++area) {
        const virt::MemoryImage& expected = expectOld[area] ? before : after;
        EXPECT_TRUE(CachedArea(area) == Area(expected, area))
            << "area " << area << " should hold the " << (expectOld[area] ? "old" : "new")
            << " block";
    }
    EXPECT_FALSE(desk_->WaitExit(0)) << "TarnDesk ended";

    if (c.fault == Fault::RefusePage) {
        // A write through the same refusal is told; the reset's blocks are the user's.
        PostMessageW(FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"), WM_COMMAND, kCommandReset, 0);
        EXPECT_TRUE(Told()) << "a reset with a refused page was not told";
        EXPECT_TRUE(WaitUntil([&] { return CacheHolds(virt::DefaultsAfterReset(memory)); }, 5000));
        ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));
        mouse_.reset();
        ASSERT_TRUE(EnsureUnplugged());
    }

    // Replugged: the arrival's copy brings cache and mouse back in line.
    ASSERT_TRUE(Replug());
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));
    EXPECT_TRUE(WaitUntil([&] { return CacheMatchesMouse(); }, 15000))
        << "cache and mouse differ after the next copy";
    ASSERT_TRUE(Responsive());
    EXPECT_FALSE(desk_->WaitExit(0)) << "TarnDesk ended";
}

INSTANTIATE_TEST_SUITE_P(Table, DeskFaults, testing::ValuesIn(kFaultCases),
                         [](const testing::TestParamInfo<FaultCase>& param) {
                             return std::string(param.param.name);
                         });

// A second start hands over to the running TarnDesk, which opens its Settings dialog.
TEST_F(DeskEndToEnd, SecondStartOpensTheRunningOnesSettingsAndEnds) {
    const virt::MemoryImage image = virt::DefaultsAfterReset(virt::MemoryImage{});
    ASSERT_TRUE(mouse_->Load(image));
    StartDeskAndWaitForCopy(image);
    Program second(ProgramDir() + L"TarnDesk.exe", ProgramDir());
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(second.WaitExit(15000)) << "the second start did not end";
    EXPECT_EQ(CountProcesses(L"TarnDesk.exe"), 1);
    HWND dialog = nullptr;
    EXPECT_TRUE(
        WaitUntil([&] { return (dialog = FindSettingsDialog(desk_->Id())) != nullptr; }, 10000))
        << "the running TarnDesk did not open its Settings dialog";
    EXPECT_EQ(PagesRead(), 48u) << "the second start copied the memory";
    if (dialog != nullptr)
        PostMessageW(dialog, WM_CLOSE, 0, 0);
}

// Started at log-on from the Run key, TarnDesk's current folder is another than its own. Its
// pictures come from its own folder all the same, and never from the current folder: there
// a red "logo" lies that must not be drawn.
TEST_F(DeskEndToEnd, PicturesComeFromTheProgramsFolderNotTheCurrentOne) {
    const virt::MemoryImage image = virt::DefaultsAfterReset(virt::MemoryImage{});
    ASSERT_TRUE(mouse_->Load(image));
    const std::wstring elsewhere = TestsDir() + L"desk_started_elsewhere\\";
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    CreateDirectoryW((elsewhere + L"image").c_str(), nullptr);
    BITMAP logo = {};
    {
        const UniqueBitmap real(
            static_cast<HBITMAP>(LoadImageW(nullptr, (ProgramDir() + L"image\\logo.bmp").c_str(),
                                            IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
        ASSERT_TRUE(real);
        GetObjectW(real.Get(), sizeof(logo), &logo);
    }
    const size_t stride = (static_cast<size_t>(logo.bmWidth) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> red(stride * static_cast<size_t>(logo.bmHeight), 0);
    for (int y = 0; y < logo.bmHeight; ++y) {
        for (int x = 0; x < logo.bmWidth; ++x) {
            red[stride * static_cast<size_t>(y) + static_cast<size_t>(x) * 3 + 2] = 0xFF;
        }
    }
    ASSERT_TRUE(
        WriteBmpFile(elsewhere + L"image\\logo.bmp", logo.bmWidth, logo.bmHeight, 24, red.data()));

    desk_.emplace(ProgramDir() + L"TarnDesk.exe", elsewhere);
    ASSERT_TRUE(desk_->Started());
    ASSERT_TRUE(WaitUntil([&] { return FirstCacheMismatch(image) == virt::kAreaCount; }, 30000));
    HWND window = WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 5000);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_COMMAND, kCommandSetting, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (dialog = FindSettingsDialog(desk_->Id())) != nullptr; }, 10000));
    SetForegroundWindow(dialog);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    PumpMessagesFor(700, 2); // TarnDesk paints on its own thread
    SaveScreenshot(L"settings_dialog_started_elsewhere");

    RECT at = {};
    ASSERT_TRUE(GetWindowRect(GetDlgItem(dialog, 151), &at)) << "no logo anchor";
    const RECT area = {at.left, at.top, at.left + logo.bmWidth, at.top + logo.bmHeight};
    const std::vector<uint8_t> rows = CaptureScreen(area, 32);
    ASSERT_FALSE(rows.empty());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    size_t planted = 0;
    size_t drawn = 0;
    for (size_t i = 0; i + 3 < rows.size(); i += 4) {
        const COLORREF pixel = RGB(rows[i + 2], rows[i + 1], rows[i]);
        planted += pixel == RGB(255, 0, 0) ? 1 : 0;
        drawn += pixel != face ? 1 : 0;
    }
    const size_t pixels = rows.size() / 4;
    EXPECT_LT(planted, pixels / 20) << "the logo came from the current folder";
    EXPECT_GT(drawn, pixels / 20) << "no logo was drawn: it was not found in TarnDesk's folder";
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    DeleteFileW((elsewhere + L"image\\logo.bmp").c_str());
    RemoveDirectoryW((elsewhere + L"image").c_str());
    RemoveDirectoryW(elsewhere.c_str());
}

std::wstring CrashDumpFolderOfUser() {
    wchar_t local[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::wstring(local) + L"\\Orvane\\Gaming Mouse\\CrashDumps\\";
}

std::vector<std::wstring> DumpsOf(const std::wstring& folder, const std::wstring& program) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + program + L"-*.dmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring CrashNotice(const wchar_t* program) {
    wchar_t path[MAX_PATH + 64] = {};
    DWORD size = sizeof(path);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvane\\Gaming\\CrashDumps", program,
                     RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return {};
    return path;
}

// A fault in any of TarnDesk's threads (here one started in it at address 0) ends it with a
// minidump in the user's local application data; of its dumps the newest five stay, and the
// next start takes the notice and says where the dump lies.
TEST_F(DeskEndToEnd, ACrashLeavesAMinidumpThatTheNextStartReports) {
    const virt::MemoryImage image = virt::DefaultsAfterReset(virt::MemoryImage{});
    ASSERT_TRUE(mouse_->Load(image));
    const std::wstring folder = CrashDumpFolderOfUser();
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    for (const std::wstring& old : DumpsOf(folder, L"TarnDesk"))
        DeleteFileW((folder + old).c_str());
    for (int day = 1; day <= 5; ++day) { // five earlier dumps: the oldest must go
        const std::wstring name = L"TarnDesk-2026010" + std::to_wstring(day) + L"-120000-1.dmp";
        CloseHandle(CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                0, nullptr));
    }
    StartDeskAndWaitForCopy(image);
    const UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, desk_->Id()));
    ASSERT_TRUE(process);
    const UniqueHandle thread(
        CreateRemoteThread(process.Get(), nullptr, 0, nullptr, nullptr, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_TRUE(desk_->WaitExit(20000)) << "TarnDesk did not end on its fault";
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

    const std::vector<std::wstring> dumps = DumpsOf(folder, L"TarnDesk");
    ASSERT_EQ(dumps.size(), 5u);
    EXPECT_EQ(dumps.front(), L"TarnDesk-20260102-120000-1.dmp") << "the oldest dump stayed";
    const std::wstring dump = folder + dumps.back();
    EXPECT_NE(dumps.back().find(L"-" + std::to_wstring(desk_->Id()) + L".dmp"), std::wstring::npos);
    char signature[4] = {};
    DWORD read = 0;
    {
        const UniqueHandle file(CreateFileW(dump.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        ReadFile(file.Get(), signature, 4, &read, nullptr);
    }
    EXPECT_EQ(std::string(signature, read), "MDMP");
    EXPECT_EQ(CompareStringOrdinal(CrashNotice(L"TarnDesk").c_str(), -1, dump.c_str(), -1, TRUE),
              CSTR_EQUAL);

    // The next start says where the dump lies (a balloon) and keeps the fact for the report.
    desk_.emplace(ProgramDir() + L"TarnDesk.exe", ProgramDir());
    EXPECT_NE(WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 30000), nullptr);
    EXPECT_TRUE(WaitUntil([] { return CrashNotice(L"TarnDesk").empty(); }, 30000))
        << "the next start did not take the notice";
    for (const std::wstring& name : DumpsOf(folder, L"TarnDesk"))
        DeleteFileW((folder + name).c_str());
}

} // namespace
} // namespace tarn::e2e
