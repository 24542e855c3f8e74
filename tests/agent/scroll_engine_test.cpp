// The scroll engine against real windows placed under the real pointer.
#include <gtest/gtest.h>

#include <thread>

#include "actions_test_desktop.h"
#include "agent_settings.h"
#include "scroll_engine.h"

namespace {
constexpr DWORD kPanelStyle = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE;

class ScrollEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        agentSettings = AgentSettings{};
        agentSettings.scrolling = 0x303;
        tiltState = 1;
        staticSeen = true;
        panel_ = CreateRecordingWindow(L"TarnTestPanel", kPanelStyle, 100, 100, 600, 400);
        ASSERT_NE(panel_, nullptr);
        ClearRecordedMessages();
    }
    void TearDown() override {
        if (panel_ != nullptr) {
            DestroyWindow(panel_);
        }
        PumpMessagesFor(10, 1);
    }

    // One step with the pointer at a client point of window; returns the WM_HSCROLLs.
    std::vector<RecordedMessage> StepAt(HWND window, int x, int y) {
        ClearRecordedMessages();
        EXPECT_TRUE(PlacePointer(window, x, y));
        ScrollStep();
        PumpMessagesFor(30, 1);
        return RecordedMessages(WM_HSCROLL);
    }

    HWND panel_ = nullptr;
};

void ExpectScrolls(const std::vector<RecordedMessage>& got, size_t count, HWND to, WPARAM request,
                   HWND bar) {
    ASSERT_EQ(got.size(), count);
    for (const RecordedMessage& m : got) {
        EXPECT_EQ(m.window, to);
        EXPECT_EQ(m.wParam, request);
        EXPECT_EQ(m.lParam, reinterpret_cast<LPARAM>(bar));
    }
}

TEST_F(ScrollEngine, HorizontalBarControlScrollsThroughItsParent) {
    HWND bar = CreateWindowExW(0, L"ScrollBar", nullptr, kChildStyle | SBS_HORZ, 50, 300, 400, 20,
                               panel_, nullptr, nullptr, nullptr);
    ASSERT_NE(bar, nullptr);
    RecordMessagesOf(bar);

    ExpectScrolls(StepAt(bar, 200, 10), 3, panel_, SB_LINERIGHT, bar);
    EXPECT_TRUE(targetFound);
    EXPECT_EQ(scrollTarget, bar);

    tiltState = 255;
    ExpectScrolls(StepAt(bar, 200, 10), 3, panel_, SB_LINELEFT, bar);
    tiltState = -1;
    ExpectScrolls(StepAt(bar, 200, 10), 3, panel_, SB_LINELEFT, bar);

    agentSettings.scrolling = 0xF03;
    tiltState = 1;
    ExpectScrolls(StepAt(bar, 200, 10), 15, panel_, SB_LINERIGHT, bar);
}

