// Constant tables between Windows virtual-key codes, HID keyboard usage ids (page 0x07) and
// the key names the recorder shows. Every table has 256 entries; callers index with the low
// byte of what they hold, so any index 0..255 is valid.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int kKeyTableSize = 256;
inline constexpr int kKeyNameField = 25; // 24 characters and the terminator

using KeyNameField = std::array<wchar_t, kKeyNameField>;

// Constant tables.
// Virtual-key code -> usage stored in the mouse (0: the key has no usage).
extern const std::array<int32_t, kKeyTableSize> VKtoUsage;
// Stored usage -> virtual-key code (0: no key).
extern const std::array<int32_t, kKeyTableSize> UsageToVK;
// Virtual-key code -> name shown to the user (empty when the key has no name).
extern const std::array<KeyNameField, kKeyTableSize> KeyNames;
// Virtual-key code -> the character the key types without Shift or AltGr on the layout the
// usage table is laid out for (0: the key types no character a string field can show).
extern const std::array<wchar_t, kKeyTableSize> KeyCharacters;

// The usage of a key, indexed by the low byte of the code (a VkKeyScanW result of -1 gives 0).
inline int32_t UsageOfKey(int virtualKey) {
    return VKtoUsage[static_cast<uint8_t>(virtualKey)];
}
// The name of a live key event.
inline const wchar_t* NameOfKey(int virtualKey) {
    return KeyNames[static_cast<uint8_t>(virtualKey)].data();
}
// The name of a stored event: through its virtual-key code.
inline const wchar_t* NameOfUsage(int usage) {
    return NameOfKey(UsageToVK[static_cast<uint8_t>(usage)]);
}
// The character a stored string event types: its key's plain character (0: none).
inline wchar_t CharacterOfUsage(int usage) {
    return KeyCharacters[static_cast<uint8_t>(UsageToVK[static_cast<uint8_t>(usage)])];
}
