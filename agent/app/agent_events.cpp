#include "agent_events.h"

DriverEventSteps StepDriverEvent(AgentEventState& state, const EventRecord& record) {
    DriverEventSteps steps;

    // A held key repeats its code; only the first report of a press makes the chord.
    if (record.keyCode == kChordKeyCode && state.lastEventKeyCode != kChordKeyCode) {
        steps.sendChord = true;
    }
    state.lastEventKeyCode = record.keyCode;

    if (record.battery == 0) {
        state.batteryBlinking = 0;
        steps.battery = BatteryStep::StopBlink;
    } else if (state.batteryBlinking == 0) {
        state.batteryBlinking = 1;
        steps.battery = BatteryStep::StartBlink;
    }

    // Actions run on release, with the widest mask seen while held.
    if (record.buttonMask != 0) {
        state.pendingMask = record.buttonMask;
        state.lastMask = record.buttonMask;
    } else if (state.pendingMask != 0) {
        state.pendingMask = 0;
        steps.runButtons = true;
        steps.buttonMask = state.lastMask;
    }

    const uint32_t tilt = record.tilt;
    const uint32_t low = tilt & 0xFF;
    if ((tilt & 0xFF00) == 0xFF00) {
        steps.storeTilt = true;
        steps.tiltValue = static_cast<int32_t>(low);
        steps.scrollOnce = low != 0;
    } else if (tilt != 0) {
        steps.storeTilt = true;
        steps.tiltValue = static_cast<int32_t>(low);
        if (low != 0) {
            if (state.repeatTimerActive == 0) {
                steps.scrollOnce = true;
                steps.startRepeat = true;
            }
            state.repeatTimerActive = low;
        } else {
            steps.stopRepeat = state.repeatTimerActive != 0;
            state.repeatTimerActive = 0;
        }
    }
    return steps;
}

uint32_t HidEventButtonMask(const HidEventRecord& record) {
    switch (record.code) {
    case kHidCodeButton4:
        return 1u << 3;
    case kHidCodeButton5:
        return 1u << 4;
    default:
        return 0;
    }
}

int PointerRegion(int32_t x, int32_t y, int32_t screenRight, int32_t screenBottom) {
    const int32_t w = screenRight / 3;
    const int32_t h = screenBottom / 3;
    const int row = y <= h ? 0 : (y >= 2 * h ? 2 : 1);
    const int column = x <= w ? 0 : (x >= 2 * w ? 2 : 1);
    return 3 * row + column + 1;
}

int RegionIconId(uint32_t icontype, int region) {
    if (icontype == 0) {
        return region >= 1 && region <= 9 ? kIconRegionBase + region : 0;
    }
    return icontype == 1 ? kIconSingle : 0;
}

int BatteryIconId(uint32_t icontype, uint32_t blinkPhase) {
    const int phase = static_cast<int>(blinkPhase & 1);
    if (icontype == 0) {
        return kIconBatteryBase + phase;
    }
    return icontype == 1 ? kIconSingleBatteryBase + phase : 0;
}

uint32_t WheelLinesOf(uint32_t scrolling) {
    if (((scrolling >> 4) & 0x0F) == 1) {
        return kWheelPageScroll;
    }
    return scrolling & 0x0F;
}

bool DwordSettingFromValue(const uint8_t* data, uint32_t length, uint32_t* field) {
    if (!data || !field || length == 0 || length > 4) {
        return false;
    }
    uint32_t value = 0;
    for (uint32_t i = 0; i < length; ++i) {
        value |= static_cast<uint32_t>(data[i]) << (8 * i);
    }
    *field = value;
    return true;
}
