// The stand-ins themselves at the operating-system level: the virtual mouse answers feature
// report 5 through hidclass as the firmware model does and keeps its memory across unplugging;
// the virtual filter devices arm, signal and stop as the agent relies on.
#include <gtest/gtest.h>

#include <windows.h>

extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <array>
#include <optional>

#include "e2e_harness_win.h"
#include "e2e_mouse.h"

namespace tarn::e2e {
namespace {

using Report = std::array<uint8_t, 8>;

bool SetReport(HANDLE mouse, Report report) {
    return HidD_SetFeature(mouse, report.data(), 8) != FALSE;
}

Report GetReport(HANDLE mouse, bool* ok = nullptr) {
    Report reply = {0x05, 0, 0, 0, 0, 0, 0, 0};
    const BOOL result = HidD_GetFeature(mouse, reply.data(), 8);
    if (ok)
        *ok = result != FALSE;
    return reply;
}

class VirtualMouse : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(EnsurePlugged());
        link_.emplace();
        ASSERT_TRUE(link_->Open());
        ASSERT_TRUE(link_->Command(TARN_VMOUSE_CLEAR_FAULTS));
        ASSERT_TRUE(link_->Command(TARN_VMOUSE_SET_ACTIVE, 0, 0));
    }
    void TearDown() override {
        if (link_)
            link_->Command(TARN_VMOUSE_CLEAR_FAULTS);
    }
    std::optional<virt::MouseLink> link_;
};

TEST_F(VirtualMouse, PageWrittenThroughReport5ReadsBackThroughReport5) {
    ASSERT_TRUE(link_->Load(PatternImage(3)));
    HANDLE mouse = link_->Raw();
    Report page{};
    std::array<uint8_t, 64> data{};
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(0xA0 ^ i);

    ASSERT_TRUE(SetReport(mouse, {0x05, 0x07, 0x01, 0x00, 2, 6, 0, 0}));
    for (size_t chunk = 0; chunk < 9; ++chunk) {
        page = {0x05};
        for (size_t i = 0; i < 7; ++i)
            page[1 + i] = data[chunk * 7 + i];
        ASSERT_TRUE(SetReport(mouse, page));
    }
    ASSERT_TRUE(SetReport(mouse, {0x05, data[63], 5, 5, 5, 5, 5, 5}));
    // The mouse refuses a page command sooner than 50 ms after a tail (Sleep may end a
    // fraction of a tick early, so the test waits longer).
    EXPECT_FALSE(SetReport(mouse, {0x05, 0x07, 0x00, 0x00, 2, 6, 0, 0})) << "too soon";
    Sleep(60);

    ASSERT_TRUE(SetReport(mouse, {0x05, 0x07, 0x00, 0x00, 2, 6, 0, 0}));
    std::array<uint8_t, 64> back{};
    for (size_t chunk = 0; chunk < 9; ++chunk) {
        Report reply = GetReport(mouse);
        for (size_t i = 0; i < 7; ++i)
            back[chunk * 7 + i] = reply[1 + i];
    }
    back[63] = GetReport(mouse)[1];
    EXPECT_EQ(back, data);

    std::optional<virt::MemoryImage> memory = link_->Dump();
    ASSERT_TRUE(memory);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), memory->begin() + 2 * 512 + 6 * 64));
    EXPECT_EQ((*memory)[2 * 512 + 5 * 64], PatternImage(3)[2 * 512 + 5 * 64])
        << "the page before is untouched";
}

