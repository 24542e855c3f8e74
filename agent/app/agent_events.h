// The agent's reaction to driver events, as decisions without side effects: the window
// procedure feeds each record in and carries out what comes back, in order. Also the small
// sums of the tray icon and the wheel setting. Windows-free so it is tested natively.
#pragma once

#include <cstdint>

#include "driver_link.h"

inline constexpr int32_t kChordKeyCode = 113; // asks for Ctrl+Windows+Tab

// Process-wide state of the window procedure (window thread only).
struct AgentEventState {
    int32_t lastEventKeyCode = 0;
    uint32_t batteryBlinking = 0;
    uint32_t blinkPhase = 0;
    uint32_t pendingMask = 0;       // nonzero while buttons are held
    uint32_t lastMask = 0;          // the last nonzero button mask
    uint32_t repeatTimerActive = 0; // nonzero while the tilt repeat timer runs
};

enum class BatteryStep { None, StopBlink, StartBlink };

// What one event record asks for, in the order it must be carried out.
struct DriverEventSteps {
    bool sendChord = false;                  // 1. Ctrl+Windows+Tab
    BatteryStep battery = BatteryStep::None; // 2. stop (timer 2 off, region icon) or start
                                             //    (balloon, timer 2 on)
    bool runButtons = false;                 // 3. RunButtonActions(buttonMask)
    uint32_t buttonMask = 0;
    bool storeTilt = false; // 4. tiltState = tiltValue, then:
    int32_t tiltValue = 0;
    bool scrollOnce = false;  //    one ScrollStep
    bool startRepeat = false; //    timer 1 on (after the step)
    bool stopRepeat = false;  //    timer 1 off
};

DriverEventSteps StepDriverEvent(AgentEventState& state, const EventRecord& record);

// HID upper filter codes: the button mask to run at once, 0 for none.
inline constexpr uint32_t kHidCodeButton4 = 0x24;
inline constexpr uint32_t kHidCodeButton5 = 0x25;
uint32_t HidEventButtonMask(const HidEventRecord& record);

// Pointer regions of the screen, 1 (top-left) to 9 (bottom-right). The third lines belong to
// the outer rows and columns: x = right / 3 is left, x = 2 * (right / 3) is right.
int PointerRegion(int32_t x, int32_t y, int32_t screenRight, int32_t screenBottom);

// Icon resources.
inline constexpr int kIconLarge = 107;
inline constexpr int kIconSmall = 108;
inline constexpr int kIconRegionBase = 130;  // + region 1..9
inline constexpr int kIconBatteryBase = 141; // + blink phase
inline constexpr int kIconSingle = 147;
inline constexpr int kIconSingleBatteryBase = 148; // + blink phase
// Icon for the normal state; 0 when icontype selects no icon set (icon left unchanged).
int RegionIconId(uint32_t icontype, int region);
// Icon for a battery blink frame; 0 when icontype selects no icon set.
int BatteryIconId(uint32_t icontype, uint32_t blinkPhase);

// Lines per wheel notch for SPI_SETWHEELSCROLLLINES: WHEEL_PAGESCROLL when bits 4-7 are 1.
inline constexpr uint32_t kWheelPageScroll = 0xFFFFFFFF;
uint32_t WheelLinesOf(uint32_t scrolling);

// A 32-bit registry setting as read: the value's bytes (type not looked at). Values longer
// than 4 bytes (or empty) count as absent; shorter ones are widened with zeros rather than merged
// into the old value. Returns false when the field keeps its value.
bool DwordSettingFromValue(const uint8_t* data, uint32_t length, uint32_t* field);
