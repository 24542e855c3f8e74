// Registry glue of the profile cache.
#include "profile_cache.h"

#include "handle_owners_win.h"

#include <windows.h>

#include <cstring>

namespace {

LONG OpenCacheKey(int number, HKEY* key) {
    const std::wstring path = CacheKeyPath(number);
    return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, key, nullptr);
}

} // namespace

int32_t StoreCachedBlock(int number, const uint8_t* block) {
    UniqueKey key;
    const LONG opened = OpenCacheKey(number, key.Put());
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    const LONG set = RegSetValueExW(key.Get(), CacheValueName(number), 0, REG_BINARY, block,
                                    static_cast<DWORD>(kBlockLength));
    if (set != ERROR_SUCCESS) {
        // What the value held before is no longer what the mouse holds: it must not pass for
        // the last good copy.
        RegDeleteValueW(key.Get(), CacheValueName(number));
        return set;
    }
    // Closed by hand: the close's status is what the store reports.
    return RegCloseKey(key.Release());
}

int32_t LoadCachedProfile(int profile, uint8_t* block) {
    // Cleared before the key is opened so that every failure leaves an all-zero block.
    std::memset(block, 0, kBlockLength);
    UniqueKey key;
    const LONG opened = OpenCacheKey(profile, key.Put());
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    DWORD size = static_cast<DWORD>(kBlockLength);
    const LONG queried =
        RegQueryValueExW(key.Get(), kProfileValueName, nullptr, nullptr, block, &size);
    if (queried != ERROR_SUCCESS || size > kBlockLength) {
        // A value longer than the block leaves the buffer's contents undefined.
        std::memset(block, 0, kBlockLength);
    }
    return queried;
}

int32_t StoreCachedBlock(int profile, const ProfileBlock& block) {
    return StoreCachedBlock(profile, block.data());
}

int32_t StoreCachedHeader(const HeaderBlock& block) {
    return StoreCachedBlock(kHeaderCacheNumber, block.data());
}

ProfileBlock LoadCachedProfile(int profile) {
    ProfileBlock block;
    LoadCachedProfile(profile, block.data());
    return block;
}

std::optional<MemoryBlock> LoadWholeCachedBlock(int number) {
    UniqueKey key;
    const std::wstring path = CacheKeyPath(number);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.Put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    MemoryBlock cached{};
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(kBlockLength);
    const LONG queried =
        RegQueryValueExW(key.Get(), CacheValueName(number), nullptr, &type, cached.data(), &size);
    if (queried != ERROR_SUCCESS || type != REG_BINARY || size != kBlockLength) {
        return std::nullopt;
    }
    return cached;
}

std::optional<HeaderBlock> LoadCachedHeader() {
    if (const std::optional<MemoryBlock> cached = LoadWholeCachedBlock(kHeaderCacheNumber)) {
        return HeaderBlock{*cached};
    }
    return std::nullopt;
}
