#include "history_command.h"

namespace {

Command Refused(std::wstring problem) {
    Command command;
    command.kind = CommandKind::BadUsage;
    command.problem = std::move(problem);
    return command;
}

} // namespace

std::optional<Command> ParseHistoryCommand(const std::wstring& option,
                                           const std::vector<std::wstring>& arguments) {
    const size_t operands = arguments.size() - 1;
    Command command;
    if (option == L"history") {
        command.kind = CommandKind::History;
        return operands == 0 ? command : Refused(L"/history takes no further arguments");
    }
    if (option == L"diff") {
        if (operands != 1 || arguments[1].empty())
            return Refused(L"/diff needs exactly one FILE");
        command.kind = CommandKind::Diff;
        command.file = arguments[1];
        return command;
    }
    if (option == L"restore") {
        if (operands != 1)
            return Refused(L"/restore needs exactly one snapshot number (1 is the newest)");
        const std::wstring& number = arguments[1];
        bool digits = !number.empty() && number.size() <= 4 && number[0] != L'0';
        for (wchar_t c : number)
            digits = digits && c >= L'0' && c <= L'9';
        if (!digits)
            return Refused(L"/restore needs a snapshot number from /history, not \"" + number +
                           L"\"");
        command.kind = CommandKind::RestoreSnapshot;
        command.snapshot = std::stoi(number);
        return command;
    }
    return std::nullopt;
}

std::wstring HistoryUsageText() {
    return L"  /history         list the snapshots kept before each change, newest first, and\n"
           L"                   which profiles of each differ from the mouse now\n"
           L"  /restore N       write snapshot N of /history into the mouse, as /import does\n"
           L"  /diff FILE       say per profile and button what differs between the mouse and\n"
           L"                   FILE (exit 0 equal, 4 different)\n";
}
