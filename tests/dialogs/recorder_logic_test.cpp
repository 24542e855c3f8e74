// The recorder's hook filter, what it lists of a stored key, macro or string, how a recording
// or a typed string becomes the button's assignment, and the Select Profile target, each
// result encoded into a profile block as the Settings dialog encodes it, under the sanitizers
// (the dialogs' own tests run under Wine).
#include "model/button_assignment.h"
#include "model/memory_image.h"
#include "ui/recorder.h"
#include "ui/select_profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class RecorderLogic : public ::testing::Test {
  protected:
    static bool Down(KeyRecording& recording, uint32_t vk) {
        return recording.Examine(true, KeyMessage::Down, vk, 0);
    }
    static bool Up(KeyRecording& recording, uint32_t vk) {
        return recording.Examine(true, KeyMessage::Up, vk, 0x80);
    }
    // The edited button's assignment as the Settings dialog hands it to the recorder, and a
    // result put back as the dialog puts it into the shown profile.
    ButtonAssignment Stored() const { return DecodeButton(block, editedButton); }
    void Store(const ButtonAssignment& assignment) {
        EncodeButton(block, currentProfile, editedButton, assignment);
    }
    const uint8_t* Record(int button) const { return block.data() + 4 * button; }
    const uint8_t* Events(int button) const { return block.data() + 64 + 64 * button; }

    ProfileBlock block;
    int32_t currentProfile = 1;
    int editedButton = 2;
    KeyRepeatMemory memory;
};

TEST_F(RecorderLogic, LimitsFollowTheFunctionAndPassTheRestOn) {
    KeyRecording single(FunctionSingleKey, memory);
    single.Begin();
    EXPECT_TRUE(Down(single, 'A'));
    EXPECT_TRUE(Up(single, 'A'));
    EXPECT_FALSE(Down(single, 'B'));
    EXPECT_EQ(single.recordedCount, 2);
    // At the limit nothing is examined, so the last key seen stays A's release.
    EXPECT_EQ(memory.lastKeyCode, uint32_t('A'));

    KeyRecording macro(FunctionMacroKey, memory);
    macro.Begin();
    for (uint32_t vk = 'A'; vk < 'A' + 10; ++vk) {
        Down(macro, vk);
        Up(macro, vk);
    }
    EXPECT_EQ(macro.recordedCount, 16);
    const ButtonAssignment result = macro.Result();
    ASSERT_EQ(result.events.size(), 16u);
    EXPECT_EQ(result.events[15].usage, 0x0B); // H released (usage of 'H')
}

TEST_F(RecorderLogic, SystemKeysAndInvalidReleasesAreNotRecorded) {
    KeyRecording recording(FunctionMacroKey, memory);
    recording.Begin();
    EXPECT_FALSE(recording.Examine(true, KeyMessage::Other, 'X', 0));
    EXPECT_FALSE(recording.Examine(true, KeyMessage::Up, 255, 0x80));
    EXPECT_FALSE(recording.Examine(false, KeyMessage::Down, 'X', 0)); // not HC_ACTION
    EXPECT_EQ(recording.recordedCount, 0);
    EXPECT_EQ(memory.lastKeyCode, 0u);
    // A named key without usage is recorded with usage 0.
    EXPECT_TRUE(Down(recording, 0xAD));
    const ButtonAssignment result = recording.Result();
    ASSERT_EQ(result.events.size(), 1u);
    EXPECT_EQ(result.events[0].usage, 0);
    EXPECT_EQ(result.events[0].flags, 0x80);
}

