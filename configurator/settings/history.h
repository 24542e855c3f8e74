// The history of the mouse's memory: before each change TarnDesk keeps the whole memory it
// replaces as a .tarnprofiles file in a folder of its own, named by the time, the cause and
// the profile, so every change can be undone. Windows-free: the names, the rule of what is
// kept and a change in words; the folder itself is history_win.cpp.
#pragma once

#include "model/button_text.h"
#include "model/memory_image.h"
#include "mouse/mouse_session.h"
#include "mouse/write_history.h"
#include "profile_file.h"
#include "text_rules.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Below %LOCALAPPDATA%, beside the crash dumps.
inline constexpr wchar_t kHistoryFolder[] = L"Orvane\\Gaming Mouse\\History";
inline constexpr size_t kHistoryKept = 100;
inline constexpr int64_t kHistoryKeeperAge = int64_t{30} * 24 * 3600;

// A UTC time, to the millisecond.
struct SnapshotTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
    bool operator==(const SnapshotTime&) const = default;
};
int64_t SecondsSinceEpoch(const SnapshotTime& time);

struct SnapshotName {
    SnapshotTime time;
    ChangeReason reason;
};

// "20261208-190512-042-apply-p2.tarnprofiles": sorts by time, oldest first.
std::wstring FormatSnapshotName(const SnapshotName& name);
// Nothing for a name this program did not make (the file is then no snapshot of it).
std::optional<SnapshotName> ParseSnapshotName(std::wstring_view fileName);

// The words of the history in the user's language; each key's built-in text is the English.
inline constexpr wchar_t kCauseWriteKey[] = L"HistoryCauseWrite";
inline constexpr wchar_t kCauseApplyKey[] = L"HistoryCauseApply";
inline constexpr wchar_t kCauseButtonKey[] = L"HistoryCauseButton";
inline constexpr wchar_t kCauseResetKey[] = L"HistoryCauseReset";
inline constexpr wchar_t kCauseRestoreKey[] = L"HistoryCauseRestore";
inline constexpr wchar_t kCauseImportKey[] = L"HistoryCauseImport";
inline constexpr wchar_t kCauseElsewhereKey[] = L"HistoryCauseElsewhere";
inline constexpr wchar_t kCauseLibraryKey[] = L"HistoryCauseLibrary";
inline constexpr wchar_t kCauseOfProfileKey[] = L"HistoryCauseOfProfile";
inline constexpr wchar_t kButtonChangeKey[] = L"HistoryButtonChange";
inline constexpr wchar_t kDpiXChangeKey[] = L"HistoryDpiXChange";
inline constexpr wchar_t kDpiYChangeKey[] = L"HistoryDpiYChange";
inline constexpr wchar_t kHiddenBytesKey[] = L"HistoryHiddenBytes";
inline constexpr wchar_t kProfileChangesKey[] = L"HistoryProfileChanges";
inline constexpr wchar_t kHeaderChangesKey[] = L"HistoryHeaderChanges";
inline constexpr wchar_t kSameAsMouseKey[] = L"HistorySame";
inline constexpr wchar_t kProfileDiffersKey[] = L"HistoryProfileDiffers";
inline constexpr wchar_t kProfilesDifferKey[] = L"HistoryProfilesDiffer";
inline constexpr wchar_t kHeaderDiffersKey[] = L"HistoryHeaderDiffers";
inline constexpr wchar_t kProfileAndHeaderDifferKey[] = L"HistoryProfileAndHeaderDiffer";
inline constexpr wchar_t kProfilesAndHeaderDifferKey[] = L"HistoryProfilesAndHeaderDiffer";

// "Apply", "Button", "Reset", "Restore", "Import", "Changed elsewhere", "Library load",
// "Write".
std::wstring CauseName(ChangeCause cause, const TextLookup& text = BuiltInText);
// The cause with its profile: "Apply (profile 2)".
std::wstring ReasonText(const ChangeReason& reason, const TextLookup& text = BuiltInText);

// The snapshots (given newest first, by their times in seconds) that go: all but the newest
// kHistoryKept, except that the newest one older than kHistoryKeeperAge at `now` stays when
// no kept one is that old, so a step back past a month is never lost. Indexes, ascending.
std::vector<size_t> SnapshotsToPrune(const std::vector<int64_t>& newestFirst, int64_t now);

// What differs from `from` to `to`, one line per profile in the Settings dialog's words:
// "Profile 2: button 6 Page Up -> Double Click; DPI X 800 -> 1600". Empty when equal.
std::vector<std::wstring> DescribeChanges(const MemoryImage& from, const MemoryImage& to,
                                          const FunctionNames& names,
                                          const TextLookup& text = BuiltInText);
// "same as the mouse", or which parts differ: "profiles 2, 5 differ", "the header differs".
std::wstring DifferingPartsText(const MemoryImage& mouse, const MemoryImage& snapshot,
                                const TextLookup& text = BuiltInText);

// One file of the history folder, checked like any imported file.
struct SnapshotEntry {
    std::wstring path;
    SnapshotName name;
    bool damaged = false;
    std::wstring problem; // why it is damaged
    MemoryImage image{};
};

// The folder: %LOCALAPPDATA%\<kHistoryFolder>. Windows only (history_win.cpp).
std::wstring HistoryFolderPath();
// Its snapshots, newest first, each read and checked.
std::vector<SnapshotEntry> ListSnapshots(MouseSession& session);
// Keeps `image` as the newest snapshot, unless it equals the newest one, then prunes. Empty on
// success, else why it could not be kept (nothing is then written into the mouse).
std::wstring KeepSnapshot(MouseSession& session, const MemoryImage& image,
                          const ChangeReason& reason);
// FILE read and checked as an import checks it; the problem names why it was refused.
ParsedProfileFile ReadCheckedProfileFile(MouseSession& session, const std::wstring& path);
// The local time of a snapshot, "YYYY-MM-DD HH:MM:SS".
std::wstring LocalTimeText(const SnapshotTime& time);
// The whole memory the cache holds; blocks it does not hold whole are read from the mouse.
// False when such a block did not arrive whole either (the image holds what came).
bool CurrentMemory(MouseSession& session, MemoryImage& image);

// The session's history: the memory before each write sequence, from the cache.
class HistoryKeeper final : public WriteHistory {
  public:
    std::wstring Keep(MouseSession& session, const ChangeReason& reason) override;
    // Told (under the write's hold) when a snapshot could not be kept, with why.
    std::function<void(const std::wstring&)> failed;
};
