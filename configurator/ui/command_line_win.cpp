// TarnDesk's command-line runs: /export, /import, /show, /select and /?. A GUI program has no
// console of its own, so output goes to standard handles a caller redirected (a file or
// pipe, written as UTF-8) or else to the parent's console.
#include "command_line.h"

#include "history_command.h"
#include "settings/backup_restore.h"
#include "settings/diagnostics_win.h"
#include "handle_owners_win.h"
#include "settings/text_files.h"

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kShowIncompleteKey[] = L"ShowIncomplete";
constexpr wchar_t kDefaultShowIncomplete[] =
    L"The mouse did not deliver all of its memory (%s); what is shown for it may be wrong.";
constexpr wchar_t kSelectMismatchKey[] = L"SelectMismatch";
constexpr wchar_t kDefaultSelectMismatch[] =
    L"Profile %s was sent, but the mouse reports profile %s as active.";
constexpr wchar_t kShowRefusedKey[] = L"ShowRefused";
constexpr wchar_t kDefaultShowRefused[] = L"Cannot show %s: %s.";
constexpr wchar_t kSelectDoneKey[] = L"SelectDone";
constexpr wchar_t kDefaultSelectDone[] = L"Profile %s is active.";

class Output final : public Reporter {
  public:
    explicit Output(const TextSettings& texts) : Reporter(&texts) {
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

    void Print(const std::wstring& text) override { Write(out_, text); }
    void Error(const std::wstring& text) override { Write(err_, text); }

  private:
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
};

// Ctrl+C or Ctrl+Break on the console a run writes to (TarnDesk.com's, or the prompt's the
// exe attached to) would otherwise end it in the middle of a transfer: the run finishes.
BOOL WINAPI FinishTheRun(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

TextLookup LookupIn(const TextSettings& texts) {
    return [&texts](const wchar_t* key, const wchar_t* builtIn) {
        return texts.LookupDefault(key, builtIn);
    };
}

int Show(MouseSession& session, Reporter& output, const TextSettings& texts) {
    if (!RequireMouse(session, output))
        return kExitNoMouse;
    FunctionNames names;
    for (int f = 0; f < kFunctionCount; ++f)
        names[size_t(f)] = texts.LookupFunctionName(f);
    const SessionHold lock = session.Hold();
    if (!HoldsMouse(lock, output))
        return kExitNoMouse;
    std::wstring incomplete;
    const MemoryImage image = ReadImage(session, &incomplete);
    // A mouse that answers nothing shows profile 1, as the configurator starts.
    const int32_t active = session.QueryProfile().value_or(0);
    output.Print(FormatShow(image, active, names, LookupIn(texts)));
    if (!incomplete.empty()) {
        output.Error(output.Text(kShowIncompleteKey, kDefaultShowIncomplete, {incomplete}) + L"\n");
        return kExitVerifyFailed;
    }
    return kExitDone;
}

FunctionNames FunctionNamesOf(const TextSettings& texts) {
    FunctionNames names;
    for (int f = 0; f < kFunctionCount; ++f)
        names[size_t(f)] = texts.LookupFunctionName(f);
    return names;
}

// /show FILE: a profile file or a backup, read and checked as /load and /import check it.
int ShowFile(const MouseSession& session, const std::wstring& path, Reporter& output,
             const TextSettings& texts) {
    std::string content;
    std::wstring problem = ReadProfileFileText(path, &content, output);
    std::wstring shown;
    if (problem.empty() &&
        FormatShowFile(content, IdValue(session.Ids().vendorId), IdValue(session.Ids().productId),
                       FunctionNamesOf(texts), LookupIn(texts), &shown, &problem)) {
        output.Print(shown);
        return kExitDone;
    }
    output.Error(output.Text(kShowRefusedKey, kDefaultShowRefused, {path, problem}) + L"\n");
    return kExitFileRefused;
}

int Select(MouseSession& session, Reporter& output, int profile) {
    if (!RequireMouse(session, output))
        return kExitNoMouse;
    const SessionHold lock = session.Hold();
    if (!HoldsMouse(lock, output))
        return kExitWriteFailed;
    session.Select(profile);
    const int32_t active = session.QueryProfile().value_or(0);
    if (active != profile) {
        output.Error(output.Text(kSelectMismatchKey, kDefaultSelectMismatch,
                                 {std::to_wstring(profile + 1), std::to_wstring(active + 1)}) +
                     L"\n");
        return kExitVerifyFailed;
    }
    output.Print(output.Text(kSelectDoneKey, kDefaultSelectDone, {std::to_wstring(profile + 1)}) +
                 L"\n");
    return kExitDone;
}

} // namespace

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

int RunCommandLine(MouseSession& session, const Command& command) {
    SetConsoleCtrlHandler(FinishTheRun, TRUE);
    TextSettings texts;
    texts.Load();
    Output output(texts);
    // A command-line run has a header of its own: the tray's is no business of it.
    HeaderBlock header;
    switch (command.kind) {
    case CommandKind::Usage:
        output.Print(UsageText(LookupIn(texts)));
        return kExitDone;
    case CommandKind::Export:
        return Recorded(L"/export", ExportMemory(session, command.file, output));
    case CommandKind::Import:
        return Recorded(L"/import", ImportMemory(session, command.file, header, output));
    case CommandKind::Show:
        return Show(session, output, texts);
    case CommandKind::Select:
        return Select(session, output, command.profile);
    case CommandKind::Diagnostics:
        output.Print(DiagnosticsReport(session, texts));
        return kExitDone;
    case CommandKind::History:
        return Recorded(L"/history", RunHistoryCommand(session, command, output));
    case CommandKind::RestoreSnapshot:
        return Recorded(L"/restore", RunHistoryCommand(session, command, output));
    case CommandKind::Diff:
        return Recorded(L"/diff", RunHistoryCommand(session, command, output));
    case CommandKind::SaveProfile:
        return Recorded(L"/save", SaveLibraryProfile(session, command.profile, command.file,
                                                     command.name, output));
    case CommandKind::LoadProfile:
        return Recorded(L"/load",
                        LoadLibraryProfile(session, command.file, command.profile, header, output));
    case CommandKind::ShowFile:
        return ShowFile(session, command.file, output, texts);
    case CommandKind::BadUsage:
        output.Error(L"TarnDesk: " + ProblemText(command, LookupIn(texts)) + L".\n" +
                     UsageText(LookupIn(texts)));
        return kExitBadUsage;
    case CommandKind::Tray:
    case CommandKind::Open:
    default:
        return kExitBadUsage;
    }
}
