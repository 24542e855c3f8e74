// The filter-driver link against the simulated drivers: real threads, real events and a real
// window receiving the readers' messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "driver_link_win.h"
#include "sim_filter_drivers.h"
#include "test_harness_win.h"

namespace {

EventRecord Buttons(uint32_t mask) {
    EventRecord record;
    record.buttonMask = mask;
    return record;
}

struct Received {
    UINT message;
    WPARAM device;
    EventRecord event;
    HidEventRecord hid;
};
std::vector<Received> received;

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MSG_DRIVER_EVENT) {
        Received r{message, wParam, {}, {}};
        if (TakeDriverEvent(wParam, lParam, &r.event)) {
            received.push_back(r);
        }
        return 0;
    }
    if (message == MSG_HID_EVENT) {
        Received r{message, wParam, {}, {}};
        if (TakeHidEvent(wParam, lParam, &r.hid)) {
            received.push_back(r);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

class DriverLink : public ::testing::Test {
  protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = SinkProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"DriverLinkSink";
            RegisterClassW(&wc);
            registered = true;
        }
        window_ = CreateWindowExW(0, L"DriverLinkSink", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, window_);
        received.clear();
        // Readers that never wake keep using their driver; it outlives the test on purpose.
        sim_ = new SimFilterDrivers;
        SetFilterDeviceIo(sim_);
    }
    void TearDown() override {
        CloseFilterDrivers();
        SetFilterDeviceIo(nullptr);
        PumpMessagesFor(20);
        DestroyWindow(window_);
    }
    bool Open() {
        return OpenFilterDrivers(window_, SettingsRecordOf(0x05103081, 0x00019595, 0x303));
    }
    bool WaitArmed(int device, int count = 1) {
        return PumpUntil([&] {
            return sim_->IsArmed(device) &&
                   sim_->CountCalls(device, kFilterDevices[device].armCode) >= count;
        });
    }
    int Closes(int device) const {
        int n = 0;
        for (const SimDriverCall& call : sim_->Calls()) {
            n += call.kind == SimDriverCall::Close && call.device == device;
        }
        return n;
    }

    HWND window_ = nullptr;
    SimFilterDrivers* sim_ = nullptr;
};

} // namespace

TEST_F(DriverLink, NoDeviceMeansNothingOpenedAfterTryingAllThreeInOrder) {
    EXPECT_FALSE(Open());
    std::vector<int> opened;
    for (const SimDriverCall& call : sim_->Calls()) {
        ASSERT_EQ(SimDriverCall::Open, call.kind);
        opened.push_back(call.device);
    }
    EXPECT_EQ((std::vector<int>{0, 1, 2}), opened);
}

TEST_F(DriverLink, OnlyPs2UpperFilterGetsSettingsAndDeliversEveryField) {
    sim_->SetPresent(1, true);
    ASSERT_TRUE(Open());
    ASSERT_EQ(1, sim_->CountCalls(1, IOCTL_TARN_SET_SETTINGS));
    for (const SimDriverCall& call : sim_->Calls()) {
        if (call.kind == SimDriverCall::Control && call.code == IOCTL_TARN_SET_SETTINGS) {
            ASSERT_EQ(kSettingsRecordLength, call.input.size());
            EXPECT_EQ(0x05103081u, U32At(call.input, 4));
            EXPECT_EQ(0x00019595u, U32At(call.input, 8));
            EXPECT_EQ(0x303u, U32At(call.input, 12));
        }
    }
    ASSERT_TRUE(WaitArmed(1));
    // The arm names a live event of ours and says the reader runs.
    for (const SimDriverCall& call : sim_->Calls()) {
        if (call.kind == SimDriverCall::Control && call.code == IOCTL_TARN_ARM_EVENT) {
            const WaitRecord wait = DecodeWaitRecord(call.input.data(), call.input.size());
            EXPECT_NE(0u, wait.eventHandle);
            EXPECT_EQ(1u, wait.enable);
        }
    }
    EventRecord record;
    record.buttonMask = 0x3;
    record.tilt = 0xFF;
    record.keyCode = 113;
    record.battery = 1;
    sim_->InjectEvent(1, record);
    ASSERT_TRUE(PumpUntil([] { return received.size() == 1; }));
    EXPECT_EQ(MSG_DRIVER_EVENT, received[0].message);
    EXPECT_EQ(1u, received[0].device);
    EXPECT_EQ(0x3u, received[0].event.buttonMask);
    EXPECT_EQ(0xFFu, received[0].event.tilt);
    EXPECT_EQ(113, received[0].event.keyCode);
    EXPECT_EQ(1u, received[0].event.battery);
}

