#include "device_list.h"

#include "registry_string.h"
#include "text_search.h"

namespace tarnwake {

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

std::wstring StartFileOf(std::wstring_view command) {
    if (command.size() > 2 && command.front() == L'"' && command.back() == L'"') {
        const std::wstring_view name = command.substr(1, command.size() - 2);
        if (name.find(L'"') == std::wstring_view::npos) {
            return std::wstring(name);
        }
    }
    return std::wstring(command);
}

} // namespace tarnwake
