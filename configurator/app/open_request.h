// A file handed to the running tray program by a later start ("/open FILE"): the path travels
// as WM_COPYDATA, which any program on the desktop can send, so it is checked before use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// WM_COPYDATA's dwData for a file to open; other tags are someone else's.
inline constexpr uint64_t kOpenFileTag = 0x4E45504F4B534454; // "TDSKOPEN"
// The longest path the system's wide functions take, in UTF-16 units.
inline constexpr size_t kOpenPathMaxCount = 32767;

// The path of an open request: `tag` is ours and `data` (`length` bytes) holds 1 to
// kOpenPathMaxCount UTF-16 units, no terminator and no other NUL. False for anything else.
bool ReadOpenRequest(uint64_t tag, const void* data, size_t length, std::wstring* path);