TEST_F(VirtualMouse, QueryAnswersTheActiveProfileOrTheChosenValue) {
    HANDLE mouse = link_->Raw();
    ASSERT_TRUE(link_->Command(TARN_VMOUSE_PRESS_SWITCH, 0, 3));
    ASSERT_TRUE(SetReport(mouse, {0x05, 0x09, 0xFF, 0, 0, 0, 0, 0}));
    EXPECT_EQ(GetReport(mouse)[3], 3);

    ASSERT_TRUE(SetReport(mouse, {0x05, 0x09, 0xFE, 1, 0, 0, 0, 0}));
    ASSERT_TRUE(SetReport(mouse, {0x05, 0x09, 0xFF, 0, 0, 0, 0, 0}));
    EXPECT_EQ(GetReport(mouse)[3], 1);

    ASSERT_TRUE(link_->Command(TARN_VMOUSE_QUERY_ANSWER, 0, 5));
    ASSERT_TRUE(SetReport(mouse, {0x05, 0x09, 0xFF, 0, 0, 0, 0, 0}));
    EXPECT_EQ(GetReport(mouse)[3], 5);
    EXPECT_FALSE(link_->Command(TARN_VMOUSE_PRESS_SWITCH, 0, 5))
        << "the button knows only profiles 0 to 4";
}

TEST_F(VirtualMouse, RejectedPageCommandFailsAtTheCaller) {
    HANDLE mouse = link_->Raw();
    ASSERT_TRUE(link_->Command(TARN_VMOUSE_REJECT_PAGES, 1, 1 << 3));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetReport(mouse, {0x05, 0x07, 0x00, 0x00, 1, 3, 0, 0}));
    EXPECT_TRUE(SetReport(mouse, {0x05, 0x07, 0x00, 0x00, 1, 2, 0, 0}));
    EXPECT_TRUE(SetReport(mouse, {0x05, 0x07, 0x00, 0x00, 2, 3, 0, 0}))
        << "other areas accept page 3";
}

TEST_F(VirtualMouse, MemoryAndActiveProfileSurviveUnplugging) {
    const virt::MemoryImage image = PatternImage(42);
    ASSERT_TRUE(link_->Load(image));
    ASSERT_TRUE(link_->Command(TARN_VMOUSE_PRESS_SWITCH, 0, 4));
    link_.reset(); // no handle outlives the device

    ASSERT_TRUE(EnsureUnplugged());
    virt::MemoryImage stored{};
    ASSERT_TRUE(virt::StoredImage(&stored, false));
    EXPECT_TRUE(stored == image);
    ASSERT_TRUE(EnsurePlugged());

    virt::MouseLink replugged;
    ASSERT_TRUE(replugged.Open());
    std::optional<virt::MemoryImage> memory = replugged.Dump();
    ASSERT_TRUE(memory);
    EXPECT_TRUE(*memory == image);
    std::optional<virt::MouseStatus> status = replugged.Status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->activeProfile, 4u);
}

class VirtualFilters : public testing::Test {
  protected:
    void SetUp() override {
        for (int device = 0; device < TARN_FILTER_DEVICE_COUNT; ++device)
            ASSERT_TRUE(virt::ResetFilterDevice(device));
        event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(event_, nullptr);
    }
    void TearDown() override {
        if (event_)
            CloseHandle(event_);
    }
    bool Call(HANDLE device, uint32_t code, const std::vector<uint8_t>& in, uint8_t* out = nullptr,
              DWORD outLength = 0) {
        DWORD returned = 0;
        return DeviceIoControl(device, code, const_cast<uint8_t*>(in.data()),
                               static_cast<DWORD>(in.size()), out, outLength, &returned,
                               nullptr) != FALSE;
    }
    HANDLE event_ = nullptr;
};

