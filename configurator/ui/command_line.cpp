#include "command_line.h"

#include "history_command.h"
#include "model/button_text.h"
#include "text_rules.h"

#include <cwchar>

namespace {

constexpr wchar_t kUsageTitleKey[] = L"UsageTitle";
constexpr wchar_t kUsageNoCommandKey[] = L"UsageNoCommand";
constexpr wchar_t kUsageTrayKey[] = L"UsageTray";
constexpr wchar_t kUsageExportKey[] = L"UsageExport";
constexpr wchar_t kUsageImportKey[] = L"UsageImport";
constexpr wchar_t kUsageShowKey[] = L"UsageShow";
constexpr wchar_t kUsageSelectKey[] = L"UsageSelect";
constexpr wchar_t kUsageDiagnosticsKey[] = L"UsageDiagnostics";
constexpr wchar_t kUsageHelpKey[] = L"UsageHelp";
constexpr wchar_t kUsageOptionsKey[] = L"UsageOptions";
constexpr wchar_t kUsageExitCodesKey[] = L"UsageExitCodes";
constexpr wchar_t kUsageExitCodes2Key[] = L"UsageExitCodes2";
constexpr wchar_t kShowActiveKey[] = L"ShowActive";
constexpr wchar_t kShowBasicStateKey[] = L"ShowBasicState";
constexpr wchar_t kShowProfileKey[] = L"ShowProfile";
constexpr wchar_t kShowButtonKey[] = L"ShowButton";
constexpr wchar_t kUsageSaveKey[] = L"UsageSave";
constexpr wchar_t kUsageLoadKey[] = L"UsageLoad";
constexpr wchar_t kUsageShowFileKey[] = L"UsageShowFile";
constexpr wchar_t kUsageOpenKey[] = L"UsageOpen";
constexpr wchar_t kShowFileProfileKey[] = L"ShowFileProfile";
constexpr wchar_t kShowFileWrittenKey[] = L"ShowFileWritten";
constexpr wchar_t kSaveArgumentsKey[] = L"UsageSaveArguments";
constexpr wchar_t kLoadArgumentsKey[] = L"UsageLoadArguments";

// /save N and /load FILE N take a profile number 1..5; -1 for anything else.
int ProfileNumber(const std::wstring& number) {
    return number.size() == 1 && number[0] >= L'1' && number[0] <= L'5' ? number[0] - L'1' : -1;
}

// One line of the usage text: the option in a column of its own, then what it does.
std::wstring UsageLine(std::wstring_view option, const std::wstring& meaning) {
    constexpr size_t kColumn = 19; // where the meanings start
    std::wstring line = L"  " + std::wstring(option);
    line.append(option.size() + 2 < kColumn ? kColumn - option.size() - 2 : 1, L' ');
    return line + meaning + L"\n";
}

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower)
        c = c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
    return lower;
}

// The option's name without its "/", "--" or "-"; empty when the argument is no option.
std::wstring OptionName(std::wstring_view argument) {
    if (argument.substr(0, 2) == L"--")
        return Lower(argument.substr(2));
    if (!argument.empty() && (argument[0] == L'/' || argument[0] == L'-'))
        return Lower(argument.substr(1));
    return {};
}

constexpr wchar_t kNoArgumentsKey[] = L"UsageNoArguments";
constexpr wchar_t kOneFileKey[] = L"UsageOneFile";
constexpr wchar_t kOneNumberKey[] = L"UsageOneNumber";
constexpr wchar_t kBadNumberKey[] = L"UsageBadNumber";
constexpr wchar_t kUnknownArgumentKey[] = L"UsageUnknownArgument";

Command Bad(const wchar_t* key, const wchar_t* pattern, std::wstring value = {}) {
    Command command;
    command.kind = CommandKind::BadUsage;
    command.problemKey = key;
    command.problemPattern = pattern;
    command.problemValue = std::move(value);
    command.problem = FillPattern(pattern, {command.problemValue});
    return command;
}

} // namespace

