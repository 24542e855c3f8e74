// The backup engine: the whole memory into a checked text file and back, verified by reading
// it back. Output goes to the caller's Reporter (a console or the tray's message box).
#include "backup_restore.h"

#include "handle_owners_win.h"
#include "profile_cache.h"
#include "profile_file.h"
#include "system_message_win.h"
#include "tarn_version.h"
#include "text_files.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// A backup is 6 KB of text; anything far larger is no backup and is not read whole.
constexpr DWORD kLargestProfileFile = 1u << 20;

// The run's messages: language keys and their English.
constexpr wchar_t kMouseBusyKey[] = L"MouseBusy";
constexpr wchar_t kDefaultMouseBusy[] =
    L"The mouse stayed busy with another TarnDesk; nothing was done.";
constexpr wchar_t kNotAllMemoryKey[] = L"NotAllMemory";
constexpr wchar_t kDefaultNotAllMemory[] =
    L"The mouse did not deliver all of its memory (%s); %s was not written.";
constexpr wchar_t kNotWrittenKey[] = L"FileNotWritten";
constexpr wchar_t kDefaultNotWritten[] = L"Could not write %s: %s.";
constexpr wchar_t kMemorySavedKey[] = L"MemorySaved";
constexpr wchar_t kDefaultMemorySaved[] = L"Saved the mouse's memory to %s.";
constexpr wchar_t kFileRefusedKey[] = L"FileRefused";
constexpr wchar_t kDefaultFileRefused[] = L"Refused %s: %s. Nothing was written.";
constexpr wchar_t kNotKeptKey[] = L"RestoreNotKept";
constexpr wchar_t kDefaultNotKept[] = L"Restoring %s failed: the memory it would replace could "
                                      L"not be kept in the history first (%s). Nothing was "
                                      L"written.";
constexpr wchar_t kNotRecordedKey[] = L"RestoreNotRecorded";
constexpr wchar_t kDefaultNotRecorded[] =
    L"Restoring %s failed: what was to be written could not be recorded beside the cache "
    L"first. Nothing was written.";
constexpr wchar_t kRestoreOfFailedKey[] = L"RestoreOfFailed";
constexpr wchar_t kDefaultRestoreOfFailed[] = L"Restoring %s failed.";
constexpr wchar_t kNotWrittenWholeKey[] = L"NotWrittenWhole";
constexpr wchar_t kDefaultNotWrittenWhole[] = L"Not written whole: %s.";
constexpr wchar_t kNotReadBackKey[] = L"NotReadBackWhole";
constexpr wchar_t kDefaultNotReadBack[] = L"Not read back whole: %s.";
constexpr wchar_t kMemoryDiffersKey[] = L"MemoryDiffers";
constexpr wchar_t kDefaultMemoryDiffers[] = L"The mouse's memory differs from the file:";
constexpr wchar_t kMemoryRestoredKey[] = L"MemoryRestored";
constexpr wchar_t kDefaultMemoryRestored[] = L"Restored %s into the mouse and verified it.";
constexpr wchar_t kFileNotOpenedKey[] = L"FileNotOpened";
constexpr wchar_t kDefaultFileNotOpened[] = L"it cannot be opened (%s)";
constexpr wchar_t kFileSizeUnknownKey[] = L"FileSizeUnknown";
constexpr wchar_t kDefaultFileSizeUnknown[] = L"its size cannot be read (%s)";
constexpr wchar_t kFileTooLongKey[] = L"FileTooLong";
constexpr wchar_t kDefaultFileTooLong[] = L"it is %s bytes long, far more than a profile file";
constexpr wchar_t kFileNotReadKey[] = L"FileNotRead";
constexpr wchar_t kDefaultFileNotRead[] = L"it cannot be read (%s)";

std::wstring SystemMessage(DWORD error) {
    const std::wstring text = SystemErrorText(error);
    return L"system error " + std::to_wstring(error) + (text.empty() ? L"" : L": " + text);
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
std::wstring ReadWholeFile(const std::wstring& path, std::string* content, const Reporter& say) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return say.Text(kFileNotOpenedKey, kDefaultFileNotOpened, {SystemMessage(GetLastError())});
    LARGE_INTEGER size = {};
    std::wstring problem;
    if (GetFileSizeEx(file.Get(), &size) == FALSE) {
        problem =
            say.Text(kFileSizeUnknownKey, kDefaultFileSizeUnknown, {SystemMessage(GetLastError())});
    } else if (size.QuadPart > kLargestProfileFile) {
        problem = say.Text(kFileTooLongKey, kDefaultFileTooLong, {std::to_wstring(size.QuadPart)});
    } else {
        content->resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (ReadFile(file.Get(), content->data(), static_cast<DWORD>(content->size()), &got,
                     nullptr) == FALSE ||
            got != content->size())
            problem =
                say.Text(kFileNotReadKey, kDefaultFileNotRead, {SystemMessage(GetLastError())});
    }
    return problem;
}

} // namespace

