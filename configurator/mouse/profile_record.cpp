// Button records, event lists and resolution records inside the two memory images, and the
// conversions between a button record and the function the Settings dialog shows.
#include "profile_record.h"

#include <cstring>

// The program-wide working storage, owned here (declared in profile_record.h).
int32_t currentProfile = 0;
uint8_t profileBlock[kBlockLength];
uint8_t headerBlock[kBlockLength];
int32_t buttonChoices[kButtonCount];
uint8_t workRecord[4];
uint8_t workEvents[kEventListLength];

namespace {

constexpr uint8_t kClickUsage = 0x4D;
constexpr uint16_t kClickDelay = 5;
constexpr int kMaxMouseButtonParam = 4;
constexpr uint8_t kDefaultResolutionStep = 8;

uint8_t Slot(int profile, int button) {
    return uint8_t((uint8_t(profile) << 5) | (button & 0x1F));
}

} // namespace

void WriteResolution(uint8_t* header, int profile, int stepX, int stepY) {
    if (!IsProfileIndex(profile))
        return;
    uint8_t* p = header + kProfileSettingsOffset + 8 * size_t(profile);
    p[3] = uint8_t(stepX & 0xFF);
    p[4] = uint8_t(stepY & 0xFF);
}

void EncodeButtonFunction(int button) {
    if (!IsButtonIndex(button))
        return;
    const int32_t choice = buttonChoices[button];
    std::memset(workRecord, 0, sizeof workRecord);
    std::memset(workEvents, 0, sizeof workEvents);
    ButtonRecord record{Slot(currentProfile, button), KindOff, 0, 0};
    if (choice >= FunctionLeftClick && choice <= FunctionDoubleClick) {
        const int clicks = choice == FunctionDoubleClick ? 2 : 1;
        record.kind = KindMouseButton;
        record.param = choice == FunctionDoubleClick ? kDoubleClickParam : uint8_t(choice - 1);
        record.eventBytes = uint8_t(8 * clicks);
        for (int i = 0; i < clicks; ++i) {
            WriteKeyEvent(workEvents, 2 * i, KeyEvent{kClickUsage, kEventPress, kClickDelay});
            WriteKeyEvent(workEvents, 2 * i + 1, KeyEvent{kClickUsage, kEventRelease, kClickDelay});
        }
    } else if (choice != FunctionButtonOff) {
        return; // keys, macros, strings and profile switches come from their own dialogs
    }
    WriteButtonRecord(workRecord, 0, record);
    std::memcpy(profileBlock + 4 * size_t(button), workRecord, sizeof workRecord);
    std::memcpy(profileBlock + kEventListOffset + kEventListLength * size_t(button), workEvents,
                kEventListLength);
}

void DecodeButtonFunctions() {
    for (int n = 0; n < kButtonCount; ++n) {
        const ButtonRecord record = ReadButtonRecord(profileBlock, n);
        switch (record.kind & kKindMask) {
        case KindOff:
            buttonChoices[n] = FunctionButtonOff;
            break;
        case KindMouseButton:
            buttonChoices[n] =
                record.param <= kMaxMouseButtonParam ? record.param + 1 : FunctionDoubleClick;
            break;
        case KindSingleKey:
            buttonChoices[n] = FunctionSingleKey;
            break;
        case KindMacro:
            buttonChoices[n] = FunctionMacroKey;
            break;
        case KindString:
            buttonChoices[n] = FunctionStringKey;
            break;
        case KindProfileSwitch:
            buttonChoices[n] = FunctionSelectProfile;
            break;
        default:
            break; // a kind this program never writes: keep the previous choice
        }
    }
}

void WriteDefaultProfile(int profile, uint8_t* block) {
    if (!IsProfileIndex(profile))
        return;
    static const ButtonRecord kDefaults[kButtonCount] = {
        {0, KindMouseButton, 0, 0}, {0, KindMouseButton, 1, 0}, {0, KindMouseButton, 2, 0},
        {0, KindMouseButton, 3, 0}, {0, KindMouseButton, 4, 0}, {0, KindOff, 0, 0},
        {0, KindOff, 0, 0},
    };
    std::memset(block, 0, kBlockLength);
    for (int n = 0; n < kButtonCount; ++n) {
        ButtonRecord record = kDefaults[n];
        record.slot = Slot(profile, n);
        WriteButtonRecord(block, n, record);
    }
}

void WriteDefaultProfileSettings(int profile, uint8_t* header) {
    if (!IsProfileIndex(profile))
        return;
    uint8_t* p = header + kProfileSettingsOffset + 8 * size_t(profile);
    p[0] = uint8_t(profile);
    p[1] = 0;
    p[2] = 1;
    p[3] = kDefaultResolutionStep;
    p[4] = kDefaultResolutionStep;
}