TEST_F(DriverLink, OnlyHidUpperFilterIsSentNoSettingsAndDeliversCodes) {
    sim_->SetPresent(2, true);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitArmed(2));
    for (const SimDriverCall& call : sim_->Calls()) {
        EXPECT_NE(IOCTL_TARN_SET_SETTINGS, call.code);
    }
    HidEventRecord hid;
    hid.code = 0x24;
    sim_->InjectHidEvent(2, hid);
    hid.code = 0x25;
    sim_->InjectHidEvent(2, hid);
    ASSERT_TRUE(PumpUntil([] { return received.size() == 2; }));
    EXPECT_EQ(MSG_HID_EVENT, received[0].message);
    EXPECT_EQ(0x24u, received[0].hid.code);
    EXPECT_EQ(0x25u, received[1].hid.code);
}

TEST_F(DriverLink, BothTarnFiltersGetSettingsAndBothReport) {
    sim_->SetPresent(0, true);
    sim_->SetPresent(1, true);
    sim_->SetFaults(2, {true, false, 0, false}); // present but refuses to open
    sim_->SetPresent(2, true);
    ASSERT_TRUE(Open());
    EXPECT_EQ(1, sim_->CountCalls(0, IOCTL_TARN_SET_SETTINGS));
    EXPECT_EQ(1, sim_->CountCalls(1, IOCTL_TARN_SET_SETTINGS));
    EXPECT_FALSE(sim_->IsOpen(2));
    ASSERT_TRUE(WaitArmed(0));
    ASSERT_TRUE(WaitArmed(1));
    sim_->InjectEvent(0, Buttons(1));
    sim_->InjectEvent(1, Buttons(2));
    ASSERT_TRUE(PumpUntil([] { return received.size() == 2; }));
    std::map<WPARAM, uint32_t> byDevice;
    for (const Received& r : received) {
        byDevice[r.device] = r.event.buttonMask;
    }
    EXPECT_EQ(1u, byDevice[0]);
    EXPECT_EQ(2u, byDevice[1]);
}

TEST_F(DriverLink, FetchFailureOnHidUpperFilterReArms) {
    sim_->SetPresent(2, true);
    sim_->SetFaults(2, {false, false, 1, false});
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitArmed(2));
    HidEventRecord hid;
    hid.code = 0x24;
    sim_->InjectHidEvent(2, hid); // lost to the failing fetch
    ASSERT_TRUE(WaitArmed(2, 2));
    hid.code = 0x25;
    sim_->InjectHidEvent(2, hid);
    ASSERT_TRUE(PumpUntil([] { return received.size() == 1; }));
    EXPECT_EQ(0x25u, received[0].hid.code);
    EXPECT_TRUE(sim_->IsOpen(2));
}

TEST_F(DriverLink, HidUpperFilterThatKeepsFailingWithItsEventSetDoesNotSpinTheReader) {
    sim_->SetPresent(2, true);
    SimDriverFaults broken;
    broken.fetchFailures = 1000000;
    broken.failedFetchKeepsEventSet = true;
    sim_->SetFaults(2, broken);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitArmed(2));
    HidEventRecord hid;
    hid.code = 0x24;
    sim_->InjectHidEvent(2, hid);
    PumpMessagesFor(500);
    // Backing off from 10 ms, half a second holds a handful of tries, not a spinning core.
    EXPECT_LE(sim_->CountCalls(2, kFilterDevices[2].fetchCode), 12);
    EXPECT_TRUE(sim_->IsOpen(2));
}

TEST_F(DriverLink, FetchFailureOnTarnFilterEndsItsReaderAndClosesOnce) {
    sim_->SetPresent(0, true);
    sim_->SetFaults(0, {false, false, 1, false});
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitArmed(0));
    sim_->InjectEvent(0, Buttons(1));
    ASSERT_TRUE(PumpUntil([&] { return !sim_->IsOpen(0); }));
    EXPECT_EQ(1, sim_->CountCalls(0, IOCTL_TARN_ARM_EVENT));
    CloseFilterDrivers();
    EXPECT_EQ(0, sim_->CountCalls(0, IOCTL_TARN_STOP)); // nothing left to stop
    EXPECT_EQ(1, Closes(0));
    EXPECT_TRUE(received.empty());
}

TEST_F(DriverLink, ArmFailureClosesTheDeviceOnce) {
    sim_->SetPresent(1, true);
    sim_->SetFaults(1, {false, true, 0, false});
    ASSERT_TRUE(Open()); // it did open; its reader gives up
    ASSERT_TRUE(PumpUntil([&] { return !sim_->IsOpen(1); }));
    CloseFilterDrivers();
    EXPECT_EQ(1, Closes(1));
}

