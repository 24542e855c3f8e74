// Backup files as a user hands them to "/import" or "Restore profiles...": any text is
// refused or taken without a crash, a taken file writes back to a file that reads the same
// memory, and /show's text of what was taken is built for every record the blocks hold.
//
// Input: the file's text, as is.
#include "ui/command_line.h"
#include "settings/profile_file.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedProfileFile parsed = ParseProfileFile(text, 0xF1D0, 0x0084);
    if (!parsed.accepted) {
        if (parsed.problem.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const ParsedProfileFile again =
        ParseProfileFile(FormatProfileFile(parsed.image, parsed.info), 0xF1D0, 0x0084);
    if (!again.accepted || again.image != parsed.image ||
        again.info.program != parsed.info.program || again.info.written != parsed.info.written)
        std::abort();
    std::array<std::wstring, kFunctionCount> names;
    for (auto& name : names)
        name = L"f";
    static_cast<void>(FormatShow(parsed.image, parsed.image[0][0], names));
    return 0;
}
