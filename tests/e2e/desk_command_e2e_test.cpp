// TarnDesk's command line and its two tray menu items, release build, against the virtual
// mouse: a backup restores the memory byte for byte, a damaged or foreign backup is refused
// before anything is written, a page the mouse refuses is reported by block, and two runs at
// once never interleave; a file opened on the desktop goes to the running tray, which asks first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <utility>

#include <shlobj.h>

#include "e2e_harness_win.h"
#include "e2e_mouse.h"

#include <shellapi.h>

namespace tarn::e2e {
namespace {

struct DeskRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output; // standard output and error, as redirected to a file
};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::string Utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                        length, nullptr, nullptr);
    return utf8;
}

std::string ReadText(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteText(const std::wstring& path, const std::string& text) {
    std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << text;
}

// Starts TarnDesk.exe with `arguments`, its standard output and error into one file.
UniqueHandle StartDesk(const std::wstring& arguments, const std::wstring& outputPath) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    // The child holds its own copy; ours is closed once it started.
    const UniqueHandle out(CreateFileW(outputPath.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return UniqueHandle();
    std::wstring line = L"\"" + ProgramDir() + L"TarnDesk.exe\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = out.Get();
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        ProgramDir().c_str(), &startup, &info))
        return UniqueHandle();
    const UniqueHandle thread(info.hThread);
    return UniqueHandle(info.hProcess);
}

DeskRun FinishDesk(const UniqueHandle& process, const std::wstring& outputPath) {
    DeskRun run;
    if (!process) {
        ADD_FAILURE() << "TarnDesk did not start";
        return run;
    }
    EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0) << "TarnDesk did not end";
    GetExitCodeProcess(process.Get(), &run.exitCode);
    run.output = ReadText(outputPath);
    return run;
}

DeskRun RunDesk(const std::wstring& arguments) {
    const std::wstring outputPath = ArtifactDir() + L"desk_command_output.txt";
    return FinishDesk(StartDesk(arguments, outputPath), outputPath);
}

// TarnDesk.com, its standard output and error into one pipe, as "TarnDesk ... | more" runs it.
DeskRun RunCompanion(const std::wstring& arguments) {
    DeskRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        ADD_FAILURE() << "no pipe";
        return run;
    }
    const UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring line = L"\"" + ProgramDir() + L"TarnDesk.com\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        ArtifactDir().c_str(), &startup, &info)) {
        ADD_FAILURE() << "TarnDesk.com did not start";
        return run;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    writer.Reset(); // the pipe ends when the companion and the exe have closed theirs
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        run.output.append(buffer, got);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.Get(), &run.exitCode);
    return run;
}

