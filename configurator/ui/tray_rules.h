// Windows-free rules of the tray program: which device arrival triggers a re-read of the
// mouse's memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text_search.h" // ContainsIgnoringCase: an arrival is matched with it

// "Vid_%s&Pid_%s&MI_02&Col01": the mouse's configuration interface.
std::wstring ArrivalPattern(std::wstring_view vendorId, std::wstring_view productId);

// The interface name carried by a device-interface broadcast of `size` bytes whose name
// field starts `nameOffset` bytes in: it ends at its terminator or at the end of the record,
// whichever comes first, so a malformed record is never read past its size.
std::wstring_view BroadcastInterfaceName(const wchar_t* name, size_t size, size_t nameOffset);
