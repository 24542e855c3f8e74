// The production device walk (SetupDi, CreateFileW, HidD feature reports) against the virtual
// mouse: a HID minidriver that Wine loads, running the same firmware model as the simulated
// mouse. What the in-process tests show against the model must hold here too.
#include "mouse/mouse_session.h"
#include "mouse/hid_interfaces.h"
#include "mouse/memory_protocol.h"
#include "mouse/pacing_wait.h"
#include "mouse/transfer_lock.h"
#include "model/memory_image.h"

#include "vmouse_client_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "test_harness_win.h"

namespace {

namespace virt = tarn::virt;

std::wstring VirtualDir() {
    return TestProgramDirectory() + L"..\\virtual\\";
}

virt::MemoryImage Pattern(uint8_t seed) {
    virt::MemoryImage image{};
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = uint8_t(i * 29 + seed + (i >> 9));
    return image;
}

class SystemChannelE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!virt::VirtualMousePresent()) {
            std::wstring error;
            ASSERT_TRUE(virt::PlugVirtualMouse(VirtualDir(), &error))
                << std::string(error.begin(), error.end());
        }
        ASSERT_TRUE(control.Open());
        ASSERT_TRUE(control.Command(TARN_VMOUSE_CLEAR_FAULTS));
    }
    void TearDown() override { control.Command(TARN_VMOUSE_CLEAR_FAULTS); }

    virt::MouseLink control;
    // The system's own walk, as TarnDesk's entry point builds it.
    const std::unique_ptr<MouseInterfaceSet> interfaces = CreateSystemMouseInterfaces();
    const std::unique_ptr<PacingWait> wait = CreateSystemPacingWait();
    const std::unique_ptr<TransferLock> lock = CreateSystemTransferLock();
    MouseSession session{*interfaces, *wait, *lock};
    MemoryBlock profileBlock{};
    MemoryBlock headerBlock{};
};

TEST_F(SystemChannelE2e, BlocksRoundTripThroughTheSystemWalk) {
    EXPECT_TRUE(session.IsMousePresent());
    const virt::MemoryImage image = Pattern(0x17);
    ASSERT_TRUE(control.Load(image));

    profileBlock.fill(0xEE);
    session.RunDeviceOperation(ReadProfile, 2, profileBlock.data());
    EXPECT_EQ(0, std::memcmp(profileBlock.data(), image.data() + 3 * 512, 512));
    session.RunDeviceOperation(ReadHeader, 0, headerBlock.data());
    EXPECT_EQ(0, std::memcmp(headerBlock.data(), image.data(), 512));

    for (size_t i = 0; i < kBlockLength; ++i)
        profileBlock[i] = uint8_t(0xC0 ^ i);
    session.RunDeviceOperation(WriteProfile, 4, profileBlock.data());
    const auto dumped = control.Dump();
    ASSERT_TRUE(dumped.has_value());
    EXPECT_EQ(0, std::memcmp(dumped->data() + 5 * 512, profileBlock.data(), 512));
    EXPECT_EQ(0, std::memcmp(dumped->data() + 1 * 512, image.data() + 512, 512));
}

TEST_F(SystemChannelE2e, ProfileControlAndRejectedPages) {
    session.RunDeviceOperation(SelectProfile, 3);
    EXPECT_EQ(3, session.RunDeviceOperation(QueryCurrentProfile, 0).activeProfile);
    ASSERT_TRUE(control.Command(TARN_VMOUSE_PRESS_SWITCH, 0, 1));
    EXPECT_EQ(1, session.RunDeviceOperation(QueryCurrentProfile, 0).activeProfile);

    const virt::MemoryImage image = Pattern(0x51);
    ASSERT_TRUE(control.Load(image));
    ASSERT_TRUE(control.Command(TARN_VMOUSE_REJECT_PAGES, 1, 1 << 3));
    session.RunDeviceOperation(ReadProfile, 0, profileBlock.data());
    for (size_t i = 0; i < kBlockLength; ++i) {
        const uint8_t expected = i >= 192 && i < 256 ? 0 : image[512 + i];
        ASSERT_EQ(expected, profileBlock[i]) << "byte " << i;
    }
}

} // namespace
