// The profile cache against the real registry.
#include "settings/profile_cache.h"

#include "desk_test_support.h"
#include "model/memory_image.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return bytes;
}

class ProfileCache : public ::testing::Test {
  protected:
    void SetUp() override { DeleteSettingsTree(); }

    std::vector<uint8_t> ProfileBlockBytes() const {
        return std::vector<uint8_t>(profileBlock.begin(), profileBlock.end());
    }

    // The blocks as the program holds them: the shown profile and the header.
    MemoryBlock profileBlock{};
    MemoryBlock headerBlock{};
};

} // namespace

TEST_F(ProfileCache, StoresRawBlocksUnderTheirKeys) {
    const auto profile = Pattern(kBlockLength, 3);
    const auto header = Pattern(kBlockLength, 200);
    std::memcpy(profileBlock.data(), profile.data(), kBlockLength);
    std::memcpy(headerBlock.data(), header.data(), kBlockLength);
    for (int number : {0, 1, 2, 3, 4, kHeaderCacheNumber}) {
        EXPECT_EQ(StoreCachedBlock(number, number == kHeaderCacheNumber ? headerBlock.data()
                                                                        : profileBlock.data()),
                  ERROR_SUCCESS);
    }
    for (int number = 0; number < kProfileCount; ++number) {
        DWORD type = REG_NONE;
        EXPECT_EQ(ReadValue(CacheKeyPath(number), L"pData", &type), profile) << number;
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        bool exists = true;
        ReadValue(CacheKeyPath(number), L"pHeader", nullptr, &exists);
        EXPECT_FALSE(exists);
    }
    DWORD type = REG_NONE;
    EXPECT_EQ(ReadValue(L"Software\\Orvane\\Gaming\\Settings\\255", L"pHeader", &type), header);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    bool exists = true;
    ReadValue(CacheKeyPath(kHeaderCacheNumber), L"pData", nullptr, &exists);
    EXPECT_FALSE(exists);
}

TEST_F(ProfileCache, NeverStoredKeyIsCreatedAndLoadsZeros) {
    const int currentProfile = 3;
    profileBlock.fill(0xAA);
    ASSERT_FALSE(KeyExists(CacheKeyPath(3)));
    LoadCachedProfile(currentProfile, profileBlock.data());
    EXPECT_TRUE(KeyExists(CacheKeyPath(3)));
    EXPECT_EQ(ProfileBlockBytes(), std::vector<uint8_t>(kBlockLength, 0));
}

TEST_F(ProfileCache, ValuesOfAnyTypeUpTo512BytesLoadRawLongerOnesAsZeros) {
    const DWORD types[] = {REG_BINARY, REG_SZ,    REG_EXPAND_SZ, REG_MULTI_SZ,
                           REG_DWORD,  REG_QWORD, REG_NONE,      REG_LINK};
    const size_t sizes[] = {0, 1, 100, 511, 512, 513, 4096, 65536};
    const int currentProfile = 1;
    for (DWORD type : types) {
        for (size_t size : sizes) {
            const auto value = Pattern(size, static_cast<uint8_t>(size + type));
            WriteValue(CacheKeyPath(1), L"pData", type, value);
            profileBlock.fill(0xCC);
            LoadCachedProfile(currentProfile, profileBlock.data());
            std::vector<uint8_t> expected(kBlockLength, 0);
            if (size <= kBlockLength) {
                std::copy(value.begin(), value.end(), expected.begin());
            }
            EXPECT_EQ(ProfileBlockBytes(), expected) << "type " << type << " size " << size;
        }
    }
}

TEST_F(ProfileCache, MissingValueInExistingKeyLoadsZeros) {
    WriteValue(CacheKeyPath(4), L"other", REG_BINARY, Pattern(16, 1));
    const int currentProfile = 4;
    profileBlock.fill(0x11);
    LoadCachedProfile(currentProfile, profileBlock.data());
    EXPECT_EQ(ProfileBlockBytes(), std::vector<uint8_t>(kBlockLength, 0));
}
