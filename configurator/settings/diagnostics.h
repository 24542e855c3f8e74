// The short plain-text report a user can send when something does not work: which programs
// and versions are installed, the system, language, mouse and filter devices, a summary of
// the cache (which blocks, their CRCs, never their content), the program-profile rules and
// the last errors TarnDesk recorded. It names no personal path: the install folder is the
// only path in it, and crash dumps are named below %LOCALAPPDATA%. Windows-free; the facts
// are gathered by diagnostics_win.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// HKCU key and REG_MULTI_SZ value of the errors TarnDesk recorded, newest last.
inline constexpr wchar_t kDiagnosticsKeyPath[] = L"Software\\Orvane\\Gaming\\Diagnostics";
inline constexpr wchar_t kLastErrorsValueName[] = L"LastErrors";
inline constexpr size_t kRecordedErrorCount = 5;

struct ProgramFacts {
    std::wstring file;                              // "TarnDesk.exe"
    std::optional<std::array<uint16_t, 4>> version; // nothing: not installed or no version
};

struct CacheBlockFacts {
    int number = 0; // 0..4 profiles, 255 the header
    bool present = false;
    uint32_t crc = 0; // CRC-32 of the 512 bytes when present
};

struct DiagnosticsFacts {
    std::wstring written; // local time, "2026-12-08 15:40"
    std::wstring installFolder;
    std::vector<ProgramFacts> programs;
    std::wstring windows; // "10.0.19045"
    std::wstring language;
    bool languageFilePresent = false;
    bool mousePresent = false;
    std::vector<std::pair<std::wstring, bool>> filterDevices;
    std::optional<int32_t> activeProfile; // as the mouse answers; nothing without an answer
    std::vector<CacheBlockFacts> cache;
    bool programProfilesOn = false;
    size_t programRules = 0;
    size_t skippedRules = 0;
    std::vector<std::wstring> lastErrors;
    std::vector<std::wstring> crashDumps; // file names
};

std::wstring FormatDiagnostics(const DiagnosticsFacts& facts);

// The file version of a version resource (VS_VERSION_INFO) as the bytes hold it: the fixed
// part that follows its signature 0xFEEF04BD; nothing when there is none.
std::optional<std::array<uint16_t, 4>> FixedFileVersion(const uint8_t* data, size_t length);

// CRC-32, the zlib polynomial, as backup files use it.
uint32_t Crc32(const uint8_t* data, size_t length);

// The recorded errors after `entry`: appended, only the newest kRecordedErrorCount kept.
std::vector<std::wstring> WithRecordedError(std::vector<std::wstring> errors, std::wstring entry);
