// The Windows-free text-file rules both tray programs follow.
#include "text_rules.h"

#include "crash_dumps.h"
#include "settings/diagnostics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace {

std::vector<uint8_t> Utf16Bytes(const std::wstring& text, bool terminate) {
    std::vector<uint8_t> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    if (terminate) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

// Behaves like GetModuleFileNameW for a module named `name`.
auto ModuleNamed(const std::wstring& name, int* calls = nullptr) {
    return [name, calls](wchar_t* buffer, uint32_t size) -> uint32_t {
        if (calls != nullptr) {
            ++*calls;
        }
        if (name.size() < size) {
            std::wmemcpy(buffer, name.c_str(), name.size() + 1);
            return static_cast<uint32_t>(name.size());
        }
        std::wmemcpy(buffer, name.c_str(), size - 1);
        buffer[size - 1] = L'\0';
        return size;
    };
}

TEST(TextPaths, LanguageFileBesideTheProgram) {
    const std::wstring directory = ProgramDirectory(L"C:\\Program Files\\Orvane\\TarnDesk.exe");
    EXPECT_EQ(directory, L"C:\\Program Files\\Orvane\\");
    EXPECT_EQ(LanguageFilePath(directory, L"0409"),
              L"C:\\Program Files\\Orvane\\Language\\0409.txt");
    EXPECT_EQ(PrefsFilePath(directory), L"C:\\Program Files\\Orvane\\TarnPrefs.txt");
    // The agent with no language value names ".txt" (all its texts then take defaults).
    const AgentTextPaths agent = BuildAgentTextPaths(L"D:\\x\\TarnAgent.exe", L"");
    EXPECT_EQ(agent.directory, L"D:\\x\\");
    EXPECT_EQ(agent.languageFile, L"D:\\x\\Language\\.txt");
}

TEST(TextPaths, NameWithoutDirectoryMeansCurrentDirectory) {
    EXPECT_EQ(ProgramDirectory(L"TarnAgent.exe"), L"");
    EXPECT_EQ(ProgramDirectory(L""), L"");
    EXPECT_EQ(ProgramDirectory(L"C:\\"), L"C:\\");
}

TEST(ModulePath, LongPathsAreReadWhole) {
    // Installed far below the root: 100 characters and more must still name the directory.
    std::wstring deep = L"C:\\";
    while (deep.size() < 400) {
        deep += L"Orvane Gaming Mouse Software\\";
    }
    const std::wstring module = deep + L"TarnDesk.exe";
    int calls = 0;
    const auto path = ReadModulePath(ModuleNamed(module, &calls));
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, module);
    EXPECT_GT(calls, 1);
    EXPECT_EQ(LanguageFilePath(ProgramDirectory(*path), L"0407"), deep + L"Language\\0407.txt");
    // Exactly as long as the first buffer: cut, so the buffer must grow once more.
    const std::wstring exact = L"C:\\" + std::wstring(124, L'a') + L"\\b";
    EXPECT_EQ(ReadModulePath(ModuleNamed(exact)), exact);
}

TEST(ModulePath, FailureAndEndlessNamesBuildNothing) {
    EXPECT_FALSE(ReadModulePath([](wchar_t*, uint32_t) -> uint32_t { return 0; }).has_value());
    // A query that always fills its buffer never ends on its own.
    EXPECT_FALSE(
        ReadModulePath([](wchar_t*, uint32_t size) -> uint32_t { return size; }).has_value());
}

TEST(LanguageValue, StringsUpTo126CharactersCount) {
    const auto bytes = Utf16Bytes(L"0407", true);
    EXPECT_EQ(LanguageCodeFromValue(1, bytes.data(), bytes.size()), L"0407");
    EXPECT_EQ(LanguageCodeFromValue(2, bytes.data(), bytes.size()), L"0407");
    const auto longest = Utf16Bytes(std::wstring(126, L'x'), true);
    ASSERT_EQ(longest.size(), 254u);
    EXPECT_EQ(LanguageCodeFromValue(1, longest.data(), longest.size()), std::wstring(126, L'x'));
    // Text after the first terminator is not part of the code.
    auto twice = Utf16Bytes(L"0411", true);
    const auto tail = Utf16Bytes(L"junk", true);
    twice.insert(twice.end(), tail.begin(), tail.end());
    EXPECT_EQ(LanguageCodeFromValue(1, twice.data(), twice.size()), L"0411");
    // Stored without a terminator: the characters up to the value's length, up to 127 of
    // them in 254 bytes; an odd last byte is no character.
    const auto unterminated = Utf16Bytes(L"0407", false);
    EXPECT_EQ(LanguageCodeFromValue(1, unterminated.data(), unterminated.size()), L"0407");
    EXPECT_EQ(LanguageCodeFromValue(1, unterminated.data(), unterminated.size() - 1), L"040");
    const auto fullest = Utf16Bytes(std::wstring(127, L'x'), false);
    EXPECT_EQ(LanguageCodeFromValue(1, fullest.data(), fullest.size()), std::wstring(127, L'x'));
}

