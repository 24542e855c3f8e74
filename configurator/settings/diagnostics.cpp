#include "diagnostics.h"

#include <cwchar>

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

uint32_t ReadLe32(const uint8_t* at) {
    return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
           (uint32_t{at[3]} << 24);
}

std::wstring Hex8(uint32_t value) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%08X", static_cast<unsigned>(value));
    return text;
}

std::wstring VersionText(const std::optional<std::array<uint16_t, 4>>& version) {
    if (!version) {
        return L"not found";
    }
    const auto& v = *version;
    return std::to_wstring(v[0]) + L"." + std::to_wstring(v[1]) + L"." + std::to_wstring(v[2]) +
           L"." + std::to_wstring(v[3]);
}

std::wstring BlockName(int number) {
    return number == 255 ? std::wstring(L"header") : L"profile " + std::to_wstring(number + 1);
}

} // namespace

std::wstring FormatDiagnostics(const DiagnosticsFacts& facts) {
    std::wstring text = L"Orvane gaming mouse software: diagnostics\n";
    text += L"Written: " + facts.written + L"\n";
    text += L"Install folder: " + facts.installFolder + L"\n";
    text += L"Programs:\n";
    for (const ProgramFacts& program : facts.programs) {
        text += L"  " + program.file + L" " + VersionText(program.version) + L"\n";
    }
    text += L"Windows: " + facts.windows + L"\n";
    text += L"Language: " + facts.language +
            (facts.languageFilePresent ? L"" : L" (no language file: built-in English)") + L"\n";
    text +=
        std::wstring(L"Mouse F1D0:0084: ") + (facts.mousePresent ? L"present" : L"absent") + L"\n";
    text += L"Filter devices:";
    for (const auto& [name, present] : facts.filterDevices) {
        text += L" " + name + (present ? L" present," : L" absent,");
    }
    if (!facts.filterDevices.empty()) {
        text.pop_back();
    }
    text += L"\nActive profile: ";
    if (!facts.activeProfile) {
        text += L"no answer";
    } else if (*facts.activeProfile >= 0 && *facts.activeProfile < 5) {
        text += std::to_wstring(*facts.activeProfile + 1);
    } else {
        text += L"basic state (" + std::to_wstring(*facts.activeProfile) + L")";
    }
    text += L"\nCache:";
    for (const CacheBlockFacts& block : facts.cache) {
        text += L"\n  " + BlockName(block.number) + L": " +
                (block.present ? L"CRC " + Hex8(block.crc) : std::wstring(L"missing"));
    }
    text += std::wstring(L"\nProgram profiles: ") + (facts.programProfilesOn ? L"on" : L"off") +
            L", " + std::to_wstring(facts.programRules) + L" rules";
    if (facts.skippedRules != 0) {
        text += L", " + std::to_wstring(facts.skippedRules) + L" stored values skipped";
    }
    text += L"\nLast errors:";
    if (facts.lastErrors.empty()) {
        text += L" none recorded";
    }
    for (const std::wstring& error : facts.lastErrors) {
        text += L"\n  " + error;
    }
    text += L"\nCrash dumps (%LOCALAPPDATA%\\Orvane\\Gaming Mouse\\CrashDumps):";
    if (facts.crashDumps.empty()) {
        text += L" none";
    }
    for (const std::wstring& dump : facts.crashDumps) {
        text += L"\n  " + dump;
    }
    return text + L"\n";
}

std::optional<std::array<uint16_t, 4>> FixedFileVersion(const uint8_t* data, size_t length) {
    // VS_FIXEDFILEINFO: signature, struct version, then the file version's MS and LS words.
    for (size_t at = 0; data != nullptr && at + 16 <= length; at += 4) {
        if (ReadLe32(data + at) != kFixedInfoSignature) {
            continue;
        }
        const uint32_t high = ReadLe32(data + at + 8);
        const uint32_t low = ReadLe32(data + at + 12);
        return std::array<uint16_t, 4>{
            static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high & 0xFFFF),
            static_cast<uint16_t>(low >> 16), static_cast<uint16_t>(low & 0xFFFF)};
    }
    return std::nullopt;
}

uint32_t Crc32(const uint8_t* data, size_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

std::vector<std::wstring> WithRecordedError(std::vector<std::wstring> errors, std::wstring entry) {
    errors.push_back(std::move(entry));
    if (errors.size() > kRecordedErrorCount) {
        errors.erase(errors.begin(), errors.begin() + static_cast<std::ptrdiff_t>(
                                                          errors.size() - kRecordedErrorCount));
    }
    return errors;
}
