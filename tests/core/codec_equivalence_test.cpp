// The button model's one encoder and decoder against the three encoders and the decoder it
// replaces (the Settings dialog's, the recorder's, Select Profile's), over every kind, button
// and profile, the basic profile included.
#include "button_assignment.h"
#include "key_recording.h"
#include "profile_record.h"
#include "recorder.h"
#include "select_profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void Scramble(uint8_t* block, uint32_t seed) {
    for (size_t i = 0; i < kBlockLength; ++i)
        block[i] = uint8_t((seed * 131u + i * 29u) ^ (i >> 3));
}

ProfileBlock Copy(const uint8_t* block) {
    ProfileBlock copy;
    std::memcpy(copy.data(), block, kBlockLength);
    return copy;
}

int16_t Scan(wchar_t c) {
    return c == L'~' ? int16_t(-1) : int16_t(0x100 | (c & 0xFF));
}

TEST(CodecEquivalence, ChoicesRecordingsStringsAndTargetsEncodeAsBefore) {
    for (int profile = 0; profile <= kBasicProfile; ++profile) {
        for (int button = 0; button < kButtonCount; ++button) {
            currentProfile = profile;
            // Functions 0..10 from the function lists (7..10 leave the block to their dialogs).
            for (int choice = 0; choice < kFunctionCount; ++choice) {
                Scramble(profileBlock, uint32_t(profile * 97 + button * 11 + choice));
                ProfileBlock expected = Copy(profileBlock);
                buttonChoices[button] = choice;
                EncodeButtonFunction(button);
                if (const auto a = ChoiceAssignment(choice))
                    EncodeButton(expected, profile, button, *a);
                ASSERT_EQ(Copy(profileBlock), expected)
                    << profile << " " << button << " " << choice;
            }
            // Recorded keys and macros of every length.
            for (int function : {FunctionSingleKey, FunctionMacroKey}) {
                for (int count = 0; count <= kMaxEvents; ++count) {
                    Scramble(profileBlock, uint32_t(count * 7 + function));
                    ProfileBlock expected = Copy(profileBlock);
                    buttonChoices[button] = function;
                    BeginButtonEdit(button);
                    std::vector<KeyEvent> events;
                    for (int i = 0; i < count; ++i) {
                        const KeyEvent e{uint8_t(i * 3), uint8_t(i % 2 ? 0 : 0x80), 10};
                        WriteKeyEvent(workEvents, i, e);
                        events.push_back(e);
                    }
                    recordedCount = count;
                    StoreRecording();
                    EncodeButton(expected, profile, button,
                                 ButtonAssignment::Keys(ButtonFunction(function), events));
                    ASSERT_EQ(Copy(profileBlock), expected) << function << " " << count;
                }
            }
            // Strings, short, long and with a character without a key.
            for (const wchar_t* text :
                 {L"", L"a", L"Go 1!", L"x~y", L"abcdefghijklmnopqrstuvwxyz"}) {
                Scramble(profileBlock, uint32_t(button * 5 + profile));
                ProfileBlock expected = Copy(profileBlock);
                buttonChoices[button] = FunctionStringKey;
                BeginButtonEdit(button);
                StoreString(text, Scan);
                EncodeButton(expected, profile, button,
                             ButtonAssignment::Text(StringEvents(text, Scan)));
                ASSERT_EQ(Copy(profileBlock), expected);
            }
            // Targets, the ones OK refuses included.
            for (int target = -1; target <= 7; ++target) {
                Scramble(profileBlock, uint32_t(target + 3));
                ProfileBlock expected = Copy(profileBlock);
                buttonChoices[button] = FunctionSelectProfile;
                BeginButtonEdit(button);
                selectedProfile = target;
                StoreProfileSwitch();
                EncodeButton(expected, profile, button,
                             ButtonAssignment::ProfileSwitch(IsProfileIndex(target) ? target : 0));
                ASSERT_EQ(Copy(profileBlock), expected);
            }
        }
    }
}

TEST(CodecEquivalence, EveryRecordDecodesToTheSameChoice) {
    for (int kind = 0; kind < 256; ++kind) {
        for (int param = 0; param < 256; ++param) {
            for (int button = 0; button < kButtonCount; ++button) {
                std::memset(profileBlock, 0, kBlockLength);
                const ButtonRecord record{uint8_t(kind), uint8_t(kind), uint8_t(param),
                                          uint8_t(param ^ kind)};
                WriteButtonRecord(profileBlock, button, record);
                buttonChoices[button] = -7;
                DecodeButtonFunctions();
                const auto function = FunctionOf(DecodeButton(Copy(profileBlock), button));
                ASSERT_EQ(buttonChoices[button], function ? int(*function) : -7)
                    << kind << " " << param;
            }
        }
    }
}

TEST(CodecEquivalence, DefaultsAndStoredListingsAsBefore) {
    for (int profile = -1; profile <= kBasicProfile; ++profile) {
        uint8_t block[kBlockLength];
        Scramble(block, 9);
        WriteDefaultProfile(profile, block);
        if (IsProfileIndex(profile)) {
            EXPECT_EQ(Copy(block), DefaultProfile(profile));
        }
        HeaderBlock header;
        Scramble(header.data(), 4);
        uint8_t old[kBlockLength];
        std::memcpy(old, header.data(), kBlockLength);
        WriteDefaultProfileSettings(profile, old);
        header.SetDefaultSettings(profile);
        EXPECT_EQ(0, std::memcmp(old, header.data(), kBlockLength)) << profile;
        WriteResolution(old, profile, 300, -3);
        header.SetResolution(profile, 300, -3);
        EXPECT_EQ(0, std::memcmp(old, header.data(), kBlockLength)) << profile;
    }
    // What the recorder lists of a stored record, whatever its kind and length.
    for (int kind : {0, 1, 3, 4, 5, 7}) {
        for (int bytes : {0, 3, 4, 12, 64, 200}) {
            for (int function : {FunctionSingleKey, FunctionMacroKey, FunctionStringKey}) {
                Scramble(profileBlock, uint32_t(kind + bytes));
                profileBlock[64 + 64 + 4 * 5] = 0; // event 5 of button 1 has no key
                WriteButtonRecord(profileBlock, 1,
                                  ButtonRecord{0, uint8_t(kind), 0, uint8_t(bytes)});
                buttonChoices[1] = function;
                BeginButtonEdit(1);
                const ButtonAssignment stored = DecodeButton(Copy(profileBlock), 1);
                if (function == FunctionStringKey) {
                    wchar_t old[kStoredTextFieldCount + 1] = {};
                    const bool was = ::StoredStringText(old, kStoredTextFieldCount);
                    std::wstring now;
                    EXPECT_EQ(was, StoredStringText(stored, &now));
                    EXPECT_EQ(std::wstring(old), now);
                    continue;
                }
                const int count = LoadStoredEvents();
                const std::vector<KeyEvent> listed = ListedEvents(stored, ButtonFunction(function));
                ASSERT_EQ(size_t(count), listed.size()) << kind << " " << bytes;
                for (int i = 0; i < count; ++i) {
                    const KeyEvent e = ReadKeyEvent(workEvents, i);
                    EXPECT_EQ(e.usage, listed[size_t(i)].usage);
                    EXPECT_EQ(e.flags, listed[size_t(i)].flags);
                }
            }
        }
    }
}

} // namespace