TEST(LanguageValue, AnythingElseIsAbsent) {
    const uint8_t dword[4] = {0x07, 0x04, 0, 0};
    EXPECT_FALSE(LanguageCodeFromValue(4, dword, sizeof(dword))); // REG_DWORD
    const auto bytes = Utf16Bytes(L"0407", true);
    EXPECT_FALSE(LanguageCodeFromValue(3, bytes.data(), bytes.size())); // REG_BINARY
    EXPECT_FALSE(LanguageCodeFromValue(7, bytes.data(), bytes.size())); // REG_MULTI_SZ
    const auto tooLong = Utf16Bytes(std::wstring(127, L'x'), true);
    EXPECT_FALSE(LanguageCodeFromValue(1, tooLong.data(), tooLong.size()));
    EXPECT_FALSE(LanguageCodeFromValue(1, nullptr, 0));
    // An empty string is a value: the code is empty.
    const uint8_t empty[2] = {0, 0};
    EXPECT_EQ(LanguageCodeFromValue(1, empty, 2), L"");
    const uint8_t odd[1] = {0x41};
    EXPECT_EQ(LanguageCodeFromValue(1, odd, 1), L"");
}

TEST(FieldCut, TextsAreCutToTheirFields) {
    EXPECT_EQ(CutToField(std::wstring(300, L'T'), kTipFieldCount), std::wstring(127, L'T'));
    EXPECT_EQ(CutToField(L"Mouse", kTipFieldCount), L"Mouse");
    EXPECT_EQ(CutToField(std::wstring(127, L'T'), kTipFieldCount), std::wstring(127, L'T'));
    EXPECT_EQ(CutToField(L"abc", 0), L"");
    // A pair of surrogates is never split: the high half is dropped with its partner.
    std::wstring pairs(126, L'a');
    pairs += static_cast<wchar_t>(0xD83D);
    pairs += static_cast<wchar_t>(0xDDB1);
    EXPECT_EQ(CutToField(pairs, kTipFieldCount), std::wstring(126, L'a'));
}

TEST(ExitItem, OneNameAtMostAndEveryOtherPercentLiteral) {
    EXPECT_EQ(FormatExitItem(kAgentDefaultExit, kDefaultAppName), L"Close Scroll Mouse");
    EXPECT_EQ(FormatExitItem(L"%s beenden", L"Maus"), L"Maus beenden");
    EXPECT_EQ(FormatExitItem(L"Quit", L"Maus"), L"Quit");
    // Hostile translations: conversions that would read or write other memory stay text.
    EXPECT_EQ(FormatExitItem(L"%s %s %n %d %x %%s", L"A"), L"A %s %n %d %x %%s");
    EXPECT_EQ(FormatExitItem(L"%", L"A"), L"%");
    EXPECT_EQ(FormatExitItem(L"100%", L"A"), L"100%");
    EXPECT_EQ(FormatExitItem(L"%S%s", L"A"), L"%SA");
    // The composed item fits the menu's 255 characters.
    EXPECT_EQ(FormatExitItem(L"Close %s now", std::wstring(1000, L'n')).size(), 255u);
}

// Translated messages take their values in turn; a faulty translation never reads past them.
TEST(Messages, PatternsTakeTheirValuesInTurn) {
    EXPECT_EQ(FillPattern(L"Could not write %s: %s.", {L"a.txt", L"denied"}),
              L"Could not write a.txt: denied.");
    EXPECT_EQ(FillPattern(L"%s %s %s", {L"1", L"2"}), L"1 2 %s");
    EXPECT_EQ(FillPattern(L"100% %d %s", {L"%s"}), L"100% %d %s"); // a value is not scanned
    EXPECT_EQ(FillPattern(L"No values", {}), L"No values");
}

