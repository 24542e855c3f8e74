// The agent's reaction to driver events, the tray icon sums and the wheel setting.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "agent_events.h"

namespace {

EventRecord Buttons(uint32_t mask) {
    EventRecord record;
    record.buttonMask = mask;
    return record;
}
EventRecord Key(int32_t code) {
    EventRecord record;
    record.keyCode = code;
    return record;
}
EventRecord Tilt(uint32_t tilt) {
    EventRecord record;
    record.tilt = tilt;
    return record;
}
EventRecord Battery(uint32_t flag) {
    EventRecord record;
    record.battery = flag;
    return record;
}

// The masks that reached the dispatcher over a sequence of events.
std::vector<uint32_t> MasksRun(AgentEventState& state, const std::vector<uint32_t>& masks) {
    std::vector<uint32_t> run;
    for (uint32_t mask : masks) {
        const DriverEventSteps steps = StepDriverEvent(state, Buttons(mask));
        if (steps.runButtons) {
            run.push_back(steps.buttonMask);
        }
    }
    return run;
}

int Chords(AgentEventState& state, const std::vector<int32_t>& codes) {
    int chords = 0;
    for (int32_t code : codes) {
        chords += StepDriverEvent(state, Key(code)).sendChord ? 1 : 0;
    }
    return chords;
}

} // namespace

TEST(AgentEvents, ButtonsActOnReleaseWithTheLastNonzeroMask) {
    AgentEventState state;
    EXPECT_EQ(std::vector<uint32_t>{1}, MasksRun(state, {1, 0}));
    EXPECT_EQ(std::vector<uint32_t>{3}, MasksRun(state, {1, 3, 0}));
    EXPECT_EQ(std::vector<uint32_t>{}, MasksRun(state, {0, 0})); // nothing held
    // Releasing one of two buttons reports the remaining one; the widest mask seen last wins.
    EXPECT_EQ(std::vector<uint32_t>{2}, MasksRun(state, {3, 2, 0}));
    EXPECT_EQ(0u, state.pendingMask);
    EXPECT_EQ(2u, state.lastMask);
}

TEST(AgentEvents, MaskBitsAboveTenArePassedOnForTheDispatcherToIgnore) {
    AgentEventState state;
    EXPECT_EQ(std::vector<uint32_t>{0xFFFFFC00u}, MasksRun(state, {0xFFFFFC00u, 0}));
}

TEST(AgentEvents, KeyCode113SendsOneChordPerPress) {
    AgentEventState state;
    EXPECT_EQ(1, Chords(state, {113, 113}));
    AgentEventState fresh;
    EXPECT_EQ(2, Chords(fresh, {113, 0, 113}));
    AgentEventState other;
    EXPECT_EQ(0, Chords(other, {112, -113, 0x7FFFFFFF, INT32_MIN}));
    EXPECT_EQ(1, Chords(other, {113}));
    EXPECT_EQ(113, other.lastEventKeyCode);
}

TEST(AgentEvents, BatteryStartsTheBlinkOnceAndZeroStopsIt) {
    AgentEventState state;
    EXPECT_EQ(BatteryStep::StartBlink, StepDriverEvent(state, Battery(1)).battery);
    EXPECT_EQ(BatteryStep::None, StepDriverEvent(state, Battery(7)).battery);
    EXPECT_EQ(1u, state.batteryBlinking);
    EXPECT_EQ(BatteryStep::StopBlink, StepDriverEvent(state, Battery(0)).battery);
    EXPECT_EQ(0u, state.batteryBlinking);
    // Every event without the flag refreshes the region icon.
    EXPECT_EQ(BatteryStep::StopBlink, StepDriverEvent(state, Battery(0)).battery);
    EXPECT_EQ(BatteryStep::StartBlink, StepDriverEvent(state, Battery(0x80000000u)).battery);
}

