#include "profile_library.h"

#include "backup_restore.h"
#include "handle_owners_win.h"
#include "history.h"
#include "text_files.h"

#include <windows.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring WithSlash(const std::wstring& folder) {
    return folder.empty() || folder.back() == L'\\' ? folder : folder + L'\\';
}

ParsedLibraryProfile CheckFile(const std::wstring& path, uint16_t vendorId, uint16_t productId) {
    std::string content;
    CapturedReport report;
    ParsedLibraryProfile parsed;
    parsed.problem = ReadProfileFileText(path, &content, report);
    if (parsed.problem.empty())
        parsed = ParseLibraryProfile(content, vendorId, productId);
    return parsed;
}

} // namespace

std::wstring LibraryFolder(const TextSettings& texts) {
    wchar_t* documents = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents)))
        folder = documents;
    CoTaskMemFree(documents); // also when the call failed
    if (folder.empty())
        return {};
    // A translated name that no file name can hold falls back to a name that it can.
    return WithSlash(folder) +
           LibraryFileStem(texts.LookupDefault(kLibraryFolderKey, kDefaultLibraryFolder));
}

bool MakeLibraryFolder(const std::wstring& folder) {
    if (folder.empty())
        return false;
    if (CreateDirectoryW(folder.c_str(), nullptr) == FALSE &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<LibraryEntry> ListLibrary(const std::wstring& folder, uint16_t vendorId,
                                      uint16_t productId) {
    std::vector<LibraryEntry> entries;
    if (folder.empty())
        return entries;
    const std::wstring base = WithSlash(folder);
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((base + L"*" + kLibraryProfileExtension).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::wstring fileName = found.cFileName;
        // "*.tarnprofile" also finds "x.tarnprofiles" through the short names; only the exact
        // extension belongs to the library.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !fileName.ends_with(kLibraryProfileExtension))
            continue;
        LibraryEntry entry;
        entry.path = base + fileName;
        entry.fileName = fileName;
        ParsedLibraryProfile parsed = CheckFile(entry.path, vendorId, productId);
        entry.accepted = parsed.accepted;
        entry.problem = parsed.problem;
        entry.info = parsed.info;
        entry.profile = parsed.profile;
        entry.name =
            parsed.accepted
                ? FromUtf8(parsed.profile.name)
                : fileName.substr(0, fileName.size() - (std::size(kLibraryProfileExtension) - 1));
        entries.push_back(std::move(entry));
    } while (FindNextFileW(search, &found) != FALSE);
    FindClose(search);
    SortLibrary(entries);
    return entries;
}

std::wstring NewLibraryPath(const std::wstring& folder, std::wstring_view name) {
    const std::wstring base = WithSlash(folder);
    return base + FreeLibraryFileName(LibraryFileStem(name), [&](const std::wstring& candidate) {
               return Exists(base + candidate);
           });
}

std::wstring RenameLibraryProfile(const LibraryEntry& entry, const std::wstring& name,
                                  std::wstring* newPath) {
    const std::string utf8 = ToUtf8(name);
    if (std::wstring problem = LibraryNameProblem(utf8); !problem.empty())
        return problem;
    LibraryProfile renamed = entry.profile;
    renamed.name = utf8;
    // When it was saved and by which program stay as they were: only its name changes.
    if (std::wstring problem =
            ReplaceFileWith(entry.path, FormatLibraryProfile(renamed, entry.info));
        !problem.empty())
        return problem;
    *newPath = entry.path;
    // Its own file name is free for it: "X (2)" renamed to "X" beside another "X" stays.
    const std::wstring folder = FolderOf(entry.path);
    const std::wstring fileName =
        FreeLibraryFileName(LibraryFileStem(name), [&](const std::wstring& candidate) {
            return _wcsicmp(candidate.c_str(), entry.fileName.c_str()) != 0 &&
                   Exists(folder + candidate);
        });
    if (fileName == entry.fileName)
        return {};
    const std::wstring target = folder + fileName;
    // The file keeps its old name when the new one cannot be had; its content is renamed.
    if (MoveFileExW(entry.path.c_str(), target.c_str(), 0) != FALSE)
        *newPath = target;
    return {};
}

std::wstring ImportIntoLibrary(const std::wstring& source, const std::wstring& folder,
                               uint16_t vendorId, uint16_t productId, std::wstring* newPath) {
    const ParsedLibraryProfile parsed = CheckFile(source, vendorId, productId);
    if (!parsed.accepted)
        return parsed.problem;
    const std::wstring target = NewLibraryPath(folder, FromUtf8(parsed.profile.name));
    // Written from what was checked, not copied: what lands in the library is what was read.
    if (std::wstring problem =
            ReplaceFileWith(target, FormatLibraryProfile(parsed.profile, parsed.info));
        !problem.empty())
        return problem;
    *newPath = target;
    return {};
}

bool RecycleFile(const std::wstring& path) {
    // The shell wants a list ending in two terminators.
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationW(&operation) == 0 && operation.fAnyOperationsAborted == FALSE &&
           !Exists(path);
}

std::wstring LibraryDateText(const std::string& written) {
    SnapshotTime time;
    char zone = 0;
    char end = 0;
    if (std::sscanf(written.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%c", &time.year, &time.month,
                    &time.day, &time.hour, &time.minute, &time.second, &zone, &end) == 7 &&
        zone == 'Z')
        return LocalTimeText(time);
    return FromUtf8(written);
}
