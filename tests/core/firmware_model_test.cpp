// The firmware model on its own: page sequences in both directions, profile control, the
// fault hooks and the documented answers to malformed sequences.
#include "firmware_model.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace {

using Report = std::array<uint8_t, 8>;

class FirmwareModel : public ::testing::Test {
  protected:
    void SetUp() override { tarn_fw_init(&fw); }

    int Set(Report r, uint64_t now = 0) { return tarn_fw_set_feature(&fw, r.data(), 8, now); }
    int Get(Report& r, uint64_t now = 0) {
        r = {5, 0, 0, 0, 0, 0, 0, 0};
        return tarn_fw_get_feature(&fw, r.data(), 8, now);
    }
    // A full page written the way the host does it; returns how many transfers succeeded.
    int WritePage(int area, int page, const uint8_t* data, uint64_t now = 0) {
        int ok = Set({5, 7, 1, 0, uint8_t(area), uint8_t(page), 0, 0}, now);
        for (int k = 0; k < 9; ++k) {
            Report r{5};
            for (int i = 0; i < 7; ++i)
                r[size_t(1 + i)] = data[7 * k + i];
            ok += Set(r, now);
        }
        return ok + Set({5, data[63], 5, 5, 5, 5, 5, 5}, now);
    }
    int ReadPage(int area, int page, uint8_t* out, uint64_t now = 0) {
        int ok = Set({5, 7, 0, 0, uint8_t(area), uint8_t(page), 0, 0}, now);
        Report r;
        for (int k = 0; k < 9; ++k) {
            ok += Get(r, now);
            for (int i = 0; i < 7; ++i)
                out[7 * k + i] = r[size_t(1 + i)];
        }
        ok += Get(r, now);
        out[63] = r[1];
        return ok;
    }

    TarnFirmware fw;
};

TEST_F(FirmwareModel, WrittenPageReadsBackAndLandsInItsArea) {
    uint8_t page[64], back[64] = {};
    for (int i = 0; i < 64; ++i)
        page[i] = uint8_t(0xA0 + i);
    EXPECT_EQ(11, WritePage(2, 2, page));
    EXPECT_EQ(0, std::memcmp(&fw.memory[2][128], page, 64));
    EXPECT_EQ(0, fw.memory[2][127]);
    EXPECT_EQ(0, fw.memory[2][192]);
    EXPECT_EQ(11, ReadPage(2, 2, back));
    EXPECT_EQ(0, std::memcmp(back, page, 64));
    EXPECT_EQ(1u, fw.pagesWritten);
    EXPECT_EQ(1u, fw.pagesRead);
    EXPECT_EQ(TARN_FW_IDLE, fw.state);
}

TEST_F(FirmwareModel, ReadTailCarriesByte63AndFiller) {
    fw.memory[0][63] = 0x3F;
    fw.memory[0][62] = 0x3E;
    Report r;
    ASSERT_TRUE(Set({5, 7, 0, 0, 0, 0, 0, 0}));
    for (int k = 0; k < 9; ++k)
        ASSERT_TRUE(Get(r));
    EXPECT_EQ(0x3E, r[7]); // the last chunk ends with byte 62
    ASSERT_TRUE(Get(r));
    EXPECT_EQ((Report{5, 0x3F, 5, 5, 5, 5, 5, 5}), r);
}

