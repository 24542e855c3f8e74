// Windows-free decisions of the dispatcher: button order, key sequences, browser
// classification, per-button value names and decoding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "actions.h"

namespace {
std::vector<int> Buttons(uint32_t mask) {
    int buttons[10];
    const size_t count = ButtonsOfMask(mask, buttons);
    return std::vector<int>(buttons, buttons + count);
}

TEST(ActionsLogic, ButtonsRunInAscendingOrderAndHighBitsAreIgnored) {
    EXPECT_EQ(Buttons(0x0A), (std::vector<int>{2, 4}));
    EXPECT_EQ(Buttons(0xFFFFFC0A), (std::vector<int>{2, 4}));
    EXPECT_EQ(Buttons(0x3FF), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(Buttons(0xFFFFFC00).empty());
    EXPECT_TRUE(Buttons(0).empty());
}

std::string Describe(const KeySequence& keys) {
    std::string text;
    for (size_t i = 0; i < keys.count; ++i) {
        char part[16];
        std::snprintf(part, sizeof(part), "%02X%c%s ", keys.strokes[i].vk,
                      keys.strokes[i].up ? 'u' : 'd', keys.strokes[i].zeroScan ? "0" : "");
        text += part;
    }
    return text;
}

TEST(ActionsLogic, KeyActionsPressTheirChords) {
    EXPECT_EQ(Describe(KeysOfAction(8)), "11d 4Fd 4Fu 11u ");
    EXPECT_EQ(Describe(KeysOfAction(12)), "11d 57d 57u 11u ");
    EXPECT_EQ(Describe(KeysOfAction(13)), "12d 73d 73u 12u ");
    EXPECT_EQ(Describe(KeysOfAction(14)), "2Ed 2Eu ");
    EXPECT_EQ(Describe(KeysOfAction(20)), "5Bd 5Bu ");
    EXPECT_EQ(Describe(KeysOfAction(22)), "22d 22u ");
    // Windows+D lets go of the Windows key before D, with no scan codes at all.
    EXPECT_EQ(Describe(KeysOfAction(24)), "5Bd0 44d0 5Bu0 44u0 ");
    EXPECT_EQ(Describe(KeysOfAction(30)), "11d 5Bd 09d 09u 5Bu 11u ");
}

TEST(ActionsLogic, OnlyKeyActionsHaveKeys) {
    for (uint32_t code = 0; code < 64; ++code) {
        const bool keyAction = (code >= 8 && code <= 22) || code == 24 || code == 30;
        EXPECT_EQ(KeysOfAction(code).count != 0, keyAction) << code;
        EXPECT_LE(KeysOfAction(code).count, kMaxKeyStrokes);
    }
    EXPECT_EQ(KeysOfAction(0xFFFFFFFF).count, 0u);
}

TEST(ActionsLogic, BrowsersAreRecognisedByClassAndTitle) {
    struct Case {
        const wchar_t* className;
        const wchar_t* title;
        uint32_t generation;
        NavigationMethod method;
    };
    const Case cases[] = {
        {L"CabinetWClass", L"", 0, NavigationMethod::BrowserKey},
        {L"cabinetwclass", L"", 0, NavigationMethod::BrowserKey},
        {L"IEFrame", L"", 0, NavigationMethod::BrowserKey},
        {L"EXPLOREWCLASS", L"", 0, NavigationMethod::BrowserKey},
        {L"mozillawindowclass", L"", 0x60000, NavigationMethod::BrowserKey},
        {L"GeckoMozillaShell", L"", 0x60000, NavigationMethod::BrowserKey},
        {L"geckomozillashell", L"", 0, NavigationMethod::AppCommand}, // substring keeps case
        {L"x NS_AE_WindowClass", L"", 0x60000, NavigationMethod::BrowserKey},
        {L"Afx:400000:b:10011:6:0", L"Welcome - Netscape 6", 0x40007,
         NavigationMethod::FrameCommand},
        {L"Afx:400000:b:10011:6:0", L"Notepad", 0, NavigationMethod::AppCommand},
        {L"Afx:400000:b:10011:6:0", nullptr, 0, NavigationMethod::AppCommand},
        {L"Afx:400000:8:10011", L"Netscape", 0, NavigationMethod::AppCommand},
        {L"HH Parent", L"", 0, NavigationMethod::HelpCommand},
        {L"hh parent", L"", 0, NavigationMethod::HelpCommand},
        {L"HH Parent2", L"", 0, NavigationMethod::AppCommand},
        {L"Notepad", L"Netscape", 0, NavigationMethod::AppCommand},
        {L"", L"", 0, NavigationMethod::AppCommand},
    };
    for (const Case& c : cases) {
        const uint32_t generation = BrowserGenerationOf(c.className, c.title);
        EXPECT_EQ(generation, c.generation) << static_cast<const void*>(c.className);
        EXPECT_EQ(NavigationMethodOf(c.className, generation), c.method);
    }
    EXPECT_EQ(NavigationMethodOf(L"Other", 0x50000), NavigationMethod::BrowserKey);
    EXPECT_EQ(NavigationMethodOf(L"Other", 0x70001), NavigationMethod::BrowserKey);
    EXPECT_EQ(NavigationMethodOf(L"Other", 0x80000), NavigationMethod::FrameCommand);
    EXPECT_EQ(NavigationMethodOf(nullptr, 0), NavigationMethod::AppCommand);
    EXPECT_EQ(BrowserGenerationOf(nullptr, nullptr), 0u);
}

TEST(ActionsLogic, ToolsStartByTheirQuotedPathInTheAgentsFolder) {
    EXPECT_EQ(ToolCommandLine(L"C:\\Program Files\\Orvane\\Gaming Mouse\\", L"tapsmith.exe", L"6"),
              L"\"C:\\Program Files\\Orvane\\Gaming Mouse\\tapsmith.exe\" 6");
    EXPECT_EQ(ToolCommandLine(L"D:\\Tarn\\", L"veerline.exe", L""), L"\"D:\\Tarn\\veerline.exe\"");
}

TEST(ActionsLogic, ButtonKeyNameEndsWithTheButtonNumber) {
    wchar_t name[64];
    ASSERT_TRUE(FormatButtonKeyName(3, name, 64));
    EXPECT_EQ(std::wstring(name), L"Software\\Orvane\\Stilbe\\Settings\\3");
    ASSERT_TRUE(FormatButtonKeyName(10, name, 64));
    EXPECT_EQ(std::wstring(name), L"Software\\Orvane\\Stilbe\\Settings\\10");
    EXPECT_FALSE(FormatButtonKeyName(10, name, 20));
}

std::vector<uint8_t> Utf16(const std::u16string& text, bool terminated) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (terminated) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

TEST(ActionsLogic, RegistryStringsAreStringTypesWithOrWithoutTerminator) {
    constexpr uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7;
    wchar_t out[128];
    std::vector<uint8_t> good = Utf16(u"C:\\pages\\start.html", true);
    ASSERT_TRUE(DecodeRegistryString(kSz, good.data(), good.size(), out, 128));
    EXPECT_EQ(std::wstring(out), L"C:\\pages\\start.html");
    EXPECT_TRUE(DecodeRegistryString(kExpandSz, good.data(), good.size(), out, 128));
    // A stray odd byte after the terminator does not matter.
    good.push_back(0x41);
    EXPECT_TRUE(DecodeRegistryString(kSz, good.data(), good.size(), out, 128));

    for (uint32_t type : {kBinary, kDword, kMultiSz, 0u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(DecodeRegistryString(type, good.data(), good.size(), out, 128)) << type;
        EXPECT_EQ(out[0], 0);
    }
    // Stored without its terminator: the characters up to the value's length.
    std::vector<uint8_t> open = Utf16(u"http://example.invalid", false);
    ASSERT_TRUE(DecodeRegistryString(kSz, open.data(), open.size(), out, 128));
    EXPECT_EQ(std::wstring(out), L"http://example.invalid");
    open.push_back(0x41); // and a stray odd byte at its end
    ASSERT_TRUE(DecodeRegistryString(kSz, open.data(), open.size(), out, 128));
    EXPECT_EQ(std::wstring(out), L"http://example.invalid");
    // Longer than the 255-byte limit: absent, even with room in the caller's buffer.
    const std::vector<uint8_t> longest = Utf16(std::u16string(127, u'a'), false);
    EXPECT_TRUE(DecodeRegistryString(kSz, longest.data(), longest.size(), out, 128));
    const std::vector<uint8_t> tooLong = Utf16(std::u16string(128, u'a'), false);
    EXPECT_FALSE(DecodeRegistryString(kSz, tooLong.data(), tooLong.size(), out, 200));
    EXPECT_EQ(out[0], 0);
    const std::vector<uint8_t> empty = Utf16(u"", true);
    EXPECT_FALSE(DecodeRegistryString(kSz, empty.data(), empty.size(), out, 128));
    EXPECT_FALSE(DecodeRegistryString(kSz, good.data(), 0, out, 128));
    EXPECT_FALSE(DecodeRegistryString(kSz, good.data(), 1, out, 128));
    EXPECT_FALSE(DecodeRegistryString(kSz, nullptr, 10, out, 128));
    // Too long for the caller's buffer: refused rather than cut.
    EXPECT_FALSE(DecodeRegistryString(kSz, good.data(), good.size(), out, 8));
    EXPECT_FALSE(DecodeRegistryString(kSz, good.data(), good.size(), out, 0));
}
} // namespace
