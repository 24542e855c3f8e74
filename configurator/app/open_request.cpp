#include "open_request.h"

#include <cstring>
#include <utility>

bool ReadOpenRequest(uint64_t tag, const void* data, size_t length, std::wstring* path) {
    if (tag != kOpenFileTag || data == nullptr || length == 0 || length % 2 != 0 ||
        length / 2 > kOpenPathMaxCount)
        return false;
    std::wstring units(length / 2, L'\0');
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < units.size(); ++i) {
        uint16_t unit = 0;
        std::memcpy(&unit, bytes + 2 * i, sizeof unit); // the sender's buffer need not be aligned
        if (unit == 0)
            return false;
        units[i] = static_cast<wchar_t>(unit);
    }
    *path = std::move(units);
    return true;
}