TEST(AgentEvents, TiltStartsRepeatsStopsAndSingleSteps) {
    AgentEventState state;
    DriverEventSteps steps = StepDriverEvent(state, Tilt(0x0001));
    EXPECT_TRUE(steps.storeTilt && steps.scrollOnce && steps.startRepeat);
    EXPECT_EQ(1, steps.tiltValue);
    EXPECT_EQ(1u, state.repeatTimerActive);

    // Held: the timer goes on, no extra step; a change of direction is stored.
    steps = StepDriverEvent(state, Tilt(0x00FF));
    EXPECT_TRUE(steps.storeTilt);
    EXPECT_EQ(255, steps.tiltValue);
    EXPECT_FALSE(steps.scrollOnce || steps.startRepeat || steps.stopRepeat);

    // No tilt information: the running repeat goes on untouched.
    steps = StepDriverEvent(state, Tilt(0));
    EXPECT_FALSE(steps.storeTilt || steps.scrollOnce || steps.startRepeat || steps.stopRepeat);
    EXPECT_EQ(255u, state.repeatTimerActive);

    steps = StepDriverEvent(state, Tilt(0x0100));
    EXPECT_TRUE(steps.storeTilt && steps.stopRepeat);
    EXPECT_EQ(0, steps.tiltValue);
    EXPECT_EQ(0u, state.repeatTimerActive);
    // A second release finds no timer to stop.
    EXPECT_FALSE(StepDriverEvent(state, Tilt(0x0100)).stopRepeat);

    steps = StepDriverEvent(state, Tilt(0xFF01));
    EXPECT_TRUE(steps.storeTilt && steps.scrollOnce);
    EXPECT_FALSE(steps.startRepeat || steps.stopRepeat);
    EXPECT_EQ(1, steps.tiltValue);
    EXPECT_EQ(0u, state.repeatTimerActive);

    steps = StepDriverEvent(state, Tilt(0xFF00)); // single step with no direction
    EXPECT_TRUE(steps.storeTilt);
    EXPECT_FALSE(steps.scrollOnce);
}

TEST(AgentEvents, OneRecordCanCarryEveryStep) {
    AgentEventState state;
    StepDriverEvent(state, Buttons(4));
    EventRecord record;
    record.keyCode = 113;
    record.battery = 1;
    record.buttonMask = 0;
    record.tilt = 0xFF;
    const DriverEventSteps steps = StepDriverEvent(state, record);
    EXPECT_TRUE(steps.sendChord);
    EXPECT_EQ(BatteryStep::StartBlink, steps.battery);
    EXPECT_TRUE(steps.runButtons);
    EXPECT_EQ(4u, steps.buttonMask);
    EXPECT_TRUE(steps.scrollOnce && steps.startRepeat);
    EXPECT_EQ(255, steps.tiltValue);
}

TEST(AgentEvents, AnyRecordGivesAConsistentState) {
    std::mt19937 random(1234);
    AgentEventState state;
    for (int i = 0; i < 20000; ++i) {
        EventRecord record;
        record.buttonMask = random() % 4 == 0 ? 0 : static_cast<uint32_t>(random());
        record.tilt = random() % 3 == 0 ? 0 : static_cast<uint32_t>(random());
        record.keyCode = random() % 4 == 0 ? 113 : static_cast<int32_t>(random());
        record.battery = random() % 2 == 0 ? 0 : static_cast<uint32_t>(random());
        const DriverEventSteps steps = StepDriverEvent(state, record);
        ASSERT_LE(state.repeatTimerActive, 0xFFu);
        ASSERT_TRUE(steps.tiltValue >= 0 && steps.tiltValue <= 0xFF);
        ASSERT_FALSE(steps.startRepeat && steps.stopRepeat);
        ASSERT_TRUE(!steps.runButtons || steps.buttonMask != 0);
        ASSERT_EQ(state.batteryBlinking != 0, record.battery != 0);
    }
}