// TarnDesk's progress window, once it is shown.
HWND ProgressWindowOf(DWORD processId) {
    for (HWND w = FindWindowW(L"TarnDeskProgress", nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, L"TarnDeskProgress", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == processId && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

// The window's thread handles a message within a second.
bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
}

// `target` with profile `from` (0..4) of `source` loaded into profile `into`: its block with
// the records' slot bytes naming `into`, its header record with its first byte `into`, and
// not one byte more.
virt::MemoryImage LoadedInto(virt::MemoryImage target, const virt::MemoryImage& source, size_t from,
                             size_t into) {
    constexpr size_t kArea = 512;
    constexpr size_t kButtons = 7;
    constexpr size_t kRecords = 64; // the header's profile records, 8 bytes each
    const size_t at = (from + 1) * kArea;
    const size_t to = (into + 1) * kArea;
    for (size_t i = 0; i < kArea; ++i)
        target[to + i] = source[at + i];
    for (size_t button = 0; button < kButtons; ++button)
        target[to + 4 * button] =
            static_cast<uint8_t>((into << 5) | (source[at + 4 * button] & 0x1F));
    for (size_t i = 0; i < 8; ++i)
        target[kRecords + 8 * into + i] = source[kRecords + 8 * from + i];
    target[kRecords + 8 * into] = static_cast<uint8_t>(into);
    return target;
}

class DeskCommandLine : public DeskMouseTest {
  protected:
    // A backup of `image` made through /export.
    std::wstring Backup(const virt::MemoryImage& image, const std::wstring& name) {
        EXPECT_TRUE(mouse_->Load(image));
        const std::wstring path = ArtifactDir() + name;
        DeleteFileW(path.c_str());
        const DeskRun run = RunDesk(L"/export \"" + path + L"\"");
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        return path;
    }

    bool MouseHolds(const virt::MemoryImage& image) const {
        std::optional<virt::MemoryImage> memory = mouse_->Dump();
        return memory && *memory == image;
    }
};

TEST_F(DeskCommandLine, BackupRestoresTheMemoryByteForByteAndTheOtherCommandsWork) {
    const virt::MemoryImage saved = PatternImage(41);
    const std::wstring path = Backup(saved, L"round_trip.tarnprofiles");
    ASSERT_TRUE(mouse_->Load(PatternImage(42)));

    const DeskRun restored = RunDesk(L"--import \"" + path + L"\"");
    EXPECT_EQ(restored.exitCode, 0u) << restored.output;
    EXPECT_TRUE(MouseHolds(saved)) << "the mouse's memory differs from the file";
    for (int key : {0, 1, 2, 3, 4, 255})
        EXPECT_TRUE(ReadCachedBlock(key)) << "the verified block " << key << " was not cached";
    EXPECT_EQ(FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"), nullptr)
        << "a command-line run made the tray's window";

    const DeskRun selected = RunDesk(L"/select 4");
    EXPECT_EQ(selected.exitCode, 0u) << selected.output;
    const std::optional<virt::MouseStatus> status = mouse_->Status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->activeProfile, 3u);
    const DeskRun shown = RunDesk(L"/show");
    EXPECT_EQ(shown.exitCode, 0u) << shown.output;
    EXPECT_NE(shown.output.find("Active profile: 4"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("Profile 5"), std::string::npos) << shown.output;

    const DeskRun usage = RunDesk(L"/?");
    EXPECT_EQ(usage.exitCode, 0u);
    EXPECT_NE(usage.output.find("/import FILE"), std::string::npos) << usage.output;
    const DeskRun bad = RunDesk(L"/select 9");
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_NE(bad.output.find("1 to 5"), std::string::npos) << bad.output;

    // The report to send with a fault: versions, the mouse and its filter devices, the active
    // profile, each cached block's CRC (the test's own CRC of the registry value).
    const DeskRun report = RunDesk(L"/diagnostics");
    EXPECT_EQ(report.exitCode, 0u) << report.output;
    for (const char* part : {"TarnDesk.exe 1.0.0.0", "TarnAgent.exe 1.0.0.0",
                             "Mouse F1D0:0084: present", "TarnHidLowerFilter present",
                             "Active profile: 4", "Program profiles: ", "Last errors:"}) {
        EXPECT_NE(report.output.find(part), std::string::npos) << part << "\n" << report.output;
    }
    for (int key : {0, 255}) {
        const std::optional<CachedBlock> block = ReadCachedBlock(key);
        ASSERT_TRUE(block);
        uint32_t crc = 0xFFFFFFFFu;
        for (uint8_t byte : block->bytes) {
            crc ^= byte;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        char line[64];
        std::snprintf(line, sizeof(line), "%s: CRC %08X", key == 255 ? "header" : "profile 1",
                      static_cast<unsigned>(~crc));
        EXPECT_NE(report.output.find(line), std::string::npos) << line << "\n" << report.output;
    }
}

TEST_F(DeskCommandLine, DamagedOrForeignBackupsAreRefusedWithNothingWritten) {
    const std::string good = ReadText(Backup(PatternImage(43), L"good.tarnprofiles"));
    ASSERT_FALSE(good.empty());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    std::string changedByte = good;
    const size_t middle = good.size() / 2;
    const size_t digit = good.find_first_of("0123456789ABCDEF", good.find(' ', middle) + 1);
    changedByte[digit] = changedByte[digit] == '0' ? '1' : '0';
    const struct {
        const wchar_t* name;
        std::string text;
        const char* cause;
    } files[] = {
        {L"changed_byte.tarnprofiles", changedByte, "checksum"},
        {L"truncated.tarnprofiles", good.substr(0, middle), "cut short"},
        {L"other_product.tarnprofiles", replaced("F1D0:0084", "F1D0:0085"), "F1D0:0085"},
        {L"later_format.tarnprofiles", replaced("format 1", "format 2"), "later TarnDesk"},
    };
    ASSERT_TRUE(mouse_->Load(PatternImage(44)));
    DeleteCache();
    const uint32_t pagesBefore = PagesWritten();
    for (const auto& file : files) {
        const std::wstring path = ArtifactDir() + file.name;
        WriteText(path, file.text);
        const DeskRun run = RunDesk(L"/import \"" + path + L"\"");
        EXPECT_EQ(run.exitCode, 3u) << Narrow(file.name) << ": " << run.output;
        EXPECT_NE(run.output.find(Narrow(path)), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(file.cause), std::string::npos) << run.output;
    }
    EXPECT_EQ(PagesWritten(), pagesBefore) << "a refused file reached the mouse";
    EXPECT_TRUE(MouseHolds(PatternImage(44)));
    for (int key : {0, 1, 2, 3, 4, 255})
        EXPECT_FALSE(ReadCachedBlock(key)) << "a refused file reached the cache, key " << key;

    // A failed export keeps the file that was there.
    const std::wstring kept = ArtifactDir() + L"kept.tarnprofiles";
    WriteText(kept, "old");
    ASSERT_TRUE(EnsureUnplugged());
    const DeskRun noMouse = RunDesk(L"/export \"" + kept + L"\"");
    EXPECT_TRUE(EnsurePlugged());
    EXPECT_EQ(noMouse.exitCode, 2u) << noMouse.output;
    EXPECT_EQ(ReadText(kept), "old");

    // The report lists the failures by command and code, naming none of the files.
    const DeskRun report = RunDesk(L"/diagnostics");
    EXPECT_NE(report.output.find("/import ended with exit code 3"), std::string::npos)
        << report.output;
    EXPECT_NE(report.output.find("/export ended with exit code 2"), std::string::npos)
        << report.output;
    EXPECT_EQ(report.output.find("tarnprofiles"), std::string::npos) << report.output;
}

// The console companion waits for the run, passes its output on and ends with its code; a
// destination that cannot be written is told before the mouse is read.
TEST_F(DeskCommandLine, AProfileSavedAndLoadedLandsInItsSlotAndNothingElseChanges) {
    const virt::MemoryImage source = PatternImage(51);
    ASSERT_TRUE(mouse_->Load(source));
    const std::wstring path = ArtifactDir() + L"office.tarnprofile";
    DeleteFileW(path.c_str());
    const DeskRun saved = RunDesk(L"--save 2 \"" + path + L"\" /name \"B\u00FCro \u5C04\u624B\"");
    ASSERT_EQ(saved.exitCode, 0u) << saved.output;
    const std::string file = ReadText(path);
    EXPECT_NE(file.find("\nname " + Utf8(L"B\u00FCro \u5C04\u624B") + "\n"), std::string::npos)
        << file;
    const DeskRun shown = RunDesk(L"/show \"" + path + L"\"");
    EXPECT_EQ(shown.exitCode, 0u) << shown.output;
    EXPECT_NE(shown.output.find(Utf8(L"Profile \"B\u00FCro \u5C04\u624B\"")), std::string::npos)
        << shown.output;

    // Into profile 4 of another memory.
    const virt::MemoryImage target = PatternImage(52);
    ASSERT_TRUE(mouse_->Load(target));
    DeleteCache();
    const DeskRun loaded = RunDesk(L"/load \"" + path + L"\" 4");
    ASSERT_EQ(loaded.exitCode, 0u) << loaded.output;
    const virt::MemoryImage expected = LoadedInto(target, source, 1, 3);
    constexpr size_t kArea = 512;
    const std::optional<virt::MemoryImage> memory = mouse_->Dump();
    ASSERT_TRUE(memory);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ((*memory)[i], expected[i]) << "area " << i / kArea << " byte " << i % kArea;
    const std::optional<CachedBlock> cached = ReadCachedBlock(3);
    ASSERT_TRUE(cached) << "the verified profile was not cached";
    EXPECT_TRUE(
        std::equal(cached->bytes.begin(), cached->bytes.end(), expected.begin() + 4 * kArea));
    const DeskRun history = RunDesk(L"/history");
    EXPECT_NE(history.output.find("Library load (profile 4)"), std::string::npos) << history.output;

    // A profile file with one byte changed is refused and writes nothing.
    std::string changed = file;
    const size_t digit = file.find("block 0040 ") + 11;
    changed[digit] = changed[digit] == '0' ? '1' : '0';
    const std::wstring damaged = ArtifactDir() + L"damaged.tarnprofile";
    WriteText(damaged, changed);
    const uint32_t pagesBefore = PagesWritten();
    const DeskRun refused = RunDesk(L"/load \"" + damaged + L"\" 1");
    EXPECT_EQ(refused.exitCode, 3u) << refused.output;
    EXPECT_NE(refused.output.find("checksum"), std::string::npos) << refused.output;
    EXPECT_EQ(PagesWritten(), pagesBefore) << "a refused profile file reached the mouse";
}

HWND DialogOf(DWORD processId, HWND except, std::wstring* text);

TEST_F(DeskCommandLine, TheConsoleCompanionWaitsAndEndsWithTheCommandsCode) {
    const std::string good = ReadText(Backup(PatternImage(51), L"companion.tarnprofiles"));
    std::string damaged = good;
    damaged[damaged.size() - 3] = damaged[damaged.size() - 3] == '0' ? '1' : '0';
    const std::wstring refused = ArtifactDir() + L"companion_damaged.tarnprofiles";
    WriteText(refused, damaged);
    // A name beyond the console's code page: the pipe carries it as UTF-8.
    const std::wstring unicodeName = L"r\u00E9glages \u0432\u0441\u0435 \u8A2D\u5B9A.tarnprofiles";
    const std::wstring saved = ArtifactDir() + unicodeName;
    DeleteFileW(saved.c_str());
    const std::wstring missingFolder = ArtifactDir() + L"no such folder\\x.tarnprofiles";
    const struct {
        const char* name;
        std::wstring arguments;
        bool plugged;
        DWORD exitCode;
        std::string output;
    } runs[] = {
        {"show", L"/show", true, 0, "Active profile: "},
        {"export", L"/export \"" + saved + L"\"", true, 0, Utf8(unicodeName)},
        {"refused file", L"/import \"" + refused + L"\"", true, 3, "checksum"},
        {"folder missing", L"/export \"" + missingFolder + L"\"", true, 5, "Could not write"},
        {"no mouse", L"/show", false, 2, "Please connect your mouse"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        ASSERT_TRUE(run.plugged ? EnsurePlugged() : EnsureUnplugged());
        const uint32_t pagesRead = run.plugged ? mouse_->Status()->pagesRead : 0;
        const DeskRun done = RunCompanion(run.arguments);
        EXPECT_EQ(done.exitCode, run.exitCode) << done.output;
        EXPECT_NE(done.output.find(run.output), std::string::npos) << done.output;
        if (run.exitCode == 5) {
            EXPECT_EQ(mouse_->Status()->pagesRead, pagesRead) << "the mouse was read first";
        }
    }
    ASSERT_TRUE(EnsurePlugged());
    EXPECT_EQ(ReadText(saved).rfind("TarnDesk profiles\n", 0), 0u) << "no backup under that name";

    // Without arguments it starts the tray program and returns at once.
    const DWORD started = GetTickCount();
    const DeskRun tray = RunCompanion(L"");
    EXPECT_EQ(tray.exitCode, 0u);
    EXPECT_LT(GetTickCount() - started, 10000u);
    HWND window = WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000);
    ASSERT_NE(window, nullptr) << "the tray program did not start";
    PostMessageW(window, WM_COMMAND, 32771, 0);
    WaitUntil([] { return FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd") == nullptr; }, 10000);

    // So does "/open FILE", whose tray then asks where the file's profile goes.
    const std::wstring profile = ArtifactDir() + L"companion.tarnprofile";
    ASSERT_EQ(RunDesk(L"/save 1 \"" + profile + L"\"").exitCode, 0u);
    const DWORD opening = GetTickCount();
    const DeskRun opened = RunCompanion(L"/open \"" + profile + L"\"");
    EXPECT_EQ(opened.exitCode, 0u) << opened.output;
    EXPECT_LT(GetTickCount() - opening, 10000u);
    window = WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000);
    ASSERT_NE(window, nullptr) << "the tray program did not start";
    DWORD trayProcess = 0;
    GetWindowThreadProcessId(window, &trayProcess);
    std::wstring text;
    HWND chooser = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] { return (chooser = DialogOf(trayProcess, nullptr, &text)) != nullptr; }, 15000))
        << "the tray was not given the file";
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(window, WM_COMMAND, 32771, 0);
    WaitUntil([] { return FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd") == nullptr; }, 10000);
}

TEST_F(DeskCommandLine, APageTheMouseRefusesDuringARestoreIsReportedByBlock) {
    const virt::MemoryImage saved = PatternImage(45);
    const std::wstring path = Backup(saved, L"refused_page.tarnprofiles");
    ASSERT_TRUE(mouse_->Load(PatternImage(46)));
    DeleteCache();
    // Area 3 holds profile 3 (cache key 2); its page 5 is refused.
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_REJECT_PAGES, 3, 1 << 5));

    const DeskRun run = RunDesk(L"/import \"" + path + L"\"");
    EXPECT_EQ(run.exitCode, 5u) << run.output;
    EXPECT_NE(run.output.find("profile 3"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("profile 2"), std::string::npos) << run.output;
    EXPECT_FALSE(ReadCachedBlock(2)) << "an unverified block was cached";
    EXPECT_TRUE(ReadCachedBlock(1));
    EXPECT_TRUE(ReadCachedBlock(255));
}

TEST_F(DeskCommandLine, TwoRunsAtOnceNeverInterleaveTheirTransfers) {
    const virt::MemoryImage saved = PatternImage(47);
    ASSERT_TRUE(mouse_->Load(saved));
    const std::wstring first = ArtifactDir() + L"first.tarnprofiles";
    const std::wstring second = ArtifactDir() + L"second.tarnprofiles";
    const std::wstring firstOut = ArtifactDir() + L"first_output.txt";
    const std::wstring secondOut = ArtifactDir() + L"second_output.txt";
    const UniqueHandle a = StartDesk(L"/export \"" + first + L"\"", firstOut);
    const UniqueHandle b = StartDesk(L"/export \"" + second + L"\"", secondOut);
    const DeskRun runA = FinishDesk(a, firstOut);
    const DeskRun runB = FinishDesk(b, secondOut);
    EXPECT_EQ(runA.exitCode, 0u) << runA.output;
    EXPECT_EQ(runB.exitCode, 0u) << runB.output;
    // Each backup, restored over other contents, must give back the memory as it was.
    for (const std::wstring& path : {first, second}) {
        ASSERT_TRUE(mouse_->Load(PatternImage(48)));
        const DeskRun restored = RunDesk(L"/import \"" + path + L"\"");
        EXPECT_EQ(restored.exitCode, 0u) << restored.output;
        EXPECT_TRUE(MouseHolds(saved)) << Narrow(path) << " does not hold the memory";
    }
}

// A dialog of the process (a file dialog or message box) other than `except`, with the text of
// its message (empty for a file dialog).
HWND DialogOf(DWORD processId, HWND except, std::wstring* text) {
    for (HWND w = FindWindowW(L"#32770", nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner != processId || w == except || !IsWindowVisible(w))
            continue;
        wchar_t buffer[512] = {};
        GetDlgItemTextW(w, 0xFFFF, buffer, 512);
        *text = buffer;
        return w;
    }
    return nullptr;
}

HWND WaitDialog(DWORD processId, std::wstring* text, HWND except = nullptr) {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = DialogOf(processId, except, text)) != nullptr; }, 15000);
    return dialog;
}

