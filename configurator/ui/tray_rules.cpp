#include "tray_rules.h"

std::wstring ArrivalPattern(std::wstring_view vendorId, std::wstring_view productId) {
    std::wstring pattern = L"Vid_";
    pattern += vendorId;
    pattern += L"&Pid_";
    pattern += productId;
    pattern += L"&MI_02&Col01";
    return pattern;
}

std::wstring_view BroadcastInterfaceName(const wchar_t* name, size_t size, size_t nameOffset) {
    if (name == nullptr || size <= nameOffset) {
        return {};
    }
    const size_t capacity = (size - nameOffset) / sizeof(wchar_t);
    size_t length = 0;
    while (length < capacity && name[length] != L'\0') {
        ++length;
    }
    return std::wstring_view(name, length);
}
