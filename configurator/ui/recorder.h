// The recorder's Windows-free part: which keyboard events a recording keeps, what the dialog
// lists of a stored key or macro, and how a typed string becomes key events.
#pragma once

#include "model/button_assignment.h"
#include "model/button_text.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kSingleKeyLimit = 2;
inline constexpr int kMacroLimit = 16;
// A string key holds one event per character, at most 16 (the 64-byte event list).
inline constexpr int kStringLimit = 16;
inline constexpr uint16_t kRecordedKeyDelay = 10;
inline constexpr uint8_t kHookReleaseBit = 0x80; // LLKHF_UP in the hook structure's flags
inline constexpr int kStoredTextFieldCount = 255;

// The last key event the hook examined, recorded or not. It outlives each recording and each
// recorder: the first event of a new recording that repeats it is taken for a key's
// auto-repeat and dropped.
struct KeyRepeatMemory {
    uint32_t lastKeyCode = 0;
    uint32_t lastKeyUp = 0;
};

enum class KeyMessage { Down, Up, Other };

// One recorder's recording of a single key (function 7) or a macro (function 8).
class KeyRecording {
  public:
    KeyRecording(ButtonFunction editedFunction, KeyRepeatMemory& memory)
        : editedFunction_(editedFunction), memory_(memory) {}

    // Start: nothing recorded yet.
    void Begin();
    // The hook's decision for one keyboard event (hookAction: the hook code is HC_ACTION).
    // True when the event was recorded as event recordedCount - 1.
    bool Examine(bool hookAction, KeyMessage message, uint32_t virtualKey, uint32_t hookFlags);
    // What the recording holds, as the button's assignment.
    ButtonAssignment Result() const;

    int32_t recordedCount = 0;
    // 2 or 16, set from the edited function at every event the hook examines.
    int32_t recordLimit = 0;

  private:
    ButtonFunction editedFunction_;
    KeyRepeatMemory& memory_;
    std::array<KeyEvent, kMaxEvents> workEvents_{};
};

// The stored events the recorder lists when it opens for `function` (7 or 8): only when the
// stored kind matches, up to the first event without a key.
std::vector<KeyEvent> ListedEvents(const ButtonAssignment& stored, ButtonFunction function);
// The text the recorder shows for a stored string: the characters its events type, up to the
// first event without a key, cut to `capacity` - 1 characters. False when it is no string key.
bool StoredStringText(const ButtonAssignment& stored, std::wstring* text,
                      size_t capacity = kStoredTextFieldCount);
// At most kStringLimit characters of `text` as string events. `keyScan` gives the virtual-key
// code of a character in its low byte (VkKeyScanW); -1 for none.
std::vector<KeyEvent> StringEvents(const wchar_t* text, int16_t (*keyScan)(wchar_t));
// The characters among those StringEvents keeps that the stored string will not type as they
// are written (capitals, characters that need Shift or AltGr, characters without a key), each
// once, in the order they come; empty when it types the text as written.
std::wstring CharactersNotTypedAsShown(const wchar_t* text, int16_t (*keyScan)(wchar_t));
// Asked before such a string is applied; "%s" receives those characters.
inline constexpr wchar_t kStringNotAsShownKey[] = L"StringNotAsShown";
inline constexpr wchar_t kDefaultStringNotAsShown[] =
    L"The mouse will not type these characters as written: %s. It presses each character's key "
    L"without Shift or AltGr, so capital letters come out small, characters such as ! or @ come "
    L"out as their key's own character, and characters without a key are not typed. Apply the "
    L"string anyway?";

// " %s (Down)  " / " %s (Up) " for stored events; " %s (Down)" / " %s (Up)" for live ones.
// The words' keyDown and keyUp give the part after the leading blank.
std::wstring EventRow(const wchar_t* name, bool press, bool stored, const ButtonWords& words = {});
