// The recorder's Windows-free part: the hook's filter, the stored-event listing and the
// two ways a result becomes the edited button's record.
#include "recorder.h"

#include "key_tables.h"
#include "profile_record.h"

#include <cstring>
#include <cwchar>

int32_t editedButton = 0;
int32_t editedFunction = 0;
int32_t recordedCount = 0;
int32_t recordLimit = 0;
uint32_t lastKeyCode = 0;
uint32_t lastKeyUp = 0;
int32_t recordingLabelShown = 0;

int EditedButtonIndex() {
    // Never address a record outside the seven buttons, whatever was stored.
    return editedButton >= 0 && editedButton < kButtonCount ? editedButton : 0;
}

void BeginButtonEdit(intptr_t parameter) {
    editedButton = parameter >= 0 && parameter < kButtonCount ? static_cast<int32_t>(parameter) : 0;
    editedFunction = buttonChoices[editedButton];
}

namespace {

uint8_t* EventListOf(int button) {
    return profileBlock + kEventListOffset + kEventListLength * static_cast<size_t>(button);
}

uint8_t SlotByte() {
    return static_cast<uint8_t>((static_cast<uint32_t>(currentProfile) << 5) |
                                static_cast<uint32_t>(EditedButtonIndex()));
}

void StoreWorkRecord(uint8_t kind, int events) {
    workRecord[0] = SlotByte();
    workRecord[1] = kind;
    workRecord[2] = 0;
    workRecord[3] = static_cast<uint8_t>(4 * events);
    int button = EditedButtonIndex();
    std::memcpy(profileBlock + 4 * static_cast<size_t>(button), workRecord, sizeof(workRecord));
    uint8_t* list = EventListOf(button);
    std::memset(list, 0, kEventListLength);
    std::memcpy(list, workEvents, 4 * static_cast<size_t>(events));
}

// Number of stored events that may be read: bounded by eventBytes and by the 64-byte list.
int StoredEventCount(const ButtonRecord& record) {
    int count = record.eventBytes / 4;
    return count < kMaxEvents ? count : kMaxEvents;
}

} // namespace

bool ExamineKeyEvent(bool hookAction, KeyMessage message, uint32_t virtualKey, uint32_t hookFlags) {
    if (editedFunction == FunctionMacroKey) {
        recordLimit = kMacroLimit;
    } else if (editedFunction == FunctionSingleKey) {
        recordLimit = kSingleKeyLimit;
    }
    if (!hookAction || recordedCount >= recordLimit || recordedCount >= kMaxEvents) {
        return false;
    }
    if (message == KeyMessage::Other || (message == KeyMessage::Up && virtualKey == 255)) {
        return false;
    }
    uint32_t up = hookFlags & kHookReleaseBit;
    bool repeated = virtualKey == lastKeyCode && up == lastKeyUp;
    lastKeyCode = virtualKey;
    lastKeyUp = up;
    if (repeated) {
        return false;
    }
    KeyEvent event{};
    event.usage = static_cast<uint8_t>(UsageOfKey(static_cast<int>(virtualKey)));
    event.flags = message == KeyMessage::Down ? kEventPress : kEventRelease;
    event.delay = kRecordedKeyDelay;
    WriteKeyEvent(workEvents, recordedCount, event);
    ++recordedCount;
    return true;
}

void BeginRecording() {
    std::memset(workEvents, 0, sizeof(workEvents));
    recordedCount = 0;
}

int LoadStoredEvents() {
    std::memset(workEvents, 0, sizeof(workEvents));
    int button = EditedButtonIndex();
    std::memcpy(workRecord, profileBlock + 4 * static_cast<size_t>(button), sizeof(workRecord));
    ButtonRecord record = ReadButtonRecord(profileBlock, button);
    uint8_t kind = record.kind & 0x1F;
    bool matches = (kind == KindSingleKey && editedFunction == FunctionSingleKey) ||
                   (kind == KindMacro && editedFunction == FunctionMacroKey);
    if (!matches || record.eventBytes < 4) {
        return 0;
    }
    const uint8_t* list = EventListOf(button);
    int count = StoredEventCount(record);
    int listed = 0;
    for (int i = 0; i < count; ++i) {
        std::memcpy(workEvents + 4 * static_cast<size_t>(i), list + 4 * static_cast<size_t>(i), 4);
        if (ReadKeyEvent(list, i).usage == 0) {
            break;
        }
        ++listed;
    }
    return listed;
}

bool StoredStringText(wchar_t* text, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    text[0] = 0;
    int button = EditedButtonIndex();
    std::memcpy(workRecord, profileBlock + 4 * static_cast<size_t>(button), sizeof(workRecord));
    ButtonRecord record = ReadButtonRecord(profileBlock, button);
    if ((record.kind & 0x1F) != KindString) {
        return false;
    }
    if (record.eventBytes < 4) {
        return true;
    }
    const uint8_t* list = EventListOf(button);
    size_t length = 0;
    int count = StoredEventCount(record);
    for (int i = 0; i < count; ++i) {
        KeyEvent event = ReadKeyEvent(list, i);
        if (event.usage == 0) {
            break;
        }
        for (const wchar_t* name = NameOfUsage(event.usage); *name && length + 1 < capacity;
             ++name) {
            text[length++] = *name;
        }
    }
    text[length] = 0;
    return true;
}

void FormatEventRow(wchar_t* row, size_t capacity, const wchar_t* name, bool press, bool stored) {
    const wchar_t* suffix =
        press ? (stored ? L" (Down)  " : L" (Down)") : (stored ? L" (Up) " : L" (Up)");
    std::swprintf(row, capacity, L" %ls%ls", name, suffix);
}

void StoreRecording() {
    int count = recordedCount < kMaxEvents ? recordedCount : kMaxEvents;
    if (count < 0) {
        count = 0;
    }
    uint8_t kind = editedFunction == FunctionMacroKey ? KindMacro : KindSingleKey;
    StoreWorkRecord(kind, count);
}

void StoreString(const wchar_t* text, int16_t (*keyScan)(wchar_t)) {
    std::memset(workEvents, 0, sizeof(workEvents));
    int count = 0;
    for (; count < kStringLimit && text[count] != 0; ++count) {
        KeyEvent event{};
        int16_t scan = keyScan(text[count]);
        event.usage = static_cast<uint8_t>(UsageOfKey(scan & 0xFF));
        WriteKeyEvent(workEvents, count, event);
    }
    StoreWorkRecord(KindString, count);
}
