// The device walk against the simulated mouse: which interfaces get the operation, what the
// last one leaves behind, and that bad devices end the walk cleanly.
#include "mouse/mouse_session.h"
#include "model/memory_image.h"
#include "mouse/transfer_lock.h"
#include "simulated_mouse.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

SimulatedInterface Interface(const wchar_t* path, bool openable = true) {
    SimulatedInterface in;
    in.path = path;
    in.openable = openable;
    return in;
}

const wchar_t* const kCol01 = L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#8&1&0&0000#{guid}";
const wchar_t* const kCol02 = L"\\\\?\\HID#VID_F1D0&PID_0084&MI_02&COL02#8&1&0&0001#{guid}";

class DeviceChannel : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(0, mouse.OpenHandles()); }

    int OpensOf(int index) const {
        int n = 0;
        for (const Exchange& e : mouse.transcript)
            n += e.kind == Exchange::Open && e.interfaceIndex == index;
        return n;
    }
    int ReportsOn(int index) const {
        int n = 0;
        for (const Exchange& e : mouse.transcript)
            n += (e.kind == Exchange::Set || e.kind == Exchange::Get) && e.interfaceIndex == index;
        return n;
    }

    SimulatedMouse mouse;
    RecordingWait wait;
    SimulatedMouseScope scope{mouse, &wait};
    UnsharedTransferLock lock;
    MouseSession session{mouse, wait, lock};
    // The blocks the operations fill and send.
    MemoryBlock profileBlock{};
    MemoryBlock headerBlock{};
};

TEST_F(DeviceChannel, TypicalMouseTakesEveryOperation) {
    // Only the configuration collection opens; foreign devices are never touched.
    for (int i = 0; i < 512; ++i)
        profileBlock[i] = uint8_t(i * 3);
    session.RunDeviceOperation(WriteProfile, 2, profileBlock.data());
    EXPECT_EQ(0, std::memcmp(mouse.firmware.memory[3], profileBlock.data(), 512));
    EXPECT_EQ(88, ReportsOn(3));
    EXPECT_EQ(0, OpensOf(0));

    profileBlock.fill(0);
    session.RunDeviceOperation(ReadProfile, 2, profileBlock.data());
    EXPECT_EQ(0, std::memcmp(mouse.firmware.memory[3], profileBlock.data(), 512));

    headerBlock[64] = 0x42;
    session.RunDeviceOperation(WriteHeader, 0, headerBlock.data());
    headerBlock[64] = 0;
    session.RunDeviceOperation(ReadHeader, 0, headerBlock.data());
    EXPECT_EQ(0x42, headerBlock[64]);

    session.RunDeviceOperation(SelectProfile, 4);
    EXPECT_EQ(4, session.RunDeviceOperation(QueryCurrentProfile, 0).activeProfile);
    EXPECT_EQ(0u, mouse.firmware.pacingViolations);
    EXPECT_TRUE(session.IsMousePresent());
}

TEST_F(DeviceChannel, TwoOpenableInterfacesLastOneWins) {
    mouse.interfaces = {Interface(kCol01), Interface(kCol02)};
    mouse.firmware.memory[1][10] = 0x5A;
    tarn_fw_set_active(&mouse.firmware, 2);
    EXPECT_TRUE(session.RunDeviceOperation(ReadProfile, 0, profileBlock.data()));
    EXPECT_EQ(88, ReportsOn(0)); // the full read on each interface
    EXPECT_EQ(88, ReportsOn(1));
    EXPECT_EQ(0x5A, profileBlock[10]);
    EXPECT_EQ(2, session.RunDeviceOperation(QueryCurrentProfile, 0).activeProfile);

    // The interface opened last rejects the memory commands: zeros, and the query gives 0.
    // Its result is the one in the buffer, so the read is not whole, though the first
    // interface delivered everything.
    mouse.interfaces[1].acceptsReports = false;
    EXPECT_FALSE(session.RunDeviceOperation(ReadProfile, 0, profileBlock.data()));
    EXPECT_EQ(MemoryBlock{}, profileBlock);
    EXPECT_EQ(0, session.RunDeviceOperation(QueryCurrentProfile, 0).activeProfile);
    // A write has reached the mouse once any interface took the whole block.
    EXPECT_TRUE(session.RunDeviceOperation(WriteProfile, 0, profileBlock.data()));
    // The other way round: the last interface delivers, the first refuses.
    mouse.interfaces[1].acceptsReports = true;
    mouse.interfaces[0].acceptsReports = false;
    EXPECT_TRUE(session.RunDeviceOperation(ReadHeader, 0, headerBlock.data()));
    mouse.interfaces[1].acceptsReports = false;
    EXPECT_FALSE(session.RunDeviceOperation(WriteHeader, 0, headerBlock.data()))
        << "no interface took the block";
}

