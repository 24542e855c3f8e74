// Button encoding and decoding in the profile block, and the reset defaults.
#include "model/button_assignment.h"
#include "model/memory_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class ButtonModel : public ::testing::Test {
  protected:
    void SetUp() override {
        for (size_t i = 0; i < kBlockLength; ++i) {
            block.bytes[i] = uint8_t(0xA5 ^ i);
            header.bytes[i] = uint8_t(0x5A ^ i);
        }
        for (int32_t& c : choices)
            c = -1;
    }
    std::vector<uint8_t> Bytes(size_t offset, size_t length) const {
        return std::vector<uint8_t>(block.data() + offset, block.data() + offset + length);
    }
    // A function list's choice, written as the Settings dialog writes it: only a choice that
    // stands for an assignment by itself touches the block.
    void EncodeChoice(int profile, int button, int choice) {
        if (const std::optional<ButtonAssignment> assignment = ChoiceAssignment(choice))
            EncodeButton(block, profile, button, *assignment);
    }
    // What the function lists show for the block, as the Settings dialog decodes it: a kind
    // this program never writes keeps the choice the list had.
    void DecodeChoices() {
        for (int n = 0; n < kButtonCount; ++n)
            if (const std::optional<ButtonFunction> function = FunctionOf(DecodeButton(block, n)))
                choices[n] = *function;
    }

    ProfileBlock block;
    HeaderBlock header;
    int32_t choices[kButtonCount] = {};
};

TEST_F(ButtonModel, MiddleClickOnButtonTwoInProfileOne) {
    const ProfileBlock before = block;
    ASSERT_TRUE(ChoiceAssignment(FunctionMiddleClick));
    EncodeChoice(1, 2, FunctionMiddleClick);
    EXPECT_EQ((std::vector<uint8_t>{0x22, 0x01, 0x02, 0x08}), Bytes(8, 4));
    std::vector<uint8_t> events(64, 0);
    const uint8_t clicks[] = {0x4D, 0x80, 0x05, 0x00, 0x4D, 0x00, 0x05, 0x00};
    std::memcpy(events.data(), clicks, sizeof clicks);
    EXPECT_EQ(events, Bytes(192, 64));
    // Everything else in the block is untouched.
    for (size_t i = 0; i < kBlockLength; ++i)
        if (!(i >= 8 && i < 12) && !(i >= 192 && i < 256)) {
            ASSERT_EQ(before.bytes[i], block.bytes[i]) << "byte " << i;
        }
}

TEST_F(ButtonModel, DoubleClickThenOffClearsTheList) {
    ASSERT_TRUE(ChoiceAssignment(FunctionDoubleClick));
    EncodeChoice(4, 6, FunctionDoubleClick);
    EXPECT_EQ((std::vector<uint8_t>{0x86, 0x01, 0x05, 0x10}), Bytes(24, 4));
    const std::vector<uint8_t> pair = {0x4D, 0x80, 0x05, 0x00, 0x4D, 0x00, 0x05, 0x00};
    EXPECT_EQ(pair, Bytes(448, 8));
    EXPECT_EQ(pair, Bytes(456, 8));
    EXPECT_EQ(std::vector<uint8_t>(48, 0), Bytes(464, 48));

    ASSERT_TRUE(ChoiceAssignment(FunctionButtonOff));
    EncodeChoice(4, 6, FunctionButtonOff);
    EXPECT_EQ((std::vector<uint8_t>{0x86, 0x00, 0x00, 0x00}), Bytes(24, 4));
    EXPECT_EQ(std::vector<uint8_t>(64, 0), Bytes(448, 64));
}

