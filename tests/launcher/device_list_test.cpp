// The launcher's matching rules, natively under the sanitizers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device_list.h"

using namespace tarnwake;

namespace {

const std::wstring kConfigPath = L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#7&2a3b4c5d&0&0000#"
                                 L"{4d1e55b2-f16f-11cf-88cb-001111000030}";

} // namespace

TEST(DeviceList, IdPartNeedsCapitalHidAndABackslash) {
    EXPECT_EQ(DeviceIdPart(L"HID\\Vid_F1D0&Pid_0084"), L"Vid_F1D0&Pid_0084");
    // Only the first backslash separates.
    EXPECT_EQ(DeviceIdPart(L"HID\\A\\B"), L"A\\B");
    EXPECT_EQ(DeviceIdPart(L"USB\\HID_Thing"), L"HID_Thing");
    EXPECT_TRUE(DeviceIdPart(L"hid\\Vid_F1D0&Pid_0084").empty());
    EXPECT_TRUE(DeviceIdPart(L"Hid\\Vid_F1D0&Pid_0084").empty());
    EXPECT_TRUE(DeviceIdPart(L"HID_Vid_F1D0&Pid_0084").empty()) << "no backslash: no id part";
    EXPECT_TRUE(DeviceIdPart(L"HID\\").empty());
    EXPECT_TRUE(DeviceIdPart(L"").empty());
}

TEST(DeviceList, FieldMatchesPathIgnoringCase) {
    EXPECT_TRUE(FieldMatchesDevicePath(L"HID\\Vid_F1D0&Pid_0084&MI_02&Col01", kConfigPath));
    EXPECT_TRUE(FieldMatchesDevicePath(L"HID\\VID_F1D0&PID_0084&MI_02&COL01", kConfigPath));
    // Vendor and product alone match every interface of the mouse.
    EXPECT_TRUE(FieldMatchesDevicePath(L"HID\\Vid_F1D0&Pid_0084", kConfigPath));
    EXPECT_TRUE(FieldMatchesDevicePath(L"HID\\Vid_F1D0&Pid_0084",
                                       L"\\\\?\\HID#VID_F1D0&PID_0084&MI_00#1&0#{x}"));
    EXPECT_FALSE(FieldMatchesDevicePath(L"HID\\Vid_F1D0&Pid_0084&MI_00", kConfigPath));
    EXPECT_FALSE(FieldMatchesDevicePath(L"HID\\Vid_F1D0&Pid_0085", kConfigPath));
    EXPECT_FALSE(FieldMatchesDevicePath(L"hid\\Vid_F1D0&Pid_0084", kConfigPath));
    // An empty id part would otherwise match every HID arrival.
    EXPECT_FALSE(FieldMatchesDevicePath(L"HID\\", kConfigPath));
    EXPECT_FALSE(FieldMatchesDevicePath(L"HID", kConfigPath));
    EXPECT_FALSE(FieldMatchesDevicePath(L"HID\\Vid_F1D0&Pid_0084", L""));
}

TEST(DeviceList, CaseFoldTouchesOnlyAsciiLetters) {
    EXPECT_TRUE(ContainsIgnoringCase(L"abcXYZ", L"CxY"));
    EXPECT_TRUE(ContainsIgnoringCase(L"abc", L"abc"));
    EXPECT_FALSE(ContainsIgnoringCase(L"ab", L"abc"));
    EXPECT_FALSE(ContainsIgnoringCase(L"abc", L""));
    // '@' and '`' sit just beside the letter ranges.
    EXPECT_FALSE(ContainsIgnoringCase(L"@", L"`"));
    EXPECT_FALSE(ContainsIgnoringCase(L"[", L"{"));
}

