// Key tables: the conversions the recorder relies on, and the entries that must stay empty.
#include "model/key_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

std::wstring StoredName(int virtualKey) {
    return NameOfUsage(UsageOfKey(virtualKey));
}

TEST(KeyTables, KeysNameBackThroughTheirStoredUsage) {
    EXPECT_EQ(UsageOfKey(0x41), 0x04);
    EXPECT_EQ(StoredName(0x41), L"A");
    EXPECT_EQ(UsageOfKey(0x6F), 0x54); // keypad slash
    EXPECT_EQ(StoredName(0x6F), L"/");
    EXPECT_EQ(UsageOfKey(0xBF), 0x38); // main-keyboard slash
    EXPECT_EQ(StoredName(0xBF), L"/");
    EXPECT_EQ(UsageOfKey(0x5B), 0xE3);
    EXPECT_EQ(StoredName(0x5B), L"LWin");
    EXPECT_EQ(UsageOfKey(0x30), 0x27);
    EXPECT_EQ(StoredName(0x30), L"0");
    EXPECT_EQ(UsageOfKey(0x87), 0x73);
    EXPECT_EQ(StoredName(0x87), L"F24");
}

TEST(KeyTables, SharedUsagesNameAsTheMainOrSideSpecificKey) {
    EXPECT_EQ(UsageOfKey(0x6C), 0x2D); // keypad separator stores the minus key
    EXPECT_EQ(StoredName(0x6C), L"-");
    EXPECT_STREQ(NameOfKey(0x6C), L"_");
    EXPECT_EQ(UsageOfKey(0x2A), 0x46);
    EXPECT_EQ(UsageOfKey(0x2C), 0x46);
    EXPECT_EQ(StoredName(0x2A), L"Print");
    EXPECT_EQ(UsageOfKey(0x11), 0xE4); // side-less Ctrl
    EXPECT_EQ(StoredName(0x11), L"R Ctrl");
    EXPECT_STREQ(NameOfKey(0x11), L"Crrl");
    EXPECT_EQ(StoredName(0x10), L"R Shift");
    EXPECT_EQ(StoredName(0x12), L"R Menu");
    EXPECT_EQ(UsageToVK[0x58], 0x0D); // keypad Enter names as Enter
    EXPECT_EQ(UsageToVK[0xFF], 0xFF);
    EXPECT_EQ(UsageToVK[0xA2], 0x0C);
}

TEST(KeyTables, NamedKeysWithoutUsageStoreZero) {
    EXPECT_STREQ(NameOfKey(0xAD), L"Mute");
    EXPECT_EQ(UsageOfKey(0xAD), 0);
    for (int vk = 0xA6; vk <= 0xB7; ++vk) {
        EXPECT_EQ(VKtoUsage[static_cast<size_t>(vk)], 0) << vk;
        EXPECT_NE(KeyNames[static_cast<size_t>(vk)][0], 0) << vk;
    }
    for (int vk : {0x00, 0x29, 0x2B, 0x2F, 0x5D, 0x5F, 0xFF}) {
        EXPECT_EQ(VKtoUsage[static_cast<size_t>(vk)], 0) << vk;
    }
    // A character without a key (VkKeyScanW gives -1) lands on index 255.
    EXPECT_EQ(UsageOfKey(-1), 0);
}

TEST(KeyTables, UnknownUsageNamesAsTheEmptyName) {
    EXPECT_EQ(UsageToVK[0x65], 0);
    EXPECT_STREQ(NameOfUsage(0x65), L"");
    EXPECT_STREQ(NameOfUsage(0), L"");
}

TEST(KeyTables, NamesAreSpelledAsShown) {
    EXPECT_STREQ(NameOfKey(0x65), L"NUm 5");
    EXPECT_STREQ(NameOfKey(0x66), L"NUm 6");
    EXPECT_STREQ(NameOfKey(0x64), L"Num 4");
    EXPECT_STREQ(NameOfKey(0xA8), L"LRefresh");
    EXPECT_STREQ(NameOfKey(0xA9), L"stop");
    EXPECT_STREQ(NameOfKey(0xB2), L"Stop");
    EXPECT_STREQ(NameOfKey(0x08), L"Back Space");
    EXPECT_STREQ(NameOfKey(0xDC), L"\\");
    EXPECT_STREQ(NameOfKey(0x25), L"Left Key");
    EXPECT_STREQ(NameOfKey(0x7B), L"F12");
}

TEST(KeyTables, EveryFieldIsTerminatedAndZeroPadded) {
    size_t longest = 0;
    int named = 0;
    for (const KeyNameField& field : KeyNames) {
        size_t length = std::wcslen(field.data());
        ASSERT_LT(length, field.size());
        for (size_t i = length; i < field.size(); ++i) {
            EXPECT_EQ(field[i], 0);
        }
        longest = std::max(longest, length);
        named += length > 0 ? 1 : 0;
    }
    EXPECT_EQ(longest, 11u);
    // 10 digits, 26 letters, 24 function keys and the 83 single names.
    EXPECT_EQ(named, 143);
}

TEST(KeyTables, EveryStoredUsageLeadsBackToAKeyWithThatUsage) {
    int nonZero = 0;
    for (int vk = 0; vk < kKeyTableSize; ++vk) {
        int32_t usage = VKtoUsage[static_cast<size_t>(vk)];
        if (usage == 0) {
            continue;
        }
        ++nonZero;
        int32_t back = UsageToVK[static_cast<size_t>(usage)];
        EXPECT_EQ(VKtoUsage[static_cast<size_t>(back)], usage) << vk;
        EXPECT_NE(KeyNames[static_cast<size_t>(back)][0], 0) << vk;
    }
    EXPECT_EQ(nonZero, 120);
    int reverse = 0;
    for (int32_t vk : UsageToVK) {
        reverse += vk != 0 ? 1 : 0;
    }
    EXPECT_EQ(reverse, 117);
}

TEST(KeyTables, StoredStringEventsTypeBackTheirKeysPlainCharacter) {
    int typing = 0;
    for (int vk = 0; vk < kKeyTableSize; ++vk) {
        const wchar_t character = KeyCharacters[static_cast<size_t>(vk)];
        if (character == 0) {
            continue;
        }
        ++typing;
        EXPECT_EQ(CharacterOfUsage(UsageOfKey(vk)), character) << vk;
    }
    // Space, 10 digits, 26 letters and the 11 punctuation keys.
    EXPECT_EQ(typing, 48);
    EXPECT_EQ(CharacterOfUsage(UsageOfKey('Q')), L'q');
    EXPECT_EQ(CharacterOfUsage(UsageOfKey(0xDE)), L'\'');
    // Keys a stored string may hold that type nothing a field can show.
    for (int vk : {0x08, 0x09, 0x0D, 0x1B, 0x60, 0x6A, 0x70, 0xA0, 0xFF}) {
        EXPECT_EQ(CharacterOfUsage(UsageOfKey(vk)), 0) << vk;
    }
    EXPECT_EQ(CharacterOfUsage(UsageOfKey(0x6C)), L'-'); // shares the minus key's usage
}

} // namespace
