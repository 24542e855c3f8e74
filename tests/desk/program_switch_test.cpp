// Program profiles: the rules' stored form, their matching and the settle decision.
#include "settings/program_rules.h"
#include "ui/program_switch.h"

#include <gtest/gtest.h>

namespace {

StoredValue Rule(const std::wstring& name, uint32_t profileNumber) {
    return {name,
            kRuleValueType,
            {static_cast<uint8_t>(profileNumber), static_cast<uint8_t>(profileNumber >> 8), 0, 0}};
}

ProgramRuleSettings Settings(std::vector<ProgramRule> rules, std::optional<int> desktop) {
    ProgramRuleSettings settings;
    settings.on = true;
    settings.rules = std::move(rules);
    settings.desktopProfile = desktop;
    return settings;
}

} // namespace

TEST(ProgramRules, MatchByPathOrByNameIgnoringCase) {
    const std::vector<ProgramRule> rules = {
        {L"game.exe", 1},
        {L"C:\\Games\\Game.EXE", 2},
        {L"D:\\\x00C9"
         L"diteur\\edit.exe",
         3},
    };
    // The rule naming the very file wins over the rule by name, whatever their order.
    EXPECT_EQ(RuleProfileFor(rules, L"c:\\games\\GAME.exe"), 2);
    EXPECT_EQ(RuleProfileFor(rules, L"C:/Games/game.exe"), 2);
    EXPECT_EQ(RuleProfileFor(rules, L"E:\\Other\\GAME.EXE"), 1);
    EXPECT_EQ(RuleProfileFor(rules, L"d:\\\x00E9"
                                    L"DITEUR\\Edit.exe"),
              3);
    EXPECT_EQ(RuleProfileFor(rules, L"D:\\Editeur\\edit.exe"), std::nullopt);
    EXPECT_EQ(RuleProfileFor(rules, L"C:\\Games\\game.exe.bak"), std::nullopt);
    EXPECT_EQ(RuleProfileFor(rules, L"C:\\Games\\mygame.exe"), std::nullopt);
    EXPECT_EQ(RuleProfileFor(rules, L""), std::nullopt);
}

TEST(ProgramRules, StoredValuesSkipWhatIsNoRuleAndKeepAtMost64) {
    std::vector<StoredValue> values = {
        Rule(L"C:\\Games\\game.exe", 2),
        {L"sz.exe", 1 /* REG_SZ */, {2, 0, 0, 0}},
        {L"long.exe", kRuleValueType, {2, 0, 0, 0, 0, 0, 0, 0}},
        {L"short.exe", kRuleValueType, {2}},
        Rule(L"zero.exe", 0),
        Rule(L"six.exe", 6),
        Rule(L"wide.exe", 0x0102),
        Rule(L"", 1),
        Rule(L" padded.exe", 1),
        Rule(L"C:\\Games\\", 1),
        Rule(L"C:\\GAMES\\GAME.EXE", 4), // the same program again
    };
    for (int n = 0; n < 70; ++n) {
        values.push_back(Rule(L"p" + std::to_wstring(n) + L".exe", 5));
    }
    ProgramRuleSettings settings;
    ParseRuleValues(values, &settings);
    ASSERT_EQ(settings.rules.size(), kMaxProgramRules);
    EXPECT_EQ(settings.rules[0].program, L"C:\\Games\\game.exe");
    EXPECT_EQ(settings.rules[0].profile, 1);
    EXPECT_EQ(settings.rules[1].program, L"p0.exe");
    EXPECT_EQ(settings.rules[63].program, L"p62.exe");
    EXPECT_EQ(settings.skipped, 10u + 7u);

    // What the dialog stores reads back as the same rule.
    const std::array<uint8_t, 4> data = RuleValueData({L"game.exe", 4});
    const auto back = ParseRuleValue(
        {L"game.exe", kRuleValueType, std::vector<uint8_t>(data.begin(), data.end())});
    ASSERT_TRUE(back);
    EXPECT_EQ(back->profile, 4);
    EXPECT_EQ(DesktopProfileFromValue(DesktopProfileValue(0)), 0);
    EXPECT_EQ(DesktopProfileFromValue(DesktopProfileValue(std::nullopt)), std::nullopt);
    EXPECT_EQ(DesktopProfileFromValue(7), std::nullopt);
}

