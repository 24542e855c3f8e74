// Crash dumps of the three programs: where they lie, how they are named and which are kept.
// Windows-free; the exception filter that writes them is crash_dumps_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Under the user's local application data; the diagnostics report names it this way, so no
// user name appears in it.
inline constexpr wchar_t kCrashDumpSubfolder[] = L"Orvane\\Gaming Mouse\\CrashDumps";
inline constexpr wchar_t kCrashDumpFolderShown[] =
    L"%LOCALAPPDATA%\\Orvane\\Gaming Mouse\\CrashDumps";
inline constexpr wchar_t kCrashDumpExtension[] = L".dmp";
// Dumps kept per program; the oldest go when a new one is written.
inline constexpr size_t kCrashDumpsKept = 5;
// HKCU: one value per program that crashed since it last started, holding the dump's path.
inline constexpr wchar_t kCrashNoticeKey[] = L"Software\\Orvane\\Gaming\\CrashDumps";

// The notice's language-file key and built-in text ("%s": the dump's path).
inline constexpr wchar_t kCrashNoticeTextKey[] = L"CrashDumpSaved";
inline constexpr wchar_t kDefaultCrashNotice[] =
    L"The program ended unexpectedly last time. A report for its makers was saved as %s";

struct DumpTime {
    uint16_t year, month, day, hour, minute, second;
};

// "<program>-YYYYMMDD-HHMMSS-<process id>.dmp": names of one program sort by time.
std::wstring CrashDumpFileName(std::wstring_view program, const DumpTime& time, uint32_t processId);

// True when `fileName` is a dump of `program` by the naming above (letters compared as the
// file system does: without case).
bool IsCrashDumpOf(std::wstring_view program, std::wstring_view fileName);

// The names among `fileNames` to delete so that only the newest `keep` dumps of `program`
// remain; other files are never chosen.
std::vector<std::wstring> CrashDumpsToDelete(std::wstring_view program,
                                             std::vector<std::wstring> fileNames, size_t keep);

// The notice a program gives at its next start: `pattern` with its first "%s" replaced by the
// dump's path; every other '%' is taken literally, so a translated pattern cannot read past
// its one argument.
std::wstring FormatCrashNotice(std::wstring_view pattern, std::wstring_view dumpPath);