std::wstring Reporter::Text(const wchar_t* key, const wchar_t* builtIn,
                            std::initializer_list<std::wstring_view> values) const {
    return FillPattern(texts_ != nullptr ? texts_->LookupDefault(key, builtIn) : builtIn, values);
}

bool RequireMouse(MouseSession& session, Reporter& report) {
    if (session.IsMousePresent())
        return true;
    report.Error(report.Text(kConnectMouseKey, kConnectMouseText) + L"\n");
    return false;
}

// A command's transfers are one piece: another TarnDesk's walk (each walk takes the same
// lock) cannot come between an import's writes and its read-back.
bool HoldsMouse(const SessionHold& hold, Reporter& report) {
    if (hold.Held())
        return true;
    report.Error(report.Text(kMouseBusyKey, kDefaultMouseBusy) + L"\n");
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
        output.Error(output.Text(kNotWrittenKey, kDefaultNotWritten, {path, file.Problem()}) +
                     L"\n");
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
        output.Error(output.Text(kNotAllMemoryKey, kDefaultNotAllMemory, {incomplete, path}) +
                     L"\n");
        return kExitNoMouse;
    }
    const ProfileFileInfo info{IdValue(session.Ids().vendorId), IdValue(session.Ids().productId),
                               TARN_VERSION_STRING, NowText()};
    const std::wstring problem = file.Commit(FormatProfileFile(image, info));
    if (!problem.empty()) {
        output.Error(output.Text(kNotWrittenKey, kDefaultNotWritten, {path, problem}) + L"\n");
        return kExitWriteFailed;
    }
    output.Print(output.Text(kMemorySavedKey, kDefaultMemorySaved, {path}) + L"\n");
    return kExitDone;
}