Command ParseCommandLine(const std::vector<std::wstring>& arguments) {
    Command command;
    if (arguments.empty())
        return command;
    const std::wstring option = OptionName(arguments[0]);
    const size_t operands = arguments.size() - 1;
    if (option == L"?" || option == L"help" || option == L"h") {
        command.kind = CommandKind::Usage;
        return operands == 0 ? command
                             : Bad(kNoArgumentsKey, L"%s takes no further arguments", L"/?");
    }
    if (option == L"export" || option == L"import") {
        if (operands != 1 || arguments[1].empty())
            return Bad(kOneFileKey, L"%s needs exactly one FILE", L"/" + option);
        command.kind = option == L"export" ? CommandKind::Export : CommandKind::Import;
        command.file = arguments[1];
        return command;
    }
    if (option == L"open") {
        // What the desktop runs for an opened profile file or backup: the tray handles it.
        if (operands != 1 || arguments[1].empty())
            return Bad(kOneFileKey, L"%s needs exactly one FILE", L"/open");
        command.kind = CommandKind::Open;
        command.file = arguments[1];
        return command;
    }
    if (option == L"diagnostics") {
        command.kind = CommandKind::Diagnostics;
        return operands == 0
                   ? command
                   : Bad(kNoArgumentsKey, L"%s takes no further arguments", L"/diagnostics");
    }
    if (option == L"show") {
        command.kind = CommandKind::Show;
        if (operands == 1 && !arguments[1].empty()) {
            command.kind = CommandKind::ShowFile;
            command.file = arguments[1];
            return command;
        }
        return operands == 0
                   ? command
                   : Bad(kNoArgumentsKey, L"%s takes no further arguments", L"/show FILE");
    }
    if (option == L"save") {
        // /save N FILE [/name NAME]; without a name the profile is called by its number.
        const bool named = operands == 4 && OptionName(arguments[3]) == L"name";
        const int profile = operands >= 2 ? ProfileNumber(arguments[1]) : -1;
        if ((operands != 2 && !named) || profile < 0 || arguments[2].empty())
            return Bad(kSaveArgumentsKey,
                       L"/save needs a profile number from 1 to 5 and a FILE, then optionally "
                       L"/name NAME");
        command.kind = CommandKind::SaveProfile;
        command.profile = profile;
        command.file = arguments[2];
        command.name = named ? arguments[4] : L"Profile " + arguments[1];
        return command;
    }
    if (option == L"load") {
        const int profile = operands == 2 ? ProfileNumber(arguments[2]) : -1;
        if (profile < 0 || arguments[1].empty())
            return Bad(kLoadArgumentsKey, L"/load needs a FILE and a profile number from 1 to 5");
        command.kind = CommandKind::LoadProfile;
        command.profile = profile;
        command.file = arguments[1];
        return command;
    }
    if (option == L"select") {
        if (operands != 1)
            return Bad(kOneNumberKey, L"/select needs exactly one profile number, 1 to 5");
        const std::wstring& number = arguments[1];
        if (number.size() != 1 || number[0] < L'1' || number[0] > L'5')
            return Bad(kBadNumberKey, L"/select needs a profile number from 1 to 5, not \"%s\"",
                       number);
        command.kind = CommandKind::Select;
        command.profile = number[0] - L'1';
        return command;
    }
    if (std::optional<Command> history = ParseHistoryCommand(option, arguments))
        return *history;
    return Bad(kUnknownArgumentKey, L"unknown argument \"%s\"", arguments[0]);
}

std::wstring ProblemText(const Command& command, const TextLookup& text) {
    if (command.problemKey == nullptr)
        return command.problem;
    return FillPattern(text(command.problemKey, command.problemPattern), {command.problemValue});
}

std::wstring UsageText(const TextLookup& text) {
    return text(kUsageTitleKey, L"Usage: TarnDesk.exe [command]") + L"\n" +
           UsageLine(text(kUsageNoCommandKey, L"(no command)"),
                     text(kUsageTrayKey, L"start the tray program")) +
           UsageLine(L"/export FILE",
                     text(kUsageExportKey,
                          L"copy the mouse's memory (header and five profiles) into FILE")) +
           UsageLine(L"/import FILE",
                     text(kUsageImportKey,
                          L"check FILE, write it into the mouse and verify by reading back")) +
           UsageLine(L"/show",
                     text(kUsageShowKey, L"print the active profile and each profile's settings")) +
           UsageLine(L"/select N", text(kUsageSelectKey, L"make profile N (1 to 5) active")) +
           UsageLine(L"/save N FILE",
                     text(kUsageSaveKey, L"save profile N into FILE (/name NAME gives its name)")) +
           UsageLine(L"/load FILE N",
                     text(kUsageLoadKey, L"write the profile of FILE into profile N and verify")) +
           UsageLine(L"/show FILE",
                     text(kUsageShowFileKey, L"print what a profile file or a backup holds")) +
           UsageLine(L"/open FILE",
                     text(kUsageOpenKey, L"hand a profile file or a backup to the tray program")) +
           UsageLine(L"/diagnostics",
                     text(kUsageDiagnosticsKey, L"print a short report to send with a fault")) +
           HistoryUsageText() + UsageLine(L"/?", text(kUsageHelpKey, L"show this text")) +
           text(kUsageOptionsKey,
                L"Options may also be written --export, --import, --show, --select, --save, "
                L"--load, --name, --open, --help.") +
           L"\n" +
           text(kUsageExitCodesKey, L"Exit codes: 0 done, 1 bad usage, 2 no mouse, 3 file "
                                    L"refused, 4 verification failed,") +
           L"\n" + text(kUsageExitCodes2Key, L"5 write failed.") + L"\n";
}

