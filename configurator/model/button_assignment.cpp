#include "button_assignment.h"

#include <utility>

namespace {

constexpr uint8_t kClickUsage = 0x4D;
constexpr uint16_t kClickDelay = 5;
constexpr int kMaxMouseButtonParam = 4;

uint8_t KindCode(const ButtonAssignment& a) {
    switch (a.kind) {
    case AssignmentKind::Off:
        return KindOff;
    case AssignmentKind::MouseButton:
    case AssignmentKind::DoubleClick:
        return KindMouseButton;
    case AssignmentKind::SingleKey:
        return KindSingleKey;
    case AssignmentKind::Macro:
        return KindMacro;
    case AssignmentKind::String:
        return KindString;
    case AssignmentKind::ProfileSwitch:
        return KindProfileSwitch;
    case AssignmentKind::Unknown:
    default:
        return uint8_t(a.storedKind & kKindMask);
    }
}

ButtonAssignment Make(AssignmentKind kind, uint8_t param, std::vector<KeyEvent> events) {
    ButtonAssignment a;
    a.kind = kind;
    a.param = param;
    a.events = std::move(events);
    a.storedKind = KindCode(a);
    return a;
}

} // namespace

bool ButtonAssignment::operator==(const ButtonAssignment& other) const {
    if (kind != other.kind || param != other.param || storedKind != other.storedKind ||
        events.size() != other.events.size())
        return false;
    for (size_t i = 0; i < events.size(); ++i) {
        const KeyEvent& a = events[i];
        const KeyEvent& b = other.events[i];
        if (a.usage != b.usage || a.flags != b.flags || a.delay != b.delay)
            return false;
    }
    return true;
}

ButtonAssignment ButtonAssignment::Off() {
    return Make(AssignmentKind::Off, 0, {});
}

ButtonAssignment ButtonAssignment::Click(ButtonFunction function) {
    const bool twice = function == FunctionDoubleClick;
    std::vector<KeyEvent> events;
    for (int i = 0; i < (twice ? 2 : 1); ++i) {
        events.push_back(KeyEvent{kClickUsage, kEventPress, kClickDelay});
        events.push_back(KeyEvent{kClickUsage, kEventRelease, kClickDelay});
    }
    return twice ? Make(AssignmentKind::DoubleClick, kDoubleClickParam, std::move(events))
                 : Make(AssignmentKind::MouseButton, uint8_t(function - FunctionLeftClick),
                        std::move(events));
}

ButtonAssignment ButtonAssignment::Keys(ButtonFunction function, std::vector<KeyEvent> events) {
    return Make(function == FunctionMacroKey ? AssignmentKind::Macro : AssignmentKind::SingleKey, 0,
                std::move(events));
}

ButtonAssignment ButtonAssignment::Text(std::vector<KeyEvent> events) {
    return Make(AssignmentKind::String, 0, std::move(events));
}

ButtonAssignment ButtonAssignment::ProfileSwitch(int target) {
    return Make(AssignmentKind::ProfileSwitch, uint8_t(target), {});
}

uint8_t SlotByte(int profile, int button) {
    return uint8_t((uint8_t(profile) << 5) | (button & 0x1F));
}

void EncodeButton(ProfileBlock& block, int profile, int button,
                  const ButtonAssignment& assignment) {
    if (!IsButtonIndex(button))
        return;
    const int count =
        assignment.events.size() < size_t(kMaxEvents) ? int(assignment.events.size()) : kMaxEvents;
    block.SetRecord(button, ButtonRecord{SlotByte(profile, button), KindCode(assignment),
                                         assignment.param, uint8_t(4 * count)});
    block.SetEvents(button, assignment.events.data(), count);
}

ButtonAssignment DecodeButton(const ProfileBlock& block, int button) {
    const ButtonRecord record = block.Record(button);
    ButtonAssignment a;
    a.storedKind = uint8_t(record.kind & kKindMask);
    a.param = record.param;
    switch (a.storedKind) {
    case KindOff:
        a.kind = AssignmentKind::Off;
        break;
    case KindMouseButton:
        a.kind = record.param <= kMaxMouseButtonParam ? AssignmentKind::MouseButton
                                                      : AssignmentKind::DoubleClick;
        break;
    case KindSingleKey:
        a.kind = AssignmentKind::SingleKey;
        break;
    case KindMacro:
        a.kind = AssignmentKind::Macro;
        break;
    case KindString:
        a.kind = AssignmentKind::String;
        break;
    case KindProfileSwitch:
        a.kind = AssignmentKind::ProfileSwitch;
        break;
    default:
        a.kind = AssignmentKind::Unknown;
        break;
    }
    // eventBytes may claim more than the 64-byte list holds.
    const int count = record.eventBytes / 4 < kMaxEvents ? record.eventBytes / 4 : kMaxEvents;
    for (int i = 0; i < count; ++i)
        a.events.push_back(block.Event(button, i));
    return a;
}

std::optional<ButtonFunction> FunctionOf(const ButtonAssignment& assignment) {
    switch (assignment.kind) {
    case AssignmentKind::Off:
        return FunctionButtonOff;
    case AssignmentKind::MouseButton:
        return ButtonFunction(FunctionLeftClick + assignment.param);
    case AssignmentKind::DoubleClick:
        return FunctionDoubleClick;
    case AssignmentKind::SingleKey:
        return FunctionSingleKey;
    case AssignmentKind::Macro:
        return FunctionMacroKey;
    case AssignmentKind::String:
        return FunctionStringKey;
    case AssignmentKind::ProfileSwitch:
        return FunctionSelectProfile;
    case AssignmentKind::Unknown:
    default:
        return std::nullopt;
    }
}

std::optional<ButtonAssignment> ChoiceAssignment(int function) {
    if (function == FunctionButtonOff)
        return ButtonAssignment::Off();
    if (function >= FunctionLeftClick && function <= FunctionDoubleClick)
        return ButtonAssignment::Click(ButtonFunction(function));
    return std::nullopt;
}

ButtonAssignment DefaultAssignment(int button) {
    if (button >= 0 && button <= kMaxMouseButtonParam)
        return Make(AssignmentKind::MouseButton, uint8_t(button), {});
    return ButtonAssignment::Off();
}

ProfileBlock DefaultProfile(int profile) {
    ProfileBlock block;
    if (!IsProfileIndex(profile))
        return block;
    for (int n = 0; n < kButtonCount; ++n)
        EncodeButton(block, profile, n, DefaultAssignment(n));
    return block;
}
