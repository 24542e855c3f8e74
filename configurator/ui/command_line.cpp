#include "command_line.h"

#include "history_command.h"
#include "model/button_text.h"

#include <cwchar>

namespace {

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

Command Bad(std::wstring problem) {
    Command command;
    command.kind = CommandKind::BadUsage;
    command.problem = std::move(problem);
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
        return operands == 0 ? command : Bad(L"/? takes no further arguments");
    }
    if (option == L"export" || option == L"import") {
        if (operands != 1 || arguments[1].empty())
            return Bad(L"/" + option + L" needs exactly one FILE");
        command.kind = option == L"export" ? CommandKind::Export : CommandKind::Import;
        command.file = arguments[1];
        return command;
    }
    if (option == L"diagnostics") {
        command.kind = CommandKind::Diagnostics;
        return operands == 0 ? command : Bad(L"/diagnostics takes no further arguments");
    }
    if (option == L"show") {
        command.kind = CommandKind::Show;
        return operands == 0 ? command : Bad(L"/show takes no further arguments");
    }
    if (option == L"select") {
        if (operands != 1)
            return Bad(L"/select needs exactly one profile number, 1 to 5");
        const std::wstring& number = arguments[1];
        if (number.size() != 1 || number[0] < L'1' || number[0] > L'5')
            return Bad(L"/select needs a profile number from 1 to 5, not \"" + number + L"\"");
        command.kind = CommandKind::Select;
        command.profile = number[0] - L'1';
        return command;
    }
    if (std::optional<Command> history = ParseHistoryCommand(option, arguments))
        return *history;
    return Bad(L"unknown argument \"" + arguments[0] + L"\"");
}

std::wstring UsageText() {
    return std::wstring(
               L"Usage: TarnDesk.exe [command]\n"
               L"  (no command)     start the tray program\n"
               L"  /export FILE     copy the mouse's memory (header and five profiles) into FILE\n"
               L"  /import FILE     check FILE, write it into the mouse and verify by reading "
               L"back\n"
               L"  /show            print the active profile and each profile's settings\n"
               L"  /select N        make profile N (1 to 5) active\n"
               L"  /diagnostics     print a short report to send with a fault\n") +
           HistoryUsageText() +
           L"  /?               show this text\n"
           L"Options may also be written --export, --import, --show, --select, --help.\n"
           L"Exit codes: 0 done, 1 bad usage, 2 no mouse, 3 file refused, 4 verification failed,\n"
           L"5 write failed.\n";
}

std::wstring FormatShow(const MemoryImage& image, int activeProfile,
                        const FunctionNames& functionNames) {
    std::wstring text = L"Active profile: ";
    text += activeProfile >= 0 && activeProfile < kProfileCount
                ? std::to_wstring(activeProfile + 1)
                : L"none (the mouse is in its basic state, answer " +
                      std::to_wstring(activeProfile) + L")";
    text += L"\n";
    for (int profile = 0; profile < kProfileCount; ++profile) {
        const ProfileSettings settings = HeaderBlock{image[0]}.Settings(profile);
        // The Settings dialog shows the resolution steps as dpi, 100 per step.
        text += L"\nProfile " + std::to_wstring(profile + 1) + L": resolution X " +
                std::to_wstring(settings.resolutionX * 100) + L" dpi, Y " +
                std::to_wstring(settings.resolutionY * 100) + L" dpi\n";
        for (int button = 0; button < kButtonCount; ++button) {
            text += L"  Button " + std::to_wstring(button + 1) + L": " +
                    DescribeButton(DecodeButton(ProfileBlock{image[size_t(profile) + 1]}, button),
                                   functionNames) +
                    L"\n";
        }
    }
    return text;
}