ButtonWords ButtonWordsOf(const TextLookup& text) {
    ButtonWords words;
    words.keyDown = text(kKeyDownKey, kDefaultKeyDown);
    words.keyUp = text(kKeyUpKey, kDefaultKeyUp);
    words.targetProfile = text(kTargetProfileKey, kDefaultTargetProfile);
    words.noTargetProfile = text(kNoTargetProfileKey, kDefaultNoTargetProfile);
    words.unknownRecord = text(kUnknownRecordKey, kDefaultUnknownRecord);
    return words;
}

namespace {

// One profile: its line with the resolution, then one line per button.
std::wstring ProfileText(const std::wstring& profileLine, const std::wstring& label,
                         const ProfileSettings& settings, const ProfileBlock& block,
                         const FunctionNames& functionNames, const TextLookup& text) {
    const ButtonWords words = ButtonWordsOf(text);
    const std::wstring buttonLine = text(kShowButtonKey, L"Button %s: %s");
    // The Settings dialog shows the resolution steps as dpi, 100 per step.
    std::wstring shown =
        FillPattern(profileLine, {label, std::to_wstring(settings.resolutionX * 100),
                                  std::to_wstring(settings.resolutionY * 100)}) +
        L"\n";
    for (int button = 0; button < kButtonCount; ++button) {
        // The ini format drops a value's leading blanks, so the indent is the program's.
        shown += L"  " +
                 FillPattern(buttonLine,
                             {std::to_wstring(button + 1),
                              DescribeButton(DecodeButton(block, button), functionNames, words)}) +
                 L"\n";
    }
    return shown;
}

std::wstring WrittenLine(const ProfileFileInfo& info, const TextLookup& text) {
    return FillPattern(text(kShowFileWrittenKey, L"Written %s by TarnDesk %s"),
                       {FromUtf8(info.written), FromUtf8(info.program)}) +
           L"\n";
}

} // namespace

std::wstring FormatShow(const MemoryImage& image, int activeProfile,
                        const FunctionNames& functionNames, const TextLookup& text) {
    const std::wstring active =
        activeProfile >= 0 && activeProfile < kProfileCount
            ? std::to_wstring(activeProfile + 1)
            : FillPattern(
                  text(kShowBasicStateKey, L"none (the mouse is in its basic state, answer %s)"),
                  {std::to_wstring(activeProfile)});
    std::wstring shown = FillPattern(text(kShowActiveKey, L"Active profile: %s"), {active}) + L"\n";
    const std::wstring profileLine =
        text(kShowProfileKey, L"Profile %s: resolution X %s dpi, Y %s dpi");
    for (int profile = 0; profile < kProfileCount; ++profile) {
        shown += L"\n" + ProfileText(profileLine, std::to_wstring(profile + 1),
                                     HeaderBlock{image[0]}.Settings(profile),
                                     ProfileBlock{image[size_t(profile) + 1]}, functionNames, text);
    }
    return shown;
}

bool FormatShowFile(std::string_view content, uint16_t vendorId, uint16_t productId,
                    const FunctionNames& functionNames, const TextLookup& text, std::wstring* shown,
                    std::wstring* problem) {
    if (IsBackupFile(content)) {
        const ParsedProfileFile backup = ParseProfileFile(content, vendorId, productId);
        if (!backup.accepted) {
            *problem = backup.problem;
            return false;
        }
        *shown = WrittenLine(backup.info, text);
        const std::wstring profileLine =
            text(kShowProfileKey, L"Profile %s: resolution X %s dpi, Y %s dpi");
        for (int profile = 0; profile < kProfileCount; ++profile) {
            *shown += L"\n" + ProfileText(profileLine, std::to_wstring(profile + 1),
                                          HeaderBlock{backup.image[0]}.Settings(profile),
                                          ProfileBlock{backup.image[size_t(profile) + 1]},
                                          functionNames, text);
        }
        return true;
    }
    const ParsedLibraryProfile parsed = ParseLibraryProfile(content, vendorId, productId);
    if (!parsed.accepted) {
        *problem = parsed.problem;
        return false;
    }
    ProfileSettings settings{};
    settings.resolutionX = int8_t(parsed.profile.settings[3]);
    settings.resolutionY = int8_t(parsed.profile.settings[4]);
    *shown =
        WrittenLine(parsed.info, text) + L"\n" +
        ProfileText(text(kShowFileProfileKey, L"Profile \"%s\": resolution X %s dpi, Y %s dpi"),
                    FromUtf8(parsed.profile.name), settings, ProfileBlock{parsed.profile.block},
                    functionNames, text);
    return true;
}
