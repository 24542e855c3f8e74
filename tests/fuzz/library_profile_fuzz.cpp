// Profile files as a user hands them to "/load" or "/show FILE": any text is refused or taken
// without a crash, a taken file writes back to one that reads the same, it lands in every
// profile without touching the header outside that profile's record, and /show's text of it
// is built.
//
// Input: the file's text, as is.
#include "ui/command_line.h"
#include "settings/profile_file.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedLibraryProfile parsed = ParseLibraryProfile(text, 0xF1D0, 0x0084);
    if (!parsed.accepted) {
        if (parsed.problem.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const ParsedLibraryProfile again =
        ParseLibraryProfile(FormatLibraryProfile(parsed.profile, parsed.info), 0xF1D0, 0x0084);
    if (!again.accepted || again.profile.block != parsed.profile.block ||
        again.profile.settings != parsed.profile.settings ||
        again.profile.name != parsed.profile.name ||
        ToUtf8(FromUtf8(parsed.profile.name)) != parsed.profile.name)
        std::abort();
    for (int slot = 0; slot < kProfileCount; ++slot) {
        ProfileBlock block;
        HeaderBlock header;
        header.bytes.fill(0xA5);
        PlaceLibraryProfile(parsed.profile, slot, block, header);
        for (size_t i = 0; i < kBlockLength; ++i) {
            const bool inRecord = i >= kProfileSettingsOffset + 8 * size_t(slot) &&
                                  i < kProfileSettingsOffset + 8 * size_t(slot) + 8;
            if (!inRecord && header.bytes[i] != 0xA5)
                std::abort();
        }
        for (int button = 0; button < kButtonCount; ++button)
            if (block.Record(button).slot >> 5 != slot)
                std::abort();
    }
    std::array<std::wstring, kFunctionCount> names;
    for (auto& name : names)
        name = L"f";
    std::wstring shown;
    std::wstring problem;
    if (!FormatShowFile(text, 0xF1D0, 0x0084, names, BuiltInText, &shown, &problem))
        std::abort();
    return 0;
}
