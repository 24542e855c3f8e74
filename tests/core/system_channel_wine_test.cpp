// The production entry points under Wine: the SetupDi walk over the system's real HID class
// (which has no mouse here) and the timer-based pacing wait.
#include "device_channel.h"
#include "memory_protocol.h"
#include "mouse_firmware.h"
#include "profile_record.h"
#include "simulated_mouse.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

TEST(SystemChannel, WalkRunsAndFindsNoMouse) {
    ASSERT_EQ(nullptr, mouseInterfaces);
    std::memset(profileBlock, 0x3C, sizeof profileBlock);
    std::memset(headerBlock, 0xC3, sizeof headerBlock);
    currentProfile = 2;
    if (IsMousePresent())
        GTEST_SKIP() << "a virtual mouse is plugged into this Wine prefix";
    for (int op = -1; op <= 6; ++op)
        RunDeviceOperation(op, 0);
    EXPECT_EQ(2, currentProfile);
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
    HANDLE other = CreateMutexW(nullptr, TRUE, kTransferLockName);
    ASSERT_NE(nullptr, other);
    std::atomic<bool> done{false};
    bool whole = false;
    std::thread walker([&] {
        whole = RunDeviceOperation(ReadHeader, 0);
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
    PacingWait& wait = SystemPacingWait();
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

} // namespace
