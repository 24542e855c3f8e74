// The backup engine: the whole memory into a checked text file and back, verified by reading
// it back. Output goes to the caller's Reporter (a console or the tray's message box).
#include "backup_restore.h"

#include "handle_owners_win.h"
#include "profile_cache.h"
#include "profile_file.h"
#include "tarn_version.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// A backup is 6 KB of text; anything far larger is no backup and is not read whole.
constexpr DWORD kLargestProfileFile = 1u << 20;

std::wstring SystemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueLocalBlock owned(buffer);
    std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.'))
        text.pop_back();
    return L"system error " + std::to_wstring(error) + (text.empty() ? L"" : L": " + text);
}

uint16_t IdValue(const std::wstring& text) {
    return static_cast<uint16_t>(std::wcstoul(text.c_str(), nullptr, 16));
}

std::wstring DeviceText(const MouseSession& session) {
    return session.Ids().vendorId + L":" + session.Ids().productId;
}

// Block 0 is the header, 1..5 the profiles. Whole: the block moved completely.
bool ReadImageBlock(MouseSession& session, int block, MemoryBlock& bytes) {
    const int operation = block == 0 ? ReadHeader : ReadProfile;
    return session.RunDeviceOperation(operation, block == 0 ? 0 : block - 1, bytes.data()).whole;
}

std::string NowText() {
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

// Written beside the target and renamed over it, so a failure never leaves half a file or
// loses the one that was there. Empty on success, else the cause.
std::wstring WriteWholeFile(const std::wstring& path, const std::string& content) {
    const std::wstring temporary = path + L".tmp" + std::to_wstring(GetCurrentProcessId());
    UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return SystemMessage(GetLastError());
    DWORD written = 0;
    const bool wrote = WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()),
                                 &written, nullptr) != FALSE &&
                       written == content.size() && FlushFileBuffers(file.Get()) != FALSE;
    const DWORD writeError = GetLastError();
    file.Reset(); // the temporary must be closed before it can be renamed or deleted
    if (!wrote) {
        DeleteFileW(temporary.c_str());
        return SystemMessage(writeError);
    }
    if (MoveFileExW(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
        const DWORD moveError = GetLastError();
        DeleteFileW(temporary.c_str());
        return SystemMessage(moveError);
    }
    return {};
}

// Empty on success, else the cause.
std::wstring ReadWholeFile(const std::wstring& path, std::string* content) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return L"it cannot be opened (" + SystemMessage(GetLastError()) + L")";
    LARGE_INTEGER size = {};
    std::wstring problem;
    if (GetFileSizeEx(file.Get(), &size) == FALSE) {
        problem = L"its size cannot be read (" + SystemMessage(GetLastError()) + L")";
    } else if (size.QuadPart > kLargestProfileFile) {
        problem = L"it is " + std::to_wstring(size.QuadPart) +
                  L" bytes long, far more than a "
                  L"profile file";
    } else {
        content->resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (ReadFile(file.Get(), content->data(), static_cast<DWORD>(content->size()), &got,
                     nullptr) == FALSE ||
            got != content->size())
            problem = L"it cannot be read (" + SystemMessage(GetLastError()) + L")";
    }
    return problem;
}

} // namespace

bool RequireMouse(MouseSession& session, Reporter& report) {
    if (session.IsMousePresent())
        return true;
    report.Error(L"No mouse " + DeviceText(session) + L" is connected.\n");
    return false;
}

// A command's transfers are one piece: another TarnDesk's walk (each walk takes the same
// lock) cannot come between an import's writes and its read-back.
bool HoldsMouse(const SessionHold& hold, Reporter& report) {
    if (hold.Held())
        return true;
    report.Error(L"The mouse stayed busy with another TarnDesk; nothing was done.\n");
    return false;
}

MemoryImage ReadImage(MouseSession& session, std::wstring* incomplete,
                      std::array<bool, kImageBlockCount>* whole) {
    MemoryImage image{};
    for (int block = 0; block < kImageBlockCount; ++block) {
        const bool arrived = ReadImageBlock(session, block, image[size_t(block)]);
        if (!arrived)
            *incomplete += (incomplete->empty() ? L"" : L", ") + ImageBlockName(block);
        if (whole != nullptr)
            (*whole)[size_t(block)] = arrived;
    }
    return image;
}

