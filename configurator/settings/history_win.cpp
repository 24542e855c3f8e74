// The history folder: snapshots written beside their place and renamed into it, read and
// checked like any imported file, pruned after each new one.
#include "history.h"

#include "handle_owners_win.h"
#include "profile_cache.h"
#include "profile_file.h"
#include "tarn_version.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace {

// A snapshot is 6 KB of text; anything far larger is no snapshot and is not read whole.
constexpr DWORD kLargestSnapshot = 1u << 20;

std::wstring ErrorText(DWORD error) {
    return L"system error " + std::to_wstring(error);
}

bool CreateFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE ||
           GetLastError() == ERROR_ALREADY_EXISTS;
}

// Empty on success, else the cause.
std::wstring ReadSmallFile(const std::wstring& path, std::string* content) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return L"it cannot be opened (" + ErrorText(GetLastError()) + L")";
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.Get(), &size) == FALSE)
        return L"its size cannot be read (" + ErrorText(GetLastError()) + L")";
    if (size.QuadPart > kLargestSnapshot)
        return L"it is far larger than a profile file";
    content->resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (ReadFile(file.Get(), content->data(), static_cast<DWORD>(content->size()), &got, nullptr) ==
            FALSE ||
        got != content->size())
        return L"it cannot be read (" + ErrorText(GetLastError()) + L")";
    return {};
}

// Written beside the target and renamed into place, so a failure never leaves half a file.
std::wstring WriteNewFile(const std::wstring& path, const std::string& content) {
    const std::wstring temporary = path + L".tmp" + std::to_wstring(GetCurrentProcessId());
    UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ErrorText(GetLastError());
    DWORD written = 0;
    const bool wrote = WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()),
                                 &written, nullptr) != FALSE &&
                       written == content.size() && FlushFileBuffers(file.Get()) != FALSE;
    const DWORD writeError = GetLastError();
    file.Reset();
    if (!wrote) {
        DeleteFileW(temporary.c_str());
        return ErrorText(writeError);
    }
    // No replacing: a snapshot of another TarnDesk under the same name stays.
    if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) == FALSE) {
        const DWORD moveError = GetLastError();
        DeleteFileW(temporary.c_str());
        return ErrorText(moveError);
    }
    return {};
}

struct NamedFile {
    std::wstring fileName;
    SnapshotName name;
};

// The folder's snapshots by name alone, newest first.
std::vector<NamedFile> SnapshotFiles(const std::wstring& folder) {
    std::vector<NamedFile> files;
    WIN32_FIND_DATAW found = {};
    const UniqueFind search(FindFirstFileW((folder + L"\\*.tarnprofiles").c_str(), &found));
    if (!search)
        return files;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        if (const std::optional<SnapshotName> name = ParseSnapshotName(found.cFileName))
            files.push_back({found.cFileName, *name});
    } while (FindNextFileW(search.Get(), &found));
    std::sort(files.begin(), files.end(),
              [](const NamedFile& a, const NamedFile& b) { return a.fileName > b.fileName; });
    return files;
}

SnapshotEntry ReadEntry(MouseSession& session, const std::wstring& folder, const NamedFile& file) {
    SnapshotEntry entry;
    entry.path = folder + L"\\" + file.fileName;
    entry.name = file.name;
    const ParsedProfileFile parsed = ReadCheckedProfileFile(session, entry.path);
    entry.problem = parsed.problem;
    entry.image = parsed.image;
    entry.damaged = !parsed.accepted;
    return entry;
}

SnapshotTime Now() {
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

void Prune(const std::wstring& folder, const SnapshotTime& now) {
    const std::vector<NamedFile> files = SnapshotFiles(folder);
    std::vector<int64_t> times;
    times.reserve(files.size());
    for (const NamedFile& file : files)
        times.push_back(SecondsSinceEpoch(file.name.time));
    for (size_t index : SnapshotsToPrune(times, SecondsSinceEpoch(now)))
        DeleteFileW((folder + L"\\" + files[index].fileName).c_str());
}

} // namespace

std::wstring HistoryFolderPath() {
    wchar_t local[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local) !=
            S_OK ||
        local[0] == L'\0')
        return {};
    return std::wstring(local) + L"\\" + kHistoryFolder;
}

