#include "profile_library.h"

#include "model/button_assignment.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cwctype>

namespace {

bool IsReservedDeviceName(std::wstring_view stem) {
    // The part before the first dot names the device: "CON.txt" is CON too.
    const std::wstring_view base = stem.substr(0, stem.find(L'.'));
    std::wstring upper;
    for (wchar_t c : base)
        upper += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    static constexpr std::array<std::wstring_view, 4> kPlain = {L"CON", L"PRN", L"AUX", L"NUL"};
    if (std::find(kPlain.begin(), kPlain.end(), upper) != kPlain.end())
        return true;
    return upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT")) &&
           upper[3] >= L'1' && upper[3] <= L'9';
}

std::wstring Lowered(std::wstring_view text) {
    std::wstring lowered;
    for (wchar_t c : text)
        lowered += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return lowered;
}

} // namespace

std::wstring LibraryFileStem(std::wstring_view name) {
    std::wstring stem;
    for (wchar_t c : name) {
        const bool refused =
            c < 0x20 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos;
        stem += refused ? L'_' : c;
    }
    while (!stem.empty() && (stem.back() == L'.' || stem.back() == L' '))
        stem.pop_back();
    if (stem.empty())
        return L"Profile";
    if (IsReservedDeviceName(stem))
        stem += L'_';
    return stem;
}

std::wstring FreeLibraryFileName(std::wstring_view stem,
                                 const std::function<bool(const std::wstring&)>& taken) {
    std::wstring candidate = std::wstring(stem) + kLibraryProfileExtension;
    for (int number = 2; taken(candidate) && number < 10000; ++number)
        candidate =
            std::wstring(stem) + L" (" + std::to_wstring(number) + L")" + kLibraryProfileExtension;
    return candidate;
}

std::wstring LibrarySummary(const LibraryProfile& profile, const FunctionNames& names,
                            const TextLookup& text) {
    ProfileBlock block;
    block.bytes = profile.block;
    std::wstring functions;
    for (int button = 0; button < kButtonCount; ++button) {
        const std::optional<ButtonFunction> function = FunctionOf(DecodeButton(block, button));
        const std::wstring word = function
                                      ? names[size_t(*function)]
                                      : FillPattern(text(kUnknownRecordKey, kDefaultUnknownRecord),
                                                    {std::to_wstring(block.Record(button).kind)});
        functions += (functions.empty() ? L"" : L", ") + word;
    }
    // The record's resolution bytes are signed steps of 100 dpi, as the Settings dialog shows.
    const auto dpi = [&](size_t offset) {
        return std::to_wstring(static_cast<int8_t>(profile.settings[offset]) * 100);
    };
    return FillPattern(text(kLibrarySummaryKey, kDefaultLibrarySummary),
                       {dpi(offsetof(ProfileSettings, resolutionX)),
                        dpi(offsetof(ProfileSettings, resolutionY)), functions});
}

void SortLibrary(std::vector<LibraryEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const LibraryEntry& a, const LibraryEntry& b) {
                         if (a.accepted != b.accepted)
                             return a.accepted;
                         const std::wstring left = Lowered(a.accepted ? a.name : a.fileName);
                         const std::wstring right = Lowered(b.accepted ? b.name : b.fileName);
                         return left != right ? left < right : a.fileName < b.fileName;
                     });
}