int ExportMemory(MouseSession& session, const std::wstring& path, Reporter& output) {
    if (!RequireMouse(session, output))
        return kExitNoMouse;
    const SessionHold lock = session.Hold();
    if (!HoldsMouse(lock, output))
        return kExitNoMouse;
    std::wstring incomplete;
    const MemoryImage image = ReadImage(session, &incomplete);
    if (!incomplete.empty()) {
        output.Error(L"The mouse did not deliver all of its memory (" + incomplete + L"); " + path +
                     L" was not written.\n");
        return kExitNoMouse;
    }
    const ProfileFileInfo info{IdValue(session.Ids().vendorId), IdValue(session.Ids().productId),
                               TARN_VERSION_STRING, NowText()};
    const std::wstring problem = WriteWholeFile(path, FormatProfileFile(image, info));
    if (!problem.empty()) {
        output.Error(L"Could not write " + path + L": " + problem + L".\n");
        return kExitWriteFailed;
    }
    output.Print(L"Saved the mouse's memory to " + path + L".\n");
    return kExitDone;
}

int ImportMemory(MouseSession& session, const std::wstring& path, HeaderBlock& header,
                 Reporter& output) {
    std::string content;
    std::wstring problem = ReadWholeFile(path, &content);
    ParsedProfileFile parsed;
    if (problem.empty()) {
        parsed = ParseProfileFile(content, IdValue(session.Ids().vendorId),
                                  IdValue(session.Ids().productId));
        problem = parsed.problem;
    }
    if (!parsed.accepted) {
        output.Error(L"Refused " + path + L": " + problem + L". Nothing was written.\n");
        return kExitFileRefused;
    }
    if (!RequireMouse(session, output))
        return kExitNoMouse;

    const SessionHold lock = session.Hold();
    if (!HoldsMouse(lock, output))
        return kExitWriteFailed;
    // A restore from the history names itself; any other file is an import.
    const ChangeScope change(session, ChangeCause::Import);
    const HeaderBlock before = header;
    // The header written becomes the program's header block: the mouse holds it now, and an
    // open Settings dialog shows and applies it.
    header.bytes = parsed.image[0];
    PendingWrite write;
    for (int block = 0; block < kImageBlockCount; ++block)
        write.areas.push_back({block, parsed.image[size_t(block)]});
    const WriteOutcome outcome = session.WriteSequence(write);
    if (outcome.notRecorded || outcome.notKept) {
        header = before; // nothing was written: the mouse still holds the header from before
        output.Error(L"Restoring " + path +
                     (outcome.notKept
                          ? L" failed: the memory it would replace could not be kept in the "
                            L"history first (" +
                                outcome.keepProblem + L"). Nothing was written.\n"
                          : std::wstring(L" failed: what was to be written could not be "
                                         L"recorded beside the cache first. Nothing was "
                                         L"written.\n")));
        return kExitWriteFailed;
    }
    std::wstring notWritten;
    for (int block = 0; block < kImageBlockCount; ++block) {
        if (!outcome.blockWhole[size_t(block)])
            notWritten += (notWritten.empty() ? L"" : L", ") + ImageBlockName(block);
    }
    std::wstring incomplete;
    std::array<bool, kImageBlockCount> readWhole{};
    const MemoryImage readBack = ReadImage(session, &incomplete, &readWhole);
    const std::vector<BlockDifference> differences = CompareImages(parsed.image, readBack);

    // The cache takes only blocks read back whole and equal to the file.
    for (int block = 0; block < kImageBlockCount; ++block) {
        bool verified = readWhole[size_t(block)];
        for (const BlockDifference& d : differences)
            verified = verified && d.block != block;
        if (!verified)
            continue;
        if (block == 0) {
            header.bytes = readBack[0];
            StoreCachedHeader(header);
        } else {
            StoreCachedBlock(block - 1, readBack[size_t(block)].data());
        }
    }

    if (!notWritten.empty() || !incomplete.empty() || !differences.empty()) {
        std::wstring report = L"Restoring " + path + L" failed.\n";
        if (!notWritten.empty())
            report += L"Not written whole: " + notWritten + L".\n";
        if (!incomplete.empty())
            report += L"Not read back whole: " + incomplete + L".\n";
        if (!differences.empty())
            report +=
                L"The mouse's memory differs from the file:\n" + DescribeDifferences(differences);
        output.Error(report);
        return notWritten.empty() ? kExitVerifyFailed : kExitWriteFailed;
    }
    output.Print(L"Restored " + path + L" into the mouse and verified it.\n");
    return kExitDone;
}