TEST_F(RecorderLogic, StoringARecordingWritesRecordAndClearedList) {
    std::memset(block.data() + 64 + 64 * 2, 0xEE, 64);
    KeyRecording recording(FunctionMacroKey, memory);
    recording.Begin();
    Down(recording, 0x10);
    Up(recording, 0x10);
    Store(recording.Result());
    const uint8_t record[] = {0x22, 4, 0, 8};
    EXPECT_EQ(std::memcmp(Record(2), record, 4), 0);
    EXPECT_EQ(Events(2)[0], 0xE5); // side-less Shift stores the right-hand usage
    for (int i = 8; i < 64; ++i) {
        ASSERT_EQ(Events(2)[i], 0) << i;
    }
    // Start followed at once by Stop and Apply.
    recording.Begin();
    Store(recording.Result());
    const uint8_t empty[] = {0x22, 4, 0, 0};
    EXPECT_EQ(std::memcmp(Record(2), empty, 4), 0);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(Events(2)[i], 0) << i;
    }
    KeyRecording single(FunctionSingleKey, memory);
    single.Begin();
    Store(single.Result());
    EXPECT_EQ(Record(2)[1], KindSingleKey);
}

TEST_F(RecorderLogic, ListingStopsAtUsageZeroAndAtTheKindOfTheFunction) {
    uint8_t* record = block.data() + 8;
    record[1] = KindMacro;
    record[3] = 12;
    const uint8_t events[] = {0x04, 0x80, 10, 0, 0x00, 0x00, 10, 0, 0x05, 0x80, 10, 0};
    std::memcpy(block.data() + 64 + 128, events, sizeof(events));
    EXPECT_EQ(ListedEvents(Stored(), FunctionMacroKey).size(), 1u);
    // What is listed comes from the edited button's record: its kind and its 12 event bytes.
    EXPECT_EQ(Stored().storedKind, KindMacro);
    EXPECT_EQ(Stored().events.size(), 3u);
    // A macro record under "Single Key" lists nothing.
    EXPECT_EQ(ListedEvents(Stored(), FunctionSingleKey).size(), 0u);
    record[1] = 0x20 | KindSingleKey; // upper bits of the kind byte are ignored
    EXPECT_EQ(ListedEvents(Stored(), FunctionSingleKey).size(), 1u);
}

TEST_F(RecorderLogic, ForeignEventByteCountNeverReadsPastTheList) {
    // The last button's list ends the block: an eventBytes above 64 must stop at 16 events.
    editedButton = 6;
    uint8_t* record = block.data() + 24;
    record[1] = KindMacro;
    record[3] = 0xFF;
    for (int i = 0; i < 16; ++i) {
        block.bytes[448 + 4 * i] = 0x04;
        block.bytes[448 + 4 * i + 1] = 0x80;
    }
    EXPECT_EQ(ListedEvents(Stored(), FunctionMacroKey).size(), 16u);
    record[1] = KindString;
    std::wstring text;
    ASSERT_TRUE(StoredStringText(Stored(), &text, 256));
    EXPECT_EQ(text, std::wstring(16, L'a'));
}

int16_t UsLayout(wchar_t c) {
    if (c >= L'a' && c <= L'z') {
        return static_cast<int16_t>(c - L'a' + 'A');
    }
    if (c >= L'A' && c <= L'Z') {
        return static_cast<int16_t>(0x100 | c);
    }
    if ((c >= L'0' && c <= L'9') || c == L' ') {
        return static_cast<int16_t>(c);
    }
    switch (c) {
    case L'!':
        return 0x131;
    case L',':
        return 0xBC;
    case L'@':
        return 0x651; // AltGr+Q, as on a German layout
    case L'\u00E9':
        return 0x32; // the 2 key's own character, as on a French layout
    default:
        return -1;
    }
}