// Types the path into a file dialog's name box and presses its OK button.
void ChooseFile(HWND dialog, const std::wstring& path) {
    constexpr int kFileNameCombo = 0x47C; // the name box of the system's file dialogs
    constexpr int kFileNameEdit = 0x480;
    if (!SetDlgItemTextW(dialog, kFileNameCombo, path.c_str()))
        SetDlgItemTextW(dialog, kFileNameEdit, path.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(DeskCommandLine, TrayMenuBacksUpAndRestoresThroughTheFileDialogs) {
    constexpr UINT kCommandBackUp = 32774;
    constexpr UINT kCommandRestore = 32775;
    const virt::MemoryImage saved = PatternImage(49);
    ASSERT_TRUE(mouse_->Load(saved));
    const std::wstring path = ArtifactDir() + L"from_menu.tarnprofiles";
    DeleteFileW(path.c_str());
    Program desk(ProgramDir() + L"TarnDesk.exe", ProgramDir());
    ASSERT_TRUE(desk.Started());
    HWND window = WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([] { return ReadCachedBlock(255).has_value(); }, 30000))
        << "the start-up copy did not end";

    std::wstring text;
    // A command-line run beside the tray is no second start: the tray opens no Settings dialog.
    const DeskRun shown = RunDesk(L"/show");
    EXPECT_EQ(shown.exitCode, 0u) << shown.output;
    PumpMessagesFor(1000, 2);
    EXPECT_EQ(DialogOf(desk.Id(), nullptr, &text), nullptr) << "the tray took /show for a start";

    PostMessageW(window, WM_COMMAND, kCommandBackUp, 0);
    HWND save = WaitDialog(desk.Id(), &text);
    ASSERT_NE(save, nullptr) << "no Save dialog";
    ChooseFile(save, path);
    // The transfer runs behind a progress window while the tray keeps answering.
    HWND progress = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (progress = ProgressWindowOf(desk.Id())) != nullptr; }, 10000))
        << "no progress window during the backup";
    EXPECT_TRUE(Answers(window)) << "the tray does not answer during the backup";
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = DialogOf(desk.Id(), save, &text)) && !text.empty(); },
                          30000));
    EXPECT_EQ(text, L"The profiles were saved.");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);

    // Cancel stops a backup between two blocks: no file, no message.
    const std::wstring stopped = ArtifactDir() + L"stopped.tarnprofiles";
    DeleteFileW(stopped.c_str());
    WaitUntil([&] { return DialogOf(desk.Id(), nullptr, &text) == nullptr; }, 5000);
    PostMessageW(window, WM_COMMAND, kCommandBackUp, 0);
    save = WaitDialog(desk.Id(), &text);
    ASSERT_NE(save, nullptr) << "no Save dialog";
    ChooseFile(save, stopped);
    ASSERT_TRUE(
        WaitUntil([&] { return (progress = ProgressWindowOf(desk.Id())) != nullptr; }, 10000));
    const uint32_t readBefore = PagesRead();
    PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(progress); }, 10000)) << "Cancel did not stop";
    PumpMessagesFor(1000, 2);
    EXPECT_LT(PagesRead() - readBefore, 6 * 8u) << "the whole memory was read after Cancel";
    EXPECT_EQ(GetFileAttributesW(stopped.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(DialogOf(desk.Id(), nullptr, &text), nullptr) << Narrow(text);

    ASSERT_TRUE(mouse_->Load(PatternImage(50)));
    WaitUntil([&] { return DialogOf(desk.Id(), nullptr, &text) == nullptr; }, 5000);
    PostMessageW(window, WM_COMMAND, kCommandRestore, 0);
    HWND open = WaitDialog(desk.Id(), &text);
    ASSERT_NE(open, nullptr) << "no Open dialog";
    ChooseFile(open, path);
    ASSERT_TRUE(WaitUntil([&] { return (box = DialogOf(desk.Id(), open, &text)) && !text.empty(); },
                          15000));
    EXPECT_NE(text.find(L"Its present settings are replaced"), std::wstring::npos)
        << "no confirmation before the restore";
    EXPECT_TRUE(MouseHolds(PatternImage(50))) << "the restore wrote before it was confirmed";
    PostMessageW(box, WM_COMMAND, IDYES, 0);
    HWND asked = box;
    // A write cannot stop halfway: Cancel goes grey once the first block is on its way.
    ASSERT_TRUE(
        WaitUntil([&] { return (progress = ProgressWindowOf(desk.Id())) != nullptr; }, 10000))
        << "no progress window during the restore";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(progress, IDCANCEL)); }, 5000));
    EXPECT_TRUE(Answers(window)) << "the tray does not answer during the restore";
    // Done is said in the tray's balloon; only a failure stops the user with a box.
    EXPECT_TRUE(WaitUntil([&] { return MouseHolds(saved); }, 30000));
    PumpMessagesFor(1000, 2);
    EXPECT_EQ(DialogOf(desk.Id(), asked, &text), nullptr)
        << "a box after the restore: " << Narrow(text);
    PostMessageW(window, WM_COMMAND, 32771, 0);
    EXPECT_TRUE(desk.WaitExit(10000));
}