// Crash dumps, named so that one program's sort by time and only the newest five stay.
TEST(CrashDumps, NamesSortByTimeAndOnlyTheProgramsOldestGo) {
    EXPECT_EQ(CrashDumpFileName(L"TarnAgent", {2026, 12, 8, 9, 5, 7}, 4242),
              L"TarnAgent-20261208-090507-4242.dmp");
    EXPECT_TRUE(IsCrashDumpOf(L"TarnAgent", L"tarnagent-20261208-090507-4242.DMP"));
    EXPECT_FALSE(IsCrashDumpOf(L"TarnAgent", L"TarnAgent-2026120-090507-4242.dmp"));
    EXPECT_FALSE(IsCrashDumpOf(L"TarnAgent", L"TarnAgent-20261208-090507-.dmp"));
    EXPECT_FALSE(IsCrashDumpOf(L"TarnAgent", L"TarnDesk-20261208-090507-1.dmp"));
    EXPECT_FALSE(IsCrashDumpOf(L"TarnDesk", L"TarnDesk-20261208-090507-1.dmp.txt"));

    std::vector<std::wstring> names = {L"notes.txt", L"TarnDesk-20261208-090507-9.dmp"};
    for (int day = 1; day <= 7; ++day) {
        names.push_back(
            CrashDumpFileName(L"TarnAgent", {2026, 11, static_cast<uint16_t>(day), 0, 0, 0}, 7));
    }
    EXPECT_EQ(CrashDumpsToDelete(L"TarnAgent", names, 5),
              (std::vector<std::wstring>{L"TarnAgent-20261101-000000-7.dmp",
                                         L"TarnAgent-20261102-000000-7.dmp"}));
    EXPECT_TRUE(CrashDumpsToDelete(L"TarnDesk", names, 5).empty());
}

TEST(CrashDumps, NoticeTakesThePathOnceAndKeepsOtherPercentSigns) {
    EXPECT_EQ(FormatCrashNotice(L"Saved as %s (100%)", L"C:\\d.dmp"), L"Saved as C:\\d.dmp (100%)");
    EXPECT_EQ(FormatCrashNotice(L"%s %s %d", L"x"), L"x %s %d");
    EXPECT_EQ(FormatCrashNotice(L"Saved", L"x"), L"Saved");
}

TEST(Diagnostics, VersionCrcAndTheLastFiveErrors) {
    // VS_FIXEDFILEINFO after a few bytes of header: signature, struct version, MS, LS.
    const uint8_t resource[] = {0x5C, 0x03, 0x34, 0x00, 0xBD, 0x04, 0xEF, 0xFE, 0x00, 0x00,
                                0x01, 0x00, 0x02, 0x00, 0x01, 0x00, 0x04, 0x00, 0x03, 0x00};
    EXPECT_EQ(FixedFileVersion(resource, sizeof(resource)), (std::array<uint16_t, 4>{1, 2, 3, 4}));
    EXPECT_FALSE(FixedFileVersion(resource, 12));
    const char check[] = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);

    std::vector<std::wstring> errors;
    for (int i = 1; i <= 7; ++i) {
        errors = WithRecordedError(errors, std::to_wstring(i));
    }
    EXPECT_EQ(errors, (std::vector<std::wstring>{L"3", L"4", L"5", L"6", L"7"}));
}

TEST(Diagnostics, ReportSaysWhatIsMissingAndNamesNoBlockContent) {
    DiagnosticsFacts facts;
    facts.written = L"2026-12-08 15:40";
    facts.installFolder = L"C:\\Program Files\\Orvane\\Gaming Mouse";
    facts.programs = {{L"TarnDesk.exe", std::array<uint16_t, 4>{1, 0, 0, 0}},
                      {L"TarnWake.exe", std::nullopt}};
    facts.windows = L"10.0.19045";
    facts.language = L"0407";
    facts.filterDevices = {{L"TarnHidLowerFilter", true}, {L"VellHIDupFilter", false}};
    facts.activeProfile = 5;
    facts.cache = {{255, true, 0x1234ABCD}, {0, false, 0}};
    facts.programRules = 3;
    facts.lastErrors = {L"2026-12-08 15:00 /import ended with exit code 3"};
    const std::wstring report = FormatDiagnostics(facts);
    for (const wchar_t* line :
         {L"Install folder: C:\\Program Files\\Orvane\\Gaming Mouse\n", L"  TarnDesk.exe 1.0.0.0\n",
          L"  TarnWake.exe not found\n", L"Language: 0407 (no language file: built-in English)\n",
          L"Mouse F1D0:0084: absent\n",
          L"Filter devices: TarnHidLowerFilter present, VellHIDupFilter absent\n",
          L"Active profile: basic state (5)\n", L"  header: CRC 1234ABCD\n",
          L"  profile 1: missing\n", L"Program profiles: off, 3 rules\n",
          L"  2026-12-08 15:00 /import ended with exit code 3\n", L"CrashDumps): none\n"}) {
        EXPECT_NE(report.find(line), std::wstring::npos) << std::string(line, line + wcslen(line));
    }
}

} // namespace