TEST_F(RecorderLogic, StoredStringShowsTheCharactersItTypesAndIsCutToItsBuffer) {
    Store(ButtonAssignment::Text(StringEvents(L"gg wp, hello1", UsLayout)));
    const uint8_t events[] = {0x0A, 0, 0,    0, 0x0A, 0, 0,    0, 0x2C, 0, 0,    0, 0x1A, 0,
                              0,    0, 0x13, 0, 0,    0, 0x36, 0, 0,    0, 0x2C, 0, 0,    0};
    EXPECT_EQ(std::memcmp(Events(2), events, sizeof(events)), 0);
    std::wstring text;
    ASSERT_TRUE(StoredStringText(Stored(), &text, 256));
    EXPECT_EQ(text, L"gg wp, hello1");
    ASSERT_TRUE(StoredStringText(Stored(), &text, 4));
    EXPECT_EQ(text, L"gg ");
    FunctionNames names;
    names[FunctionStringKey] = L"String Key";
    EXPECT_EQ(DescribeButton(Stored(), names), L"String Key: \"gg wp, hello1\"");

    // Keys that type no character: left out of the field, named in brackets in words.
    uint8_t* stored = block.data() + 64 + 2 * 64;
    stored[4] = 0x3A; // F1
    stored[8] = 0x65; // a usage no key gives
    ASSERT_TRUE(StoredStringText(Stored(), &text, 256));
    EXPECT_EQ(text, L"gwp, hello1");
    EXPECT_EQ(DescribeButton(Stored(), names), L"String Key: \"g[F1][usage 65]wp, hello1\"");
    Store(ButtonAssignment::Keys(FunctionMacroKey, {}));
    EXPECT_FALSE(StoredStringText(Stored(), &text, 256));
}

TEST_F(RecorderLogic, CharactersTheStringWillNotTypeAsWrittenAreNamedOnce) {
    EXPECT_EQ(CharactersNotTypedAsShown(L"gg wp, hello1", UsLayout), L"");
    // Capitals, Shift and AltGr characters, a key whose own character differs, and no key.
    EXPECT_EQ(CharactersNotTypedAsShown(L"Gg WP, hi!!@\u00E9~G", UsLayout), L"GWP!@\u00E9~");
    // Digits that need Shift, as on a French layout: the stored key alone types no digit there.
    const auto shiftedDigits = [](wchar_t c) {
        return static_cast<int16_t>(c >= L'0' && c <= L'9' ? 0x100 | c : UsLayout(c));
    };
    EXPECT_EQ(CharactersNotTypedAsShown(L"a1", shiftedDigits), L"1");
    // Only what is kept: the 17th character is never stored.
    EXPECT_EQ(CharactersNotTypedAsShown(L"abcdefghijklmnopQ", UsLayout), L"");
}

TEST_F(RecorderLogic, StringKeepsAtMostSixteenCharacters) {
    Store(ButtonAssignment::Text(StringEvents(L"a!", UsLayout)));
    const uint8_t record[] = {0x22, KindString, 0, 8};
    EXPECT_EQ(std::memcmp(Record(2), record, 4), 0);
    const uint8_t events[] = {0x04, 0, 0, 0, 0x1E, 0, 0, 0};
    EXPECT_EQ(std::memcmp(Events(2), events, 8), 0);

    Store(ButtonAssignment::Text(StringEvents(L"abcdefghijklmnopqrstuvwxyz", UsLayout)));
    EXPECT_EQ(Record(2)[3], 64);
    EXPECT_EQ(Events(2)[60], 0x13);                              // 'p', the 16th character
    EXPECT_EQ(Record(3)[0], 0);                                  // the next button is untouched
    Store(ButtonAssignment::Text(StringEvents(L"~", UsLayout))); // no key on the layout
    EXPECT_EQ(Events(2)[0], 0);
    EXPECT_EQ(Record(2)[3], 4);
}

TEST_F(RecorderLogic, SelectProfileTargetsStayWithinTheFiveProfiles) {
    uint8_t* record = block.data() + 8;
    record[1] = KindProfileSwitch;
    record[2] = 2;
    EXPECT_EQ(InitialTargetProfile(Stored(), currentProfile), 2);
    record[2] = 9; // corrupt target
    EXPECT_EQ(InitialTargetProfile(Stored(), currentProfile), 1);
    record[1] = KindMacro;
    // Basic state: no profile to pre-select.
    EXPECT_EQ(InitialTargetProfile(Stored(), 5), 0);

    std::memset(block.data() + 64 + 128, 0x77, 64);
    Store(ProfileSwitchTo(3));
    const uint8_t expected[] = {0x22, KindProfileSwitch, 3, 0};
    EXPECT_EQ(std::memcmp(Record(2), expected, 4), 0);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(Events(2)[i], 0) << i;
    }
    Store(ProfileSwitchTo(7));
    EXPECT_EQ(Record(2)[2], 0);
}

} // namespace