TEST(AgentEvents, HidCodesSelectButtonsFourAndFiveOnly) {
    HidEventRecord record;
    record.code = 0x24;
    EXPECT_EQ(8u, HidEventButtonMask(record));
    record.code = 0x25;
    EXPECT_EQ(16u, HidEventButtonMask(record));
    for (uint32_t code : {0u, 0x23u, 0x26u, 0x124u, 0xFFFFFFFFu}) {
        record.code = code;
        EXPECT_EQ(0u, HidEventButtonMask(record)) << code;
    }
}

TEST(PointerRegions, ThirdLinesBelongToTheOuterBands) {
    // 1280 x 800: w = 426, h = 266.
    EXPECT_EQ(1, PointerRegion(0, 0, 1280, 800));
    EXPECT_EQ(1, PointerRegion(426, 266, 1280, 800)); // x = w, y = h: left, top
    EXPECT_EQ(5, PointerRegion(427, 267, 1280, 800));
    EXPECT_EQ(5, PointerRegion(851, 531, 1280, 800));
    EXPECT_EQ(9, PointerRegion(852, 532, 1280, 800)); // x = 2w, y = 2h: right, bottom
    EXPECT_EQ(3, PointerRegion(1279, 0, 1280, 800));
    EXPECT_EQ(7, PointerRegion(0, 799, 1280, 800));
    EXPECT_EQ(4, PointerRegion(-5, 400, 1280, 800)); // pointer on a monitor to the left
    EXPECT_EQ(6, PointerRegion(5000, 400, 1280, 800));
}

TEST(PointerRegions, EmptyScreenRectangleStillGivesARegion) {
    // Before WM_CREATE filled screenRect every line is at 0.
    EXPECT_EQ(1, PointerRegion(0, 0, 0, 0));
    EXPECT_EQ(9, PointerRegion(10, 10, 0, 0));
    EXPECT_EQ(9, PointerRegion(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX));
}

TEST(TrayIcons, IconIdsByIconType) {
    EXPECT_EQ(131, RegionIconId(0, 1));
    EXPECT_EQ(139, RegionIconId(0, 9));
    EXPECT_EQ(147, RegionIconId(1, 5));
    EXPECT_EQ(0, RegionIconId(2, 5));
    EXPECT_EQ(0, RegionIconId(0xFFFFFFFF, 5));
    EXPECT_EQ(141, BatteryIconId(0, 0));
    EXPECT_EQ(142, BatteryIconId(0, 1));
    EXPECT_EQ(148, BatteryIconId(1, 0));
    EXPECT_EQ(149, BatteryIconId(1, 1));
    EXPECT_EQ(0, BatteryIconId(3, 1));
}

TEST(WheelSetting, LinesOrPageScrolling) {
    EXPECT_EQ(kWheelPageScroll, WheelLinesOf(0x313));
    EXPECT_EQ(7u, WheelLinesOf(0x307));
    EXPECT_EQ(0u, WheelLinesOf(0x300));
    EXPECT_EQ(3u, WheelLinesOf(0x323)); // only the value 1 selects pages
    EXPECT_EQ(15u, WheelLinesOf(0xFFFFFF0F));
}

TEST(RegistrySettings, DwordValuesOfAnySize) {
    uint32_t field = 0xAAAAAAAA;
    const uint8_t four[4] = {0x81, 0x30, 0x10, 0x05};
    EXPECT_TRUE(DwordSettingFromValue(four, 4, &field));
    EXPECT_EQ(0x05103081u, field);
    const uint8_t two[2] = {0x03, 0x07};
    EXPECT_TRUE(DwordSettingFromValue(two, 2, &field));
    EXPECT_EQ(0x0703u, field); // widened, no stale high bytes
    field = 0x1234;
    EXPECT_FALSE(DwordSettingFromValue(four, 0, &field));
    EXPECT_FALSE(DwordSettingFromValue(four, 5, &field));
    EXPECT_FALSE(DwordSettingFromValue(nullptr, 4, &field));
    EXPECT_EQ(0x1234u, field);
}
