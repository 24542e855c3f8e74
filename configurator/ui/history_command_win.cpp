// /history, /restore N and /diff FILE: the history folder against the mouse.
#include "history_command.h"

#include "settings/history.h"
#include "settings/text_files.h"

namespace {

FunctionNames ShownFunctionNames() {
    TextSettings texts;
    texts.Load();
    FunctionNames names;
    for (int f = 0; f < kFunctionCount; ++f)
        names[size_t(f)] = texts.LookupFunctionName(f);
    return names;
}

// The mouse's whole memory under `hold`; false (said) when it did not arrive whole.
bool ReadMouse(MouseSession& session, MemoryImage& image, Reporter& output) {
    std::wstring incomplete;
    image = ReadImage(session, &incomplete);
    if (incomplete.empty())
        return true;
    output.Error(L"The mouse did not deliver all of its memory (" + incomplete + L").\n");
    return false;
}

int ListHistory(MouseSession& session, Reporter& output) {
    const std::vector<SnapshotEntry> entries = ListSnapshots(session);
    if (entries.empty()) {
        output.Print(L"The history is empty (" + HistoryFolderPath() + L").\n");
        return kExitDone;
    }
    MemoryImage mouse{};
    bool compared = session.IsMousePresent();
    if (compared) {
        const SessionHold hold = session.Hold();
        compared = hold.Held() && ReadMouse(session, mouse, output);
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const SnapshotEntry& entry = entries[i];
        std::wstring line = std::to_wstring(i + 1) + L"  " + LocalTimeText(entry.name.time) +
                            L"  " + ReasonText(entry.name.reason);
        if (entry.damaged)
            line += L"  damaged, never restored: " + entry.problem;
        else if (compared)
            line += L"  " + DifferingPartsText(mouse, entry.image);
        output.Print(line + L"\n");
    }
    if (!compared) {
        output.Error(L"No mouse " + session.Ids().vendorId + L":" + session.Ids().productId +
                     L" delivered its memory: what differs from it is not shown.\n");
        return kExitNoMouse;
    }
    return kExitDone;
}

int RestoreSnapshot(MouseSession& session, int number, Reporter& output) {
    const std::vector<SnapshotEntry> entries = ListSnapshots(session);
    if (number < 1 || size_t(number) > entries.size()) {
        output.Error(L"There is no snapshot " + std::to_wstring(number) + L": the history holds " +
                     std::to_wstring(entries.size()) + L". Nothing was written.\n");
        return kExitFileRefused;
    }
    const SnapshotEntry& entry = entries[size_t(number) - 1];
    if (entry.damaged) {
        output.Error(L"Refused snapshot " + std::to_wstring(number) + L" (" + entry.path + L"): " +
                     entry.problem + L". Nothing was written.\n");
        return kExitFileRefused;
    }
    HeaderBlock header;
    const ChangeScope change(session, ChangeCause::Restore);
    return ImportMemory(session, entry.path, header, output);
}

int Diff(MouseSession& session, const std::wstring& path, Reporter& output) {
    const ParsedProfileFile file = ReadCheckedProfileFile(session, path);
    if (!file.accepted) {
        output.Error(L"Refused " + path + L": " + file.problem + L".\n");
        return kExitFileRefused;
    }
    if (!RequireMouse(session, output))
        return kExitNoMouse;
    const FunctionNames names = ShownFunctionNames();
    MemoryImage mouse{};
    {
        const SessionHold hold = session.Hold();
        if (!HoldsMouse(hold, output) || !ReadMouse(session, mouse, output))
            return kExitNoMouse;
    }
    const std::vector<std::wstring> lines = DescribeChanges(mouse, file.image, names);
    if (lines.empty()) {
        output.Print(L"The mouse holds what " + path + L" holds.\n");
        return kExitDone;
    }
    for (const std::wstring& line : lines)
        output.Print(line + L"\n");
    return kExitVerifyFailed;
}

} // namespace

int RunHistoryCommand(MouseSession& session, const Command& command, Reporter& output) {
    switch (command.kind) {
    case CommandKind::History:
        return ListHistory(session, output);
    case CommandKind::RestoreSnapshot:
        return RestoreSnapshot(session, command.snapshot, output);
    case CommandKind::Diff:
        return Diff(session, command.file, output);
    default:
        return kExitBadUsage;
    }
}
