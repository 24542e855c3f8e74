#include "registry_string.h"

namespace {

constexpr uint32_t kRegString = 1;       // REG_SZ
constexpr uint32_t kRegExpandString = 2; // REG_EXPAND_SZ

} // namespace

std::wstring RegistryStringText(const uint8_t* data, size_t length) {
    std::wstring text;
    if (data == nullptr) {
        return text;
    }
    for (size_t at = 0; at + 1 < length; at += 2) {
        const auto unit = static_cast<wchar_t>(data[at] | (data[at + 1] << 8));
        if (unit == L'\0') {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

std::optional<std::wstring> RegistryStringValue(uint32_t type, const uint8_t* data, size_t length,
                                                size_t byteLimit) {
    if ((type != kRegString && type != kRegExpandString) || data == nullptr || length > byteLimit) {
        return std::nullopt;
    }
    return RegistryStringText(data, length);
}
