// Backup files and the command line's logic: what is written reads back byte-exact, every
// damaged or foreign file is refused with its reason, read-back differences are told per
// block, arguments map to commands, and /show names what the Settings dialog names.
#include "settings/history.h"
#include "ui/command_line.h"
#include "settings/profile_file.h"
#include "settings/profile_library.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>

namespace {

constexpr uint16_t kVendor = 0xF1D0;
constexpr uint16_t kProduct = 0x0084;

MemoryImage SampleImage() {
    MemoryImage image{};
    for (size_t b = 0; b < image.size(); ++b)
        for (size_t i = 0; i < kBlockLength; ++i)
            image[b][i] = uint8_t(b * 37 + i * 13 + (i >> 8));
    return image;
}

std::string SampleFile() {
    return FormatProfileFile(SampleImage(), {kVendor, kProduct, "1.2.3", "2026-12-07T10:00:00Z"});
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(ProfileFile, WrittenFileReadsBackByteExactAlsoWithCrLf) {
    const std::string text = SampleFile();
    ParsedProfileFile parsed = ParseProfileFile(text, kVendor, kProduct);
    ASSERT_TRUE(parsed.accepted) << std::string(parsed.problem.begin(), parsed.problem.end());
    EXPECT_EQ(parsed.image, SampleImage());
    EXPECT_EQ(parsed.info.program, "1.2.3");
    EXPECT_EQ(parsed.info.written, "2026-12-07T10:00:00Z");
    EXPECT_EQ(text.find("\r"), std::string::npos);

    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    parsed = ParseProfileFile("\xEF\xBB\xBF" + crlf, kVendor, kProduct);
    EXPECT_TRUE(parsed.accepted);
    EXPECT_EQ(parsed.image, SampleImage());
}

TEST(ProfileFile, RefusesDamagedOrForeignFilesSayingWhy) {
    const std::string good = SampleFile();
    const size_t dataLine = good.find("profile3 0040 ");
    std::string changedByte = good;
    changedByte[dataLine + 20] = changedByte[dataLine + 20] == '0' ? '1' : '0';
    std::string shortLine = good;
    shortLine.erase(good.find("\nheader 0040") - 3, 3);
    const std::string truncated = good.substr(0, good.find("profile4 0100"));
    const std::string missingLine = Replace(
        good,
        good.substr(good.find("header 0020"), good.find("header 0040") - good.find("header 0020")),
        "");
    struct Case {
        const char* what;
        std::string text;
        const wchar_t* reason;
    } cases[] = {
        {"one changed byte", changedByte, L"checksum does not match"},
        {"truncated", truncated, L"cut short"},
        {"cut inside a line", good.substr(0, good.size() / 2), L"cut short"},
        {"a line missing", missingLine, L"line 7 should be \"header 0020"},
        {"another product", Replace(good, "F1D0:0084", "F1D0:0085"),
         L"F1D0:0085, not for this mouse"},
        {"a later format", Replace(good, "format 1", "format 2"), L"later TarnDesk"},
        {"no signature", Replace(good, "TarnDesk profiles", "Tarn profiles"), L"not a TarnDesk"},
        {"short data line", shortLine, L"32 bytes"},
        {"no checksum", good.substr(0, good.find("checksum")), L"should start with \"checksum"},
        {"stray line after", good + "extra\n", L"content after the checksum"},
        {"empty", "", L"not a TarnDesk"},
    };
    for (const Case& c : cases) {
        const ParsedProfileFile parsed = ParseProfileFile(c.text, kVendor, kProduct);
        EXPECT_FALSE(parsed.accepted) << c.what;
        EXPECT_NE(parsed.problem.find(c.reason), std::wstring::npos)
            << c.what << ": " << std::string(parsed.problem.begin(), parsed.problem.end());
    }
}

TEST(ProfileFile, OneProfileReadsBackAndLandsInAnySlot) {
    // Profile 3 of the sample under a name in two scripts, taken and written back.
    const std::string name = "B\xC3\xBCro \xE5\xB0\x84\xE6\x89\x8B \xF0\x9F\x8E\xAF";
    const LibraryProfile taken = TakeLibraryProfile(SampleImage(), 2, name);
    const ProfileFileInfo info{kVendor, kProduct, "1.2.3", "2026-12-08T10:00:00Z"};
    const ParsedLibraryProfile parsed =
        ParseLibraryProfile(FormatLibraryProfile(taken, info), kVendor, kProduct);
    ASSERT_TRUE(parsed.accepted) << std::string(parsed.problem.begin(), parsed.problem.end());
    EXPECT_EQ(parsed.profile.name, name);
    EXPECT_EQ(parsed.profile.block, SampleImage()[3]);
    EXPECT_EQ(parsed.profile.settings[3], SampleImage()[0][64 + 16 + 3]);
    EXPECT_EQ(FromUtf8(name), L"B\u00FCro \u5C04\u624B \U0001F3AF");
    EXPECT_EQ(ToUtf8(FromUtf8(name)), name);
    EXPECT_FALSE(IsBackupFile(FormatLibraryProfile(taken, info)));
    EXPECT_TRUE(IsBackupFile(SampleFile()));
    EXPECT_TRUE(IsLibraryProfileFile(FormatLibraryProfile(taken, info)));
    EXPECT_FALSE(IsLibraryProfileFile(SampleFile()));
    EXPECT_FALSE(IsLibraryProfileFile("TarnDesk profiles\n"));

    // Into profile 5: the records' slot bytes name it, the header changes only in its record.
    ProfileBlock block;
    HeaderBlock header{SampleImage()[0]};
    PlaceLibraryProfile(parsed.profile, 4, block, header);
    for (size_t i = 0; i < kBlockLength; ++i) {
        const bool slot = i < size_t(4 * kButtonCount) && i % 4 == 0;
        const uint8_t expected =
            slot ? uint8_t((4 << 5) | (SampleImage()[3][i] & 0x1F)) : SampleImage()[3][i];
        EXPECT_EQ(block.bytes[i], expected) << i;
        const bool inRecord = i >= 64 + 32 && i < 64 + 40;
        const uint8_t headerExpected = i == 64 + 32 ? 4
                                       : inRecord   ? SampleImage()[0][i - 16]
                                                    : SampleImage()[0][i];
        EXPECT_EQ(header.bytes[i], headerExpected) << i;
    }

    // Every damaged, foreign or badly named file is refused, saying why.
    const std::string good = FormatLibraryProfile(taken, info);
    std::string changedByte = good;
    const size_t dataLine = good.find("block 0040 ");
    changedByte[dataLine + 12] = changedByte[dataLine + 12] == '0' ? '1' : '0';
    const auto named = [&](const std::string& other) {
        LibraryProfile renamed = taken;
        renamed.name = other;
        return FormatLibraryProfile(renamed, info);
    };
    struct Case {
        const char* what;
        std::string text;
        const wchar_t* reason;
    } cases[] = {
        {"one changed byte", changedByte, L"checksum does not match"},
        {"truncated", good.substr(0, good.find("block 0100")), L"cut short"},
        {"cut inside a line", good.substr(0, dataLine + 40), L"cut short"},
        {"another product", Replace(good, "F1D0:0084", "F1D0:0085"),
         L"F1D0:0085, not for this mouse"},
        {"a later format", Replace(good, "format 1", "format 2"), L"later TarnDesk"},
        {"a backup", SampleFile(), L"not a TarnDesk profile"},
        {"a name not UTF-8", named("B\xFCro"), L"not valid UTF-8"},
        {"an overlong form", named("\xC0\xAF"), L"not valid UTF-8"},
        {"a surrogate", named("\xED\xA0\x80"), L"not valid UTF-8"},
        {"65 characters", named(std::string(64, 'a') + "\xC3\xA9"), L"65 characters long"},
        {"no name", named(""), L"no name"},
        {"a control character", named("a\tb"), L"control character"},
        {"no checksum", good.substr(0, good.find("checksum")), L"cut short"},
    };
    for (const Case& c : cases) {
        const ParsedLibraryProfile refused = ParseLibraryProfile(c.text, kVendor, kProduct);
        EXPECT_FALSE(refused.accepted) << c.what;
        EXPECT_NE(refused.problem.find(c.reason), std::wstring::npos)
            << c.what << ": " << std::string(refused.problem.begin(), refused.problem.end());
    }
    // 64 characters of any script are a name.
    std::string longest;
    for (int i = 0; i < 64; ++i)
        longest += "\xE5\xB0\x84";
    EXPECT_TRUE(ParseLibraryProfile(named(longest), kVendor, kProduct).accepted);
}

// What the library makes of a profile's name and contents: a file name the system can hold,
// never the same file twice, a summary in the dialog's words, accepted profiles before refused.
TEST(ProfileFile, TheLibraryNamesFilesAndSummarisesProfiles) {
    const struct {
        const wchar_t* name;
        const wchar_t* stem;
    } stems[] = {
        {L"B\u00FCro \u5C04\u624B", L"B\u00FCro \u5C04\u624B"},
        {L"a/b\\c:d*e?f\"g<h>i|j", L"a_b_c_d_e_f_g_h_i_j"},
        {L"trailing. . ", L"trailing"},
        {L"...", L"Profile"},
        {L"con", L"con_"},
        {L"COM7.old", L"COM7.old_"},
        {L"COMMON", L"COMMON"},
        {L"tab\there", L"tab_here"},
    };
    for (const auto& row : stems)
        EXPECT_EQ(LibraryFileStem(row.name), row.stem);
    const std::vector<std::wstring> existing = {L"Work.tarnprofile", L"Work (2).tarnprofile"};
    const auto taken = [&](const std::wstring& name) {
        return std::find(existing.begin(), existing.end(), name) != existing.end();
    };
    EXPECT_EQ(FreeLibraryFileName(L"Work", taken), L"Work (3).tarnprofile");
    EXPECT_EQ(FreeLibraryFileName(L"Play", taken), L"Play.tarnprofile");

    MemoryImage image{};
    image[3] = DefaultProfile(2).bytes;
    HeaderBlock header;
    header.SetResolution(2, 8, -1); // a byte the dialog never writes still reads as signed
    image[0] = header.bytes;
    FunctionNames names;
    for (int f = 0; f < kFunctionCount; ++f)
        names[size_t(f)] = L"F" + std::to_wstring(f);
    const TextLookup builtIn = [](const wchar_t*, const wchar_t* text) { return text; };
    const std::wstring summary = LibrarySummary(TakeLibraryProfile(image, 2, "x"), names, builtIn);
    EXPECT_EQ(summary.rfind(L"800 x -100 dpi; F", 0), 0u) << summary;
    EXPECT_EQ(std::count(summary.begin(), summary.end(), L','), kButtonCount - 1) << summary;

    std::vector<LibraryEntry> entries(4);
    entries[0] = {L"p0", L"zz.tarnprofile", false, L"bad", L"zz", {}, {}};
    entries[1] = {L"p1", L"b.tarnprofile", true, L"", L"beta", {}, {}};
    entries[2] = {L"p2", L"a.tarnprofile", false, L"bad", L"a", {}, {}};
    entries[3] = {L"p3", L"c.tarnprofile", true, L"", L"Alpha", {}, {}};
    SortLibrary(entries);
    EXPECT_EQ(entries[0].name, L"Alpha");
    EXPECT_EQ(entries[1].name, L"beta");
    EXPECT_EQ(entries[2].fileName, L"a.tarnprofile");
    EXPECT_EQ(entries[3].fileName, L"zz.tarnprofile");
}

TEST(ProfileFile, ComparisonNamesEachDifferingBlock) {
    const MemoryImage expected = SampleImage();
    MemoryImage actual = expected;
    EXPECT_TRUE(CompareImages(expected, actual).empty());
    actual[3][0x40] ^= 1;
    actual[3][0x1FF] ^= 1;
    actual[0][5] ^= 0xFF;
    const auto differences = CompareImages(expected, actual);
    ASSERT_EQ(differences.size(), 2u);
    EXPECT_EQ(DescribeDifferences(differences),
              L"header: 1 byte differs, the first at offset 0x0005\n"
              L"profile 3: 2 bytes differ, the first at offset 0x0040\n");
}

TEST(CommandLine, ArgumentsMapToCommands) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(ParseCommandLine(V{}).kind, CommandKind::Tray);
    const Command exported = ParseCommandLine(V{L"/export", L"C:\\a b.tarnprofiles"});
    EXPECT_EQ(exported.kind, CommandKind::Export);
    EXPECT_EQ(exported.file, L"C:\\a b.tarnprofiles");
    EXPECT_EQ(ParseCommandLine(V{L"--IMPORT", L"x"}).kind, CommandKind::Import);
    EXPECT_EQ(ParseCommandLine(V{L"--show"}).kind, CommandKind::Show);
    EXPECT_EQ(ParseCommandLine(V{L"/?"}).kind, CommandKind::Usage);
    EXPECT_EQ(ParseCommandLine(V{L"--help"}).kind, CommandKind::Usage);
    EXPECT_EQ(ParseCommandLine(V{L"--history"}).kind, CommandKind::History);
    const Command restore = ParseCommandLine(V{L"/restore", L"12"});
    EXPECT_EQ(restore.kind, CommandKind::RestoreSnapshot);
    EXPECT_EQ(restore.snapshot, 12);
    const Command diff = ParseCommandLine(V{L"--diff", L"x.tarnprofiles"});
    EXPECT_EQ(diff.kind, CommandKind::Diff);
    EXPECT_EQ(diff.file, L"x.tarnprofiles");
    const Command saved = ParseCommandLine(V{L"--save", L"3", L"a.tarnprofile", L"--NAME", L"B"});
    EXPECT_EQ(saved.kind, CommandKind::SaveProfile);
    EXPECT_EQ(saved.profile, 2);
    EXPECT_EQ(saved.file, L"a.tarnprofile");
    EXPECT_EQ(saved.name, L"B");
    EXPECT_EQ(ParseCommandLine(V{L"/save", L"2", L"a"}).name, L"Profile 2");
    const Command loaded = ParseCommandLine(V{L"/load", L"a.tarnprofile", L"5"});
    EXPECT_EQ(loaded.kind, CommandKind::LoadProfile);
    EXPECT_EQ(loaded.profile, 4);
    EXPECT_EQ(loaded.file, L"a.tarnprofile");
    EXPECT_EQ(ParseCommandLine(V{L"/show", L"a.tarnprofile"}).kind, CommandKind::ShowFile);
    // What the desktop runs for an opened file: a tray start, not a console run.
    const Command opened = ParseCommandLine(V{L"/OPEN", L"C:\\My files\\a.tarnprofile"});
    EXPECT_EQ(opened.kind, CommandKind::Open);
    EXPECT_EQ(opened.file, L"C:\\My files\\a.tarnprofile");
    const Command selected = ParseCommandLine(V{L"/select", L"5"});
    EXPECT_EQ(selected.kind, CommandKind::Select);
    EXPECT_EQ(selected.profile, 4);
    for (const V& bad : {V{L"/select", L"0"},
                         V{L"/select", L"6"},
                         V{L"/select", L"12"},
                         V{L"/select"},
                         V{L"/export"},
                         V{L"/import", L"a", L"b"},
                         V{L"/show", L"x", L"y"},
                         V{L"/frobnicate"},
                         V{L"file.tarnprofiles"},
                         V{L"/restore", L"0"},
                         V{L"/restore", L"x"},
                         V{L"/restore"},
                         V{L"/history", L"1"},
                         V{L"/diff"},
                         V{L"/save", L"6", L"f"},
                         V{L"/save", L"1"},
                         V{L"/save", L"1", L"f", L"x"},
                         V{L"/save", L"1", L"f", L"/label", L"n"},
                         V{L"/load", L"f"},
                         V{L"/load", L"f", L"0"},
                         V{L"/load", L"3", L"f"},
                         V{L"/open"},
                         V{L"/open", L""},
                         V{L"/open", L"a", L"b"}}) {
        const Command command = ParseCommandLine(bad);
        EXPECT_EQ(command.kind, CommandKind::BadUsage) << std::string(bad[0].begin(), bad[0].end());
        EXPECT_FALSE(command.problem.empty());
    }
    // The problem in English as the program says it, and in the user's language.
    const Command unknown = ParseCommandLine(V{L"/frobnicate"});
    EXPECT_EQ(unknown.problem, L"unknown argument \"/frobnicate\"");
    EXPECT_EQ(ProblemText(unknown, BuiltInText), unknown.problem);
    const TextLookup german = [](const wchar_t* key, const wchar_t* builtIn) -> std::wstring {
        return std::wstring(key) == L"UsageUnknownArgument" ? L"unbekanntes Argument \"%s\""
                                                            : builtIn;
    };
    EXPECT_EQ(ProblemText(unknown, german), L"unbekanntes Argument \"/frobnicate\"");
}

TEST(CommandLine, ShowNamesFunctionsAndRecordedKeys) {
    MemoryImage image{};
    // Profile 2: 600 x 1200 dpi; buttons: left click, double click, key A, a macro, a
    // string "ab", a switch to profile 4, off.
    image[0][kProfileSettingsOffset + 8 + 3] = 6;
    image[0][kProfileSettingsOffset + 8 + 4] = 12;
    uint8_t* block = image[2].data();
    auto record = [&](int button, uint8_t kind, uint8_t param, uint8_t eventBytes) {
        WriteButtonRecord(block, button, ButtonRecord{0x20, kind, param, eventBytes});
    };
    auto event = [&](int button, int index, uint8_t usage, uint8_t flags) {
        WriteKeyEvent(block + kEventListOffset + kEventListLength * size_t(button), index,
                      KeyEvent{usage, flags, 10});
    };
    record(0, KindMouseButton, 0, 16);
    record(1, KindMouseButton, 5, 32);
    record(2, KindSingleKey, 0, 8);
    event(2, 0, 0x04, kEventPress);
    event(2, 1, 0x04, kEventRelease);
    record(3, KindMacro, 0, 12);
    event(3, 0, 0xE0, kEventPress);
    event(3, 1, 0x06, kEventPress);
    event(3, 2, 0x06, kEventRelease);
    event(3, 3, 0x07, kEventPress); // beyond eventBytes: not listed
    record(6, KindMacro, 0, 4);
    event(6, 0, 0xF0, kEventPress); // a usage without a name
    record(4, KindString, 0, 8);
    event(4, 0, 0x04, kEventPress);
    event(4, 1, 0x05, kEventPress);
    record(5, KindProfileSwitch, 3, 0);
    std::array<std::wstring, kFunctionCount> names;
    for (int f = 0; f < kFunctionCount; ++f)
        names[size_t(f)] = L"F" + std::to_wstring(f);
    const std::wstring text = FormatShow(image, 1, names);
    EXPECT_EQ(text.substr(0, 18), L"Active profile: 2\n");
    const std::wstring profile2 = text.substr(text.find(L"Profile 2:"));
    EXPECT_EQ(profile2.substr(0, profile2.find(L"\nProfile 3")),
              L"Profile 2: resolution X 600 dpi, Y 1200 dpi\n"
              L"  Button 1: F1\n"
              L"  Button 2: F6\n"
              L"  Button 3: F7: A (Down), A (Up)\n"
              L"  Button 4: F8: L Ctrl (Down), C (Down), C (Up)\n"
              L"  Button 5: F9: \"ab\"\n"
              L"  Button 6: F10: profile 4\n"
              L"  Button 7: F8: usage F0 (Down)\n");
    EXPECT_NE(FormatShow(image, 5, names).find(L"basic state"), std::wstring::npos);
    // /show FILE: a profile file under its name, a backup by its profiles, a damaged one refused.
    const ProfileFileInfo info{kVendor, kProduct, "1.2.3", "2026-12-08T10:00:00Z"};
    const std::string one =
        FormatLibraryProfile(TakeLibraryProfile(image, 1, "Sn\xC3\xA6ll"), info);
    std::wstring shown;
    std::wstring problem;
    ASSERT_TRUE(FormatShowFile(one, kVendor, kProduct, names, BuiltInText, &shown, &problem));
    EXPECT_EQ(shown.substr(0, shown.find(L"  Button 2")),
              L"Written 2026-12-08T10:00:00Z by TarnDesk 1.2.3\n\n"
              L"Profile \"Sn\u00E6ll\": resolution X 600 dpi, Y 1200 dpi\n  Button 1: F1\n");
    EXPECT_NE(shown.find(L"  Button 7: F8: usage F0 (Down)\n"), std::wstring::npos);
    ASSERT_TRUE(FormatShowFile(FormatProfileFile(image, info), kVendor, kProduct, names,
                               BuiltInText, &shown, &problem));
    EXPECT_NE(shown.find(profile2.substr(0, profile2.find(L"\nProfile 3"))), std::wstring::npos);
    EXPECT_FALSE(FormatShowFile(Replace(one, "F1D0:0084", "F1D0:0085"), kVendor, kProduct, names,
                                BuiltInText, &shown, &problem));
    EXPECT_NE(problem.find(L"not for this mouse"), std::wstring::npos);
    // In another language every label, the key rows and the targets are translated.
    const TextLookup german = [](const wchar_t* key, const wchar_t* builtIn) -> std::wstring {
        for (const auto& [k, v] :
             {std::pair{L"ShowButton", L"Taste %s: %s"}, std::pair{L"KeyDown", L"%s (unten)"},
              std::pair{L"TargetProfile", L"Profil %s"},
              std::pair{L"ShowActive", L"Aktives Profil: %s"}})
            if (std::wstring(key) == k)
                return v;
        return builtIn;
    };
    const std::wstring translated = FormatShow(image, 1, names, german);
    EXPECT_EQ(translated.substr(0, 18), L"Aktives Profil: 2\n");
    EXPECT_NE(translated.find(L"  Taste 3: F7: A (unten), A (Up)\n"), std::wstring::npos);
    EXPECT_NE(translated.find(L"  Taste 6: F10: Profil 4\n"), std::wstring::npos);
}

TEST(History, NamesCarryTimeCauseAndProfileAndSortByTime) {
    const SnapshotName apply{{2026, 12, 8, 19, 5, 12, 42}, {ChangeCause::Apply, 1}};
    EXPECT_EQ(FormatSnapshotName(apply), L"20261208-190512-042-apply-p2.tarnprofiles");
    for (ChangeCause cause : {ChangeCause::Write, ChangeCause::Apply, ChangeCause::Button,
                              ChangeCause::Reset, ChangeCause::Restore, ChangeCause::Import,
                              ChangeCause::ChangedElsewhere, ChangeCause::LibraryLoad}) {
        const SnapshotName name{{2027, 1, 31, 0, 0, 59, 999}, {cause, -1}};
        const std::optional<SnapshotName> back = ParseSnapshotName(FormatSnapshotName(name));
        ASSERT_TRUE(back.has_value()) << int(cause);
        EXPECT_EQ(back->time, name.time);
        EXPECT_EQ(back->reason.cause, cause);
        EXPECT_EQ(back->reason.profile, -1);
    }
    EXPECT_EQ(ParseSnapshotName(FormatSnapshotName(apply))->reason.profile, 1);
    EXPECT_EQ(ReasonText(apply.reason), L"Apply (profile 2)");
    EXPECT_EQ(CauseName(ChangeCause::ChangedElsewhere), L"Changed elsewhere");
    // Files the history did not make are no snapshots of it.
    for (const wchar_t* foreign :
         {L"backup.tarnprofiles", L"20261208-190512-042-apply-p2.txt",
          L"20261208-190512-042-later-p2.tarnprofiles",
          L"20261208-190512-042-apply-p6.tarnprofiles", L"20261308-190512-042-reset.tarnprofiles",
          L"20261208-190512-042-reset.tarnprofiles.tmp1"})
        EXPECT_FALSE(ParseSnapshotName(foreign).has_value()) << std::string(foreign, foreign + 8);
    EXPECT_LT(FormatSnapshotName({{2026, 12, 8, 9, 0, 0, 0}, {ChangeCause::Reset, -1}}),
              FormatSnapshotName({{2026, 12, 8, 10, 0, 0, 0}, {ChangeCause::Apply, 0}}));
    EXPECT_EQ(SecondsSinceEpoch({1970, 1, 2, 0, 0, 1, 0}), 86401);
    EXPECT_EQ(SecondsSinceEpoch({2000, 3, 1, 0, 0, 0, 0}), 951868800);
}

TEST(History, KeepsTheNewestHundredAndOneStepBackPastAMonth) {
    const int64_t now = 1'800'000'000;
    const int64_t day = 86400;
    // Times newest first: `recent` a minute apart, then `old` a day apart beyond 30 days.
    auto times = [&](size_t recent, size_t old) {
        std::vector<int64_t> t;
        for (size_t i = 0; i < recent; ++i)
            t.push_back(now - 60 * int64_t(i));
        for (size_t i = 0; i < old; ++i)
            t.push_back(now - (31 + int64_t(i)) * day);
        return t;
    };
    auto range = [](size_t from, size_t to) {
        std::vector<size_t> r;
        for (size_t i = from; i < to; ++i)
            r.push_back(i);
        return r;
    };
    struct Case {
        size_t recent, old;
        std::vector<size_t> pruned;
    };
    const Case cases[] = {
        {100, 0, {}},
        {120, 0, range(100, 120)},
        {3, 1, {}},           // the only old one stays
        {100, 3, {101, 102}}, // beyond the hundred, the newest old one stays
        {130, 2,
         [&] { // ... however many recent ones there are
             std::vector<size_t> r = range(100, 130);
             r.push_back(131);
             return r;
         }()},
        {40, 70, range(100, 110)}, // old ones among the hundred: the rule needs none beyond
    };
    for (const Case& c : cases)
        EXPECT_EQ(SnapshotsToPrune(times(c.recent, c.old), now), c.pruned)
            << c.recent << " recent, " << c.old << " old";
}

TEST(History, ChangesAreToldInTheSettingsDialogsWords) {
    FunctionNames names;
    for (int f = 0; f < kFunctionCount; ++f)
        names[size_t(f)] = L"F" + std::to_wstring(f);
    names[FunctionDoubleClick] = L"Double Click";
    names[FunctionSingleKey] = L"Single Key";
    MemoryImage before{};
    for (int p = 0; p < kProfileCount; ++p) {
        before[size_t(p) + 1] = DefaultProfile(p).bytes;
        HeaderBlock header{before[0]};
        header.SetDefaultSettings(p);
        before[0] = header.bytes;
    }
    MemoryImage after = before;
    EXPECT_TRUE(DescribeChanges(before, after, names).empty());
    EXPECT_EQ(DifferingPartsText(before, after), L"same as the mouse");

    ProfileBlock profile2{before[2]};
    const std::vector<KeyEvent> pageUp = {{0x4B, kEventPress, 0}, {0x4B, kEventRelease, 0}};
    EncodeButton(profile2, 1, 5, ButtonAssignment::Keys(FunctionSingleKey, pageUp));
    before[2] = profile2.bytes;
    ProfileBlock changed{after[2]};
    EncodeButton(changed, 1, 5, ButtonAssignment::Click(FunctionDoubleClick));
    after[2] = changed.bytes;
    HeaderBlock header{after[0]};
    header.SetResolution(1, 16, 8);
    after[0] = header.bytes;
    after[5][500] ^= 1; // profile 5: a byte the dialog does not show
    after[0][10] ^= 1;  // the header outside the profiles' records
    EXPECT_EQ(DescribeChanges(before, after, names),
              (std::vector<std::wstring>{
                  L"Profile 2: button 6 Single Key: Page Up (Down), Page Up (Up) -> Double Click; "
                  L"DPI X 800 -> 1600",
                  L"Profile 5: stored bytes that the Settings dialog does not show",
                  L"Header: stored bytes that the Settings dialog does not show"}));
    EXPECT_EQ(DifferingPartsText(before, after), L"profiles 2, 5 and the header differ");
    after[0][10] ^= 1;
    after[5][500] ^= 1;
    EXPECT_EQ(DifferingPartsText(before, after), L"profile 2 differs");

    // In another language every word comes from its file, the values in their places.
    const TextLookup german = [](const wchar_t* key, const wchar_t* builtIn) -> std::wstring {
        const std::wstring k = key;
        if (k == L"HistoryProfileChanges")
            return L"Profil %s: %s";
        if (k == L"HistoryButtonChange")
            return L"Taste %s %s -> %s";
        if (k == L"HistoryDpiXChange")
            return L"DPI X %s -> %s";
        if (k == L"HistoryProfileDiffers")
            return L"Profil %s weicht ab";
        if (k == L"HistoryCauseOfProfile")
            return L"%s (Profil %s)";
        if (k == L"HistoryCauseApply")
            return L"Übernehmen";
        return L"?" + std::wstring(builtIn);
    };
    EXPECT_EQ(DescribeChanges(before, after, names, german),
              (std::vector<std::wstring>{L"Profil 2: Taste 6 Single Key: Page Up (Down), Page Up "
                                         L"(Up) -> Double Click; DPI X 800 -> 1600"}));
    EXPECT_EQ(DifferingPartsText(before, after, german), L"Profil 2 weicht ab");
    EXPECT_EQ(ReasonText({ChangeCause::Apply, 1}, german), L"Übernehmen (Profil 2)");
}

} // namespace
