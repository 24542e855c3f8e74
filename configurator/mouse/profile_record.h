// The configurator's view of the mouse's memory images: button records, event lists and
// the per-profile resolution records, and the program-wide working storage.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kBlockLength = 512;
inline constexpr int kProfileCount = 5;
inline constexpr int kButtonCount = 7;
inline constexpr int kMaxEvents = 16;
inline constexpr size_t kEventListLength = 64;
inline constexpr size_t kEventListOffset = 64;       // event list of button n at 64 + 64n
inline constexpr size_t kProfileSettingsOffset = 64; // ProfileSettings of profile p at 64 + 8p

// Button functions as the Settings dialog offers them (language keys "Func0".."Func10").
enum ButtonFunction : int32_t {
    FunctionButtonOff = 0,
    FunctionLeftClick = 1,
    FunctionRightClick = 2,
    FunctionMiddleClick = 3,
    FunctionButton4 = 4,
    FunctionButton5 = 5,
    FunctionDoubleClick = 6,
    FunctionSingleKey = 7,
    FunctionMacroKey = 8,
    FunctionStringKey = 9,
    FunctionSelectProfile = 10,
};
inline constexpr int kFunctionCount = 11;

// Action kinds stored in a record's byte 1 (bits 0-4).
enum ActionKind : uint8_t {
    KindOff = 0,
    KindMouseButton = 1,
    KindSingleKey = 3,
    KindMacro = 4,
    KindString = 5,
    KindProfileSwitch = 10,
};

inline constexpr uint8_t kEventPress = 0x80;
inline constexpr uint8_t kEventRelease = 0x00;

struct ButtonRecord {
    uint8_t slot;
    uint8_t kind;
    uint8_t param;
    uint8_t eventBytes;
};

struct KeyEvent {
    uint8_t usage;
    uint8_t flags;
    uint16_t delay;
};

struct ProfileSettings {
    uint8_t profileIndex;
    uint8_t reserved1;
    uint8_t reserved2;
    int8_t resolutionX;
    int8_t resolutionY;
};

// Program-wide working storage (one instance each).
// The profile the Settings dialog shows and edits (0..4, or 5 in the mouse's basic state);
// written by SettingsDialogProc only: QueryProfile (the mouse's answer) and the profile buttons.
extern int32_t currentProfile;
// The shown profile's block: loaded by RefreshSettingsDialog and the profile buttons, and
// edited by EncodeButtonFunction, the Recorder's Apply and Select Profile's OK.
extern uint8_t profileBlock[kBlockLength];
// Written by the tray (SyncCacheFromDevice, ResetToDefault), SettingsDialogProc's trackbars
// (WriteResolution) and the command line's Import.
extern uint8_t headerBlock[kBlockLength];
// Written by SettingsDialogProc only: DecodeButtonFunctions and the function boxes.
extern int32_t buttonChoices[kButtonCount];
// Scratch for one button's record and events, written by EncodeButtonFunction (Settings
// dialog), the Recorder (recorder.cpp) and Select Profile (select_profile.cpp).
extern uint8_t workRecord[4];
extern uint8_t workEvents[kEventListLength];

// Explicit little-endian access; no struct punning across the wire.
ButtonRecord ReadButtonRecord(const uint8_t* block, int button);
void WriteButtonRecord(uint8_t* block, int button, const ButtonRecord& record);
KeyEvent ReadKeyEvent(const uint8_t* events, int index);
void WriteKeyEvent(uint8_t* events, int index, const KeyEvent& event);
ProfileSettings ReadProfileSettings(const uint8_t* header, int profile);
void WriteResolution(uint8_t* header, int profile, int stepX, int stepY);

// Record n and, for choices 0..6, the event list of button n in profileBlock.
void EncodeButtonFunction(int button);
// Sets buttonChoices from records 0..6 of profileBlock.
void DecodeButtonFunctions();
// The defaults that "Reset to Default" writes: the seven records of profile i into a zeroed
// profile block, and profile i's ProfileSettings in a header block (bytes 5-7 kept).
void WriteDefaultProfile(int profile, uint8_t* block);
void WriteDefaultProfileSettings(int profile, uint8_t* header);
