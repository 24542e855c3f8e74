// What the programs read from a device-interface arrival broadcast, Windows-free so the
// bounds can be fuzzed.
#pragma once

#include <cstddef>
#include <string_view>

// The interface name carried by a device-interface broadcast of `size` bytes whose name
// field starts `nameOffset` bytes in: it ends at its terminator or at the end of the record,
// whichever comes first, so a malformed record is never read past its size.
std::wstring_view BroadcastInterfaceName(const wchar_t* name, size_t size, size_t nameOffset);