// The two file types as the installer registers them for this user: opening one runs
// "TarnDesk.exe" /open "%1". Removed again when the test ends.
class FileAssociations {
  public:
    FileAssociations() {
        wchar_t exe[MAX_PATH] = {};
        GetFullPathNameW((ProgramDir() + L"TarnDesk.exe").c_str(), MAX_PATH, exe, nullptr);
        const std::wstring command = L"\"" + std::wstring(exe) + L"\" /open \"%1\"";
        for (const auto& [extension, type] : kTypes) {
            Set(extension, type);
            Set(std::wstring(type) + L"\\shell\\open\\command", command);
        }
    }
    ~FileAssociations() {
        for (const auto& [extension, type] : kTypes) {
            RegDeleteTreeW(HKEY_CURRENT_USER, (kClasses + std::wstring(extension)).c_str());
            RegDeleteTreeW(HKEY_CURRENT_USER, (kClasses + std::wstring(type)).c_str());
        }
    }
    FileAssociations(const FileAssociations&) = delete;
    FileAssociations& operator=(const FileAssociations&) = delete;

  private:
    static constexpr wchar_t kClasses[] = L"Software\\Classes\\";
    static constexpr std::pair<const wchar_t*, const wchar_t*> kTypes[] = {
        {L".tarnprofile", L"TarnDesk.Profile"}, {L".tarnprofiles", L"TarnDesk.Profiles"}};
    static void Set(const std::wstring& key, const std::wstring& value) {
        HKEY opened = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (kClasses + key).c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, &opened, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(opened);
    }
};

// What the desktop does for a double click on the file: the command registered for its type,
// "%1" replaced by the file, run on the test desktop. Wine 8's HKEY_CLASSES_ROOT does not show
// the user's own classes (HKCU\Software\Classes), so ShellExecute would not find them; the
// registered command is read and run here instead. The started process's id, 0 when none.
DWORD OpenOnDesktop(const std::wstring& file) {
    auto value = [](const std::wstring& key) {
        wchar_t text[1024] = {};
        DWORD size = sizeof text;
        RegGetValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), nullptr,
                     RRF_RT_REG_SZ, nullptr, text, &size);
        return std::wstring(text);
    };
    const std::wstring type = value(file.substr(file.rfind(L'.')));
    std::wstring command = value(type + L"\\shell\\open\\command");
    const size_t at = command.find(L"%1");
    if (type.empty() || at == std::wstring::npos)
        return 0;
    command.replace(at, 2, file);
    DWORD id = 0;
    const UniqueHandle started = RunDetached(command, kDesktopName, nullptr, &id);
    return started ? id : 0;
}