TEST_F(FirmwareModel, ProfileQueryAndSelect) {
    Report r;
    EXPECT_TRUE(Set({5, 9, 0xFE, 3, 0, 0, 0, 0}));
    EXPECT_TRUE(Set({5, 9, 0xFF, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(Get(r));
    EXPECT_EQ((Report{5, 9, 0xFF, 3, 0, 0, 0, 0}), r);
    // The answer is for the one get after the query; afterwards the mouse is idle again.
    EXPECT_TRUE(Get(r));
    EXPECT_EQ((Report{5, 0, 0, 0, 0, 0, 0, 0}), r);

    EXPECT_FALSE(Set({5, 9, 0xFE, 5, 0, 0, 0, 0})); // the basic state is not selectable
    EXPECT_EQ(3, fw.activeProfile);
    EXPECT_TRUE(tarn_fw_switch_profile(&fw, 4));
    EXPECT_FALSE(tarn_fw_switch_profile(&fw, 5));
    EXPECT_TRUE(tarn_fw_set_active(&fw, 5));
    EXPECT_FALSE(tarn_fw_set_active(&fw, 6));
    fw.queryAnswer = 0xC7;
    Set({5, 9, 0xFF, 0, 0, 0, 0, 0});
    Get(r);
    EXPECT_EQ(0xC7, r[3]);
}

TEST_F(FirmwareModel, RejectedPageCommandMovesNothing) {
    uint8_t page[64];
    std::memset(page, 0x55, sizeof page);
    fw.rejectPages[1] = 1u << 3;
    EXPECT_EQ(0, Set({5, 7, 1, 0, 1, 3, 0, 0}));
    EXPECT_EQ(TARN_FW_IDLE, fw.state);
    // The chunks that follow a rejected command are stray data and fail too.
    EXPECT_EQ(0, Set({5, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(0, WritePage(1, 3, page));
    EXPECT_EQ(11, WritePage(1, 2, page));
    EXPECT_EQ(0, fw.memory[1][3 * 64]);
    EXPECT_EQ(0x55, fw.memory[1][2 * 64]);
}

TEST_F(FirmwareModel, FailedTransfersKeepThePageAligned) {
    uint8_t page[64], back[64];
    for (int i = 0; i < 64; ++i)
        page[i] = uint8_t(i + 1);
    fw.memory[4][7 * 64 + 14] = 0xEE; // old content under chunk 2 of page 7
    fw.failArea = 4;
    fw.failPage = 7;
    fw.failTransfer = 2;
    EXPECT_EQ(10, WritePage(4, 7, page));
    EXPECT_EQ(0xEE, fw.memory[4][7 * 64 + 14]); // failed chunk keeps the old bytes
    EXPECT_EQ(22, fw.memory[4][7 * 64 + 21]);   // later chunks land in place
    EXPECT_EQ(64, fw.memory[4][7 * 64 + 63]);

    std::memset(back, 0, sizeof back);
    EXPECT_EQ(10, ReadPage(4, 7, back));
    EXPECT_EQ(0, back[14]); // the host got nothing for chunk 2
    EXPECT_EQ(22, back[21]);
    EXPECT_EQ(64, back[63]);

    // A failed tail drops the whole written page.
    fw.failTransfer = TARN_FW_TAIL_TRANSFER;
    fw.failPage = -1;
    std::memset(page, 0x77, sizeof page);
    EXPECT_EQ(10, WritePage(4, 0, page));
    EXPECT_EQ(0, fw.memory[4][0]);
    EXPECT_EQ(TARN_FW_IDLE, fw.state);
}

TEST_F(FirmwareModel, MalformedReportsAreRefusedSafely) {
    Report r;
    uint8_t shortReport[4] = {5, 7, 0, 0};
    EXPECT_EQ(0, tarn_fw_set_feature(&fw, shortReport, sizeof shortReport, 0));
    EXPECT_EQ(0, tarn_fw_set_feature(&fw, nullptr, 8, 0));
    EXPECT_EQ(0, Set({6, 7, 0, 0, 0, 0, 0, 0}));    // wrong report id
    EXPECT_EQ(0, Set({5, 7, 2, 0, 0, 0, 0, 0}));    // unknown direction
    EXPECT_EQ(0, Set({5, 7, 0, 0, 6, 0, 0, 0}));    // area 6 does not exist
    EXPECT_EQ(0, Set({5, 7, 0, 0, 0, 8, 0, 0}));    // page 8 does not exist
    EXPECT_EQ(0, Set({5, 9, 0x10, 0, 0, 0, 0, 0})); // unknown sub-code
    EXPECT_EQ(0, Set({5, 0x42, 0, 0, 0, 0, 0, 0})); // unknown command
    EXPECT_EQ(TARN_FW_IDLE, fw.state);
    EXPECT_TRUE(Get(r)); // idle answers zeros
    EXPECT_EQ((Report{5, 0, 0, 0, 0, 0, 0, 0}), r);

    // A write abandoned before its tail never reaches memory, and a get during it fails.
    ASSERT_TRUE(Set({5, 7, 1, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(Set({5, 9, 9, 9, 9, 9, 9, 9}));
    EXPECT_FALSE(Get(r));
    EXPECT_EQ(0, fw.memory[0][0]);

    // A read interrupted by a new command starts the new page from chunk 0.
    fw.memory[3][64] = 0x99;
    tarn_fw_init(&fw);
    fw.memory[3][64] = 0x99;
    ASSERT_TRUE(Set({5, 7, 0, 0, 3, 0, 0, 0}));
    Get(r);
    EXPECT_FALSE(Set({5, 1, 1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(Set({5, 7, 0, 0, 3, 1, 0, 0}));
    Get(r);
    EXPECT_EQ(0x99, r[1]);
}

TEST_F(FirmwareModel, PacingRefusesEarlyPageCommandsUnlessTurnedOff) {
    uint8_t page[64] = {};
    uint8_t data[64];
    std::memset(data, 0x3C, sizeof data);
    EXPECT_EQ(11, WritePage(0, 0, page, 1000));
    // One microsecond too early: refused, and nothing of the page moves.
    EXPECT_EQ(0, WritePage(0, 1, data, 1000 + 49999));
    EXPECT_EQ(1u, fw.pacingViolations);
    EXPECT_EQ(0, fw.memory[0][64]);
    // On time, counted from the last tail the mouse took.
    EXPECT_EQ(11, WritePage(0, 1, data, 1000 + 50000));
    EXPECT_EQ(0x3C, fw.memory[0][64]);
    EXPECT_EQ(1u, fw.pacingViolations);
    // The tail of a read counts as well.
    EXPECT_EQ(11, ReadPage(0, 1, page, 200000));
    EXPECT_EQ(0, Set({5, 7, 0, 0, 0, 0, 0, 0}, 200000 + 49999));
    EXPECT_EQ(2u, fw.pacingViolations);
    // Without a clock there is nothing to check.
    EXPECT_EQ(11, WritePage(0, 2, data, 0));
    // Turned off, an early command is only counted.
    fw.strictPacing = 0;
    EXPECT_EQ(11, WritePage(0, 3, data, 1));
    EXPECT_EQ(11, WritePage(0, 4, data, 2));
    EXPECT_EQ(3u, fw.pacingViolations);
    EXPECT_EQ(0x3C, fw.memory[0][4 * 64]);
}

TEST_F(FirmwareModel, AnyReportSequenceStaysInBounds) {
    // A small deterministic fuzz: arbitrary reports never leave the model in a bad state.
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return uint8_t(seed >> 16);
    };
    Report r;
    for (int i = 0; i < 20000; ++i) {
        Report s{5, next(), next(), next(), next(), next(), next(), next()};
        if (next() < 64) { // mostly well-formed page commands, some out of range
            s[1] = 7;
            s[2] = uint8_t(next() & 1);
            s[3] = 0;
            s[4] = uint8_t(next() % 7);
            s[5] = uint8_t(next() % 9);
        }
        if (next() & 1)
            Set(s, i * 1000u);
        else
            Get(r, i * 1000u);
        ASSERT_LE(fw.state, TARN_FW_QUERIED);
        ASSERT_LT(fw.area, TARN_FW_AREA_COUNT);
        ASSERT_LT(fw.page, TARN_FW_PAGE_COUNT);
        ASSERT_LE(fw.transfer, TARN_FW_TAIL_TRANSFER);
        ASSERT_LE(fw.activeProfile, TARN_FW_BASIC_STATE);
    }
}

} // namespace
