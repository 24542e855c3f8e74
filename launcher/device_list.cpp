#include "device_list.h"

#include "registry_string.h"

namespace tarnwake {

namespace {

wchar_t FoldAscii(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

} // namespace

std::wstring_view DeviceIdPart(std::wstring_view field) {
    if (field.find(L"HID") == std::wstring_view::npos) {
        return {};
    }
    const std::size_t slash = field.find(L'\\');
    if (slash == std::wstring_view::npos) {
        return {};
    }
    return field.substr(slash + 1);
}

bool ContainsIgnoringCase(std::wstring_view haystack, std::wstring_view needle) {
    if (needle.empty() || needle.size() > haystack.size()) {
        return false;
    }
    const std::size_t last = haystack.size() - needle.size();
    for (std::size_t start = 0; start <= last; ++start) {
        std::size_t i = 0;
        while (i < needle.size() && FoldAscii(haystack[start + i]) == FoldAscii(needle[i])) {
            ++i;
        }
        if (i == needle.size()) {
            return true;
        }
    }
    return false;
}

bool FieldMatchesDevicePath(std::wstring_view field, std::wstring_view devicePath) {
    return ContainsIgnoringCase(devicePath, DeviceIdPart(field));
}

std::wstring_view BoundedDevicePath(const wchar_t* name, std::size_t maxChars) {
    if (name == nullptr) {
        return {};
    }
    std::size_t length = 0;
    while (length < maxChars && name[length] != L'\0') {
        ++length;
    }
    return {name, length};
}

std::wstring InfPathBeside(std::wstring_view modulePath) {
    const std::size_t slash = modulePath.rfind(L'\\');
    if (slash == std::wstring_view::npos) {
        return kInfFileName;
    }
    std::wstring path(modulePath.substr(0, slash));
    path += L'\\';
    path += kInfFileName;
    return path;
}

std::wstring StartCommandFromValue(const std::uint8_t* data, std::size_t size) {
    return RegistryStringText(data, size);
}

} // namespace tarnwake