ParsedProfileFile ReadCheckedProfileFile(MouseSession& session, const std::wstring& path) {
    std::string content;
    const std::wstring problem = ReadSmallFile(path, &content);
    if (!problem.empty()) {
        ParsedProfileFile refused;
        refused.problem = problem;
        return refused;
    }
    return ParseProfileFile(content, IdValue(session.Ids().vendorId),
                            IdValue(session.Ids().productId));
}

std::vector<SnapshotEntry> ListSnapshots(MouseSession& session) {
    std::vector<SnapshotEntry> entries;
    const std::wstring folder = HistoryFolderPath();
    if (folder.empty())
        return entries;
    for (const NamedFile& file : SnapshotFiles(folder))
        entries.push_back(ReadEntry(session, folder, file));
    return entries;
}

std::wstring KeepSnapshot(MouseSession& session, const MemoryImage& image,
                          const ChangeReason& reason) {
    const std::wstring folder = HistoryFolderPath();
    if (folder.empty())
        return L"the folder for local application data is not known";
    if (!CreateFolders(folder))
        return L"the folder " + folder + L" cannot be made (" + ErrorText(GetLastError()) + L")";
    const std::vector<NamedFile> files = SnapshotFiles(folder);
    if (!files.empty()) {
        const SnapshotEntry newest = ReadEntry(session, folder, files.front());
        if (!newest.damaged && newest.image == image)
            return {}; // the same step back is kept once
    }
    SnapshotName name{Now(), reason};
    // A later name than the newest, so the order of the names is that of the changes even
    // when the clock stepped back or two changes share a millisecond.
    if (!files.empty() && FormatSnapshotName(name) <= files.front().fileName) {
        name.time = files.front().name.time;
        if (++name.time.millisecond > 999)
            name.time.millisecond = 999; // stays unique through the name's cause
    }
    const SnapshotTime& t = name.time;
    char written[32];
    std::snprintf(written, sizeof written, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    const ProfileFileInfo info{IdValue(session.Ids().vendorId), IdValue(session.Ids().productId),
                               TARN_VERSION_STRING, written};
    const std::wstring path = folder + L"\\" + FormatSnapshotName(name);
    const std::wstring problem = WriteNewFile(path, FormatProfileFile(image, info));
    if (!problem.empty())
        return L"the file " + path + L" cannot be written (" + problem + L")";
    Prune(folder, Now());
    return {};
}

std::wstring LocalTimeText(const SnapshotTime& time) {
    const SYSTEMTIME utc = {WORD(time.year),   WORD(time.month),      0,
                            WORD(time.day),    WORD(time.hour),       WORD(time.minute),
                            WORD(time.second), WORD(time.millisecond)};
    SYSTEMTIME local = utc;
    if (SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) == FALSE)
        local = utc;
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond);
    return text;
}

bool CurrentMemory(MouseSession& session, MemoryImage& image) {
    bool whole = true;
    for (int block = 0; block < kImageBlockCount; ++block) {
        const int number = block == 0 ? kHeaderCacheNumber : block - 1;
        if (const std::optional<MemoryBlock> cached = LoadWholeCachedBlock(number)) {
            image[size_t(block)] = *cached;
            continue;
        }
        // Not known from the cache: the mouse tells, as far as it can.
        const int operation = block == 0 ? ReadHeader : ReadProfile;
        whole = session
                    .RunDeviceOperation(operation, block == 0 ? 0 : block - 1,
                                        image[size_t(block)].data())
                    .whole &&
                whole;
    }
    return whole;
}

std::wstring HistoryKeeper::Keep(MouseSession& session, const ChangeReason& reason) {
    MemoryImage before{};
    const bool known = CurrentMemory(session, before);
    if (!known && !session.IsMousePresent())
        return {}; // nothing of the write can reach a mouse that is away: nothing to lose
    // A block the mouse cannot deliver is kept as it came: what it held is out of reach
    // anyway, and refusing the write would keep a restore from mending that very block.
    std::wstring problem = KeepSnapshot(session, before, reason);
    if (!problem.empty() && failed)
        failed(problem);
    return problem;
}
