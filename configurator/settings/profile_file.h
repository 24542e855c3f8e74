// Backups of the mouse's onboard memory (.tarnprofiles): the header block and the five profile
// blocks byte-exact as UTF-8 text, one labelled line of hex per 32 bytes, so a backup can be
// read and diffed in any editor. A file is taken only when every check passes; callers touch
// nothing before that.
#pragma once

#include "model/memory_image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr wchar_t kProfileFileExtension[] = L".tarnprofiles";
inline constexpr int kProfileFileFormat = 1;
inline constexpr size_t kFileBytesPerLine = 32;

struct ProfileFileInfo {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string program; // version of the program that wrote the file
    std::string written; // UTF date and time, ISO 8601
};

// The whole file: header lines, 96 data lines, the checksum line; '\n' line ends.
std::string FormatProfileFile(const MemoryImage& image, const ProfileFileInfo& info);

struct ParsedProfileFile {
    bool accepted = false;
    std::wstring problem; // why the file was refused (empty when accepted)
    ProfileFileInfo info;
    MemoryImage image{};
};
// Checks everything before anything is taken: signature, format version, the mouse's ids,
// every block line present in order with 32 bytes, the checksum and nothing after it. Line
// ends may be "\n" or "\r\n" (an editor may have converted them).
ParsedProfileFile ParseProfileFile(std::string_view text, uint16_t vendorId, uint16_t productId);

// CRC-32 (the zlib polynomial) of the file's lines before the checksum line, each ended by "\n".
uint32_t ProfileFileChecksum(std::string_view content);

// "header", "profile 1" .. "profile 5".
std::wstring ImageBlockName(int block);

struct BlockDifference {
    int block = 0;
    size_t firstOffset = 0; // first byte that differs
    size_t byteCount = 0;   // bytes that differ
};
std::vector<BlockDifference> CompareImages(const MemoryImage& expected, const MemoryImage& actual);
// One line per differing block: "profile 3: 12 bytes differ, the first at offset 0x0040".
std::wstring DescribeDifferences(const std::vector<BlockDifference>& differences);

// One profile of the library (.tarnprofile): a profile block, its 8-byte record of the
// header block and the name the user gave it, as checked text like a backup. It can be loaded
// into any of the five profiles.
inline constexpr wchar_t kLibraryProfileExtension[] = L".tarnprofile";
inline constexpr int kLibraryProfileFormat = 1;
inline constexpr size_t kLibraryNameMaxCount = 64; // characters, whatever the script
inline constexpr size_t kProfileSettingsLength = 8;

struct LibraryProfile {
    std::string name; // UTF-8
    MemoryBlock block{};
    std::array<uint8_t, kProfileSettingsLength> settings{};
};

// Header lines, the name, the record, 16 data lines, the checksum line; '\n' line ends.
std::string FormatLibraryProfile(const LibraryProfile& profile, const ProfileFileInfo& info);

struct ParsedLibraryProfile {
    bool accepted = false;
    std::wstring problem; // why the file was refused (empty when accepted)
    ProfileFileInfo info;
    LibraryProfile profile;
};
// Checked as strictly as a backup, and the name too: valid UTF-8, 1 to 64 characters, no
// control characters.
ParsedLibraryProfile ParseLibraryProfile(std::string_view text, uint16_t vendorId,
                                         uint16_t productId);
// Empty when `name` (UTF-8) can be a profile's name, else why not.
std::wstring LibraryNameProblem(std::string_view name);
// True when the file's first line says it is a backup of the whole memory.
bool IsBackupFile(std::string_view text);
// True when the file's first line says it is one profile (.tarnprofile).
bool IsLibraryProfileFile(std::string_view text);

// Profile `profile` (0..4) of a memory image, under `name`.
LibraryProfile TakeLibraryProfile(const MemoryImage& image, int profile, std::string name);
// What loading into profile `slot` (0..4) writes: the file's block with the profile bits of
// every record's slot byte set to `slot`, and `header` with only the slot's record replaced
// (its first byte, the profile's own index, set to `slot`).
void PlaceLibraryProfile(const LibraryProfile& profile, int slot, ProfileBlock& block,
                         HeaderBlock& header);

// UTF-16 (or UTF-32 where wchar_t is 32 bits) and UTF-8, for names. Unpaired surrogates
// become U+FFFD; FromUtf8 expects text that LibraryNameProblem accepted.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
