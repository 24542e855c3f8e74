// Button encoding and decoding in the profile block, and the reset defaults.
#include "mouse/mouse_session.h"
#include "model/memory_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class ProfileRecord : public ::testing::Test {
  protected:
    void SetUp() override {
        for (size_t i = 0; i < kBlockLength; ++i) {
            profileBlock[i] = uint8_t(0xA5 ^ i);
            headerBlock[i] = uint8_t(0x5A ^ i);
        }
        for (int32_t& c : buttonChoices)
            c = -1;
        currentProfile = 0;
    }
    std::vector<uint8_t> Bytes(size_t offset, size_t length) const {
        return std::vector<uint8_t>(profileBlock + offset, profileBlock + offset + length);
    }
};

TEST_F(ProfileRecord, MiddleClickOnButtonTwoInProfileOne) {
    currentProfile = 1;
    buttonChoices[2] = FunctionMiddleClick;
    uint8_t before[kBlockLength];
    std::memcpy(before, profileBlock, sizeof before);
    EncodeButtonFunction(2);
    EXPECT_EQ((std::vector<uint8_t>{0x22, 0x01, 0x02, 0x08}), Bytes(8, 4));
    std::vector<uint8_t> events(64, 0);
    const uint8_t clicks[] = {0x4D, 0x80, 0x05, 0x00, 0x4D, 0x00, 0x05, 0x00};
    std::memcpy(events.data(), clicks, sizeof clicks);
    EXPECT_EQ(events, Bytes(192, 64));
    // Everything else in the block is untouched.
    for (size_t i = 0; i < kBlockLength; ++i)
        if (!(i >= 8 && i < 12) && !(i >= 192 && i < 256)) {
            ASSERT_EQ(before[i], profileBlock[i]) << "byte " << i;
        }
}

TEST_F(ProfileRecord, DoubleClickThenOffClearsTheList) {
    currentProfile = 4;
    buttonChoices[6] = FunctionDoubleClick;
    EncodeButtonFunction(6);
    EXPECT_EQ((std::vector<uint8_t>{0x86, 0x01, 0x05, 0x10}), Bytes(24, 4));
    const std::vector<uint8_t> pair = {0x4D, 0x80, 0x05, 0x00, 0x4D, 0x00, 0x05, 0x00};
    EXPECT_EQ(pair, Bytes(448, 8));
    EXPECT_EQ(pair, Bytes(456, 8));
    EXPECT_EQ(std::vector<uint8_t>(48, 0), Bytes(464, 48));

    buttonChoices[6] = FunctionButtonOff;
    EncodeButtonFunction(6);
    EXPECT_EQ((std::vector<uint8_t>{0x86, 0x00, 0x00, 0x00}), Bytes(24, 4));
    EXPECT_EQ(std::vector<uint8_t>(64, 0), Bytes(448, 64));
}

TEST_F(ProfileRecord, RecordedChoicesLeaveTheBlockAlone) {
    uint8_t before[kBlockLength];
    std::memcpy(before, profileBlock, sizeof before);
    for (int choice = FunctionSingleKey; choice <= FunctionSelectProfile; ++choice) {
        buttonChoices[0] = choice;
        EncodeButtonFunction(0);
    }
    buttonChoices[1] = 11;
    EncodeButtonFunction(1);
    buttonChoices[1] = FunctionLeftClick;
    EncodeButtonFunction(-1);
    EncodeButtonFunction(7);
    EXPECT_EQ(0, std::memcmp(before, profileBlock, sizeof before));
}

