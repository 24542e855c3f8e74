#include "profile_cache.h"

std::wstring CacheKeyPath(int number) {
    std::wstring path(kSettingsKeyPath);
    path += L'\\';
    path += std::to_wstring(number);
    return path;
}

const wchar_t* CacheValueName(int number) {
    return number == kHeaderCacheNumber ? kHeaderValueName : kProfileValueName;
}
