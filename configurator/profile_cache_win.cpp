// Registry glue of the profile cache.
#include "profile_cache.h"

#include "device_channel.h"
#include "profile_record.h"

#include <windows.h>

#include <cstring>

namespace {

LONG OpenCacheKey(int number, HKEY* key) {
    const std::wstring path = CacheKeyPath(number);
    return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, key, nullptr);
}

} // namespace

int32_t StoreCachedBlock(int number) {
    HKEY key = nullptr;
    const LONG opened = OpenCacheKey(number, &key);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    const uint8_t* block = number == kHeaderCacheNumber ? headerBlock : profileBlock;
    RegSetValueExW(key, CacheValueName(number), 0, REG_BINARY, block,
                   static_cast<DWORD>(kBlockLength));
    return RegCloseKey(key);
}

int32_t LoadCachedProfile() {
    const int number = currentProfile;
    // Cleared before the key is opened so that every failure leaves an all-zero block.
    std::memset(profileBlock, 0, kBlockLength);
    HKEY key = nullptr;
    const LONG opened = OpenCacheKey(number, &key);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    DWORD size = static_cast<DWORD>(kBlockLength);
    const LONG queried =
        RegQueryValueExW(key, kProfileValueName, nullptr, nullptr, profileBlock, &size);
    if (queried != ERROR_SUCCESS || size > kBlockLength) {
        // A value longer than the block leaves the buffer's contents undefined.
        std::memset(profileBlock, 0, kBlockLength);
    }
    RegCloseKey(key);
    return queried;
}

bool LoadCachedHeader() {
    HKEY key = nullptr;
    const std::wstring path = CacheKeyPath(kHeaderCacheNumber);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    uint8_t cached[kBlockLength];
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(kBlockLength);
    const LONG queried = RegQueryValueExW(key, kHeaderValueName, nullptr, &type, cached, &size);
    RegCloseKey(key);
    if (queried != ERROR_SUCCESS || type != REG_BINARY || size != kBlockLength) {
        return false;
    }
    std::memcpy(headerBlock, cached, kBlockLength);
    return true;
}