TEST_F(ProfileRecord, DecodeByKindBits) {
    const uint8_t records[7][4] = {
        {0x00, 0x21, 0x00, 0x00}, // kind 1 with upper bits set: left click
        {0x01, 0x01, 0x04, 0x00}, // button 5
        {0x02, 0x01, 0x09, 0x00}, // param above 4: double click
        {0x03, 0x0A, 0x03, 0x00}, // profile switch, target not part of the choice
        {0x04, 0x05, 0x00, 0x40}, // string key
        {0x05, 0x02, 0x00, 0x00}, // kind 2 is never written: keep the old choice
        {0x06, 0xE4, 0x00, 0x00}, // macro with upper bits set
    };
    for (int n = 0; n < 7; ++n)
        std::memcpy(profileBlock + 4 * n, records[n], 4);
    buttonChoices[5] = FunctionRightClick;
    DecodeButtonFunctions();
    EXPECT_EQ((std::vector<int32_t>{FunctionLeftClick, FunctionButton5, FunctionDoubleClick,
                                    FunctionSelectProfile, FunctionStringKey, FunctionRightClick,
                                    FunctionMacroKey}),
              std::vector<int32_t>(buttonChoices, buttonChoices + 7));
}

TEST_F(ProfileRecord, ResetDefaultsDecodeAsTheFactoryLayout) {
    for (int profile = 0; profile < kProfileCount; ++profile) {
        WriteDefaultProfile(profile, profileBlock);
        EXPECT_EQ((std::vector<uint8_t>{uint8_t(profile << 5), 1, 0, 0}), Bytes(0, 4));
        EXPECT_EQ((std::vector<uint8_t>{uint8_t(profile << 5 | 6), 0, 0, 0}), Bytes(24, 4));
        EXPECT_EQ(std::vector<uint8_t>(kBlockLength - 28, 0), Bytes(28, kBlockLength - 28));
        DecodeButtonFunctions();
        EXPECT_EQ((std::vector<int32_t>{FunctionLeftClick, FunctionRightClick, FunctionMiddleClick,
                                        FunctionButton4, FunctionButton5, FunctionButtonOff,
                                        FunctionButtonOff}),
                  std::vector<int32_t>(buttonChoices, buttonChoices + 7));
    }
}

TEST_F(ProfileRecord, DefaultSettingsTouchOnlyTheirRecord) {
    uint8_t before[kBlockLength];
    std::memcpy(before, headerBlock, sizeof before);
    for (int profile = 0; profile < kProfileCount; ++profile)
        WriteDefaultProfileSettings(profile, headerBlock);
    WriteDefaultProfileSettings(5, headerBlock);
    for (int p = 0; p < kProfileCount; ++p) {
        const ProfileSettings s = ReadProfileSettings(headerBlock, p);
        EXPECT_EQ(p, s.profileIndex);
        EXPECT_EQ(0, s.reserved1);
        EXPECT_EQ(1, s.reserved2);
        EXPECT_EQ(8, s.resolutionX);
        EXPECT_EQ(8, s.resolutionY);
    }
    for (size_t i = 0; i < kBlockLength; ++i) {
        const bool inRecord = i >= 64 && i < 104 && (i - 64) % 8 < 5;
        if (!inRecord) {
            ASSERT_EQ(before[i], headerBlock[i]) << "byte " << i;
        }
    }
    WriteResolution(headerBlock, 2, 32, 0x1FF);
    EXPECT_EQ(32, ReadProfileSettings(headerBlock, 2).resolutionX);
    EXPECT_EQ(-1, ReadProfileSettings(headerBlock, 2).resolutionY); // low byte, read signed
}

TEST_F(ProfileRecord, KeyEventsAreLittleEndian) {
    uint8_t events[kEventListLength] = {};
    WriteKeyEvent(events, 15, KeyEvent{0x04, kEventPress, 0x1234});
    EXPECT_EQ((std::vector<uint8_t>{0x04, 0x80, 0x34, 0x12}),
              std::vector<uint8_t>(events + 60, events + 64));
    EXPECT_EQ(0x1234, ReadKeyEvent(events, 15).delay);
    WriteKeyEvent(events, 16, KeyEvent{1, 1, 1}); // outside the list: ignored
    EXPECT_EQ(0, ReadKeyEvent(events, 16).usage);
}

} // namespace
