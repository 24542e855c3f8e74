// The production device walk (SetupDi, CreateFileW, HidD feature reports) against the virtual
// mouse: a HID minidriver that Wine loads, running the same firmware model as the simulated
// mouse. What the in-process tests show against the model must hold here too.
#include "mouse/mouse_session.h"
#include "mouse/memory_protocol.h"
#include "model/memory_image.h"

#include "vmouse_client_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

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
        ASSERT_EQ(nullptr, mouseInterfaces);
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
};

TEST_F(SystemChannelE2e, BlocksRoundTripThroughTheSystemWalk) {
    EXPECT_TRUE(IsMousePresent());
    const virt::MemoryImage image = Pattern(0x17);
    ASSERT_TRUE(control.Load(image));

    std::memset(profileBlock, 0xEE, sizeof profileBlock);
    RunDeviceOperation(ReadProfile, 2, profileBlock);
    EXPECT_EQ(0, std::memcmp(profileBlock, image.data() + 3 * 512, 512));
    RunDeviceOperation(ReadHeader, 0, headerBlock);
    EXPECT_EQ(0, std::memcmp(headerBlock, image.data(), 512));

    for (size_t i = 0; i < kBlockLength; ++i)
        profileBlock[i] = uint8_t(0xC0 ^ i);
    RunDeviceOperation(WriteProfile, 4, profileBlock);
    const auto dumped = control.Dump();
    ASSERT_TRUE(dumped.has_value());
    EXPECT_EQ(0, std::memcmp(dumped->data() + 5 * 512, profileBlock, 512));
    EXPECT_EQ(0, std::memcmp(dumped->data() + 1 * 512, image.data() + 512, 512));
}

TEST_F(SystemChannelE2e, ProfileControlAndRejectedPages) {
    RunDeviceOperation(SelectProfile, 3);
    EXPECT_EQ(3, RunDeviceOperation(QueryCurrentProfile, 0).activeProfile);
    ASSERT_TRUE(control.Command(TARN_VMOUSE_PRESS_SWITCH, 0, 1));
    EXPECT_EQ(1, RunDeviceOperation(QueryCurrentProfile, 0).activeProfile);

    const virt::MemoryImage image = Pattern(0x51);
    ASSERT_TRUE(control.Load(image));
    ASSERT_TRUE(control.Command(TARN_VMOUSE_REJECT_PAGES, 1, 1 << 3));
    RunDeviceOperation(ReadProfile, 0, profileBlock);
    for (size_t i = 0; i < kBlockLength; ++i) {
        const uint8_t expected = i >= 192 && i < 256 ? 0 : image[512 + i];
        ASSERT_EQ(expected, profileBlock[i]) << "byte " << i;
    }
}

} // namespace
