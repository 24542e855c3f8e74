#include "tray_rules.h"

#include <algorithm>

namespace {

wchar_t FoldCase(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

} // namespace

std::wstring ArrivalPattern(std::wstring_view vendorId, std::wstring_view productId) {
    std::wstring pattern = L"Vid_";
    pattern += vendorId;
    pattern += L"&Pid_";
    pattern += productId;
    pattern += L"&MI_02&Col01";
    return pattern;
}

bool ContainsIgnoringCase(std::wstring_view name, std::wstring_view pattern) {
    const auto match = std::search(name.begin(), name.end(), pattern.begin(), pattern.end(),
                                   [](wchar_t a, wchar_t b) { return FoldCase(a) == FoldCase(b); });
    return match != name.end() || pattern.empty();
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