TEST_F(DeviceChannel, RefusedVanishedAndUnfetchableInterfacesAreSkipped) {
    mouse.interfaces = {Interface(kCol01), Interface(kCol02, false),
                        Interface(L"\\\\?\\hid#vid_f1d0&pid_0084&mi_03#x"),
                        Interface(L"\\\\?\\hid#vid_f1d0&pid_0084&mi_04#y")};
    mouse.interfaces[2].vanishes = true;
    mouse.interfaces[3].pathFails = true;
    session.RunDeviceOperation(SelectProfile, 1);
    EXPECT_EQ(1, mouse.firmware.activeProfile);
    EXPECT_EQ(1, ReportsOn(0));
    EXPECT_EQ(0, ReportsOn(1) + ReportsOn(2) + ReportsOn(3));
    int refused = 0;
    for (const Exchange& e : mouse.transcript)
        refused += e.kind == Exchange::OpenFailed;
    EXPECT_EQ(2, refused); // the refusing one and the vanished one; the third had no path
}

TEST_F(DeviceChannel, PathsMatchWithoutRegardToCase) {
    mouse.interfaces = {Interface(L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#lower")};
    EXPECT_TRUE(session.IsMousePresent());
    session.RunDeviceOperation(SelectProfile, 3);
    EXPECT_EQ(3, mouse.firmware.activeProfile);
    mouse.interfaces = {Interface(L"\\\\?\\HID#VID_F1D0&PID_0084&MI_02&COL01#UPPER")};
    EXPECT_TRUE(session.IsMousePresent());
    session.RunDeviceOperation(SelectProfile, 1);
    EXPECT_EQ(1, mouse.firmware.activeProfile);

    // Other ids, or the ids split apart, do not match.
    mouse.interfaces = {Interface(L"\\\\?\\hid#vid_f1d0&pid_0085#a"),
                        Interface(L"\\\\?\\hid#vid_f1d1&pid_0084#b"),
                        Interface(L"\\\\?\\hid#pid_0084&vid_f1d0#c")};
    mouse.ClearTranscript();
    EXPECT_FALSE(session.IsMousePresent());
    session.RunDeviceOperation(SelectProfile, 4);
    EXPECT_TRUE(mouse.transcript.empty());
}

TEST_F(DeviceChannel, PresenceNeedsNoOpenableInterface) {
    mouse.interfaces = {Interface(kCol01, false)};
    EXPECT_TRUE(session.IsMousePresent());
    mouse.interfaces.clear();
    EXPECT_FALSE(session.IsMousePresent());
    // Presence ignores the session's ids; the walk follows them.
    MouseSession other(mouse, wait, lock, DeviceIds{L"ABCD", L"0084"});
    mouse.interfaces = {Interface(L"\\\\?\\hid#vid_abcd&pid_0084#1"), Interface(kCol01)};
    other.RunDeviceOperation(SelectProfile, 2);
    EXPECT_EQ(1, ReportsOn(0));
    EXPECT_EQ(0, ReportsOn(1));
}

TEST_F(DeviceChannel, UnknownOperationOpensAndClosesOnly) {
    for (int op : {-1, 6, 99}) {
        mouse.ClearTranscript();
        session.RunDeviceOperation(op, 0);
        // The two system-owned collections refuse; the configuration one opens and closes.
        ASSERT_EQ(4u, mouse.transcript.size()) << op;
        EXPECT_EQ(Exchange::OpenFailed, mouse.transcript[0].kind);
        EXPECT_EQ(Exchange::OpenFailed, mouse.transcript[1].kind);
        EXPECT_EQ(Exchange::Open, mouse.transcript[2].kind);
        EXPECT_EQ(Exchange::Close, mouse.transcript[3].kind);
    }
    EXPECT_TRUE(wait.waits.empty());
}

TEST_F(DeviceChannel, NoMouseSendsNothingAndKeepsBuffers) {
    mouse.interfaces = {Interface(L"\\\\?\\hid#vid_2a7b&pid_1101#k")};
    profileBlock[5] = 9;
    for (int op = 0; op < 6; ++op) {
        const DeviceResult result = session.RunDeviceOperation(op, 1, profileBlock.data());
        EXPECT_FALSE(result) << op;
        EXPECT_FALSE(result.activeProfile) << op;
    }
    EXPECT_TRUE(mouse.transcript.empty());
    EXPECT_EQ(9, profileBlock[5]);
    EXPECT_FALSE(session.IsMousePresent());
}

TEST_F(DeviceChannel, UnplugMidPageEndsWithZerosAndNoHang) {
    mouse.interfaces = {Interface(kCol01), Interface(kCol02)};
    for (int i = 0; i < 512; ++i)
        mouse.firmware.memory[0][i] = uint8_t(0x80 | i);
    mouse.unplugAfterReports = 11 * 3 + 4; // during page 3 of the first interface
    EXPECT_FALSE(session.RunDeviceOperation(ReadHeader, 0, headerBlock.data()));
    EXPECT_TRUE(mouse.unplugged);
    // The second interface is gone by its open; the first left pages 0-2 and part of 3.
    EXPECT_EQ(0, OpensOf(1));
    EXPECT_EQ(0x80, headerBlock[0]);
    EXPECT_EQ(uint8_t(0x80 | 191), headerBlock[191]);
    EXPECT_EQ(uint8_t(0x80 | 192), headerBlock[192]);
    EXPECT_EQ(0, headerBlock[192 + 21]);
    EXPECT_EQ(0, headerBlock[511]);
    EXPECT_FALSE(session.IsMousePresent());
    EXPECT_FALSE(session.RunDeviceOperation(QueryCurrentProfile, 0).activeProfile)
        << "nothing opens";
}

// Interfaces that answer everything at random: entries, paths up to the buffer's limit,
// opens, transfer results and every reply byte, even on failure.
class ChaosInterfaces final : public MouseInterfaceSet {
  public:
    uint32_t Next() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    }
    bool BeginEnumeration(EnumerationPurpose) override { return Next() % 8 != 0; }
    InterfaceEntry InterfaceAt(uint32_t n, wchar_t* path, size_t capacity) override {
        if (n >= 12)
            return InterfaceEntry::End;
        if (Next() % 5 == 0)
            return InterfaceEntry::Skip;
        const size_t length = Next() % 3 == 0 ? capacity - 1 : Next() % 80;
        const wchar_t* ids = L"\\\\?\\hid#VID_f1d0&pid_0084&mi_02#";
        size_t i = 0;
        for (; i < length && ids[i]; ++i)
            path[i] = ids[i];
        for (; i < length; ++i)
            path[i] = wchar_t(1 + Next() % 0xFFFE);
        path[length] = L'\0';
        return InterfaceEntry::Path;
    }
    void EndEnumeration() override {}
    bool Open(const wchar_t*, MouseHandle* handle) override {
        *handle = this;
        ++opened;
        return Next() % 4 != 0;
    }
    bool SetFeature(MouseHandle, const uint8_t*, uint32_t length) override {
        EXPECT_EQ(8u, length);
        ++reports;
        return Next() % 3 != 0;
    }
    bool GetFeature(MouseHandle, uint8_t* report, uint32_t length) override {
        EXPECT_EQ(8u, length);
        ++reports;
        for (uint32_t i = 0; i < length; ++i)
            report[i] = uint8_t(Next());
        return Next() % 3 != 0;
    }
    void Close(MouseHandle) override { ++closed; }

    uint32_t seed = 2024;
    int opened = 0, closed = 0;
    long reports = 0;
};

TEST(DeviceChannelChaos, RandomDevicesNeverBreakTheWalk) {
    ChaosInterfaces chaos;
    RecordingWait wait;
    UnsharedTransferLock lock;
    MouseSession session(chaos, wait, lock);
    MemoryBlock profileBlock{};
    for (int round = 0; round < 120; ++round) {
        const int32_t answer =
            session.RunDeviceOperation(round % 8 - 1, round % 7 - 1, profileBlock.data())
                .activeProfile.value_or(0);
        session.IsMousePresent();
        ASSERT_GE(answer, 0);
        ASSERT_LE(answer, 255);
    }
    // Interfaces that failed to open are not closed; every one that opened is closed once.
    EXPECT_LE(chaos.closed, chaos.opened);
    EXPECT_GT(chaos.reports, 0);
    EXPECT_LE(chaos.reports, 120L * 12 * 88);
}

} // namespace
