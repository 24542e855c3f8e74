// What a mouse button does, as one value, and the one encoder and decoder between it and the
// button's record and event list in a profile block.
#pragma once

#include "memory_image.h"

#include <cstdint>
#include <optional>
#include <vector>

// The functions the Settings dialog offers. A function list's entry index, this value and the
// language key "Func%d" of its name are the same number.
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
inline constexpr uint8_t kKindMask = 0x1F;
// A mouse-button record's param for the double click; 0..4 name the five buttons.
inline constexpr uint8_t kDoubleClickParam = 5;

enum class AssignmentKind {
    Off,
    MouseButton, // param 0..4: left, right, middle, button 4, button 5
    DoubleClick,
    SingleKey,
    Macro,
    String,
    ProfileSwitch, // param: the target profile (as stored; 0..4 when written here)
    Unknown,       // a kind this program never writes; storedKind says which
};

struct ButtonAssignment {
    AssignmentKind kind = AssignmentKind::Off;
    uint8_t param = 0;
    // What the mouse plays, at most 16 events.
    std::vector<KeyEvent> events;
    // The kind bits a decoded record held (Unknown keeps its code here).
    uint8_t storedKind = KindOff;

    static ButtonAssignment Off();
    // Functions 1..6 as the Settings dialog writes them: with their click events.
    static ButtonAssignment Click(ButtonFunction function);
    // A recorded single key or macro (function 7 or 8), a typed string, a profile switch.
    static ButtonAssignment Keys(ButtonFunction function, std::vector<KeyEvent> events);
    static ButtonAssignment Text(std::vector<KeyEvent> events);
    static ButtonAssignment ProfileSwitch(int target);

    bool operator==(const ButtonAssignment&) const;
};

// (profile << 5) | button: the profile that is shown when the record is built.
uint8_t SlotByte(int profile, int button);

// Record n and button n's whole event list: the list is cleared, then the events written.
// `profile` goes into the slot byte. Nothing for a button outside 0..6.
void EncodeButton(ProfileBlock& block, int profile, int button, const ButtonAssignment& assignment);
// What record n says, with the events its eventBytes claim (never more than the list holds).
ButtonAssignment DecodeButton(const ProfileBlock& block, int button);

// The function a list shows for an assignment; nothing for a kind this program never writes
// (the list then keeps what it showed).
std::optional<ButtonFunction> FunctionOf(const ButtonAssignment& assignment);
// The assignment a function 0..6 stands for by itself; the others need a recording, a text or
// a target from their own dialogs.
std::optional<ButtonAssignment> ChoiceAssignment(int function);

// What "Reset to Default" gives each button: the five mouse buttons without click events,
// the last two off.
ButtonAssignment DefaultAssignment(int button);
// A zeroed block with the seven default records of profile p.
ProfileBlock DefaultProfile(int profile);
