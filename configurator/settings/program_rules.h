// Program profiles: which onboard profile the mouse takes while a program is in front. The
// rules live in the user's registry beside the cache, one value per rule: the value's name is
// the program (a full image path, or a file name alone that matches the program in any
// folder) and its REG_DWORD data the profile number 1..5.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// HKEY_CURRENT_USER key of the rules.
inline constexpr wchar_t kProgramRulesKeyName[] = L"Programs"; // below the cache's base key
inline constexpr wchar_t kProgramRulesKeyPath[] = L"Software\\Orvane\\Gaming\\Settings\\Programs";
// REG_DWORD values under the cache's base key: the feature's switch (1 on, anything else off)
// and the profile for programs without a rule (1..5; anything else keeps the current one).
inline constexpr wchar_t kProgramSwitchingValueName[] = L"ProgramProfiles";
inline constexpr wchar_t kDesktopProfileValueName[] = L"DesktopProfile";
inline constexpr size_t kMaxProgramRules = 64;
// The registry's limit of a value name, in characters.
inline constexpr size_t kMaxRuleProgramLength = 16383;
inline constexpr uint32_t kRuleValueType = 4; // REG_DWORD

struct ProgramRule {
    std::wstring program;
    int profile = 0; // 0..4
};

struct ProgramRuleSettings {
    bool on = false;
    std::optional<int> desktopProfile; // 0..4; nothing keeps the current profile
    std::vector<ProgramRule> rules;
    // Stored values that were no rule (or beyond the 64th), left out of `rules`.
    size_t skipped = 0;
};

// One value of the rules key as the registry holds it.
struct StoredValue {
    std::wstring name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

// The rule a stored value holds; nothing for a value that is none (wrong type or size, a
// profile outside 1..5, an empty or over-long name).
std::optional<ProgramRule> ParseRuleValue(const StoredValue& value);
// The rules of the stored values in their order, at most 64; the rest counts as skipped, as
// does a second rule for the same program.
void ParseRuleValues(const std::vector<StoredValue>& values, ProgramRuleSettings* settings);
// The REG_DWORD data of a rule: its profile number 1..5, little-endian.
std::array<uint8_t, 4> RuleValueData(const ProgramRule& rule);
// The desktop profile as stored (1..5, 0 to keep) and back.
uint32_t DesktopProfileValue(std::optional<int> profile);
std::optional<int> DesktopProfileFromValue(uint32_t value);

// A rule's program without a folder: it matches that file name in any folder.
bool IsNameOnly(std::wstring_view program);
// The file name of a path (after the last backslash or slash).
std::wstring_view FileNameOf(std::wstring_view path);
// Windows compares file names without regard to case; so do the rules.
bool SameProgramText(std::wstring_view a, std::wstring_view b);
bool RuleMatches(const ProgramRule& rule, std::wstring_view imagePath);
// The profile of the rule for the program at `imagePath`: a full-path rule before a rule by
// name; nothing when no rule matches.
std::optional<int> RuleProfileFor(const std::vector<ProgramRule>& rules,
                                  std::wstring_view imagePath);
// The index of the rule for `program` (same text, case aside), if any.
std::optional<size_t> FindRule(const std::vector<ProgramRule>& rules, std::wstring_view program);

enum class AddRuleResult { Added, Present, Full, Invalid };
// Adds a rule for `program` (trimmed) with `profile`, unless one exists (its index goes to
// *index then too), the list is full or the text is no program.
AddRuleResult AddRule(std::vector<ProgramRule>* rules, std::wstring_view program, int profile,
                      size_t* index);
// The program text trimmed of surrounding blanks and quotes; empty when it cannot be a rule.
std::wstring CleanProgramText(std::wstring_view text);

// Registry side (program_rules_win.cpp). Loading reads the switch, the desktop profile and
// every value of the rules key; a missing key is no rules.
ProgramRuleSettings LoadProgramRuleSettings();
// Replaces the stored rules (values the dialog skipped go with them), the switch and the
// desktop profile. False when the registry refused a part.
bool StoreProgramRuleSettings(const ProgramRuleSettings& settings);
