#include "recorder.h"

#include "model/key_tables.h"
#include "text_rules.h"

void KeyRecording::Begin() {
    workEvents_.fill(KeyEvent{});
    recordedCount = 0;
}

bool KeyRecording::Examine(bool hookAction, KeyMessage message, uint32_t virtualKey,
                           uint32_t hookFlags) {
    if (editedFunction_ == FunctionMacroKey) {
        recordLimit = kMacroLimit;
    } else if (editedFunction_ == FunctionSingleKey) {
        recordLimit = kSingleKeyLimit;
    }
    if (!hookAction || recordedCount >= recordLimit || recordedCount >= kMaxEvents) {
        return false;
    }
    if (message == KeyMessage::Other || (message == KeyMessage::Up && virtualKey == 255)) {
        return false;
    }
    const uint32_t up = hookFlags & kHookReleaseBit;
    const bool repeated = virtualKey == memory_.lastKeyCode && up == memory_.lastKeyUp;
    memory_.lastKeyCode = virtualKey;
    memory_.lastKeyUp = up;
    if (repeated) {
        return false;
    }
    KeyEvent& event = workEvents_[static_cast<size_t>(recordedCount)];
    event.usage = static_cast<uint8_t>(UsageOfKey(static_cast<int>(virtualKey)));
    event.flags = message == KeyMessage::Down ? kEventPress : kEventRelease;
    event.delay = kRecordedKeyDelay;
    ++recordedCount;
    return true;
}

ButtonAssignment KeyRecording::Result() const {
    const int count = recordedCount < 0            ? 0
                      : recordedCount < kMaxEvents ? recordedCount
                                                   : kMaxEvents;
    return ButtonAssignment::Keys(
        editedFunction_ == FunctionMacroKey ? FunctionMacroKey : FunctionSingleKey,
        std::vector<KeyEvent>(workEvents_.begin(), workEvents_.begin() + count));
}

std::vector<KeyEvent> ListedEvents(const ButtonAssignment& stored, ButtonFunction function) {
    const bool matches =
        (stored.kind == AssignmentKind::SingleKey && function == FunctionSingleKey) ||
        (stored.kind == AssignmentKind::Macro && function == FunctionMacroKey);
    std::vector<KeyEvent> listed;
    if (!matches)
        return listed;
    for (const KeyEvent& event : stored.events) {
        if (event.usage == 0)
            break;
        listed.push_back(event);
    }
    return listed;
}

bool StoredStringText(const ButtonAssignment& stored, std::wstring* text, size_t capacity) {
    text->clear();
    if (capacity == 0 || stored.kind != AssignmentKind::String)
        return false;
    *text = StringKeyText(stored.events, false);
    if (text->size() + 1 > capacity)
        text->resize(capacity - 1);
    return true;
}

std::vector<KeyEvent> StringEvents(const wchar_t* text, int16_t (*keyScan)(wchar_t)) {
    std::vector<KeyEvent> events;
    for (int i = 0; i < kStringLimit && text[i] != 0; ++i) {
        KeyEvent event{};
        event.usage = static_cast<uint8_t>(UsageOfKey(keyScan(text[i]) & 0xFF));
        events.push_back(event);
    }
    return events;
}

std::wstring CharactersNotTypedAsShown(const wchar_t* text, int16_t (*keyScan)(wchar_t)) {
    std::wstring odd;
    for (int i = 0; i < kStringLimit && text[i] != 0; ++i) {
        const wchar_t character = text[i];
        const int16_t scan = keyScan(character);
        // The stored event keeps the key only: a shift state the character needs is lost.
        const bool asShown = scan != -1 && (scan & 0x0700) == 0 &&
                             CharacterOfUsage(UsageOfKey(scan & 0xFF)) == character;
        if (!asShown && odd.find(character) == std::wstring::npos)
            odd += character;
    }
    return odd;
}

std::wstring EventRow(const wchar_t* name, bool press, bool stored, const ButtonWords& words) {
    std::wstring row = L" " + FillPattern(press ? words.keyDown : words.keyUp, {name});
    if (stored)
        row += press ? L"  " : L" ";
    return row;
}
