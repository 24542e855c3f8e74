// Program rules: their stored form and the matching against a program's image path.
#include "program_rules.h"

#include "model/memory_image.h"

namespace {

// Simple case folding of the letters Windows file names use most; enough to compare what
// the system reports with what the user picked or typed.
wchar_t Fold(wchar_t c) {
    if (c >= L'A' && c <= L'Z') {
        return static_cast<wchar_t>(c + 32);
    }
    if (c < 0x80) {
        return c == L'/' ? L'\\' : c;
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F)) {
        return static_cast<wchar_t>(c + 32);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<wchar_t>(c + 80);
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x178 && c != 0x17F) {
        // Latin Extended-A pairs upper/lower on even/odd code points, except one run.
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper ? (c % 2 == 1) : (c % 2 == 0)) {
            return static_cast<wchar_t>(c + 1);
        }
    }
    return c;
}

} // namespace

bool SameProgramText(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

std::wstring_view FileNameOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

bool IsNameOnly(std::wstring_view program) {
    return program.find_first_of(L"\\/:") == std::wstring_view::npos;
}

bool RuleMatches(const ProgramRule& rule, std::wstring_view imagePath) {
    if (rule.program.empty() || imagePath.empty()) {
        return false;
    }
    return SameProgramText(rule.program,
                           IsNameOnly(rule.program) ? FileNameOf(imagePath) : imagePath);
}

std::optional<int> RuleProfileFor(const std::vector<ProgramRule>& rules,
                                  std::wstring_view imagePath) {
    std::optional<int> byName;
    for (const ProgramRule& rule : rules) {
        if (!RuleMatches(rule, imagePath)) {
            continue;
        }
        if (!IsNameOnly(rule.program)) {
            return rule.profile; // the rule that names this very file wins
        }
        if (!byName) {
            byName = rule.profile;
        }
    }
    return byName;
}

std::optional<size_t> FindRule(const std::vector<ProgramRule>& rules, std::wstring_view program) {
    for (size_t i = 0; i < rules.size(); ++i) {
        if (SameProgramText(rules[i].program, program)) {
            return i;
        }
    }
    return std::nullopt;
}

std::wstring CleanProgramText(std::wstring_view text) {
    const std::wstring_view blanks = L" \t\"";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(blanks);
    std::wstring_view program = text.substr(first, last - first + 1);
    if (program.size() > kMaxRuleProgramLength || FileNameOf(program).empty()) {
        return {};
    }
    for (wchar_t c : program) {
        if (c < 0x20) {
            return {};
        }
    }
    return std::wstring(program);
}

AddRuleResult AddRule(std::vector<ProgramRule>* rules, std::wstring_view program, int profile,
                      size_t* index) {
    const std::wstring clean = CleanProgramText(program);
    if (clean.empty() || !IsProfileIndex(profile)) {
        return AddRuleResult::Invalid;
    }
    if (const std::optional<size_t> found = FindRule(*rules, clean)) {
        *index = *found;
        return AddRuleResult::Present;
    }
    if (rules->size() >= kMaxProgramRules) {
        return AddRuleResult::Full;
    }
    rules->push_back(ProgramRule{clean, profile});
    *index = rules->size() - 1;
    return AddRuleResult::Added;
}

std::optional<ProgramRule> ParseRuleValue(const StoredValue& value) {
    if (value.type != kRuleValueType || value.data.size() != 4) {
        return std::nullopt;
    }
    const uint32_t number =
        static_cast<uint32_t>(value.data[0]) | static_cast<uint32_t>(value.data[1]) << 8 |
        static_cast<uint32_t>(value.data[2]) << 16 | static_cast<uint32_t>(value.data[3]) << 24;
    if (number < 1 || number > static_cast<uint32_t>(kProfileCount)) {
        return std::nullopt;
    }
    // A name with blanks around it or control characters was not written by the dialog.
    const std::wstring program = CleanProgramText(value.name);
    if (program.empty() || program != value.name) {
        return std::nullopt;
    }
    return ProgramRule{program, static_cast<int>(number) - 1};
}

void ParseRuleValues(const std::vector<StoredValue>& values, ProgramRuleSettings* settings) {
    settings->rules.clear();
    settings->skipped = 0;
    for (const StoredValue& value : values) {
        const std::optional<ProgramRule> rule = ParseRuleValue(value);
        if (!rule || settings->rules.size() >= kMaxProgramRules ||
            FindRule(settings->rules, rule->program)) {
            ++settings->skipped;
            continue;
        }
        settings->rules.push_back(*rule);
    }
}

std::array<uint8_t, 4> RuleValueData(const ProgramRule& rule) {
    return {static_cast<uint8_t>(rule.profile + 1), 0, 0, 0};
}

uint32_t DesktopProfileValue(std::optional<int> profile) {
    return profile && IsProfileIndex(*profile) ? static_cast<uint32_t>(*profile + 1) : 0;
}

std::optional<int> DesktopProfileFromValue(uint32_t value) {
    if (value < 1 || value > static_cast<uint32_t>(kProfileCount)) {
        return std::nullopt;
    }
    return static_cast<int>(value) - 1;
}
