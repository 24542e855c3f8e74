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

// A file written beside the target and renamed over it, so a failure never leaves half a file
// or loses the one that was there. The temporary is created first: a destination that cannot
// be written is told before the mouse is read, and a file never finished is deleted.
class ReplacingFile {
  public:
    explicit ReplacingFile(const std::wstring& path)
        : path_(path), temporary_(path + L".tmp" + std::to_wstring(GetCurrentProcessId())) {
        // A folder or a read-only file in its place would only refuse the rename at the end.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
            problem_ = SystemMessage(ERROR_ACCESS_DENIED);
            return;
        }
        file_.Reset(CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_)
            problem_ = SystemMessage(GetLastError());
    }
    ~ReplacingFile() {
        if (file_) {
            file_.Reset();
            DeleteFileW(temporary_.c_str());
        }
    }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Empty while the file can be written, else the cause.
    const std::wstring& Problem() const { return problem_; }

    // Writes the content and renames it over the target. Empty on success, else the cause.
    std::wstring Commit(const std::string& content) {
        if (!file_)
            return problem_;
        DWORD written = 0;
        const bool wrote =
            WriteFile(file_.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                      nullptr) != FALSE &&
            written == content.size() && FlushFileBuffers(file_.Get()) != FALSE;
        const DWORD writeError = GetLastError();
        file_.Reset(); // the temporary must be closed before it can be renamed or deleted
        if (!wrote) {
            DeleteFileW(temporary_.c_str());
            return SystemMessage(writeError);
        }
        if (MoveFileExW(temporary_.c_str(), path_.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
            const DWORD moveError = GetLastError();
            DeleteFileW(temporary_.c_str());
            return SystemMessage(moveError);
        }
        return {};
    }

  private:
    std::wstring path_;
    std::wstring temporary_;
    UniqueHandle file_;
    std::wstring problem_;
};

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
                      std::array<bool, kImageBlockCount>* whole, TransferProgress* progress,
                      int first, int total, bool* stopped) {
    MemoryImage image{};
    for (int block = 0; block < kImageBlockCount; ++block) {
        if (progress != nullptr && stopped != nullptr && progress->StopAsked()) {
            *stopped = true;
            break;
        }
        const bool arrived = ReadImageBlock(session, block, image[size_t(block)]);
        if (!arrived)
            *incomplete += (incomplete->empty() ? L"" : L", ") + ImageBlockName(block);
        if (whole != nullptr)
            (*whole)[size_t(block)] = arrived;
        if (progress != nullptr)
            progress->Moved(first + block + 1, total);
    }
    return image;
}

int ExportMemory(MouseSession& session, const std::wstring& path, Reporter& output,
                 TransferProgress* progress) {
    ReplacingFile file(path);
    if (!file.Problem().empty()) {
        output.Error(L"Could not write " + path + L": " + file.Problem() + L".\n");
        return kExitWriteFailed;
    }
    if (!RequireMouse(session, output))
        return kExitNoMouse;
    const SessionHold lock = session.Hold();
    if (!HoldsMouse(lock, output))
        return kExitNoMouse;
    std::wstring incomplete;
    bool stopped = false;
    const MemoryImage image =
        ReadImage(session, &incomplete, nullptr, progress, 0, kImageBlockCount, &stopped);
    if (stopped)
        return kExitStopped; // the temporary goes with `file`
    if (!incomplete.empty()) {
        output.Error(L"The mouse did not deliver all of its memory (" + incomplete + L"); " + path +
                     L" was not written.\n");
        return kExitNoMouse;
    }
    const ProfileFileInfo info{IdValue(session.Ids().vendorId), IdValue(session.Ids().productId),
                               TARN_VERSION_STRING, NowText()};
    const std::wstring problem = file.Commit(FormatProfileFile(image, info));
    if (!problem.empty()) {
        output.Error(L"Could not write " + path + L": " + problem + L".\n");
        return kExitWriteFailed;
    }
    output.Print(L"Saved the mouse's memory to " + path + L".\n");
    return kExitDone;
}

namespace {

// The file read and checked whole; a refusal is told and leaves `parsed` not accepted.
ParsedProfileFile CheckedFile(const MouseSession& session, const std::wstring& path,
                              Reporter& output) {
    std::string content;
    std::wstring problem = ReadWholeFile(path, &content);
    ParsedProfileFile parsed;
    if (problem.empty()) {
        parsed = ParseProfileFile(content, IdValue(session.Ids().vendorId),
                                  IdValue(session.Ids().productId));
        problem = parsed.problem;
    }
    if (!parsed.accepted)
        output.Error(L"Refused " + path + L": " + problem + L". Nothing was written.\n");
    return parsed;
}

} // namespace

bool CheckImportFile(const MouseSession& session, const std::wstring& path, Reporter& report) {
    return CheckedFile(session, path, report).accepted;
}

int ImportMemory(MouseSession& session, const std::wstring& path, HeaderBlock& header,
                 Reporter& output, TransferProgress* progress) {
    const ParsedProfileFile parsed = CheckedFile(session, path, output);
    if (!parsed.accepted)
        return kExitFileRefused;
    if (!RequireMouse(session, output))
        return kExitNoMouse;

    const SessionHold lock = session.Hold();
    if (!HoldsMouse(lock, output))
        return kExitWriteFailed;
    if (progress != nullptr) {
        if (progress->StopAsked())
            return kExitStopped;
        progress->Committed();
    }
    // The header written becomes the program's header block: the mouse holds it now, and an
    // open Settings dialog shows and applies it.
    header.bytes = parsed.image[0];
    PendingWrite write;
    for (int block = 0; block < kImageBlockCount; ++block)
        write.areas.push_back({block, parsed.image[size_t(block)]});
    // Written, then read back: twice the blocks.
    constexpr int kSteps = 2 * kImageBlockCount;
    const WriteOutcome outcome = session.WriteSequence(write, [progress](size_t block, bool) {
        if (progress != nullptr)
            progress->Moved(static_cast<int>(block) + 1, kSteps);
    });
    if (outcome.notRecorded) {
        output.Error(L"Restoring " + path +
                     L" failed: what was to be written could not be recorded beside the "
                     L"cache first. Nothing was written.\n");
        return kExitWriteFailed;
    }
    std::wstring notWritten;
    for (int block = 0; block < kImageBlockCount; ++block) {
        if (!outcome.blockWhole[size_t(block)])
            notWritten += (notWritten.empty() ? L"" : L", ") + ImageBlockName(block);
    }
    std::wstring incomplete;
    std::array<bool, kImageBlockCount> readWhole{};
    const MemoryImage readBack =
        ReadImage(session, &incomplete, &readWhole, progress, kImageBlockCount, kSteps);
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