TEST(ProgramRules, AddRefusesADuplicateAndThe65th) {
    std::vector<ProgramRule> rules;
    size_t index = 99;
    EXPECT_EQ(AddRule(&rules, L" \"C:\\Games\\game.exe\" ", 2, &index), AddRuleResult::Added);
    EXPECT_EQ(rules[0].program, L"C:\\Games\\game.exe");
    EXPECT_EQ(AddRule(&rules, L"c:\\games\\GAME.exe", 0, &index), AddRuleResult::Present);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(rules[0].profile, 2);
    EXPECT_EQ(AddRule(&rules, L"  ", 0, &index), AddRuleResult::Invalid);
    EXPECT_EQ(AddRule(&rules, L"a.exe", 5, &index), AddRuleResult::Invalid);
    for (int n = 1; n < 64; ++n) {
        EXPECT_EQ(AddRule(&rules, L"p" + std::to_wstring(n), 0, &index), AddRuleResult::Added);
    }
    EXPECT_EQ(AddRule(&rules, L"one-more.exe", 0, &index), AddRuleResult::Full);
    EXPECT_EQ(rules.size(), kMaxProgramRules);
}

TEST(ProgramSwitch, OneDecisionPerProgramChangeAfterTheBurst) {
    const ProgramRuleSettings settings =
        Settings({{L"a.exe", 1}, {L"b.exe", 2}, {L"c.exe", 3}}, std::nullopt);
    ProgramSwitch sw;
    EXPECT_EQ(sw.Target(settings), std::nullopt); // nothing seen in front yet
    // A burst: only the program in front when the timer runs out counts.
    sw.ForegroundChanged(L"C:\\a.exe");
    sw.ForegroundChanged(L"C:\\b.exe");
    sw.ForegroundChanged(L"C:\\c.exe");
    EXPECT_EQ(sw.Target(settings), 3);
    sw.Settled();
    // Another window of the same program, or a trip away and back within the settle time,
    // is no change: a profile the user picked meanwhile stays.
    sw.ForegroundChanged(L"c:\\C.EXE");
    EXPECT_EQ(sw.Target(settings), std::nullopt);
    sw.ForegroundChanged(L"C:\\a.exe");
    sw.ForegroundChanged(L"C:\\c.exe");
    EXPECT_EQ(sw.Target(settings), std::nullopt);
    sw.Settled();
    // A real change decides again.
    sw.ForegroundChanged(L"C:\\a.exe");
    EXPECT_EQ(sw.Target(settings), 1);
    sw.Settled();
    EXPECT_EQ(sw.Target(settings), std::nullopt);
    // New rules or a mouse that arrived: the program in front is decided afresh.
    sw.Reconsider();
    EXPECT_EQ(sw.Target(settings), 1);
}

TEST(ProgramSwitch, NoRuleTakesTheDesktopProfileOrNothing) {
    ProgramSwitch sw;
    sw.ForegroundChanged(L"C:\\Windows\\explorer.exe");
    EXPECT_EQ(sw.Target(Settings({{L"a.exe", 1}}, std::nullopt)), std::nullopt);
    EXPECT_EQ(sw.Target(Settings({{L"a.exe", 1}}, 4)), 4);
    sw.ForegroundChanged(L""); // a process that could not be asked has no rule either
    EXPECT_EQ(sw.Target(Settings({{L"a.exe", 1}}, 4)), 4);
    ProgramRuleSettings off = Settings({{L"a.exe", 1}}, 4);
    off.on = false;
    sw.ForegroundChanged(L"C:\\a.exe");
    EXPECT_EQ(sw.Target(off), std::nullopt);

    EXPECT_FALSE(SelectNeeded(std::nullopt, 2)); // no mouse: nothing is sent
    EXPECT_FALSE(SelectNeeded(2, 2));
    EXPECT_TRUE(SelectNeeded(5, 2));
}