TEST_F(DeskCommandLine, AFileOpenedOnTheDesktopGoesToTheRunningTrayWhichAsksBeforeItWrites) {
    constexpr int kSlotList = 923; // the Open Profile dialog's list of the five profiles
    constexpr int kNameText = 924; // and the field with the file's profile's name
    const virt::MemoryImage source = PatternImage(53);
    ASSERT_TRUE(mouse_->Load(source));
    const std::wstring profile = ArtifactDir() + L"opened.tarnprofile";
    DeleteFileW(profile.c_str());
    const DeskRun saved = RunDesk(L"/save 2 \"" + profile + L"\" /name Opened");
    ASSERT_EQ(saved.exitCode, 0u) << saved.output;
    const std::wstring backup = Backup(source, L"opened.tarnprofiles");
    const virt::MemoryImage target = PatternImage(54);
    ASSERT_TRUE(mouse_->Load(target));
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_SET_ACTIVE, 0, 2));
    const FileAssociations associations;
    Program desk(ProgramDir() + L"TarnDesk.exe", ProgramDir());
    ASSERT_TRUE(desk.Started());
    HWND window = WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([] { return ReadCachedBlock(255).has_value(); }, 30000))
        << "the start-up copy did not end";

    // The running tray asks which profile, the mouse's active one offered first.
    std::wstring text;
    ASSERT_TRUE(OpenOnDesktop(profile));
    HWND chooser = WaitDialog(desk.Id(), &text);
    ASSERT_NE(chooser, nullptr) << "no dialog in the running tray";
    HWND slots = GetDlgItem(chooser, kSlotList);
    ASSERT_NE(slots, nullptr) << "the running tray shows another dialog: " << Narrow(text);
    EXPECT_EQ(SendMessageW(slots, CB_GETCURSEL, 0, 0), 2);
    wchar_t named[256] = {};
    GetDlgItemTextW(chooser, kNameText, named, 256);
    EXPECT_EQ(std::wstring(named), L"Opened");
    EXPECT_TRUE(WaitUntil([] { return CountProcesses(L"TarnDesk.exe") == 1; }, 10000))
        << "the start that handed the file over did not end";
    EXPECT_TRUE(MouseHolds(target)) << "written before the profile was chosen";
    SendMessageW(slots, CB_SETCURSEL, 4, 0);
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    const virt::MemoryImage expected = LoadedInto(target, source, 1, 4);
    // The load has ended once the cache took the profile it read back.
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::optional<CachedBlock> cached = ReadCachedBlock(CacheKeyOfArea(5));
            return cached && cached->bytes == Area(expected, 5);
        },
        30000));
    const std::optional<virt::MemoryImage> memory = mouse_->Dump();
    ASSERT_TRUE(memory);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ((*memory)[i], expected[i]) << "area " << i / 512 << " byte " << i % 512;
    PumpMessagesFor(1000, 2);
    EXPECT_EQ(DialogOf(desk.Id(), nullptr, &text), nullptr)
        << "a box after the load: " << Narrow(text);

    // A file handed over while a transfer is under way (here the backup's Save dialog) waits
    // for its end, then is asked for. Cancel writes nothing; nor does No to a backup's restore.
    const uint32_t written = PagesWritten();
    PostMessageW(window, WM_COMMAND, 32774, 0);
    HWND save = WaitDialog(desk.Id(), &text);
    ASSERT_NE(save, nullptr) << "no Save dialog";
    ASSERT_TRUE(OpenOnDesktop(profile));
    EXPECT_TRUE(WaitUntil([] { return CountProcesses(L"TarnDesk.exe") == 1; }, 10000));
    PumpMessagesFor(1000, 2);
    EXPECT_EQ(DialogOf(desk.Id(), save, &text), nullptr) << "asked during the transfer";
    PostMessageW(save, WM_COMMAND, IDCANCEL, 0);
    chooser = WaitDialog(desk.Id(), &text, save);
    ASSERT_NE(chooser, nullptr) << "the file handed over during the transfer was lost";
    EXPECT_NE(GetDlgItem(chooser, kSlotList), nullptr) << Narrow(text);
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(chooser); }, 5000));
    ASSERT_TRUE(OpenOnDesktop(backup));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (box = DialogOf(desk.Id(), chooser, &text)) && !text.empty(); }, 15000));
    EXPECT_NE(text.find(L"Its present settings are replaced"), std::wstring::npos) << Narrow(text);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
    PumpMessagesFor(1000, 2);
    EXPECT_EQ(PagesWritten(), written) << "Cancel or No wrote into the mouse";
    EXPECT_TRUE(MouseHolds(expected));
    PostMessageW(window, WM_COMMAND, 32771, 0);
    EXPECT_TRUE(desk.WaitExit(10000));

    // With no tray running, the start for the file becomes the tray and asks itself.
    const DWORD started = OpenOnDesktop(profile);
    ASSERT_NE(started, 0u);
    chooser = WaitDialog(started, &text);
    ASSERT_NE(chooser, nullptr) << "a start for a file without a tray asked nothing";
    EXPECT_NE(GetDlgItem(chooser, kSlotList), nullptr) << Narrow(text);
    EXPECT_NE(FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"), nullptr) << "it is no tray";
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(PagesWritten(), written);
}