TEST_F(DriverLink, ShutdownStopsWithEnableZeroBeforeClosing) {
    sim_->SetPresent(0, true);
    sim_->SetPresent(2, true);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitArmed(0));
    ASSERT_TRUE(WaitArmed(2));
    CloseFilterDrivers();
    const std::vector<SimDriverCall> calls = sim_->Calls();
    for (int device : {0, 2}) {
        int stopAt = -1, closeAt = -1;
        for (int i = 0; i < static_cast<int>(calls.size()); ++i) {
            const SimDriverCall& call = calls[static_cast<size_t>(i)];
            if (call.device != device) {
                continue;
            }
            if (call.kind == SimDriverCall::Control &&
                call.code == kFilterDevices[device].stopCode) {
                stopAt = i;
                const WaitRecord wait = DecodeWaitRecord(call.input.data(), call.input.size());
                EXPECT_EQ(0u, wait.enable);
                EXPECT_NE(0u, wait.eventHandle);
            }
            if (call.kind == SimDriverCall::Close) {
                EXPECT_EQ(-1, closeAt) << "closed twice";
                closeAt = i;
            }
        }
        EXPECT_NE(-1, stopAt) << device;
        EXPECT_GT(closeAt, stopAt) << device;
    }
    // Woken by the stop, the readers end without fetching.
    PumpMessagesFor(100);
    EXPECT_EQ(0, sim_->CountCalls(0, IOCTL_TARN_GET_EVENT));
    EXPECT_EQ(0, sim_->CountCalls(2, IOCTL_VELL_GET_EVENT));
}

TEST_F(DriverLink, SilentDriverStillClosesAtShutdown) {
    sim_->SetPresent(0, true);
    sim_->SetFaults(0, {false, false, 0, true});
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitArmed(0));
    sim_->InjectEvent(0, Buttons(1));
    PumpMessagesFor(200);
    EXPECT_TRUE(received.empty());
    CloseFilterDrivers();
    EXPECT_EQ(1, Closes(0));
}

TEST_F(DriverLink, BurstsFromTwoDevicesArriveAsDistinctRecordsNoneLost) {
    sim_->SetPresent(0, true);
    sim_->SetPresent(1, true);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitArmed(0));
    ASSERT_TRUE(WaitArmed(1));
    constexpr uint32_t kPerDevice = 2000;
    auto burst = [&](int device) {
        for (uint32_t i = 0; i < kPerDevice; ++i) {
            EventRecord record;
            record.field0 = static_cast<uint32_t>(device) << 16 | i;
            record.buttonMask = i;           // every field carries the same tag, so a record
            record.field16 = ~record.field0; // mixed from two fetches shows up
            sim_->InjectEvent(device, record);
        }
    };
    std::thread a(burst, 0);
    std::thread b(burst, 1);
    a.join();
    b.join();
    ASSERT_TRUE(PumpUntil([] { return received.size() == 2 * kPerDevice; }, 30000))
        << received.size();
    uint32_t next[2] = {0, 0};
    for (const Received& r : received) {
        const uint32_t device = r.event.field0 >> 16;
        ASSERT_EQ(r.device, device);
        ASSERT_EQ(next[device], r.event.field0 & 0xFFFF) << "lost or reordered";
        ASSERT_EQ(r.event.buttonMask, r.event.field0 & 0xFFFF);
        ASSERT_EQ(~r.event.field0, r.event.field16) << "torn record";
        ++next[device];
    }
    EXPECT_EQ(kPerDevice, next[0]);
    EXPECT_EQ(kPerDevice, next[1]);
}

TEST_F(DriverLink, ForgedOrRepeatedMessagesCarryNoRecord) {
    sim_->SetPresent(0, true);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitArmed(0));
    EventRecord record;
    EXPECT_FALSE(TakeDriverEvent(0, 0, &record)); // nothing fetched yet
    EXPECT_FALSE(TakeDriverEvent(2, 0, &record)); // device 3 carries HID records
    EXPECT_FALSE(TakeDriverEvent(7, 0, &record));
    EXPECT_FALSE(TakeDriverEvent(0, static_cast<LPARAM>(-1), &record));
    HidEventRecord hid;
    EXPECT_FALSE(TakeHidEvent(0, 0, &hid));
    PostMessageW(window_, MSG_DRIVER_EVENT, 0, 12345);
    PostMessageW(window_, MSG_HID_EVENT, 2, 0);
    PumpMessagesFor(50);
    EXPECT_TRUE(received.empty());
}
