// The memory protocol on one open interface: the exact reports in both directions, the
// fixed waits, and what a failing mouse leaves in the block.
#include "mouse/memory_protocol.h"
#include "simulated_mouse.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <numeric>

namespace {

class MemoryProtocol : public ::testing::Test {
  protected:
    MemoryProtocol() : scope(mouse, &wait) {
        // Give every open a fresh handle on the configuration interface.
        EXPECT_TRUE(mouse.Open(SimulatedMouse::kConfigPath, &handle));
        mouse.ClearTranscript();
    }
    MouseLink Link() { return MouseLink{mouse, handle, wait}; }

    SimulatedMouse mouse;
    RecordingWait wait;
    SimulatedMouseScope scope;
    MouseHandle handle = nullptr;
};

std::array<uint8_t, 512> Pattern(uint8_t seed) {
    std::array<uint8_t, 512> block;
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = uint8_t(seed + i * 7 + (i >> 8));
    return block;
}

TEST_F(MemoryProtocol, WritingProfileOneSendsEightPagesByteExact) {
    const auto block = Pattern(0x11);
    WriteProfileBlock(Link(), 1, block.data());

    const std::vector<FeatureReport> sent = mouse.Sent();
    ASSERT_EQ(88u, sent.size());
    // Page 2: command, nine chunks of bytes 128..190, then byte 191 alone with 0x05 filler.
    const size_t first = 2 * 11;
    EXPECT_EQ((FeatureReport{0x05, 0x07, 0x01, 0x00, 0x02, 0x02, 0x00, 0x00}), sent[first]);
    for (size_t k = 0; k < 9; ++k) {
        FeatureReport chunk{0x05};
        std::memcpy(chunk.data() + 1, block.data() + 128 + 7 * k, 7);
        EXPECT_EQ(chunk, sent[first + 1 + k]) << "chunk " << k;
    }
    EXPECT_EQ((FeatureReport{0x05, block[191], 5, 5, 5, 5, 5, 5}), sent[first + 10]);
    for (size_t p = 0; p < 8; ++p)
        EXPECT_EQ((FeatureReport{5, 7, 1, 0, 2, uint8_t(p), 0, 0}), sent[11 * p]) << "page " << p;

    // Model mode stored it in area 2, nothing elsewhere.
    EXPECT_EQ(0, std::memcmp(mouse.firmware.memory[2], block.data(), 512));
    EXPECT_EQ(0, mouse.firmware.memory[1][0]);
    EXPECT_EQ(0u, mouse.firmware.pacingViolations);
}

TEST_F(MemoryProtocol, TailCarriesByte63AloneWhateverTheData) {
    std::array<uint8_t, 512> block;
    block.fill(0x00);
    block[63] = 0xAB;
    block[127] = 0x05;
    WriteHeaderBlock(Link(), block.data());
    const std::vector<FeatureReport> sent = mouse.Sent();
    EXPECT_EQ((FeatureReport{5, 0xAB, 5, 5, 5, 5, 5, 5}), sent[10]);
    EXPECT_EQ((FeatureReport{5, 0x05, 5, 5, 5, 5, 5, 5}), sent[21]);
    EXPECT_EQ((FeatureReport{5, 0, 5, 5, 5, 5, 5, 5}), sent[32]);
    // The chunks never carry byte 63: the last chunk of page 0 ends with byte 62.
    EXPECT_EQ((FeatureReport{5, 0, 0, 0, 0, 0, 0, 0}), sent[9]);
}

TEST_F(MemoryProtocol, WaitsAreFixedPerReportAndPage) {
    std::array<uint8_t, 512> block{};
    ReadProfileBlock(Link(), 0, block.data());
    ASSERT_EQ(88u, wait.waits.size());
    for (size_t p = 0; p < 8; ++p) {
        for (size_t i = 0; i < 10; ++i)
            EXPECT_EQ(5u, wait.waits[11 * p + i]);
        EXPECT_EQ(50u, wait.waits[11 * p + 10]);
    }
    EXPECT_EQ(800u, std::accumulate(wait.waits.begin(), wait.waits.end(), 0u));

    wait.waits.clear();
    WriteProfileBlock(Link(), 0, block.data());
    EXPECT_EQ(800u, std::accumulate(wait.waits.begin(), wait.waits.end(), 0u));
    EXPECT_EQ(50u, wait.waits.back());

    wait.waits.clear();
    QueryActiveProfile(Link());
    EXPECT_EQ((std::vector<uint32_t>{5, 5}), wait.waits);
    wait.waits.clear();
    SelectActiveProfile(Link(), 3);
    EXPECT_EQ((std::vector<uint32_t>{5}), wait.waits);
    EXPECT_EQ(0u, mouse.firmware.pacingViolations);
}

TEST_F(MemoryProtocol, ReadingRoundTripsAndAddressesTheRightArea) {
    const auto stored = Pattern(0x40);
    std::memcpy(mouse.firmware.memory[5], stored.data(), 512);
    std::array<uint8_t, 512> block;
    block.fill(0xCC);
    EXPECT_TRUE(ReadProfileBlock(Link(), 4, block.data())) << "every page arrived";
    EXPECT_EQ(stored, block);
    const std::vector<FeatureReport> sent = mouse.Sent();
    ASSERT_EQ(8u, sent.size()); // a read sends only the page commands
    for (size_t p = 0; p < 8; ++p)
        EXPECT_EQ((FeatureReport{5, 7, 0, 0, 5, uint8_t(p), 0, 0}), sent[p]);
    EXPECT_EQ(80u, mouse.Received().size());

    mouse.ClearTranscript();
    ReadHeaderBlock(Link(), block.data());
    EXPECT_EQ((FeatureReport{5, 7, 0, 0, 0, 0, 0, 0}), mouse.Sent()[0]);
}

TEST_F(MemoryProtocol, FailedPageCommandLeavesThatPageZero) {
    const auto stored = Pattern(0x21);
    std::memcpy(mouse.firmware.memory[1], stored.data(), 512);
    mouse.firmware.rejectPages[1] = 1u << 3;
    std::array<uint8_t, 512> block;
    block.fill(0xEE);
    EXPECT_FALSE(ReadProfileBlock(Link(), 0, block.data())) << "a page is missing";
    for (size_t i = 0; i < 512; ++i)
        ASSERT_EQ(i >= 192 && i < 256 ? 0 : stored[i], block[i]) << "byte " << i;
    EXPECT_EQ(7u * 10, mouse.Received().size()); // nothing requested for page 3

    // Written the other way, that page keeps its old content, and the write says so.
    const auto fresh = Pattern(0x90);
    mouse.ClearTranscript();
    EXPECT_FALSE(WriteProfileBlock(Link(), 0, fresh.data()));
    EXPECT_EQ(8u + 7u * 10, mouse.Sent().size()); // the same reports as ever
    EXPECT_EQ(0, std::memcmp(mouse.firmware.memory[1] + 192, stored.data() + 192, 64));
    EXPECT_EQ(0, std::memcmp(mouse.firmware.memory[1] + 256, fresh.data() + 256, 256));
}

TEST_F(MemoryProtocol, FailedChunkAndTailReadAsZeros) {
    const auto stored = Pattern(0x33);
    std::memcpy(mouse.firmware.memory[0], stored.data(), 512);
    mouse.firmware.failPage = 6;
    mouse.firmware.failTransfer = 4;
    std::array<uint8_t, 512> block;
    // Every page command was taken, yet a chunk is missing: the block is not whole.
    EXPECT_FALSE(ReadHeaderBlock(Link(), block.data()));
    for (size_t i = 0; i < 512; ++i) {
        const bool lost = i >= 6 * 64 + 28 && i < 6 * 64 + 35;
        ASSERT_EQ(lost ? 0 : stored[i], block[i]) << "byte " << i;
    }
    mouse.firmware.failTransfer = 9; // every tail
    mouse.firmware.failPage = -1;
    EXPECT_FALSE(ReadHeaderBlock(Link(), block.data()));
    for (size_t p = 0; p < 8; ++p) {
        EXPECT_EQ(0, block[64 * p + 63]);
        EXPECT_EQ(stored[64 * p + 62], block[64 * p + 62]);
    }
    // A write whose last tail fails drops that page on the mouse and is not whole either.
    mouse.firmware.failPage = 7;
    EXPECT_FALSE(WriteHeaderBlock(Link(), Pattern(0x44).data()));
    mouse.firmware.failTransfer = -1;
    EXPECT_TRUE(WriteHeaderBlock(Link(), Pattern(0x44).data()));
    EXPECT_TRUE(ReadHeaderBlock(Link(), block.data()));
    EXPECT_EQ(Pattern(0x44), block);
}

TEST_F(MemoryProtocol, QueryReturnsByteThreeOrZero) {
    tarn_fw_set_active(&mouse.firmware, 3);
    EXPECT_EQ(3, QueryActiveProfile(Link()));
    EXPECT_EQ((FeatureReport{5, 9, 0xFF, 0, 0, 0, 0, 0}), mouse.Sent().back());
    mouse.firmware.queryAnswer = 0xF3; // any byte is passed on as it is
    EXPECT_EQ(0xF3, QueryActiveProfile(Link()));

    SimulatedInterface silent;
    silent.path = L"\\\\?\\hid#vid_f1d0&pid_0084&mi_03#1";
    silent.acceptsReports = false;
    mouse.interfaces.push_back(silent);
    MouseHandle other = nullptr;
    ASSERT_TRUE(mouse.Open(silent.path.c_str(), &other));
    EXPECT_EQ(0, QueryActiveProfile(MouseLink{mouse, other, wait}));
    // The prepared incoming buffer: report id and zeros.
    EXPECT_EQ((FeatureReport{5, 0, 0, 0, 0, 0, 0, 0}), mouse.Received().back());
    mouse.Close(other);
}

TEST_F(MemoryProtocol, SelectAndProfileIndexesOutsideTheMouse) {
    SelectActiveProfile(Link(), 2);
    EXPECT_EQ((FeatureReport{5, 9, 0xFE, 2, 0, 0, 0, 0}), mouse.Sent().back());
    EXPECT_EQ(2, mouse.firmware.activeProfile);

    // Index 5 (the basic state) and beyond have no area: nothing is sent, a read gives zeros.
    mouse.ClearTranscript();
    wait.waits.clear();
    std::array<uint8_t, 512> block;
    block.fill(0x77);
    for (int bad : {5, 6, -1, 255}) {
        SelectActiveProfile(Link(), bad);
        EXPECT_TRUE(WriteProfileBlock(Link(), bad, block.data())) << "nothing due, nothing failed";
    }
    EXPECT_TRUE(mouse.transcript.empty());
    EXPECT_FALSE(ReadProfileBlock(Link(), 5, block.data())) << "the zeros are not the mouse's";
    EXPECT_TRUE(mouse.transcript.empty());
    EXPECT_EQ((std::array<uint8_t, 512>{}), block);
    EXPECT_TRUE(wait.waits.empty());
}

TEST_F(MemoryProtocol, ScriptedMouseChecksEveryReport) {
    // One page of a header read, scripted: wrong bytes in a reply still land where they fall.
    SimulatedMouse scriptedMouse;
    scriptedMouse.ExpectSet({5, 7, 0, 0, 0, 0, 0, 0});
    for (uint8_t k = 0; k < 9; ++k)
        scriptedMouse.ExpectGet({0xEE, uint8_t(7 * k), 1, 2, 3, 4, 5, 6});
    scriptedMouse.ExpectGet({0x00, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    for (uint8_t p = 1; p < 8; ++p)
        scriptedMouse.ExpectSet({5, 7, 0, 0, 0, p, 0, 0}, false);
    MouseHandle h = nullptr;
    ASSERT_TRUE(scriptedMouse.Open(SimulatedMouse::kConfigPath, &h));
    std::array<uint8_t, 512> block;
    ReadHeaderBlock(MouseLink{scriptedMouse, h, wait}, block.data());
    EXPECT_TRUE(scriptedMouse.scriptErrors.empty()) << scriptedMouse.scriptErrors[0];
    EXPECT_EQ(0u, scriptedMouse.PendingExpectations());
    EXPECT_EQ(0, block[0]);
    EXPECT_EQ(6, block[62]);
    EXPECT_EQ(0x3F, block[63]);
    EXPECT_EQ(0, block[64]);

    // A report the script did not expect fails and is reported.
    SelectActiveProfile(MouseLink{scriptedMouse, h, wait}, 1);
    ASSERT_EQ(1u, scriptedMouse.scriptErrors.size());
    scriptedMouse.Close(h);
}

#ifndef _WIN32
// The native build's own wait (the Windows one is checked under Wine against the
// performance counter).
TEST(SystemPacingWait, NeverEndsShort) {
    const std::unique_ptr<PacingWait> wait = CreateSystemPacingWait();
    for (uint32_t ms : {0u, 1u, 5u}) {
        const auto start = std::chrono::steady_clock::now();
        wait->Wait(ms);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(ms));
    }
}
#endif

} // namespace