// One of the user's shell folders moved elsewhere for a test's run, and back afterwards.
class ShellFolder {
  public:
    ShellFolder(const wchar_t* name, const std::wstring& path) : name_(name) {
        wchar_t old[MAX_PATH] = {};
        DWORD size = sizeof old;
        had_ = RegGetValueW(HKEY_CURRENT_USER, kKey, name,
                            RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type_, old,
                            &size) == ERROR_SUCCESS;
        old_ = old;
        Set(REG_SZ, path);
    }
    ~ShellFolder() {
        if (had_)
            Set(type_, old_);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name_);
    }
    ShellFolder(const ShellFolder&) = delete;
    ShellFolder& operator=(const ShellFolder&) = delete;

  private:
    static constexpr wchar_t kKey[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    void Set(DWORD type, const std::wstring& value) const {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name_, type, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    const wchar_t* name_;
    bool had_ = false;
    DWORD type_ = REG_SZ;
    std::wstring old_;
};

// The tray's profile library, in the user's Documents: a profile of the mouse saved under a
// name, loaded into another slot (only that block and its header record change, and an open
// Settings dialog shows it at once), a file from elsewhere added, renamed, and deleted.
TEST_F(DeskCommandLine, TheProfileLibrarySavesLoadsImportsRenamesAndDeletes) {
    constexpr UINT kCommandLibrary = 32791;
    constexpr int kList = 901, kSlot = 903, kLoad = 904, kSave = 905, kImport = 906, kRename = 907,
                  kDelete = 908, kName = 912, kDpiX = 243;
    constexpr size_t kArea = 512;
    virt::MemoryImage source = PatternImage(53);
    source[64 + 8 * 1 + 3] = 8;  // profile 2: 800 dpi
    source[64 + 8 * 3 + 3] = 16; // profile 4: 1600 dpi
    ASSERT_TRUE(mouse_->Load(source));
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_SET_ACTIVE, 0, 3));
    // Documents is the test's own folder meanwhile: Wine links the real one to the home folder.
    const std::wstring documents = ArtifactDir() + L"documents";
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(documents), ignored);
    CreateDirectoryW(documents.c_str(), nullptr);
    const ShellFolder personal(L"Personal", documents);
    wchar_t found[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, found), S_OK);
    ASSERT_EQ(std::wstring(found), documents);
    const std::wstring folder = documents + L"\\Gaming Mouse Profiles\\";
    const auto inLibrary = [&](const std::wstring& name) {
        return GetFileAttributesW((folder + name + L".tarnprofile").c_str()) !=
               INVALID_FILE_ATTRIBUTES;
    };

    Program desk(ProgramDir() + L"TarnDesk.exe", ProgramDir());
    ASSERT_TRUE(desk.Started());
    HWND window = WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return FirstCacheMismatch(source) == virt::kAreaCount; }, 30000))
        << "the start-up copy did not end";
    PostMessageW(window, WM_COMMAND, 32773, 0);
    HWND settings = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (settings = FindSettingsDialog(desk.Id())) != nullptr; }, 10000));
    const auto dpiX = [&] {
        wchar_t text[32] = {};
        GetDlgItemTextW(settings, kDpiX, text, 32);
        return std::wstring(text);
    };
    ASSERT_TRUE(WaitUntil([&] { return dpiX() == L"1600"; }, 5000)) << Narrow(dpiX());

    PostMessageW(window, WM_COMMAND, kCommandLibrary, 0);
    HWND library = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            library = FindWindowW(L"#32770", L"Profile library");
            DWORD owner = 0;
            GetWindowThreadProcessId(library, &owner);
            return library != nullptr && owner == desk.Id() && IsWindowVisible(library);
        },
        10000))
        << "no Profile library dialog";
    EXPECT_EQ(SendDlgItemMessageW(library, kSlot, CB_GETCURSEL, 0, 0), 3)
        << "the active profile is not preselected";
    // Asked for again, the open one comes to the front: never two of them.
    PostMessageW(window, WM_COMMAND, kCommandLibrary, 0);
    PumpMessagesFor(500, 2);
    int libraries = 0;
    for (HWND w = FindWindowW(L"#32770", L"Profile library"); w != nullptr;
         w = FindWindowExW(nullptr, w, L"#32770", L"Profile library"))
        libraries += IsWindowVisible(w) ? 1 : 0;
    EXPECT_EQ(libraries, 1);
    EXPECT_EQ(SendDlgItemMessageW(library, kList, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES)
        << "looking at the library made its folder";
    // The names the dialogs ask for are typed into this field, then OK.
    const auto answerName = [&](const std::wstring& name) {
        HWND asked = nullptr;
        EXPECT_TRUE(WaitUntil(
            [&] {
                asked = FindWindowW(L"#32770", L"Profile name");
                return asked != nullptr && IsWindowVisible(asked);
            },
            10000))
            << "no name asked for";
        SetDlgItemTextW(asked, kName, name.c_str());
        PostMessageW(asked, WM_COMMAND, IDOK, 0);
    };
    std::wstring text;
    const auto answerBox = [&](const wchar_t* expected, UINT answer) {
        HWND box = nullptr;
        EXPECT_TRUE(WaitUntil(
            [&] { return (box = DialogOf(desk.Id(), library, &text)) != nullptr && !text.empty(); },
            30000));
        EXPECT_NE(text.find(expected), std::wstring::npos) << Narrow(text);
        PostMessageW(box, WM_COMMAND, answer, 0);
        WaitUntil([&] { return !IsWindow(box); }, 5000);
    };

    // Profile 2 saved under a name in any script.
    const std::wstring name = L"B\u00FCro \u5C04\u624B";
    SendDlgItemMessageW(library, kSlot, CB_SETCURSEL, 1, 0);
    PostMessageW(library, WM_COMMAND, kSave, 0);
    answerName(name);
    ASSERT_TRUE(WaitUntil([&] { return inLibrary(name); }, 15000)) << "not saved in the library";
    EXPECT_TRUE(WaitUntil(
        [&] { return SendDlgItemMessageW(library, kList, LVM_GETITEMCOUNT, 0, 0) == 1; }, 5000));
    EXPECT_NE(ReadText(folder + name + L".tarnprofile").find("\nname " + Utf8(name) + "\n"),
              std::string::npos);
    SaveScreenshot(L"profile_library");

    // Loaded into profile 4, asked first.
    SendDlgItemMessageW(library, kSlot, CB_SETCURSEL, 3, 0);
    PostMessageW(library, WM_COMMAND, kLoad, 0);
    answerBox(L"into profile 4", IDNO);
    EXPECT_TRUE(MouseHolds(source)) << "a load the user said No to wrote the mouse";
    PostMessageW(library, WM_COMMAND, kLoad, 0);
    answerBox(L"into profile 4", IDYES);
    answerBox(L"written into profile 4 of the mouse and checked", IDOK);
    const virt::MemoryImage expected = LoadedInto(source, source, 1, 3);
    const std::optional<virt::MemoryImage> memory = mouse_->Dump();
    ASSERT_TRUE(memory);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ((*memory)[i], expected[i]) << "area " << i / kArea << " byte " << i % kArea;
    EXPECT_EQ(dpiX(), L"800") << "the open Settings dialog still shows the profile from before";
    // Closed, so that the file dialog below is the only other dialog of the tray.
    PostMessageW(settings, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(settings); }, 5000));

    // A profile file from elsewhere joins the library under its own name.
    const std::wstring outside = ArtifactDir() + L"from_a_friend.tarnprofile";
    DeleteFileW(outside.c_str());
    ASSERT_EQ(RunDesk(L"/save 5 \"" + outside + L"\" /name \"Friend\"").exitCode, 0u);
    PostMessageW(library, WM_COMMAND, kImport, 0);
    HWND open = WaitDialog(desk.Id(), &text, library);
    ASSERT_NE(open, nullptr) << "no Open dialog";
    ChooseFile(open, outside);
    ASSERT_TRUE(WaitUntil([&] { return inLibrary(L"Friend"); }, 10000)) << "not imported";
    EXPECT_TRUE(WaitUntil(
        [&] { return SendDlgItemMessageW(library, kList, LVM_GETITEMCOUNT, 0, 0) == 2; }, 5000));

    // Renamed: the name inside the file and the file's own name follow; then deleted.
    PostMessageW(library, WM_COMMAND, kRename, 0);
    answerName(L"Zebra");
    ASSERT_TRUE(WaitUntil([&] { return inLibrary(L"Zebra") && !inLibrary(L"Friend"); }, 10000));
    EXPECT_NE(ReadText(folder + L"Zebra.tarnprofile").find("\nname Zebra\n"), std::string::npos);
    PostMessageW(library, WM_COMMAND, kDelete, 0);
    answerBox(L"Recycle Bin", IDYES);
    EXPECT_TRUE(WaitUntil([&] { return !inLibrary(L"Zebra"); }, 10000)) << "not deleted";
    EXPECT_TRUE(inLibrary(name)) << "another profile went with it";
    EXPECT_TRUE(WaitUntil(
        [&] { return SendDlgItemMessageW(library, kList, LVM_GETITEMCOUNT, 0, 0) == 1; }, 5000));

    PostMessageW(library, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(library); }, 5000));
    PostMessageW(window, WM_COMMAND, 32771, 0);
    EXPECT_TRUE(desk.WaitExit(10000));
}

