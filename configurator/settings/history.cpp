#include "history.h"

#include "model/button_assignment.h"

#include <cwchar>

namespace {

constexpr wchar_t kExtension[] = L".tarnprofiles";

struct CauseToken {
    ChangeCause cause;
    const wchar_t* token; // in file names
};
constexpr CauseToken kCauses[] = {
    {ChangeCause::Write, L"write"},
    {ChangeCause::Apply, L"apply"},
    {ChangeCause::Button, L"button"},
    {ChangeCause::Reset, L"reset"},
    {ChangeCause::Restore, L"restore"},
    {ChangeCause::Import, L"import"},
    {ChangeCause::ChangedElsewhere, L"elsewhere"},
    {ChangeCause::LibraryLoad, L"library"},
};

constexpr wchar_t kHiddenBytes[] = L"stored bytes that the Settings dialog does not show";

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? unsigned(-3) : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

// Exactly `count` decimal digits at `at`; -1 otherwise.
int Digits(std::wstring_view text, size_t at, size_t count) {
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return -1;
        value = value * 10 + (text[i] - L'0');
    }
    return value;
}

std::wstring Dpi(int8_t step) {
    return std::to_wstring(int(step) * 100);
}

// The parts of one profile that differ, in words.
std::wstring ProfileChanges(const MemoryImage& from, const MemoryImage& to, int profile,
                            const FunctionNames& names, const TextLookup& text) {
    std::wstring parts;
    auto add = [&parts](const std::wstring& part) {
        parts += (parts.empty() ? L"" : L"; ") + part;
    };
    const ProfileBlock before{from[size_t(profile) + 1]};
    const ProfileBlock after{to[size_t(profile) + 1]};
    for (int button = 0; button < kButtonCount; ++button) {
        const ButtonAssignment a = DecodeButton(before, button);
        const ButtonAssignment b = DecodeButton(after, button);
        const std::wstring was = DescribeButton(a, names);
        const std::wstring now = DescribeButton(b, names);
        if (was != now)
            add(FillPattern(text(kButtonChangeKey, L"button %s %s -> %s"),
                            {std::to_wstring(button + 1), was, now}));
    }
    const ProfileSettings x = HeaderBlock{from[0]}.Settings(profile);
    const ProfileSettings y = HeaderBlock{to[0]}.Settings(profile);
    if (x.resolutionX != y.resolutionX)
        add(FillPattern(text(kDpiXChangeKey, L"DPI X %s -> %s"),
                        {Dpi(x.resolutionX), Dpi(y.resolutionX)}));
    if (x.resolutionY != y.resolutionY)
        add(FillPattern(text(kDpiYChangeKey, L"DPI Y %s -> %s"),
                        {Dpi(x.resolutionY), Dpi(y.resolutionY)}));
    const bool blockDiffers = before != after;
    const size_t record = kProfileSettingsOffset + 8 * size_t(profile);
    bool recordDiffers = false;
    for (size_t i = record; i < record + 8; ++i)
        recordDiffers = recordDiffers || from[0][i] != to[0][i];
    if (parts.empty() && (blockDiffers || recordDiffers))
        add(text(kHiddenBytesKey, kHiddenBytes));
    return parts;
}

bool OutsideRecords(size_t offset) {
    return offset < kProfileSettingsOffset ||
           offset >= kProfileSettingsOffset + 8 * size_t(kProfileCount);
}

bool HeaderRestDiffers(const MemoryImage& a, const MemoryImage& b) {
    for (size_t i = 0; i < kBlockLength; ++i)
        if (OutsideRecords(i) && a[0][i] != b[0][i])
            return true;
    return false;
}

bool ProfileDiffers(const MemoryImage& a, const MemoryImage& b, int profile) {
    const size_t record = kProfileSettingsOffset + 8 * size_t(profile);
    for (size_t i = record; i < record + 8; ++i)
        if (a[0][i] != b[0][i])
            return true;
    return a[size_t(profile) + 1] != b[size_t(profile) + 1];
}

} // namespace

int64_t SecondsSinceEpoch(const SnapshotTime& t) {
    return DaysFromCivil(t.year, unsigned(t.month), unsigned(t.day)) * 86400 +
           int64_t{t.hour} * 3600 + int64_t{t.minute} * 60 + t.second;
}

