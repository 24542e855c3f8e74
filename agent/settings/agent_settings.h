// AgentSettings: the agent's process-wide settings, loaded at start-up and on message 3027,
// read by the driver link, the dispatcher and the scroll engine.
#pragma once

#include <cstdint>

inline constexpr uint32_t kDefaultButtonA = 0x05103081;   // codes 1, 2, 3, 4, 5
inline constexpr uint32_t kDefaultButtonB = 0x00019595;   // codes 21, 22, 25, 0, 0
inline constexpr uint32_t kDefaultScrolling = 0x00000303; // 3 lines, 3 repeats
inline constexpr int kLanguageFieldCount = 128;           // 255 bytes with terminator, rounded up

struct AgentSettings {
    uint32_t buttonA = kDefaultButtonA;
    uint32_t buttonB = kDefaultButtonB;
    uint32_t scrolling = kDefaultScrolling;
    wchar_t language[kLanguageFieldCount] = {};
    uint32_t hideicon = 0;
    uint32_t icontype = 0;
};

// Defined in agent_settings.cpp; written only by the agent's start-up and reload on the
// window thread.
extern AgentSettings agentSettings;

// Six-bit action code of button n (1..10); 0 for any other n.
inline uint32_t ActionCodeOf(const AgentSettings& settings, int button) {
    if (button >= 1 && button <= 5) {
        return (settings.buttonA >> (6 * (button - 1))) & 0x3F;
    }
    if (button >= 6 && button <= 10) {
        return (settings.buttonB >> (6 * (button - 6))) & 0x3F;
    }
    return 0;
}

// Bits 8-11 of scrolling: how many WM_HSCROLL steps one tilt step sends.
inline uint32_t HorizontalRepeatCount(const AgentSettings& settings) {
    return (settings.scrolling >> 8) & 0x0F;
}
