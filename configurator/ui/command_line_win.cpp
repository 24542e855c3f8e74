// TarnDesk's command-line runs: /export, /import, /show, /select and /?. A GUI program has no
// console of its own, so output goes to standard handles a caller redirected (a file or
// pipe, written as UTF-8) or else to the parent's console.
#include "command_line.h"

#include "device_channel.h"
#include "diagnostics_win.h"
#include "handle_owners_win.h"
#include "profile_cache.h"
#include "profile_file.h"
#include "profile_record.h"
#include "tarn_version.h"
#include "text_files.h"

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// A backup is 6 KB of text; anything far larger is no backup and is not read whole.
constexpr DWORD kLargestProfileFile = 1u << 20;

class Output {
  public:
    // Collects the messages instead of printing them (the tray shows them in a message box).
    explicit Output(std::wstring* capture) : capture_(capture) {}
    Output() {
        out_ = Usable(GetStdHandle(STD_OUTPUT_HANDLE));
        err_ = Usable(GetStdHandle(STD_ERROR_HANDLE));
        if (out_ == nullptr || err_ == nullptr) {
            if (AttachConsole(ATTACH_PARENT_PROCESS) != FALSE) {
                // Opened here and released with the output; the std handles are the caller's.
                console_.Reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
            }
            const HANDLE console = console_ ? console_.Get() : nullptr;
            if (out_ == nullptr)
                out_ = console;
            if (err_ == nullptr)
                err_ = console;
        }
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Print(const std::wstring& text) const { Emit(out_, text); }
    void Error(const std::wstring& text) const { Emit(err_, text); }

  private:
    void Emit(HANDLE handle, const std::wstring& text) const {
        if (capture_ != nullptr)
            *capture_ += text;
        else
            Write(handle, text);
    }
    static HANDLE Usable(HANDLE handle) {
        return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    static void Write(HANDLE handle, const std::wstring& text) {
        if (handle == nullptr || text.empty())
            return;
        DWORD mode = 0;
        DWORD done = 0;
        if (GetConsoleMode(handle, &mode) != FALSE) {
            // A console shows wide text as is, whatever its code page.
            std::wstring console;
            for (wchar_t c : text) {
                if (c == L'\n')
                    console += L'\r';
                console += c;
            }
            WriteConsoleW(handle, console.c_str(), static_cast<DWORD>(console.size()), &done,
                          nullptr);
            return;
        }
        const std::string utf8 = ToUtf8(text);
        WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
    }
    static std::string ToUtf8(const std::wstring& text) {
        const int length = WideCharToMultiByte(
            CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
        if (length > 0)
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                length, nullptr, nullptr);
        return utf8;
    }

    HANDLE out_ = nullptr;
    HANDLE err_ = nullptr;
    UniqueHandle console_;
    std::wstring* capture_ = nullptr;
};

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

uint16_t IdValue(const wchar_t* text) {
    return static_cast<uint16_t>(std::wcstoul(text, nullptr, 16));
}

std::wstring DeviceText() {
    return std::wstring(vendorId) + L":" + productId;
}

// Block 0 is the header, 1..5 the profiles. Whole: the block moved completely.
bool ReadImageBlock(int block, MemoryBlock& bytes) {
    const int operation = block == 0 ? ReadHeader : ReadProfile;
    return RunDeviceOperation(operation, block == 0 ? 0 : block - 1, bytes.data()).whole;
}

// The header written becomes the program's header block: the mouse holds it now, and an open
// Settings dialog shows and applies it. A Settings dialog's profile block stays as it is.
bool WriteImageBlock(int block, const MemoryBlock& bytes) {
    if (block == 0) {
        std::memcpy(headerBlock, bytes.data(), kBlockLength);
        return RunDeviceOperation(WriteHeader, 0, headerBlock).whole;
    }
    MemoryBlock sent = bytes;
    return RunDeviceOperation(WriteProfile, block - 1, sent.data()).whole;
}

// The whole memory; `whole` says per block whether it arrived complete and `incomplete`
// names those that did not.
MemoryImage ReadImage(std::wstring* incomplete,
                      std::array<bool, kImageBlockCount>* whole = nullptr) {
    MemoryImage image{};
    for (int block = 0; block < kImageBlockCount; ++block) {
        const bool arrived = ReadImageBlock(block, image[size_t(block)]);
        if (!arrived)
            *incomplete += (incomplete->empty() ? L"" : L", ") + ImageBlockName(block);
        if (whole != nullptr)
            (*whole)[size_t(block)] = arrived;
    }
    return image;
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

bool RequireMouse(const Output& output) {
    if (IsMousePresent())
        return true;
    output.Error(L"No mouse " + DeviceText() + L" is connected.\n");
    return false;
}

// A command's transfers are one piece: another TarnDesk's walk (each walk takes the same
// lock) cannot come between an import's writes and its read-back.
bool HoldMouse(const Output& output, const MouseTransferLock& lock) {
    if (lock.Held())
        return true;
    output.Error(L"The mouse stayed busy with another TarnDesk; nothing was done.\n");
    return false;
}

int Export(const Output& output, const std::wstring& path) {
    if (!RequireMouse(output))
        return kExitNoMouse;
    const MouseTransferLock lock;
    if (!HoldMouse(output, lock))
        return kExitNoMouse;
    std::wstring incomplete;
    const MemoryImage image = ReadImage(&incomplete);
    if (!incomplete.empty()) {
        output.Error(L"The mouse did not deliver all of its memory (" + incomplete + L"); " + path +
                     L" was not written.\n");
        return kExitNoMouse;
    }
    const ProfileFileInfo info{IdValue(vendorId), IdValue(productId), TARN_VERSION_STRING,
                               NowText()};
    const std::wstring problem = WriteWholeFile(path, FormatProfileFile(image, info));
    if (!problem.empty()) {
        output.Error(L"Could not write " + path + L": " + problem + L".\n");
        return kExitWriteFailed;
    }
    output.Print(L"Saved the mouse's memory to " + path + L".\n");
    return kExitDone;
}

int Import(const Output& output, const std::wstring& path) {
    std::string content;
    std::wstring problem = ReadWholeFile(path, &content);
    ParsedProfileFile parsed;
    if (problem.empty()) {
        parsed = ParseProfileFile(content, IdValue(vendorId), IdValue(productId));
        problem = parsed.problem;
    }
    if (!parsed.accepted) {
        output.Error(L"Refused " + path + L": " + problem + L". Nothing was written.\n");
        return kExitFileRefused;
    }
    if (!RequireMouse(output))
        return kExitNoMouse;

    const MouseTransferLock lock;
    if (!HoldMouse(output, lock))
        return kExitWriteFailed;
    std::wstring notWritten;
    for (int block = 0; block < kImageBlockCount; ++block) {
        if (!WriteImageBlock(block, parsed.image[size_t(block)]))
            notWritten += (notWritten.empty() ? L"" : L", ") + ImageBlockName(block);
    }
    std::wstring incomplete;
    std::array<bool, kImageBlockCount> readWhole{};
    const MemoryImage readBack = ReadImage(&incomplete, &readWhole);
    const std::vector<BlockDifference> differences = CompareImages(parsed.image, readBack);

    // The cache takes only blocks read back whole and equal to the file.
    for (int block = 0; block < kImageBlockCount; ++block) {
        bool verified = readWhole[size_t(block)];
        for (const BlockDifference& d : differences)
            verified = verified && d.block != block;
        if (!verified)
            continue;
        if (block == 0) {
            std::memcpy(headerBlock, readBack[0].data(), kBlockLength);
            StoreCachedBlock(kHeaderCacheNumber, headerBlock);
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

int Show(const Output& output) {
    if (!RequireMouse(output))
        return kExitNoMouse;
    LoadTextSettings();
    std::array<std::wstring, kFunctionCount> names;
    for (int f = 0; f < kFunctionCount; ++f)
        names[size_t(f)] = LookupFunctionName(f);
    const MouseTransferLock lock;
    if (!HoldMouse(output, lock))
        return kExitNoMouse;
    std::wstring incomplete;
    const MemoryImage image = ReadImage(&incomplete);
    // A mouse that answers nothing shows profile 1, as the configurator starts.
    const int32_t active = QueryMouseProfile().value_or(0);
    output.Print(FormatShow(image, active, names));
    if (!incomplete.empty()) {
        output.Error(L"The mouse did not deliver all of its memory (" + incomplete +
                     L"); what is shown for it may be wrong.\n");
        return kExitVerifyFailed;
    }
    return kExitDone;
}

int Select(const Output& output, int profile) {
    if (!RequireMouse(output))
        return kExitNoMouse;
    const MouseTransferLock lock;
    if (!HoldMouse(output, lock))
        return kExitWriteFailed;
    RunDeviceOperation(SelectProfile, profile);
    const int32_t active = QueryMouseProfile().value_or(0);
    if (active != profile) {
        output.Error(L"Profile " + std::to_wstring(profile + 1) +
                     L" was sent, but the mouse reports profile " + std::to_wstring(active + 1) +
                     L" as active.\n");
        return kExitVerifyFailed;
    }
    output.Print(L"Profile " + std::to_wstring(profile + 1) + L" is active.\n");
    return kExitDone;
}

} // namespace

int ExportProfiles(const std::wstring& path, std::wstring* message) {
    return Export(Output(message), path);
}

int ImportProfiles(const std::wstring& path, std::wstring* message) {
    return Import(Output(message), path);
}

std::vector<std::wstring> ProgramArguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    const UniqueLocalBlock owned(list);
    if (list == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(list[i]);
    return arguments;
}

namespace {

// A failed transfer is kept for the diagnostics report: the command and its exit code only,
// never the file it named.
int Recorded(const wchar_t* option, int code) {
    if (code != kExitDone && code != kExitBadUsage) {
        RecordDeskError(std::wstring(option) + L" ended with exit code " + std::to_wstring(code));
    }
    return code;
}

} // namespace

int RunCommandLine(const Command& command) {
    const Output output;
    switch (command.kind) {
    case CommandKind::Usage:
        output.Print(UsageText());
        return kExitDone;
    case CommandKind::Export:
        return Recorded(L"/export", Export(output, command.file));
    case CommandKind::Import:
        return Recorded(L"/import", Import(output, command.file));
    case CommandKind::Show:
        return Show(output);
    case CommandKind::Select:
        return Select(output, command.profile);
    case CommandKind::Diagnostics:
        output.Print(DiagnosticsReport());
        return kExitDone;
    case CommandKind::BadUsage:
        output.Error(L"TarnDesk: " + command.problem + L".\n" + UsageText());
        return kExitBadUsage;
    case CommandKind::Tray:
    default:
        return kExitBadUsage;
    }
}
