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
