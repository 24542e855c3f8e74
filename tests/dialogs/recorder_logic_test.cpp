// The recorder's hook filter, stored-event listing and storing, and the Select Profile
// record, on the program-wide buffers, under the sanitizers (the dialogs' own tests run
// under Wine).
#include "mouse/mouse_session.h"
#include "model/memory_image.h"
#include "ui/recorder.h"
#include "ui/select_profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class RecorderLogic : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(profileBlock, 0, sizeof(profileBlock));
        std::memset(workEvents, 0, sizeof(workEvents));
        currentProfile = 1;
        editedButton = 2;
        editedFunction = FunctionMacroKey;
        lastKeyCode = 0;
        lastKeyUp = 0;
        BeginRecording();
    }
    static bool Down(uint32_t vk) { return ExamineKeyEvent(true, KeyMessage::Down, vk, 0); }
    static bool Up(uint32_t vk) { return ExamineKeyEvent(true, KeyMessage::Up, vk, 0x80); }
    static const uint8_t* Record(int button) { return profileBlock + 4 * button; }
    static const uint8_t* Events(int button) { return profileBlock + 64 + 64 * button; }
};

TEST_F(RecorderLogic, LimitsFollowTheFunctionAndPassTheRestOn) {
    editedFunction = FunctionSingleKey;
    EXPECT_TRUE(Down('A'));
    EXPECT_TRUE(Up('A'));
    EXPECT_FALSE(Down('B'));
    EXPECT_EQ(recordedCount, 2);
    // At the limit nothing is examined, so the last key seen stays A's release.
    EXPECT_EQ(lastKeyCode, uint32_t('A'));

    editedFunction = FunctionMacroKey;
    BeginRecording();
    for (uint32_t vk = 'A'; vk < 'A' + 10; ++vk) {
        Down(vk);
        Up(vk);
    }
    EXPECT_EQ(recordedCount, 16);
    EXPECT_EQ(workEvents[4 * 15], 0x0B); // H released (usage of 'H')
}

TEST_F(RecorderLogic, SystemKeysAndInvalidReleasesAreNotRecorded) {
    EXPECT_FALSE(ExamineKeyEvent(true, KeyMessage::Other, 'X', 0));
    EXPECT_FALSE(ExamineKeyEvent(true, KeyMessage::Up, 255, 0x80));
    EXPECT_FALSE(ExamineKeyEvent(false, KeyMessage::Down, 'X', 0)); // not HC_ACTION
    EXPECT_EQ(recordedCount, 0);
    EXPECT_EQ(lastKeyCode, 0u);
    // A named key without usage is recorded with usage 0.
    EXPECT_TRUE(Down(0xAD));
    EXPECT_EQ(workEvents[0], 0);
    EXPECT_EQ(workEvents[1], 0x80);
}

TEST_F(RecorderLogic, StoringARecordingWritesRecordAndClearedList) {
    std::memset(profileBlock + 64 + 64 * 2, 0xEE, 64);
    Down(0x10);
    Up(0x10);
    StoreRecording();
    const uint8_t record[] = {0x22, 4, 0, 8};
    EXPECT_EQ(std::memcmp(Record(2), record, 4), 0);
    EXPECT_EQ(Events(2)[0], 0xE5); // side-less Shift stores the right-hand usage
    for (int i = 8; i < 64; ++i) {
        ASSERT_EQ(Events(2)[i], 0) << i;
    }
    // Start followed at once by Stop and Apply.
    BeginRecording();
    StoreRecording();
    const uint8_t empty[] = {0x22, 4, 0, 0};
    EXPECT_EQ(std::memcmp(Record(2), empty, 4), 0);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(Events(2)[i], 0) << i;
    }
    editedFunction = FunctionSingleKey;
    StoreRecording();
    EXPECT_EQ(Record(2)[1], KindSingleKey);
}

TEST_F(RecorderLogic, ListingStopsAtUsageZeroAndAtTheKindOfTheFunction) {
    uint8_t* record = profileBlock + 8;
    record[1] = KindMacro;
    record[3] = 12;
    const uint8_t events[] = {0x04, 0x80, 10, 0, 0x00, 0x00, 10, 0, 0x05, 0x80, 10, 0};
    std::memcpy(profileBlock + 64 + 128, events, sizeof(events));
    EXPECT_EQ(LoadStoredEvents(), 1);
    EXPECT_EQ(std::memcmp(workRecord, record, 4), 0);
    editedFunction = FunctionSingleKey; // a macro record under "Single Key" lists nothing
    EXPECT_EQ(LoadStoredEvents(), 0);
    record[1] = 0x20 | KindSingleKey; // upper bits of the kind byte are ignored
    EXPECT_EQ(LoadStoredEvents(), 1);
}