TEST_F(ScrollEngine, NoStepWithoutDirectionOrRepeats) {
    HWND bar = CreateWindowExW(0, L"ScrollBar", nullptr, kChildStyle | SBS_HORZ, 50, 300, 400, 20,
                               panel_, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExW(0, L"ListBox", nullptr, kChildStyle | WS_HSCROLL, 50, 50, 300, 200,
                                panel_, nullptr, nullptr, nullptr);
    EnableHorizontalBar(list);
    RecordMessagesOf(bar);
    RecordMessagesOf(list);

    for (int32_t tilt : {0, 2, 254, 256, -2}) {
        tiltState = tilt;
        EXPECT_TRUE(StepAt(bar, 200, 10).empty()) << tilt;
    }
    tiltState = 1;
    agentSettings.scrolling = 0x003; // 3 wheel lines, no horizontal repeat
    EXPECT_TRUE(StepAt(bar, 200, 10).empty());
    EXPECT_TRUE(StepAt(list, 100, 100).empty());
    EXPECT_TRUE(StepAt(panel_, 590, 390).empty());
}

TEST_F(ScrollEngine, ListWindowWithBarScrollsItself) {
    HWND list = CreateWindowExW(0, L"ListBox", nullptr,
                                kChildStyle | WS_HSCROLL | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 50,
                                50, 300, 200, panel_, nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    SendMessageW(list, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(L"a row much wider than the list window itself, "
                                          L"so that it has something to scroll sideways"));
    SendMessageW(list, LB_SETHORIZONTALEXTENT, 3000, 0);
    EnableHorizontalBar(list);
    RecordMessagesOf(list);

    ExpectScrolls(StepAt(list, 100, 60), 3, list, SB_LINERIGHT, list);
}

TEST_F(ScrollEngine, DisabledBarSearchGoesToDescendantsThenSiblingsThenParent) {
    DestroyWindow(panel_);
    panel_ = CreateRecordingWindow(L"TarnTestPanel", kPanelStyle | WS_HSCROLL, 100, 100, 600, 400);
    EnableHorizontalBar(panel_);
    HWND area =
        CreateRecordingWindow(L"TarnTestArea", kChildStyle | WS_HSCROLL, 20, 20, 300, 250, panel_);
    DisableHorizontalBar(area);
    HWND inner =
        CreateRecordingWindow(L"TarnTestArea", kChildStyle | WS_HSCROLL, 5, 5, 80, 60, area);
    EnableHorizontalBar(inner);

    ExpectScrolls(StepAt(area, 200, 150), 3, inner, SB_LINERIGHT, inner);

    DestroyWindow(inner);
    HWND sibling =
        CreateRecordingWindow(L"TarnTestArea", kChildStyle | WS_HSCROLL, 350, 20, 200, 100, panel_);
    EnableHorizontalBar(sibling);
    ExpectScrolls(StepAt(area, 200, 150), 3, sibling, SB_LINERIGHT, sibling);

    DestroyWindow(sibling);
    ExpectScrolls(StepAt(area, 200, 150), 3, panel_, SB_LINERIGHT, panel_);

    // Nothing usable anywhere: the window under the pointer gets the requests itself.
    DisableHorizontalBar(panel_);
    ExpectScrolls(StepAt(area, 200, 150), 3, area, SB_LINERIGHT, nullptr);
    EXPECT_FALSE(targetFound);
}

TEST_F(ScrollEngine, BarControlWhollyLeftOfPointerIsNotChosen) {
    HWND bar = CreateWindowExW(0, L"ScrollBar", nullptr, kChildStyle | SBS_HORZ, 10, 300, 100, 20,
                               panel_, nullptr, nullptr, nullptr);
    // Vertical bars and size boxes never count as horizontal bars, wherever they lie.
    CreateWindowExW(0, L"ScrollBar", nullptr, kChildStyle | SBS_VERT, 550, 10, 20, 300, panel_,
                    nullptr, nullptr, nullptr);
    CreateWindowExW(0, L"ScrollBar", nullptr, kChildStyle | SBS_SIZEBOX, 560, 350, 20, 20, panel_,
                    nullptr, nullptr, nullptr);
    HWND view = CreateRecordingWindow(L"TarnTestArea", kChildStyle, 300, 50, 200, 200, panel_);

    ExpectScrolls(StepAt(view, 100, 100), 3, view, SB_LINERIGHT, nullptr);

    // Its right edge exactly at the pointer still counts; its height does not matter.
    POINT pointer = {};
    GetCursorPos(&pointer);
    POINT origin = {0, 0};
    ClientToScreen(panel_, &origin);
    SetWindowPos(bar, nullptr, pointer.x - origin.x - 100, 300, 100, 20, SWP_NOZORDER);
    ExpectScrolls(StepAt(view, 100, 100), 3, panel_, SB_LINERIGHT, bar);
}

TEST_F(ScrollEngine, FirstStepOverStaticSearchesItsParentsDescendants) {
    staticSeen = false;
    HWND label = CreateWindowExW(0, L"Static", L"label", kChildStyle | SS_NOTIFY | WS_HSCROLL, 20,
                                 20, 250, 150, panel_, nullptr, nullptr, nullptr);
    ASSERT_NE(label, nullptr);
    EnableHorizontalBar(label);
    RecordMessagesOf(label);
    HWND bar = CreateWindowExW(0, L"ScrollBar", nullptr, kChildStyle | SBS_HORZ, 20, 350, 560, 20,
                               panel_, nullptr, nullptr, nullptr);
    HWND other = CreateRecordingWindow(L"TarnTestArea", kChildStyle, 350, 50, 200, 200, panel_);

    // The label and its own bar are passed over, as long as only labels have been searched.
    ExpectScrolls(StepAt(label, 100, 60), 3, panel_, SB_LINERIGHT, bar);
    EXPECT_FALSE(staticSeen);
    ExpectScrolls(StepAt(label, 100, 60), 3, panel_, SB_LINERIGHT, bar);

    StepAt(other, 100, 100);
    EXPECT_TRUE(staticSeen);
    ExpectScrolls(StepAt(label, 100, 60), 3, label, SB_LINERIGHT, label);
}

TEST_F(ScrollEngine, HiddenOrDisabledWindowGetsRequestsWithoutSearch) {
    HWND blocked = CreateRecordingWindow(L"TarnTestBlocked", kPanelStyle | WS_HSCROLL | WS_DISABLED,
                                         150, 150, 300, 200);
    EnableHorizontalBar(blocked);
    HWND inner =
        CreateRecordingWindow(L"TarnTestArea", kChildStyle | WS_HSCROLL, 5, 5, 80, 60, blocked);
    EnableHorizontalBar(inner);

    ExpectScrolls(StepAt(blocked, 150, 100), 3, blocked, SB_LINERIGHT, nullptr);
    EXPECT_FALSE(targetFound);

    HWND hidden = CreateRecordingWindow(L"TarnTestArea", WS_POPUP | WS_HSCROLL, 0, 0, 100, 100);
    EnableHorizontalBar(hidden);
    ShowWindow(hidden, SW_HIDE);
    targetFound = false;
    EXPECT_FALSE(FindScrollTarget(hidden));
    EXPECT_FALSE(targetFound);
    DestroyWindow(hidden);
    DestroyWindow(blocked);
}

TEST_F(ScrollEngine, BrowserWindowsGetArrowKeys) {
    HWND browser =
        CreateRecordingWindow(L"MozillaWindowClass", kChildStyle, 50, 50, 300, 200, panel_);
    const ULONGLONG start = GetTickCount64();
    StepAt(browser, 100, 100);
    const ULONGLONG elapsed = GetTickCount64() - start;
    std::vector<RecordedMessage> keys;
    for (const RecordedMessage& m : RecordedMessages()) {
        if (m.window == browser) {
            keys.push_back(m);
        }
    }
    ASSERT_EQ(keys.size(), 6u);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].message, i % 2 == 0 ? UINT{WM_KEYDOWN} : UINT{WM_KEYUP});
        EXPECT_EQ(keys[i].wParam, WPARAM{VK_RIGHT});
        EXPECT_EQ(keys[i].lParam, 0);
    }
    EXPECT_GE(elapsed, 55u); // three 20 ms holds

    // A browser window whose thread does not answer is not waited for.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND hung = nullptr;
    std::thread owner([&] {
        hung =
            CreateRecordingWindow(L"MozillaWindowClass", WS_POPUP | WS_VISIBLE, 150, 550, 200, 150);
        SetEvent(ready);
        WaitForSingleObject(release, 10000); // busy: no message is taken meanwhile
        DestroyWindow(hung);
    });
    WaitForSingleObject(ready, 5000);
    ASSERT_TRUE(PlacePointer(hung, 50, 50));
    const ULONGLONG hungStart = GetTickCount64();
    ScrollStep();
    const ULONGLONG hungElapsed = GetTickCount64() - hungStart;
    SetEvent(release);
    owner.join();
    CloseHandle(release);
    CloseHandle(ready);
    EXPECT_LT(hungElapsed, 2000u);

    // The injected variant goes to whoever has the focus; the hook sees it.
    HWND opera = CreateRecordingWindow(L"OperaWindowClass", kChildStyle, 350, 50, 200, 200, panel_);
    InputRecorder input;
    ASSERT_TRUE(input.Active());
    tiltState = 255;
    EXPECT_TRUE(StepAt(opera, 100, 100).empty());
    PumpMessagesFor(20, 1);
    const auto scan = MapVirtualKeyW(VK_LEFT, MAPVK_VK_TO_VSC);
    ASSERT_EQ(input.Keys().size(), 6u);
    for (size_t i = 0; i < input.Keys().size(); ++i) {
        EXPECT_EQ(input.Keys()[i].vk, DWORD{VK_LEFT});
        EXPECT_EQ(input.Keys()[i].scan, scan);
        EXPECT_EQ(input.Keys()[i].up, i % 2 == 1);
    }
}
} // namespace
