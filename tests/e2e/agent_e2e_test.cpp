// TarnAgent, unmodified, against the virtual filter drivers: the settings it hands them, the
// readers it arms, an injected key code turned into Ctrl+Windows+Tab, and the stop at exit.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "e2e_harness_win.h"
#include "e2e_mouse.h"

namespace tarn::e2e {
namespace {

constexpr UINT kCommandExit = 105;

class AgentEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        KillProcesses(L"TarnAgent.exe");
        for (int device = 0; device < TARN_FILTER_DEVICE_COUNT; ++device)
            ASSERT_TRUE(virt::ResetFilterDevice(device));
        agent_.emplace(ProgramDir() + L"TarnAgent.exe", ProgramDir());
        ASSERT_TRUE(agent_->Started());
        window_ = WaitWindow(L"TarnAgentClass", L"TarnAgentWnd", 10000);
        ASSERT_NE(window_, nullptr);
        // Every reader arms its device before it waits.
        ASSERT_TRUE(WaitUntil(
            [] {
                for (int device = 0; device < TARN_FILTER_DEVICE_COUNT; ++device) {
                    std::optional<virt::FilterStatus> status = virt::QueryFilterStatus(device);
                    if (!status || !status->armed)
                        return false;
                }
                return true;
            },
            5000));
    }
    void TearDown() override {
        if (seenKeys)
            seenKeys = nullptr;
        KillProcesses(L"TarnAgent.exe");
    }

    std::optional<Program> agent_;
    HWND window_ = nullptr;
};

TEST_F(AgentEndToEnd, HandsTheSameSettingsToBothTarnDevicesAndNoneToTheHidDevice) {
    std::optional<virt::FilterStatus> hid = virt::QueryFilterStatus(TARN_FILTER_HID_LOWER);
    std::optional<virt::FilterStatus> ps2 = virt::QueryFilterStatus(TARN_FILTER_PS2_UPPER);
    std::optional<virt::FilterStatus> vell = virt::QueryFilterStatus(TARN_FILTER_VELL);
    ASSERT_TRUE(hid && ps2 && vell);
    EXPECT_EQ(hid->settingsCount, 1u);
    EXPECT_EQ(ps2->settingsCount, 1u);
    EXPECT_EQ(vell->settingsCount, 0u);
    EXPECT_TRUE(std::equal(hid->settings, hid->settings + 24, ps2->settings));
    // Reserved words are zero; buttonA is never zero (its defaults are nonzero codes).
    for (size_t offset : {0u, 16u, 20u})
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(hid->settings[offset + i], 0) << "offset " << offset + i;
    EXPECT_NE(hid->settings[4] | hid->settings[5] | hid->settings[6] | hid->settings[7], 0);
    SaveScreenshot(L"agent_running");
}

TEST_F(AgentEndToEnd, InjectedKeyCode113BecomesCtrlWindowsTabOnce) {
    std::vector<std::pair<DWORD, bool>> keys;
    seenKeys = &keys;
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook, nullptr);

    virt::InjectRequest request;
    request.key = 113;
    ASSERT_TRUE(virt::InjectRecord(TARN_FILTER_PS2_UPPER, request));
    WaitUntil([&] { return keys.size() >= 6; }, 3000);
    // The same code again, without a different one between, sends nothing more.
    ASSERT_TRUE(virt::InjectRecord(TARN_FILTER_PS2_UPPER, request));
    PumpMessagesFor(500, 2);
    UnhookWindowsHookEx(hook);
    seenKeys = nullptr;

    const std::vector<std::pair<DWORD, bool>> expected = {{VK_CONTROL, true}, {VK_LWIN, true},
                                                          {VK_TAB, true},     {VK_TAB, false},
                                                          {VK_LWIN, false},   {VK_CONTROL, false}};
    std::vector<std::pair<DWORD, bool>> normalised;
    for (auto [key, down] : keys)
        normalised.emplace_back(
            key == VK_LCONTROL || key == VK_RCONTROL ? static_cast<DWORD>(VK_CONTROL) : key, down);
    EXPECT_EQ(normalised, expected);
    std::optional<virt::FilterStatus> ps2 = virt::QueryFilterStatus(TARN_FILTER_PS2_UPPER);
    ASSERT_TRUE(ps2);
    EXPECT_EQ(ps2->fetches, 2u);
    EXPECT_EQ(ps2->armed, 1u) << "the reader armed again after each record";
}

TEST_F(AgentEndToEnd, ExitStopsEveryDeviceWithEnableZero) {
    PostMessageW(window_, WM_COMMAND, kCommandExit, 0);
    EXPECT_TRUE(agent_->WaitExit(10000));
    for (int device = 0; device < TARN_FILTER_DEVICE_COUNT; ++device) {
        std::optional<virt::FilterStatus> status = virt::QueryFilterStatus(device);
        ASSERT_TRUE(status);
        EXPECT_EQ(status->stops, 1u) << "device " << device;
        EXPECT_EQ(status->lastStopEnable, 0u) << "device " << device;
        EXPECT_EQ(status->armed, 0u) << "device " << device;
    }
}

} // namespace
} // namespace tarn::e2e
