#include "device_arrival.h"

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