TEST_F(ButtonModel, RecordedChoicesLeaveTheBlockAlone) {
    const ProfileBlock before = block;
    // Single key, macro, string and profile switch need their own dialogs.
    for (int choice = FunctionSingleKey; choice <= FunctionSelectProfile; ++choice) {
        EXPECT_FALSE(ChoiceAssignment(choice)) << choice;
        EncodeChoice(0, 0, choice);
    }
    EXPECT_FALSE(ChoiceAssignment(11));
    EXPECT_FALSE(ChoiceAssignment(-1));
    EncodeChoice(0, 1, 11);
    // Buttons outside 0..6 have no record.
    EncodeChoice(0, -1, FunctionLeftClick);
    EncodeChoice(0, 7, FunctionLeftClick);
    EXPECT_EQ(before, block);
}

TEST_F(ButtonModel, DecodeByKindBits) {
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
        std::memcpy(block.data() + 4 * n, records[n], 4);
    choices[5] = FunctionRightClick;
    DecodeChoices();
    EXPECT_EQ((std::vector<int32_t>{FunctionLeftClick, FunctionButton5, FunctionDoubleClick,
                                    FunctionSelectProfile, FunctionStringKey, FunctionRightClick,
                                    FunctionMacroKey}),
              std::vector<int32_t>(choices, choices + 7));
}

TEST_F(ButtonModel, ResetDefaultsDecodeAsTheFactoryLayout) {
    for (int profile = 0; profile < kProfileCount; ++profile) {
        block = DefaultProfile(profile);
        EXPECT_EQ((std::vector<uint8_t>{uint8_t(profile << 5), 1, 0, 0}), Bytes(0, 4));
        EXPECT_EQ((std::vector<uint8_t>{uint8_t(profile << 5 | 6), 0, 0, 0}), Bytes(24, 4));
        EXPECT_EQ(std::vector<uint8_t>(kBlockLength - 28, 0), Bytes(28, kBlockLength - 28));
        DecodeChoices();
        EXPECT_EQ((std::vector<int32_t>{FunctionLeftClick, FunctionRightClick, FunctionMiddleClick,
                                        FunctionButton4, FunctionButton5, FunctionButtonOff,
                                        FunctionButtonOff}),
                  std::vector<int32_t>(choices, choices + 7));
    }
}

TEST_F(ButtonModel, DefaultSettingsTouchOnlyTheirRecord) {
    const HeaderBlock before = header;
    for (int profile = 0; profile < kProfileCount; ++profile)
        header.SetDefaultSettings(profile);
    header.SetDefaultSettings(5);
    for (int p = 0; p < kProfileCount; ++p) {
        const ProfileSettings s = header.Settings(p);
        EXPECT_EQ(p, s.profileIndex);
        EXPECT_EQ(0, s.reserved1);
        EXPECT_EQ(1, s.reserved2);
        EXPECT_EQ(8, s.resolutionX);
        EXPECT_EQ(8, s.resolutionY);
    }
    for (size_t i = 0; i < kBlockLength; ++i) {
        const bool inRecord = i >= 64 && i < 104 && (i - 64) % 8 < 5;
        if (!inRecord) {
            ASSERT_EQ(before.bytes[i], header.bytes[i]) << "byte " << i;
        }
    }
    header.SetResolution(2, 32, 0x1FF);
    EXPECT_EQ(32, header.Settings(2).resolutionX);
    EXPECT_EQ(-1, header.Settings(2).resolutionY); // low byte, read signed
}

TEST_F(ButtonModel, KeyEventsAreLittleEndian) {
    uint8_t events[kEventListLength] = {};
    WriteKeyEvent(events, 15, KeyEvent{0x04, kEventPress, 0x1234});
    EXPECT_EQ((std::vector<uint8_t>{0x04, 0x80, 0x34, 0x12}),
              std::vector<uint8_t>(events + 60, events + 64));
    EXPECT_EQ(0x1234, ReadKeyEvent(events, 15).delay);
    WriteKeyEvent(events, 16, KeyEvent{1, 1, 1}); // outside the list: ignored
    EXPECT_EQ(0, ReadKeyEvent(events, 16).usage);
}

} // namespace
