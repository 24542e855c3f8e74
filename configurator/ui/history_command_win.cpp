// /history, /restore N and /diff FILE: the history folder against the mouse.
#include "history_command.h"

#include "settings/history.h"
#include "settings/text_files.h"

namespace {

constexpr wchar_t kIncompleteKey[] = L"HistoryIncomplete";
constexpr wchar_t kEmptyKey[] = L"HistoryEmpty";
constexpr wchar_t kDamagedKey[] = L"HistoryDamaged";
constexpr wchar_t kNotComparedKey[] = L"HistoryNotCompared";
constexpr wchar_t kNoSnapshotKey[] = L"HistoryNoSnapshot";
constexpr wchar_t kSnapshotRefusedKey[] = L"HistorySnapshotRefused";
constexpr wchar_t kDiffRefusedKey[] = L"HistoryDiffRefused";
constexpr wchar_t kDiffSameKey[] = L"HistoryDiffSame";

TextLookup LookupOf(const Reporter& output) {
    return
        [&output](const wchar_t* key, const wchar_t* builtIn) { return output.Text(key, builtIn); };
}

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
    output.Error(output.Text(kIncompleteKey, L"The mouse did not deliver all of its memory (%s).",
                             {incomplete}) +
                 L"\n");
    return false;
}

int ListHistory(MouseSession& session, Reporter& output) {
    const std::vector<SnapshotEntry> entries = ListSnapshots(session);
    if (entries.empty()) {
        output.Print(output.Text(kEmptyKey, L"The history is empty (%s).", {HistoryFolderPath()}) +
                     L"\n");
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
                            L"  " + ReasonText(entry.name.reason, LookupOf(output));
        if (entry.damaged)
            line += L"  " + output.Text(kDamagedKey, L"damaged, cannot be restored") + L": " +
                    entry.problem;
        else if (compared)
            line += L"  " + DifferingPartsText(mouse, entry.image, LookupOf(output));
        output.Print(line + L"\n");
    }
    if (!compared) {
        output.Error(output.Text(kNotComparedKey,
                                 L"No mouse %s delivered its memory: what differs from it is not "
                                 L"shown.",
                                 {session.Ids().vendorId + L":" + session.Ids().productId}) +
                     L"\n");
        return kExitNoMouse;
    }
    return kExitDone;
}

int RestoreSnapshot(MouseSession& session, int number, Reporter& output) {
    const std::vector<SnapshotEntry> entries = ListSnapshots(session);
    if (number < 1 || size_t(number) > entries.size()) {
        output.Error(output.Text(kNoSnapshotKey,
                                 L"There is no snapshot %s: the history holds %s. Nothing was "
                                 L"written.",
                                 {std::to_wstring(number), std::to_wstring(entries.size())}) +
                     L"\n");
        return kExitFileRefused;
    }
    const SnapshotEntry& entry = entries[size_t(number) - 1];
    if (entry.damaged) {
        output.Error(output.Text(kSnapshotRefusedKey,
                                 L"Refused snapshot %s (%s): %s. Nothing was written.",
                                 {std::to_wstring(number), entry.path, entry.problem}) +
                     L"\n");
        return kExitFileRefused;
    }
    HeaderBlock header;
    const ChangeScope change(session, ChangeCause::Restore);
    return ImportMemory(session, entry.path, header, output);
}

int Diff(MouseSession& session, const std::wstring& path, Reporter& output) {
    const ParsedProfileFile file = ReadCheckedProfileFile(session, path);
    if (!file.accepted) {
        output.Error(output.Text(kDiffRefusedKey, L"Refused %s: %s.", {path, file.problem}) +
                     L"\n");
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
    const std::vector<std::wstring> lines =
        DescribeChanges(mouse, file.image, names, LookupOf(output));
    if (lines.empty()) {
        output.Print(output.Text(kDiffSameKey, L"The mouse holds what %s holds.", {path}) + L"\n");
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
