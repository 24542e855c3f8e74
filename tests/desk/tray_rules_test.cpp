// Which device arrivals make the tray program re-read the mouse.
#include "app/arrival_rule.h"
#include "app/open_request.h"

#include "device_arrival.h"
#include "text_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(ArrivalMatch, OnlyTheConfigurationInterfaceInAnyCase) {
    const std::wstring pattern = ArrivalPattern(L"F1D0", L"0084");
    EXPECT_EQ(pattern, L"Vid_F1D0&Pid_0084&MI_02&Col01");
    const wchar_t wineName[] =
        L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    EXPECT_TRUE(ContainsIgnoringCase(wineName, pattern));
    EXPECT_TRUE(ContainsIgnoringCase(L"\\\\?\\HID#VID_F1D0&PID_0084&MI_02&COL01#7&1", pattern));
    EXPECT_FALSE(ContainsIgnoringCase(L"\\\\?\\hid#vid_f1d0&pid_0084#0000", pattern));
    EXPECT_FALSE(ContainsIgnoringCase(L"\\\\?\\hid#vid_f1d0&pid_0084&mi_01&col01#0", pattern));
    EXPECT_FALSE(ContainsIgnoringCase(L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col02#0", pattern));
    EXPECT_FALSE(ContainsIgnoringCase(L"\\\\?\\hid#vid_f1d0&pid_0085&mi_02&col01#0", pattern));
    EXPECT_FALSE(ContainsIgnoringCase(L"", pattern));
    EXPECT_FALSE(ContainsIgnoringCase(L"Vid_F1D0&Pid_0084&MI_02&Col0", pattern));
}

TEST(ArrivalMatch, NameNeverReadPastTheRecord) {
    // 12-byte header, name from offset 28 (as in DEV_BROADCAST_DEVICEINTERFACE_W).
    wchar_t name[8];
    std::wmemcpy(name, L"ABCDEFGH", 8); // no terminator anywhere
    EXPECT_EQ(BroadcastInterfaceName(name, 28 + 8 * sizeof(wchar_t), 28), L"ABCDEFGH");
    EXPECT_EQ(BroadcastInterfaceName(name, 28 + 3 * sizeof(wchar_t), 28), L"ABC");
    EXPECT_EQ(BroadcastInterfaceName(name, 28 + 3 * sizeof(wchar_t) + 1, 28), L"ABC");
    EXPECT_EQ(BroadcastInterfaceName(name, 28, 28), L"");
    EXPECT_EQ(BroadcastInterfaceName(name, 12, 28), L"");
    EXPECT_EQ(BroadcastInterfaceName(nullptr, 100, 28), L"");
    name[2] = L'\0';
    EXPECT_EQ(BroadcastInterfaceName(name, 28 + 8 * sizeof(wchar_t), 28), L"AB");
}

// A path handed to the running tray comes from whatever sent WM_COPYDATA: only our tag with
// whole UTF-16 units, none of them NUL, within the system's path length is taken.
TEST(OpenRequest, OnlyAWellFormedPathIsTaken) {
    const uint16_t path[] = {'C', ':', '\\', 0x00FC, 0xD83C, 0xDFAF}; // surrogates stay as sent
    std::wstring taken;
    ASSERT_TRUE(ReadOpenRequest(kOpenFileTag, path, sizeof path, &taken));
    ASSERT_EQ(taken.size(), 6u);
    EXPECT_EQ(taken[3], wchar_t(0x00FC));
    EXPECT_EQ(taken[5], wchar_t(0xDFAF));
    // Unaligned data is read as sent; an odd length never.
    unsigned char unaligned[1 + sizeof path];
    std::memcpy(unaligned + 1, path, sizeof path);
    EXPECT_TRUE(ReadOpenRequest(kOpenFileTag, unaligned + 1, sizeof path, &taken));
    EXPECT_FALSE(ReadOpenRequest(kOpenFileTag, path, sizeof path - 1, &taken));
    EXPECT_FALSE(ReadOpenRequest(kOpenFileTag + 1, path, sizeof path, &taken));
    EXPECT_FALSE(ReadOpenRequest(kOpenFileTag, path, 0, &taken));
    EXPECT_FALSE(ReadOpenRequest(kOpenFileTag, nullptr, sizeof path, &taken));
    const uint16_t terminated[] = {'a', 'b', 0};
    EXPECT_FALSE(ReadOpenRequest(kOpenFileTag, terminated, sizeof terminated, &taken));
    const uint16_t embedded[] = {'a', 0, 'b'};
    EXPECT_FALSE(ReadOpenRequest(kOpenFileTag, embedded, sizeof embedded, &taken));
    const std::vector<uint16_t> longest(kOpenPathMaxCount, 'x');
    EXPECT_TRUE(ReadOpenRequest(kOpenFileTag, longest.data(), 2 * longest.size(), &taken));
    EXPECT_EQ(taken.size(), kOpenPathMaxCount);
    const std::vector<uint16_t> tooLong(kOpenPathMaxCount + 1, 'x');
    EXPECT_FALSE(ReadOpenRequest(kOpenFileTag, tooLong.data(), 2 * tooLong.size(), &taken));
    EXPECT_EQ(taken.size(), kOpenPathMaxCount) << "a refusal changed the path";
}