namespace {

// The file read and checked whole by `parse`; a refusal is told and leaves the result not
// accepted.
template <class Parsed>
Parsed CheckedFile(const MouseSession& session, const std::wstring& path, Reporter& output,
                   Parsed (*parse)(std::string_view, uint16_t, uint16_t)) {
    std::string content;
    std::wstring problem = ReadWholeFile(path, &content, output);
    Parsed parsed;
    if (problem.empty()) {
        parsed = parse(content, IdValue(session.Ids().vendorId), IdValue(session.Ids().productId));
        problem = parsed.problem;
    }
    if (!parsed.accepted)
        output.Error(output.Text(kFileRefusedKey, kDefaultFileRefused, {path, problem}) + L"\n");
    return parsed;
}

ParsedProfileFile CheckedFile(const MouseSession& session, const std::wstring& path,
                              Reporter& output) {
    return CheckedFile(session, path, output, ParseProfileFile);
}

// What went wrong in a write that was read back, told under `headline`: the exit code, or
// kExitDone when every block went whole and read back equal.
int TellReadBackFailures(Reporter& output, const std::wstring& headline,
                         const std::wstring& notWritten, const std::wstring& incomplete,
                         const std::vector<BlockDifference>& differences) {
    if (notWritten.empty() && incomplete.empty() && differences.empty())
        return kExitDone;
    std::wstring report = headline + L"\n";
    if (!notWritten.empty())
        report += output.Text(kNotWrittenWholeKey, kDefaultNotWrittenWhole, {notWritten}) + L"\n";
    if (!incomplete.empty())
        report += output.Text(kNotReadBackKey, kDefaultNotReadBack, {incomplete}) + L"\n";
    if (!differences.empty())
        report += output.Text(kMemoryDiffersKey, kDefaultMemoryDiffers) + L"\n" +
                  DescribeDifferences(differences);
    output.Error(report);
    return notWritten.empty() ? kExitVerifyFailed : kExitWriteFailed;
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
    // A restore from the history names itself; any other file is an import.
    const ChangeScope change(session, ChangeCause::Import);
    const HeaderBlock before = header;
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
    if (outcome.notKept) {
        header = before; // nothing was written: the mouse still holds the header from before
        output.Error(output.Text(kNotKeptKey, kDefaultNotKept, {path, outcome.keepProblem}) +
                     L"\n");
        return kExitWriteFailed;
    }
    if (outcome.notRecorded) {
        header = before;
        output.Error(output.Text(kNotRecordedKey, kDefaultNotRecorded, {path}) + L"\n");
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

    if (const int failed = TellReadBackFailures(
            output, output.Text(kRestoreOfFailedKey, kDefaultRestoreOfFailed, {path}), notWritten,
            incomplete, differences);
        failed != kExitDone)
        return failed;
    output.Print(output.Text(kMemoryRestoredKey, kDefaultMemoryRestored, {path}) + L"\n");
    return kExitDone;
}

namespace {

constexpr wchar_t kNameRefusedKey[] = L"NameRefused";
constexpr wchar_t kDefaultNameRefused[] = L"The name \"%s\" cannot be used: %s.";
constexpr wchar_t kProfileSavedKey[] = L"ProfileSaved";
constexpr wchar_t kDefaultProfileSaved[] = L"Saved profile %s to %s.";
constexpr wchar_t kLoadNoHeaderKey[] = L"LoadNoHeader";
constexpr wchar_t kDefaultLoadNoHeader[] =
    L"Loading %s failed: the mouse did not deliver its header block whole. Nothing was written.";
constexpr wchar_t kLoadNotKeptKey[] = L"LoadNotKept";
constexpr wchar_t kDefaultLoadNotKept[] =
    L"Loading %s failed: the memory it would replace could not be kept in the history first "
    L"(%s). Nothing was written.";
constexpr wchar_t kLoadNotRecordedKey[] = L"LoadNotRecorded";
constexpr wchar_t kDefaultLoadNotRecorded[] =
    L"Loading %s failed: what was to be written could not be recorded beside the cache first. "
    L"Nothing was written.";
constexpr wchar_t kLoadOfFailedKey[] = L"LoadOfFailed";
constexpr wchar_t kDefaultLoadOfFailed[] = L"Loading %s into profile %s failed.";
constexpr wchar_t kProfileLoadedKey[] = L"ProfileLoaded";
constexpr wchar_t kDefaultProfileLoaded[] = L"Loaded %s into profile %s and verified it.";

ParsedLibraryProfile CheckedLibraryFile(const MouseSession& session, const std::wstring& path,
                                        Reporter& output) {
    return CheckedFile(session, path, output, ParseLibraryProfile);
}

} // namespace

std::wstring ReplaceFileWith(const std::wstring& path, const std::string& content) {
    ReplacingFile file(path);
    return file.Problem().empty() ? file.Commit(content) : file.Problem();
}

bool CheckLibraryFile(const MouseSession& session, const std::wstring& path, Reporter& report,
                      std::string* name) {
    const ParsedLibraryProfile parsed = CheckedLibraryFile(session, path, report);
    if (parsed.accepted && name != nullptr)
        *name = parsed.profile.name;
    return parsed.accepted;
}

std::wstring ReadProfileFileText(const std::wstring& path, std::string* content,
                                 const Reporter& report) {
    return ReadWholeFile(path, content, report);
}

int SaveLibraryProfile(MouseSession& session, int profile, const std::wstring& path,
                       const std::wstring& name, Reporter& output) {
    const std::string utf8 = ToUtf8(name);
    const std::wstring nameProblem = LibraryNameProblem(utf8);
    if (!nameProblem.empty()) {
        output.Error(output.Text(kNameRefusedKey, kDefaultNameRefused, {name, nameProblem}) +
                     L"\n");
        return kExitBadUsage;
    }
    ReplacingFile file(path);
    if (!file.Problem().empty()) {
        output.Error(output.Text(kNotWrittenKey, kDefaultNotWritten, {path, file.Problem()}) +
                     L"\n");
        return kExitWriteFailed;
    }
    if (!RequireMouse(session, output))
        return kExitNoMouse;
    const SessionHold lock = session.Hold();
    if (!HoldsMouse(lock, output))
        return kExitNoMouse;
    MemoryImage image{};
    std::wstring incomplete;
    for (int block : {profile + 1, 0}) {
        if (!ReadImageBlock(session, block, image[size_t(block)]))
            incomplete += (incomplete.empty() ? L"" : L", ") + ImageBlockName(block);
    }
    if (!incomplete.empty()) {
        output.Error(output.Text(kNotAllMemoryKey, kDefaultNotAllMemory, {incomplete, path}) +
                     L"\n");
        return kExitNoMouse;
    }
    const ProfileFileInfo info{IdValue(session.Ids().vendorId), IdValue(session.Ids().productId),
                               TARN_VERSION_STRING, NowText()};
    const std::wstring problem =
        file.Commit(FormatLibraryProfile(TakeLibraryProfile(image, profile, utf8), info));
    if (!problem.empty()) {
        output.Error(output.Text(kNotWrittenKey, kDefaultNotWritten, {path, problem}) + L"\n");
        return kExitWriteFailed;
    }
    output.Print(
        output.Text(kProfileSavedKey, kDefaultProfileSaved, {std::to_wstring(profile + 1), path}) +
        L"\n");
    return kExitDone;
}

int LoadLibraryProfile(MouseSession& session, const std::wstring& path, int slot,
                       HeaderBlock& header, Reporter& output, TransferProgress* progress) {
    const ParsedLibraryProfile parsed = CheckedLibraryFile(session, path, output);
    if (!parsed.accepted)
        return kExitFileRefused;
    if (!RequireMouse(session, output))
        return kExitNoMouse;
    const SessionHold lock = session.Hold();
    if (!HoldsMouse(lock, output))
        return kExitWriteFailed;
    // Every header byte but the slot's record stays as the mouse holds it, so the header is
    // read under the same hold as the write: nothing can change it in between.
    HeaderBlock current;
    if (!ReadImageBlock(session, 0, current.bytes)) {
        output.Error(output.Text(kLoadNoHeaderKey, kDefaultLoadNoHeader, {path}) + L"\n");
        return kExitNoMouse;
    }
    // Read the header, write two blocks, read them back.
    constexpr int kSteps = 5;
    if (progress != nullptr) {
        progress->Moved(1, kSteps);
        if (progress->StopAsked())
            return kExitStopped;
        progress->Committed();
    }
    ProfileBlock block;
    HeaderBlock written = current;
    PlaceLibraryProfile(parsed.profile, slot, block, written);
    const int area = slot + 1;
    const std::wstring slotNumber = std::to_wstring(slot + 1);

    const ChangeScope change(session, ChangeCause::LibraryLoad, slot);
    PendingWrite write;
    write.areas.push_back({area, block.bytes});
    write.areas.push_back({0, written.bytes});
    const WriteOutcome outcome = session.WriteSequence(write);
    if (outcome.notKept) {
        output.Error(
            output.Text(kLoadNotKeptKey, kDefaultLoadNotKept, {path, outcome.keepProblem}) + L"\n");
        return kExitWriteFailed;
    }
    if (outcome.notRecorded) {
        output.Error(output.Text(kLoadNotRecordedKey, kDefaultLoadNotRecorded, {path}) + L"\n");
        return kExitWriteFailed;
    }
    std::wstring notWritten;
    for (size_t i = 0; i < write.areas.size(); ++i) {
        if (i >= outcome.blockWhole.size() || !outcome.blockWhole[i])
            notWritten += (notWritten.empty() ? L"" : L", ") + ImageBlockName(write.areas[i].first);
    }
    if (progress != nullptr)
        progress->Moved(3, kSteps);
    // Only the two blocks written are read back; the others stay zero on both sides.
    MemoryImage expected{};
    MemoryImage readBack{};
    expected[size_t(area)] = block.bytes;
    expected[0] = written.bytes;
    std::wstring incomplete;
    std::array<bool, kImageBlockCount> readWhole{};
    int step = 3;
    for (int b : {area, 0}) {
        readWhole[size_t(b)] = ReadImageBlock(session, b, readBack[size_t(b)]);
        if (!readWhole[size_t(b)])
            incomplete += (incomplete.empty() ? L"" : L", ") + ImageBlockName(b);
        if (progress != nullptr)
            progress->Moved(++step, kSteps);
    }
    const std::vector<BlockDifference> differences = CompareImages(expected, readBack);
    auto verified = [&](int b) {
        bool same = readWhole[size_t(b)];
        for (const BlockDifference& d : differences)
            same = same && d.block != b;
        return same;
    };
    if (verified(area))
        StoreCachedBlock(slot, readBack[size_t(area)].data());
    if (verified(0)) {
        header.bytes = readBack[0];
        StoreCachedHeader(header);
    }

    if (const int failed = TellReadBackFailures(
            output, output.Text(kLoadOfFailedKey, kDefaultLoadOfFailed, {path, slotNumber}),
            notWritten, incomplete, differences);
        failed != kExitDone)
        return failed;
    output.Print(output.Text(kProfileLoadedKey, kDefaultProfileLoaded, {path, slotNumber}) + L"\n");
    return kExitDone;
}