TEST(DeviceList, DevicePathStopsAtTerminatorOrBound) {
    const wchar_t terminated[] = L"abc\0def";
    EXPECT_EQ(BoundedDevicePath(terminated, 8), L"abc");
    // No terminator within the bound: exactly the bound, nothing beyond (ASan checks the
    // heap block is not read past).
    std::vector<wchar_t> unterminated(5, L'x');
    EXPECT_EQ(BoundedDevicePath(unterminated.data(), unterminated.size()), L"xxxxx");
    EXPECT_TRUE(BoundedDevicePath(unterminated.data(), 0).empty());
    EXPECT_TRUE(BoundedDevicePath(nullptr, 100).empty());

    std::vector<wchar_t> longPath(100000, L'a');
    const std::wstring id = L"Vid_F1D0&Pid_0084&MI_02&Col01";
    std::copy(id.begin(), id.end(), longPath.end() - static_cast<std::ptrdiff_t>(id.size()));
    EXPECT_TRUE(
        FieldMatchesDevicePath(L"HID\\" + id, BoundedDevicePath(longPath.data(), longPath.size())));
}

TEST(DeviceList, InfPathBesideProgram) {
    EXPECT_EQ(InfPathBeside(L"C:\\Program Files\\Orvane\\TarnWake.exe"),
              L"C:\\Program Files\\Orvane\\TarnMsFlt.inf");
    EXPECT_EQ(InfPathBeside(L"C:\\TarnWake.exe"), L"C:\\TarnMsFlt.inf");
    EXPECT_EQ(InfPathBeside(L"TarnWake.exe"), L"TarnMsFlt.inf");
    EXPECT_EQ(InfPathBeside(L"\\\\server\\share\\x\\TarnWake.exe"),
              L"\\\\server\\share\\x\\TarnMsFlt.inf");
}

TEST(DeviceList, StartCommandFromRegistryBytes) {
    auto bytes = [](const std::u16string& text, bool terminator) {
        std::vector<std::uint8_t> out;
        for (char16_t c : text) {
            out.push_back(static_cast<std::uint8_t>(c & 0xFF));
            out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        if (terminator) {
            out.push_back(0);
            out.push_back(0);
        }
        return out;
    };
    auto quoted = bytes(u"\"C:\\Tarn\\TarnAgent.exe\" /x", true);
    EXPECT_EQ(StartCommandFromValue(quoted.data(), quoted.size()),
              L"\"C:\\Tarn\\TarnAgent.exe\" /x");
    // Stored without a terminator, or with an odd byte count: the whole characters only.
    auto bare = bytes(u"C:\\a.exe", false);
    EXPECT_EQ(StartCommandFromValue(bare.data(), bare.size()), L"C:\\a.exe");
    EXPECT_EQ(StartCommandFromValue(bare.data(), bare.size() - 1), L"C:\\a.ex");
    auto wide = bytes(u"\u00e9\u4e2d", true);
    EXPECT_EQ(StartCommandFromValue(wide.data(), wide.size()), L"\u00e9\u4e2d");
    EXPECT_TRUE(StartCommandFromValue(nullptr, 10).empty());
    const std::uint8_t one = 'A';
    EXPECT_TRUE(StartCommandFromValue(&one, 1).empty());
}

TEST(StartFile, OneQuotedNameLosesItsQuotesAnyOtherCommandStaysAsItIs) {
    EXPECT_EQ(StartFileOf(L"\"C:\\Program Files\\Tarn\\TarnAgent.exe\""),
              L"C:\\Program Files\\Tarn\\TarnAgent.exe");
    EXPECT_EQ(StartFileOf(L"C:\\Tarn Agent.exe"), L"C:\\Tarn Agent.exe");
    // With arguments, or quotes that do not enclose the whole, it is one file name as before.
    EXPECT_EQ(StartFileOf(L"\"C:\\a.exe\" /x"), L"\"C:\\a.exe\" /x");
    EXPECT_EQ(StartFileOf(L"\"C:\\a\" \"b.exe\""), L"\"C:\\a\" \"b.exe\"");
    EXPECT_EQ(StartFileOf(L"\"\""), L"\"\"");
    EXPECT_EQ(StartFileOf(L"\""), L"\"");
    EXPECT_EQ(StartFileOf(L""), L"");
}