// A write cut off by a crash: TarnDesk is killed at a known report of its write sequence (the
// mouse takes no report after it, as when the host dies), and started again. Its first hold of
// the mouse finishes the recorded write before the start-up copy: every area of the mouse and
// of the cache is then wholly the old or wholly the new content, the written areas hold the
// new, and nothing outside them changed.
enum class CutWrite { Apply, Reset, Import, TrayRestore };

struct KillCase {
    const char* name;
    CutWrite write;
    int32_t cutAfterReports; // of the write's own reports; 11 a page, 88 a block
};

const KillCase kKillCases[] = {
    {"ApplyInItsProfileBlock", CutWrite::Apply, 3 * 11 + 4},
    {"ApplyInItsHeader", CutWrite::Apply, 88 + 2 * 11 + 9},
    {"ResetInItsThirdProfile", CutWrite::Reset, 2 * 88 + 5 * 11 + 1},
    {"ImportInItsHeader", CutWrite::Import, 6},
    {"ImportInItsLastProfile", CutWrite::Import, 5 * 88 + 7 * 11 + 10},
    {"TrayRestoreInItsSecondProfile", CutWrite::TrayRestore, 2 * 88 + 4 * 11},
};

void PrintTo(const KillCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr UINT kCommandSettingItem = 32773;
constexpr UINT kCommandResetItem = 32772;
constexpr UINT kCommandRestoreItem = 32775;
constexpr int kApplyButtonId = 303;
constexpr int kButton3FunctionList = 224;
constexpr int kRightClickFunction = 2;

class DeskKills : public DeskCommandLine, public testing::WithParamInterface<KillCase> {
  protected:
    void TearDown() override {
        if (desk_ && desk_->Started() && !desk_->WaitExit(0)) {
            if (HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"))
                PostMessageW(window, WM_COMMAND, 32771, 0);
            desk_->WaitExit(10000);
        }
        DeskCommandLine::TearDown();
    }
    void StartTray(const virt::MemoryImage& memory) {
        desk_.emplace(ProgramDir() + L"TarnDesk.exe", ProgramDir());
        ASSERT_TRUE(desk_->Started());
        ASSERT_NE(WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000), nullptr);
        ASSERT_TRUE(
            WaitUntil([&] { return FirstCacheMismatch(memory) == virt::kAreaCount; }, 30000))
            << "the start-up copy did not end";
    }
    // Every report after the next `reports` fails; true once the cut was reached.
    void CutAfter(int32_t reports) {
        ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CUT_AFTER, 0, reports));
    }
    bool CutReached() {
        return WaitUntil(
            [&] {
                const std::optional<virt::MouseStatus> status = mouse_->Status();
                return status && status->cutRemaining == 0;
            },
            60000, 5);
    }
    std::optional<Program> desk_;
};

TEST_P(DeskKills, AWriteCutOffByAKillIsFinishedWholeAtTheNextStart) {
    const KillCase& c = GetParam();
    const virt::MemoryImage old = PatternImage(60);
    virt::MemoryImage fresh = old;
    std::vector<size_t> written;
    std::wstring file;
    if (c.write == CutWrite::Import || c.write == CutWrite::TrayRestore) {
        fresh = PatternImage(61);
        file = Backup(fresh, L"cut_restore.tarnprofiles");
        written = {0, 1, 2, 3, 4, 5};
    }
    ASSERT_TRUE(mouse_->Load(old));
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_SET_ACTIVE, 0, 1));
    DeleteCache();

    UniqueHandle commandLine;
    if (c.write == CutWrite::Import) {
        // The cache knows the mouse, so the history keeps it without a read: the import's
        // first report is the write's.
        for (size_t area = 0; area < virt::kAreaCount; ++area)
            StoreCachedArea(area, Area(old, area));
        CutAfter(c.cutAfterReports);
        commandLine = StartDesk(L"/import \"" + file + L"\"", ArtifactDir() + L"cut_output.txt");
        ASSERT_TRUE(commandLine);
        ASSERT_TRUE(CutReached()) << "the import never reached the cut";
        TerminateProcess(commandLine.Get(), 9);
        WaitForSingleObject(commandLine.Get(), 10000);
    } else {
        StartTray(old);
        HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd");
        if (c.write == CutWrite::Apply) {
            PostMessageW(window, WM_COMMAND, kCommandSettingItem, 0);
            HWND dialog = nullptr;
            ASSERT_TRUE(WaitUntil(
                [&] { return (dialog = FindSettingsDialog(desk_->Id())) != nullptr; }, 10000));
            PumpMessagesFor(700, 2);
            HWND combo = GetDlgItem(dialog, kButton3FunctionList);
            SendMessageW(combo, CB_SETCURSEL, kRightClickFunction, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kButton3FunctionList, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo));
            // The new profile 2 block: button 3's record and events as the dialog writes them.
            std::vector<uint8_t> block = Area(old, 2);
            const uint8_t record[4] = {0x23, 1, 1, 8};
            std::copy(record, record + 4, block.begin() + 12);
            const uint8_t clicks[8] = {0x4D, 0x80, 5, 0, 0x4D, 0, 5, 0};
            std::fill(block.begin() + 256, block.begin() + 320, uint8_t{0});
            std::copy(clicks, clicks + 8, block.begin() + 256);
            std::copy(block.begin(), block.end(), fresh.begin() + 2 * 512);
            written = {2, 0};
            CutAfter(c.cutAfterReports);
            PostMessageW(dialog, WM_COMMAND, kApplyButtonId, 0);
        } else if (c.write == CutWrite::Reset) {
            fresh = virt::DefaultsAfterReset(old);
            written = {1, 2, 3, 4, 5, 0};
            CutAfter(c.cutAfterReports);
            PostMessageW(window, WM_COMMAND, kCommandResetItem, 0);
        } else {
            std::wstring text;
            PostMessageW(window, WM_COMMAND, kCommandRestoreItem, 0);
            HWND open = WaitDialog(desk_->Id(), &text);
            ASSERT_NE(open, nullptr) << "no Open dialog";
            ChooseFile(open, file);
            HWND box = nullptr;
            ASSERT_TRUE(WaitUntil(
                [&] { return (box = DialogOf(desk_->Id(), open, &text)) && !text.empty(); },
                15000));
            CutAfter(c.cutAfterReports);
            PostMessageW(box, WM_COMMAND, IDYES, 0);
        }
        ASSERT_TRUE(CutReached()) << "the write never reached the cut";
        desk_->Kill();
        ASSERT_TRUE(desk_->WaitExit(10000));
    }
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));

    // The next start: the cut write is finished, then the mouse is copied.
    StartTray(fresh);
    std::optional<virt::MemoryImage> memory = mouse_->Dump();
    ASSERT_TRUE(memory);
    for (size_t area = 0; area < virt::kAreaCount; ++area) {
        const bool isWritten = std::find(written.begin(), written.end(), area) != written.end();
        EXPECT_TRUE(Area(*memory, area) == Area(isWritten ? fresh : old, area))
            << "area " << area << " should hold the " << (isWritten ? "new" : "old") << " block";
    }
    EXPECT_EQ(FirstCacheMismatch(*memory), virt::kAreaCount) << "the cache differs from the mouse";
    HKEY record = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvane\\Gaming\\Settings\\PendingWrite",
                            0, KEY_READ, &record),
              ERROR_SUCCESS)
        << "the record of the cut write is still there";
    if (record != nullptr)
        RegCloseKey(record);
}