std::wstring FormatSnapshotName(const SnapshotName& name) {
    const SnapshotTime& t = name.time;
    wchar_t stamp[40];
    std::swprintf(stamp, 40, L"%04d%02d%02d-%02d%02d%02d-%03d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
    std::wstring text = stamp;
    for (const CauseToken& c : kCauses)
        if (c.cause == name.reason.cause)
            text += std::wstring(L"-") + c.token;
    if (IsProfileIndex(name.reason.profile))
        text += L"-p" + std::to_wstring(name.reason.profile + 1);
    return text + kExtension;
}

std::optional<SnapshotName> ParseSnapshotName(std::wstring_view file) {
    const std::wstring_view extension(kExtension);
    if (file.size() < extension.size() || file.substr(file.size() - extension.size()) != extension)
        return std::nullopt;
    file.remove_suffix(extension.size());
    // YYYYMMDD-HHMMSS-mmm-
    if (file.size() < 20 || file[8] != L'-' || file[15] != L'-' || file[19] != L'-')
        return std::nullopt;
    SnapshotName name;
    SnapshotTime& t = name.time;
    t.year = Digits(file, 0, 4);
    t.month = Digits(file, 4, 2);
    t.day = Digits(file, 6, 2);
    t.hour = Digits(file, 9, 2);
    t.minute = Digits(file, 11, 2);
    t.second = Digits(file, 13, 2);
    t.millisecond = Digits(file, 16, 3);
    if (t.year < 0 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 ||
        t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60 ||
        t.millisecond < 0)
        return std::nullopt;
    std::wstring_view rest = file.substr(20);
    const size_t dash = rest.find(L'-');
    const std::wstring_view token = rest.substr(0, dash);
    bool known = false;
    for (const CauseToken& c : kCauses) {
        if (token == c.token) {
            name.reason.cause = c.cause;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    if (dash != std::wstring_view::npos) {
        const std::wstring_view profile = rest.substr(dash + 1);
        const int number = profile.size() == 2 && profile[0] == L'p' ? Digits(profile, 1, 1) : -1;
        if (number < 1 || number > kProfileCount)
            return std::nullopt;
        name.reason.profile = number - 1;
    }
    return name;
}

std::wstring CauseName(ChangeCause cause, const TextLookup& text) {
    switch (cause) {
    case ChangeCause::Apply:
        return text(kCauseApplyKey, L"Apply");
    case ChangeCause::Button:
        return text(kCauseButtonKey, L"Button");
    case ChangeCause::Reset:
        return text(kCauseResetKey, L"Reset");
    case ChangeCause::Restore:
        return text(kCauseRestoreKey, L"Restore");
    case ChangeCause::Import:
        return text(kCauseImportKey, L"Import");
    case ChangeCause::ChangedElsewhere:
        return text(kCauseElsewhereKey, L"Changed elsewhere");
    case ChangeCause::LibraryLoad:
        return text(kCauseLibraryKey, L"Library load");
    case ChangeCause::Write:
        break;
    }
    return text(kCauseWriteKey, L"Write");
}

std::wstring ReasonText(const ChangeReason& reason, const TextLookup& text) {
    std::wstring name = CauseName(reason.cause, text);
    if (!IsProfileIndex(reason.profile))
        return name;
    return FillPattern(text(kCauseOfProfileKey, L"%s (profile %s)"),
                       {name, std::to_wstring(reason.profile + 1)});
}

std::vector<size_t> SnapshotsToPrune(const std::vector<int64_t>& newestFirst, int64_t now) {
    std::vector<size_t> pruned;
    bool oldOneKept = false;
    for (size_t i = 0; i < newestFirst.size(); ++i) {
        const bool old = now - newestFirst[i] > kHistoryKeeperAge;
        if (i < kHistoryKept) {
            oldOneKept = oldOneKept || old;
        } else if (old && !oldOneKept) {
            oldOneKept = true; // the newest step back past the age stays
        } else {
            pruned.push_back(i);
        }
    }
    return pruned;
}

std::vector<std::wstring> DescribeChanges(const MemoryImage& from, const MemoryImage& to,
                                          const FunctionNames& names, const TextLookup& text) {
    std::vector<std::wstring> lines;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        const std::wstring parts = ProfileChanges(from, to, profile, names, text);
        if (!parts.empty())
            lines.push_back(FillPattern(text(kProfileChangesKey, L"Profile %s: %s"),
                                        {std::to_wstring(profile + 1), parts}));
    }
    if (HeaderRestDiffers(from, to))
        lines.push_back(FillPattern(text(kHeaderChangesKey, L"Header: %s"),
                                    {text(kHiddenBytesKey, kHiddenBytes)}));
    return lines;
}

std::wstring DifferingPartsText(const MemoryImage& mouse, const MemoryImage& snapshot,
                                const TextLookup& text) {
    std::wstring profiles;
    int count = 0;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        if (ProfileDiffers(mouse, snapshot, profile)) {
            profiles += (count++ == 0 ? L"" : L", ") + std::to_wstring(profile + 1);
        }
    }
    const bool header = HeaderRestDiffers(mouse, snapshot);
    if (count == 0)
        return header ? text(kHeaderDiffersKey, L"the header differs")
                      : text(kSameAsMouseKey, L"same as the mouse");
    // Whole sentences per case: languages agree number and word order differently.
    if (header)
        return FillPattern(
            count == 1 ? text(kProfileAndHeaderDifferKey, L"profile %s and the header differ")
                       : text(kProfilesAndHeaderDifferKey, L"profiles %s and the header differ"),
            {profiles});
    return FillPattern(count == 1 ? text(kProfileDiffersKey, L"profile %s differs")
                                  : text(kProfilesDifferKey, L"profiles %s differ"),
                       {profiles});
}
