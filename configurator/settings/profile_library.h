// The profile library: a folder of profile files (.tarnprofile) in the user's Documents, more
// profiles than the mouse holds, each under the name the user gave it. The folder is the
// library: files copied in by hand belong to it as much as those saved from the tray.
#pragma once

#include "model/button_text.h"
#include "profile_file.h"
#include "text_rules.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TextSettings;

// The folder's name inside Documents, translatable.
inline constexpr wchar_t kLibraryFolderKey[] = L"LibraryFolder";
inline constexpr wchar_t kDefaultLibraryFolder[] = L"Gaming Mouse Profiles";
inline constexpr wchar_t kLibrarySummaryKey[] = L"LibrarySummary";
inline constexpr wchar_t kDefaultLibrarySummary[] = L"%s x %s dpi; %s";
inline constexpr wchar_t kLibraryRefusedKey[] = L"LibraryRefused";
inline constexpr wchar_t kDefaultLibraryRefused[] = L"cannot be used: %s";

// One file of the folder. A file the check refuses is listed with its problem, so the user sees
// why it cannot be loaded; it is never loaded.
struct LibraryEntry {
    std::wstring path;
    std::wstring fileName;
    bool accepted = false;
    std::wstring problem;
    std::wstring name; // the profile's own name; the file's name without extension if refused
    ProfileFileInfo info;
    LibraryProfile profile;
};

// A file name (without extension) for a profile's name: characters a file name cannot hold
// become '_', trailing dots and blanks go, the system's device names (CON, COM1, ...) get a
// '_' after them; an empty result is "Profile".
std::wstring LibraryFileStem(std::wstring_view name);
// "stem.tarnprofile", or the first of "stem (2).tarnprofile", "stem (3)..." that `taken` does
// not report as existing.
std::wstring FreeLibraryFileName(std::wstring_view stem,
                                 const std::function<bool(const std::wstring&)>& taken);
// "800 x 1600 dpi; Left Click, Right Click, ..., Macro Key": the resolution and the function of
// each of the seven buttons, in the Settings dialog's words.
std::wstring LibrarySummary(const LibraryProfile& profile, const FunctionNames& names,
                            const TextLookup& text);
// Accepted entries first by name (ignoring case), refused ones after them by file name.
void SortLibrary(std::vector<LibraryEntry>& entries);

// Documents\Gaming Mouse Profiles (in the user's language); empty when the user has no
// Documents folder. It is made only when something is put into it: looking makes nothing.
std::wstring LibraryFolder(const TextSettings& texts);
// Makes the folder when it is missing; false when it is not there afterwards.
bool MakeLibraryFolder(const std::wstring& folder);
// The folder's .tarnprofile files, each checked as a load would check it, sorted.
std::vector<LibraryEntry> ListLibrary(const std::wstring& folder, uint16_t vendorId,
                                      uint16_t productId);
// A free path in `folder` for a profile named `name`.
std::wstring NewLibraryPath(const std::wstring& folder, std::wstring_view name);
// Renames the entry's profile to `name`: the file is rewritten with the new name (everything
// else as it was) beside itself and renamed over, then moved to a file name that follows the
// new name when one is free. Empty on success (`*newPath` set), else why not; the file is then
// as it was.
std::wstring RenameLibraryProfile(const LibraryEntry& entry, const std::wstring& name,
                                  std::wstring* newPath);
// Copies a profile file from elsewhere into the library under its own name, once it passes the
// load's check; a backup of the whole memory is not a library profile. Empty on success
// (`*newPath` set), else why not.
std::wstring ImportIntoLibrary(const std::wstring& source, const std::wstring& folder,
                               uint16_t vendorId, uint16_t productId, std::wstring* newPath);
// Into the recycle bin, so that a deleted profile can be taken back; false when it stays.
bool RecycleFile(const std::wstring& path);
// "2026-12-09 01:22:58" in local time for a file's "YYYY-MM-DDTHH:MM:SSZ"; the text as it is
// when it is not one.
std::wstring LibraryDateText(const std::string& written);
