// Registry string values as the programs read them: UTF-16 little-endian bytes, stored with
// or without a terminating zero (both are legal and common). Windows-free, and the one
// decoder of the suite: TarnDesk, TarnAgent and TarnWake each compile it from common/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The characters of `length` bytes of value data, up to the first terminator or the end of
// the data, whichever comes first; an odd trailing byte is ignored. Reads no byte beyond
// `length`, so the caller passes the size the registry reported, never more than its buffer.
std::wstring RegistryStringText(const uint8_t* data, size_t length);

// The text of a string value (REG_SZ or REG_EXPAND_SZ) of at most `byteLimit` bytes, as
// RegistryStringText reads it. Any other type, a longer value or no data: absent (nullopt).
std::optional<std::wstring> RegistryStringValue(uint32_t type, const uint8_t* data, size_t length,
                                                size_t byteLimit);
