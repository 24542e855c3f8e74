// The production entry points under Wine: the SetupDi walk over the system's real HID class
// (which has no mouse here) and the timer-based pacing wait.
#include "mouse/mouse_session.h"
#include "mouse/memory_protocol.h"
#include "mouse/hid_interfaces.h"
#include "mouse/pacing_wait.h"
#include "mouse/transfer_lock.h"
#include "model/memory_image.h"
#include "simulated_mouse.h"

#include <windows.h>
// windows.h first: the SetupAPI and HID headers rely on its types.
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

// The system's own HID interfaces, passed through and counted: shows that a walk really went
// over SetupDi's list, member by member to its end, and what it opened.
class CountedSystemInterfaces final : public MouseInterfaceSet {
  public:
    bool BeginEnumeration(EnumerationPurpose purpose) override {
        ++begun;
        return system->BeginEnumeration(purpose);
    }
    InterfaceEntry InterfaceAt(uint32_t n, wchar_t* path, size_t capacity) override {
        const InterfaceEntry entry = system->InterfaceAt(n, path, capacity);
        ++asked;
        paths += entry == InterfaceEntry::Path;
        ended += entry == InterfaceEntry::End;
        return entry;
    }
    void EndEnumeration() override {
        ++finished;
        system->EndEnumeration();
    }
    bool Open(const wchar_t* path, MouseHandle* handle) override {
        ++opened;
        return system->Open(path, handle);
    }
    bool SetFeature(MouseHandle handle, const uint8_t* report, uint32_t length) override {
        return system->SetFeature(handle, report, length);
    }
    bool GetFeature(MouseHandle handle, uint8_t* report, uint32_t length) override {
        return system->GetFeature(handle, report, length);
    }
    void Close(MouseHandle handle) override { system->Close(handle); }

    const std::unique_ptr<MouseInterfaceSet> system = CreateSystemMouseInterfaces();
    int begun = 0, asked = 0, paths = 0, ended = 0, finished = 0, opened = 0;
};

// HID interfaces present, counted straight from SetupDi.
int PresentHidInterfaces() {
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO set =
        SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    while (SetupDiEnumDeviceInterfaces(set, nullptr, &hid, DWORD(count), &data))
        ++count;
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

TEST(SystemChannel, WalkRunsAndFindsNoMouse) {
    const std::unique_ptr<MouseInterfaceSet> system = CreateSystemMouseInterfaces();
    const std::unique_ptr<PacingWait> wait = CreateSystemPacingWait();
    const std::unique_ptr<TransferLock> lock = CreateSystemTransferLock();
    MemoryBlock profileBlock;
    MemoryBlock headerBlock;
    profileBlock.fill(0x3C);
    headerBlock.fill(0xC3);
    if (MouseSession(*system, *wait, *lock).IsMousePresent())
        GTEST_SKIP() << "a virtual mouse is plugged into this Wine prefix";
    CountedSystemInterfaces counted;
    MouseSession session(counted, *wait, *lock);
    bool answered = false;
    for (int op = -1; op <= 6; ++op) {
        const bool header = op == ReadHeader || op == WriteHeader;
        answered =
            session.RunDeviceOperation(op, 0, header ? headerBlock.data() : profileBlock.data())
                .activeProfile.has_value() ||
            answered;
    }
    const bool present = session.IsMousePresent();
    EXPECT_FALSE(present);
    // Every operation and the presence check walked the system's list to its end.
    EXPECT_EQ(9, counted.begun);
    EXPECT_EQ(9, counted.finished);
    EXPECT_EQ(9, counted.ended);
    const int interfaces = PresentHidInterfaces();
    ASSERT_GE(interfaces, 0);
    EXPECT_EQ(9 * interfaces, counted.paths) << "each walk sees every HID interface";
    EXPECT_EQ(0, counted.opened) << "no interface names the mouse";
    EXPECT_FALSE(answered);
    EXPECT_EQ(0x3C, profileBlock[0]);
    EXPECT_EQ(0x3C, profileBlock[511]);
    EXPECT_EQ(0xC3, headerBlock[256]);
}

// Another TarnDesk of the session in the middle of a transfer holds the named lock: a walk
// sends nothing until it is released, then runs whole.
TEST(SystemChannel, WalkWaitsForTheSessionWideTransferLock) {
    SimulatedMouse mouse;
    RecordingWait wait;
    SimulatedMouseScope scope(mouse, &wait);
    const std::unique_ptr<TransferLock> lock = CreateSystemTransferLock();
    MouseSession session(mouse, wait, *lock);
    MemoryBlock headerBlock{};
    HANDLE other = CreateMutexW(nullptr, TRUE, kTransferLockName);
    ASSERT_NE(nullptr, other);
    std::atomic<bool> done{false};
    bool whole = false;
    std::thread walker([&] {
        whole = session.RunDeviceOperation(ReadHeader, 0, headerBlock.data()).whole;
        done = true;
    });
    Sleep(300);
    EXPECT_FALSE(done);
    EXPECT_TRUE(mouse.transcript.empty()) << "reports went out while another held the lock";
    ReleaseMutex(other);
    walker.join();
    EXPECT_TRUE(whole);
    EXPECT_EQ(88u, mouse.Sent().size() + mouse.Received().size());
    // Released after the walk: the next taker gets it at once.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other, 0));
    ReleaseMutex(other);
    CloseHandle(other);
}

TEST(SystemChannel, PacingWaitIsNeverShort) {
    const std::unique_ptr<PacingWait> system = CreateSystemPacingWait();
    PacingWait& wait = *system;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    for (uint32_t ms : {0u, 1u, 5u, 5u, 5u, 16u, 50u}) {
        QueryPerformanceCounter(&start);
        wait.Wait(ms);
        QueryPerformanceCounter(&end);
        const double elapsed =
            double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
        EXPECT_GE(elapsed, double(ms)) << ms << " ms";
    }
}

// A wait that records the thread's priority instead of sleeping and hands the operation
// bracket to the system wait, so the priority it sees is the one the program would run at.
class PriorityWatch final : public PacingWait {
  public:
    void Wait(uint32_t) override { seen.push_back(GetThreadPriority(GetCurrentThread())); }
    void BeginOperation() override { system->BeginOperation(); }
    void EndOperation() override { system->EndOperation(); }
    std::vector<int> seen;

  private:
    const std::unique_ptr<PacingWait> system = CreateSystemPacingWait();
};

// Talking to the mouse runs raised, only for as long as it lasts, and never lowers a thread
// that already runs higher.
TEST(SystemChannel, OperationRaisesThreadPriorityForItsLengthOnly) {
    SimulatedMouse mouse;
    PriorityWatch watch;
    UnsharedTransferLock lock;
    MouseSession session(mouse, watch, lock);
    MemoryBlock headerBlock{};
    const HANDLE self = GetCurrentThread();
    for (int before :
         {THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_TIME_CRITICAL}) {
        ASSERT_TRUE(SetThreadPriority(self, before));
        for (int op : {ReadHeader, QueryCurrentProfile, SelectProfile}) {
            watch.seen.clear();
            session.RunDeviceOperation(op, 1, headerBlock.data());
            ASSERT_FALSE(watch.seen.empty()) << op;
            for (int during : watch.seen)
                EXPECT_EQ(std::max(before, int(THREAD_PRIORITY_HIGHEST)), during) << op;
            EXPECT_EQ(before, GetThreadPriority(self)) << op;
        }
    }
    SetThreadPriority(self, THREAD_PRIORITY_NORMAL);
}

} // namespace