INSTANTIATE_TEST_SUITE_P(Table, DeskKills, testing::ValuesIn(kKillCases),
                         [](const testing::TestParamInfo<KillCase>& param) {
                             return std::string(param.param.name);
                         });

// A verified import beside the running tray stays: the tray hears of it and shows it, and
// its next Apply never writes its older copy back.
TEST_F(DeskCommandLine, AnImportBesideTheRunningTrayIsNotUndoneByItsNextApply) {
    const virt::MemoryImage imported = PatternImage(62);
    const std::wstring file = Backup(imported, L"beside_tray.tarnprofiles");
    const virt::MemoryImage before = virt::DefaultsAfterReset(PatternImage(63));
    ASSERT_TRUE(mouse_->Load(before));
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_SET_ACTIVE, 0, 1));
    DeleteCache();
    Program desk(ProgramDir() + L"TarnDesk.exe", ProgramDir());
    ASSERT_TRUE(desk.Started());
    HWND window = WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 10000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return FirstCacheMismatch(before) == virt::kAreaCount; }, 30000));
    PostMessageW(window, WM_COMMAND, kCommandSettingItem, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (dialog = FindSettingsDialog(desk.Id())) != nullptr; }, 10000));
    PumpMessagesFor(700, 2);
    // An edit in the dialog, not applied yet, from before the import.
    HWND combo = GetDlgItem(dialog, kButton3FunctionList);
    SendMessageW(combo, CB_SETCURSEL, kRightClickFunction, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kButton3FunctionList, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));

    const DeskRun run = RunDesk(L"/import \"" + file + L"\"");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    ASSERT_TRUE(MouseHolds(imported));
    // Apply: either the dialog already shows the import (nothing older to write back) or the
    // tray says the mouse changed meanwhile and writes nothing.
    PumpMessagesFor(500, 2);
    PostMessageW(dialog, WM_COMMAND, kApplyButtonId, 0);
    PumpMessagesFor(3000, 2);
    std::wstring text;
    if (HWND box = DialogOf(desk.Id(), dialog, &text)) {
        EXPECT_NE(text.find(L"changed the mouse's settings meanwhile"), std::wstring::npos)
            << "an unexpected message: " << Narrow(text);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    EXPECT_TRUE(MouseHolds(imported)) << "the tray wrote its older copy over the import";
    // Reset afterwards starts from the imported header, not the tray's old one.
    PostMessageW(window, WM_COMMAND, kCommandResetItem, 0);
    ASSERT_TRUE(WaitUntil([&] { return MouseHolds(virt::DefaultsAfterReset(imported)); }, 20000))
        << "Reset wrote from an old header";
    PostMessageW(window, WM_COMMAND, 32771, 0);
    EXPECT_TRUE(desk.WaitExit(10000));
}

// The history from the command line: an import keeps what it replaced, /restore N writes it
// back (keeping what it replaces in turn), /history tells each step against the mouse, /diff
// tells a file against it, and without a mouse both say what they cannot tell.
TEST_F(DeskCommandLine, HistoryListsRestoresAndTellsDifferences) {
    ClearHistory();

    const virt::MemoryImage older = PatternImage(71);
    const virt::MemoryImage newer = PatternImage(72);
    const std::wstring olderFile = Backup(older, L"history_older.tarnprofiles");
    const std::wstring newerFile = Backup(newer, L"history_newer.tarnprofiles");
    const DeskRun empty = RunDesk(L"/history");
    EXPECT_EQ(empty.exitCode, 0u) << empty.output;
    EXPECT_NE(empty.output.find("The history is empty"), std::string::npos) << empty.output;

    ASSERT_EQ(RunDesk(L"/import \"" + olderFile + L"\"").exitCode, 0u);
    ASSERT_TRUE(MouseHolds(older));
    const DeskRun one = RunDesk(L"--history");
    EXPECT_EQ(one.exitCode, 0u) << one.output;
    EXPECT_EQ(one.output.rfind("1  ", 0), 0u) << one.output;
    EXPECT_NE(one.output.find("  Import  profiles 1, 2, 3, 4, 5 and the header differ"),
              std::string::npos)
        << one.output;

    const DeskRun restored = RunDesk(L"/restore 1");
    EXPECT_EQ(restored.exitCode, 0u) << restored.output;
    EXPECT_TRUE(MouseHolds(newer)) << "the snapshot was not written back";
    const DeskRun two = RunDesk(L"/history");
    EXPECT_EQ(two.exitCode, 0u) << two.output;
    EXPECT_NE(two.output.find("1  "), std::string::npos) << two.output;
    EXPECT_NE(two.output.find("  Restore  profiles 1, 2, 3, 4, 5 and the header differ\n2  "),
              std::string::npos)
        << two.output;
    EXPECT_NE(two.output.find("  Import  same as the mouse"), std::string::npos) << two.output;

    const DeskRun differs = RunDesk(L"/diff \"" + olderFile + L"\"");
    EXPECT_EQ(differs.exitCode, 4u) << differs.output;
    EXPECT_EQ(differs.output.rfind("Profile 1: ", 0), 0u) << differs.output;
    const DeskRun same = RunDesk(L"--diff \"" + newerFile + L"\"");
    EXPECT_EQ(same.exitCode, 0u) << same.output;
    EXPECT_NE(same.output.find("The mouse holds what"), std::string::npos) << same.output;

    const uint32_t pagesBefore = PagesWritten();
    const DeskRun noSuch = RunDesk(L"/restore 9");
    EXPECT_EQ(noSuch.exitCode, 3u) << noSuch.output;
    EXPECT_NE(noSuch.output.find("the history holds 2"), std::string::npos) << noSuch.output;
    const std::wstring damaged = ArtifactDir() + L"history_damaged.tarnprofiles";
    WriteText(damaged, ReadText(newerFile).substr(0, 300));
    EXPECT_EQ(RunDesk(L"/diff \"" + damaged + L"\"").exitCode, 3u);
    EXPECT_EQ(PagesWritten(), pagesBefore) << "a refused restore reached the mouse";

    ASSERT_TRUE(EnsureUnplugged());
    const DeskRun blind = RunDesk(L"/history");
    const DeskRun noDiff = RunDesk(L"/diff \"" + olderFile + L"\"");
    EXPECT_TRUE(EnsurePlugged());
    EXPECT_EQ(blind.exitCode, 2u) << blind.output;
    EXPECT_NE(blind.output.find("2  "), std::string::npos) << blind.output;
    EXPECT_EQ(blind.output.find("the header differ"), std::string::npos) << blind.output;
    EXPECT_NE(blind.output.find("what differs from it is not shown"), std::string::npos)
        << blind.output;
    EXPECT_EQ(noDiff.exitCode, 2u) << noDiff.output;
}

} // namespace
} // namespace tarn::e2e