TEST_F(RecorderLogic, ForeignEventByteCountNeverReadsPastTheList) {
    // The last button's list ends the block: an eventBytes above 64 must stop at 16 events.
    editedButton = 6;
    uint8_t* record = profileBlock + 24;
    record[1] = KindMacro;
    record[3] = 0xFF;
    for (int i = 0; i < 16; ++i) {
        profileBlock[448 + 4 * i] = 0x04;
        profileBlock[448 + 4 * i + 1] = 0x80;
    }
    EXPECT_EQ(LoadStoredEvents(), 16);
    record[1] = KindString;
    editedFunction = FunctionStringKey;
    wchar_t text[256];
    ASSERT_TRUE(StoredStringText(text, 256));
    EXPECT_EQ(std::wstring(text), std::wstring(16, L'A'));
}

TEST_F(RecorderLogic, StoredStringShowsKeyNamesAndIsCutToItsBuffer) {
    editedFunction = FunctionStringKey;
    uint8_t* record = profileBlock + 8;
    record[1] = KindString;
    record[3] = 12;
    const uint8_t events[] = {0x04, 0, 0, 0, 0x2C, 0, 0, 0, 0x1E, 0, 0, 0};
    std::memcpy(profileBlock + 64 + 128, events, sizeof(events));
    wchar_t text[256];
    ASSERT_TRUE(StoredStringText(text, 256));
    EXPECT_EQ(std::wstring(text), L"ASpace1");
    ASSERT_TRUE(StoredStringText(text, 4));
    EXPECT_EQ(std::wstring(text), L"ASp");
    record[1] = KindMacro;
    EXPECT_FALSE(StoredStringText(text, 256));
}

int16_t UsLayout(wchar_t c) {
    if (c >= L'a' && c <= L'z') {
        return static_cast<int16_t>(c - L'a' + 'A');
    }
    if (c >= L'A' && c <= L'Z') {
        return static_cast<int16_t>(0x100 | c);
    }
    if (c == L'!') {
        return 0x131;
    }
    return -1;
}

TEST_F(RecorderLogic, StringKeepsAtMostSixteenCharacters) {
    editedFunction = FunctionStringKey;
    StoreString(L"a!", UsLayout);
    const uint8_t record[] = {0x22, KindString, 0, 8};
    EXPECT_EQ(std::memcmp(Record(2), record, 4), 0);
    const uint8_t events[] = {0x04, 0, 0, 0, 0x1E, 0, 0, 0};
    EXPECT_EQ(std::memcmp(Events(2), events, 8), 0);

    StoreString(L"abcdefghijklmnopqrstuvwxyz", UsLayout);
    EXPECT_EQ(Record(2)[3], 64);
    EXPECT_EQ(Events(2)[60], 0x13); // 'p', the 16th character
    EXPECT_EQ(Record(3)[0], 0);     // the next button is untouched
    StoreString(L"~", UsLayout);    // no key on the layout
    EXPECT_EQ(Events(2)[0], 0);
    EXPECT_EQ(Record(2)[3], 4);
}

TEST_F(RecorderLogic, SelectProfileTargetsStayWithinTheFiveProfiles) {
    uint8_t* record = profileBlock + 8;
    record[1] = KindProfileSwitch;
    record[2] = 2;
    EXPECT_EQ(InitialTargetProfile(), 2);
    record[2] = 9; // corrupt target
    EXPECT_EQ(InitialTargetProfile(), 1);
    record[1] = KindMacro;
    currentProfile = 5; // basic state: no profile to pre-select
    EXPECT_EQ(InitialTargetProfile(), 0);

    currentProfile = 1;
    std::memset(profileBlock + 64 + 128, 0x77, 64);
    selectedProfile = 3;
    StoreProfileSwitch();
    const uint8_t expected[] = {0x22, KindProfileSwitch, 3, 0};
    EXPECT_EQ(std::memcmp(Record(2), expected, 4), 0);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(Events(2)[i], 0) << i;
    }
    selectedProfile = 7;
    StoreProfileSwitch();
    EXPECT_EQ(Record(2)[2], 0);
}

} // namespace
