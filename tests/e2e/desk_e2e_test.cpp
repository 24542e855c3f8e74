// TarnDesk, unmodified, against the virtual mouse: the start-up copy into the registry cache,
// the single re-read 200 ms after the mouse arrives, and "Reset to Default".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "e2e_harness_win.h"
#include "e2e_mouse.h"

namespace tarn::e2e {
namespace {

constexpr UINT kCommandReset = 32772;
constexpr UINT kCommandClose = 32771;
constexpr double kBlockFloorMs = 800.0; // 8 pages x (5 ms x 10 + 50 ms)

std::vector<uint8_t> Area(const virt::MemoryImage& image, size_t area) {
    return std::vector<uint8_t>(
        image.begin() + static_cast<std::ptrdiff_t>(area * virt::kAreaLength),
        image.begin() + static_cast<std::ptrdiff_t>((area + 1) * virt::kAreaLength));
}

// The cache key of each area: profiles 0..4 are areas 1..5, the header is area 0.
int CacheKeyOfArea(size_t area) {
    return area == 0 ? 255 : static_cast<int>(area - 1);
}

bool CacheHolds(const virt::MemoryImage& image) {
    for (size_t area = 0; area < virt::kAreaCount; ++area) {
        std::optional<CachedBlock> block = ReadCachedBlock(CacheKeyOfArea(area));
        if (!block || block->type != REG_BINARY || block->bytes != Area(image, area))
            return false;
    }
    return true;
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

class DeskEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        KillProcesses(L"TarnDesk.exe");
        ASSERT_TRUE(EnsurePlugged());
        mouse_.emplace();
        ASSERT_TRUE(mouse_->Open());
        ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));
        DeleteCache();
    }
    void TearDown() override {
        if (HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"))
            PostMessageW(window, WM_COMMAND, kCommandClose, 0);
        if (desk_ && desk_->Started()) {
            EXPECT_TRUE(desk_->WaitExit(10000)) << "Close did not end TarnDesk";
        }
        KillProcesses(L"TarnDesk.exe");
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

    uint32_t PagesRead() const {
        std::optional<virt::MouseStatus> status = mouse_->Status();
        return status ? status->pagesRead : 0;
    }
    uint32_t PagesWritten() const {
        std::optional<virt::MouseStatus> status = mouse_->Status();
        return status ? status->pagesWritten : 0;
    }

    std::optional<virt::MouseLink> mouse_; // opened once the mouse is surely plugged
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

TEST_F(DeskEndToEnd, ReplugRereadsTheMemoryOnce200MsAfterArrival) {
    const virt::MemoryImage first = PatternImage(21);
    ASSERT_TRUE(mouse_->Load(first));
    StartDeskAndWaitForCopy(first);
    WaitUntil([&] { return PagesRead() >= 48; }, 5000);

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
constexpr int kFirstProfileButton = 201; // 201 + profile is the enabled one of 201..205

HWND FindSettingsDialog(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search = {processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            wchar_t className[16] = {};
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            GetClassNameW(window, className, 16);
            if (owner == s->processId && wcscmp(className, L"#32770") == 0 &&
                GetDlgItem(window, 201)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

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