TEST_F(VirtualFilters, ArmedEventStaysClearUntilARecordArrives) {
    HANDLE device = virt::OpenFilterDevice(TARN_FILTER_HID_LOWER);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    const std::vector<uint8_t> wait = virt::BuildWaitRecord(reinterpret_cast<uintptr_t>(event_), 1);
    SetEvent(event_); // left set by an earlier wait: the arm clears it
    ASSERT_TRUE(Call(device, IOCTL_TARN_ARM_EVENT, wait));
    EXPECT_EQ(WaitForSingleObject(event_, 100), static_cast<DWORD>(WAIT_TIMEOUT));

    virt::InjectRequest request;
    request.buttons = 0x10;
    request.battery = 1;
    ASSERT_TRUE(virt::InjectRecord(TARN_FILTER_HID_LOWER, request));
    EXPECT_EQ(WaitForSingleObject(event_, 2000), static_cast<DWORD>(WAIT_OBJECT_0));
    uint8_t record[TARN_EVENT_RECORD_LENGTH] = {};
    ASSERT_TRUE(Call(device, IOCTL_TARN_GET_EVENT, wait, record, sizeof(record)));
    EXPECT_EQ(record[TARN_EVENT_BUTTONS_OFFSET], 0x10);
    EXPECT_EQ(record[TARN_EVENT_BATTERY_OFFSET], 1);

    // A record that arrived before the arm signals at once.
    ASSERT_TRUE(virt::InjectRecord(TARN_FILTER_HID_LOWER, request));
    ASSERT_TRUE(Call(device, IOCTL_TARN_ARM_EVENT, wait));
    EXPECT_EQ(WaitForSingleObject(event_, 2000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(device);
}

TEST_F(VirtualFilters, StopDisarmsAndRecordsTheEnableField) {
    HANDLE device = virt::OpenFilterDevice(TARN_FILTER_VELL);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Call(device, IOCTL_VELL_ARM_EVENT,
                     virt::BuildWaitRecord(reinterpret_cast<uintptr_t>(event_), 1)));
    ASSERT_TRUE(Call(device, IOCTL_VELL_STOP,
                     virt::BuildWaitRecord(reinterpret_cast<uintptr_t>(event_), 0)));
    virt::InjectRequest request;
    request.code = 0x25;
    ASSERT_TRUE(virt::InjectRecord(TARN_FILTER_VELL, request));
    EXPECT_EQ(WaitForSingleObject(event_, 200), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a stopped reader is not woken";
    std::optional<virt::FilterStatus> status = virt::QueryFilterStatus(TARN_FILTER_VELL);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->stops, 1u);
    EXPECT_EQ(status->lastStopEnable, 0u);
    EXPECT_EQ(status->armed, 0u);
    EXPECT_FALSE(Call(device, IOCTL_TARN_SET_SETTINGS, std::vector<uint8_t>(24, 1)))
        << "the HID upper filter takes no settings";
    CloseHandle(device);
}

TEST_F(VirtualFilters, SettingsRecordIsKeptForReadBackAndShortInputIsRefused) {
    HANDLE device = virt::OpenFilterDevice(TARN_FILTER_PS2_UPPER);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    std::vector<uint8_t> settings(24);
    for (size_t i = 0; i < settings.size(); ++i)
        settings[i] = static_cast<uint8_t>(i + 1);
    ASSERT_TRUE(Call(device, IOCTL_TARN_SET_SETTINGS, settings));
    EXPECT_FALSE(Call(device, IOCTL_TARN_SET_SETTINGS, std::vector<uint8_t>(23, 0xFF)));
    EXPECT_FALSE(Call(device, IOCTL_TARN_ARM_EVENT, std::vector<uint8_t>(8, 0)));
    std::optional<virt::FilterStatus> status = virt::QueryFilterStatus(TARN_FILTER_PS2_UPPER);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->settingsCount, 1u);
    EXPECT_TRUE(std::equal(settings.begin(), settings.end(), status->settings));
    CloseHandle(device);
}

TEST_F(VirtualFilters, ClosingTheArmingHandleReleasesItsEvent) {
    HANDLE device = virt::OpenFilterDevice(TARN_FILTER_HID_LOWER);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Call(device, IOCTL_TARN_ARM_EVENT,
                     virt::BuildWaitRecord(reinterpret_cast<uintptr_t>(event_), 1)));
    CloseHandle(device);
    std::optional<virt::FilterStatus> status = virt::QueryFilterStatus(TARN_FILTER_HID_LOWER);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->armed, 0u);
}

} // namespace
} // namespace tarn::e2e
