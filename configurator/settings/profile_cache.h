// The per-user copy of the mouse's memory in the registry: five profile blocks ("pData"
// under keys 0..4) and the header block ("pHeader" under key 255), 512 raw bytes each.
#pragma once

#include "model/memory_image.h"

#include <cstdint>
#include <optional>
#include <string>

// HKEY_CURRENT_USER base path of the cache; also the key that holds "language".
inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Orvane\\Gaming\\Settings";
inline constexpr int kHeaderCacheNumber = 255;
inline constexpr wchar_t kProfileValueName[] = L"pData";
inline constexpr wchar_t kHeaderValueName[] = L"pHeader";

// "%s\%d": the subkey of block `number` below the base path.
std::wstring CacheKeyPath(int number);
// "pHeader" for 255, "pData" for every other number.
const wchar_t* CacheValueName(int number);

// Stores the 512-byte `block` as "pHeader" for 255 (a header block) and as "pData" under key
// `number` otherwise (a profile block). Returns the status of opening the key or of the write
// (non-zero: nothing written; a value the write could not replace is removed, so it never
// passes for the mouse's content), else of closing the key.
int32_t StoreCachedBlock(int number, const uint8_t* block);
// Loads "pData" of key `profile` into the 512-byte `block`. A value of at most 512 bytes of
// any type fills the start of the block; a missing or longer value, or a key that cannot be
// opened, leaves 512 zero bytes. Creates the key when it is missing.
int32_t LoadCachedProfile(int profile, uint8_t* block);
// The same for the typed blocks.
int32_t StoreCachedBlock(int profile, const ProfileBlock& block);
int32_t StoreCachedHeader(const HeaderBlock& block);
ProfileBlock LoadCachedProfile(int profile);
// Block `number` (0..4, 255) when the cache holds exactly 512 bytes of REG_BINARY for it.
std::optional<MemoryBlock> LoadWholeCachedBlock(int number);
// The cached "pHeader" when it holds exactly 512 bytes of REG_BINARY; nothing otherwise.
std::optional<HeaderBlock> LoadCachedHeader();
