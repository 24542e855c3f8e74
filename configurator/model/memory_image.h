// The mouse's memory as TarnDesk keeps it: five profile blocks and one header block of 512
// bytes each, byte-exact as they travel to and from the mouse and as they are cached. The
// value types name what the configurator reads and writes inside them; every other byte is
// carried through unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr size_t kBlockLength = 512;
inline constexpr int kProfileCount = 5;
// The profile index the mouse reports in its basic state, without onboard profiles: no area
// of its memory belongs to it.
inline constexpr int kBasicProfile = 5;
inline constexpr int kButtonCount = 7;
inline constexpr int kMaxEvents = 16;
inline constexpr size_t kEventListLength = 64;
inline constexpr size_t kEventListOffset = 64;       // event list of button n at 64 + 64n
inline constexpr size_t kProfileSettingsOffset = 64; // ProfileSettings of profile p at 64 + 8p
// Block 0 is the header, blocks 1..5 are profiles 1..5 (the mouse's areas 0..5).
inline constexpr int kImageBlockCount = kProfileCount + 1;

using MemoryBlock = std::array<uint8_t, kBlockLength>;
using MemoryImage = std::array<MemoryBlock, kImageBlockCount>;

// The five onboard profiles, 0..4 (shown as 1..5).
bool IsProfileIndex(int profile);
bool IsButtonIndex(int button);

// 4 bytes at offset 4n of a profile block.
struct ButtonRecord {
    uint8_t slot;
    uint8_t kind;
    uint8_t param;
    uint8_t eventBytes;
};

// 4 bytes of an event list; the delay is little-endian.
struct KeyEvent {
    uint8_t usage;
    uint8_t flags;
    uint16_t delay;
};
inline constexpr uint8_t kEventPress = 0x80;
inline constexpr uint8_t kEventRelease = 0x00;

// The 8-byte record of profile p at offset 64 + 8p of the header block.
struct ProfileSettings {
    uint8_t profileIndex;
    uint8_t reserved1;
    uint8_t reserved2;
    int8_t resolutionX;
    int8_t resolutionY;
};

// One profile's 512 bytes: seven button records and seven event lists. Indexes outside the
// layout read as zeros and write nothing.
struct ProfileBlock {
    MemoryBlock bytes{};

    ButtonRecord Record(int button) const;
    void SetRecord(int button, const ButtonRecord& record);
    // Event i (0..15) of button n's list.
    KeyEvent Event(int button, int index) const;
    // Clears button n's 64-byte list and writes `count` events from its start.
    void SetEvents(int button, const KeyEvent* events, int count);

    uint8_t* data() { return bytes.data(); }
    const uint8_t* data() const { return bytes.data(); }
    bool operator==(const ProfileBlock&) const = default;
};

// The header block: the configurator reads and writes only the five ProfileSettings records.
struct HeaderBlock {
    MemoryBlock bytes{};

    ProfileSettings Settings(int profile) const;
    // The low bytes of the two steps into profile p's record; nothing for another index.
    void SetResolution(int profile, int stepX, int stepY);
    // What "Reset to Default" gives profile p: index, 0, 1, 800 dpi on both axes; bytes 5-7
    // of the record stay.
    void SetDefaultSettings(int profile);

    uint8_t* data() { return bytes.data(); }
    const uint8_t* data() const { return bytes.data(); }
    bool operator==(const HeaderBlock&) const = default;
};

// Explicit little-endian access to a raw block; no struct punning across the wire.
ButtonRecord ReadButtonRecord(const uint8_t* block, int button);
void WriteButtonRecord(uint8_t* block, int button, const ButtonRecord& record);
KeyEvent ReadKeyEvent(const uint8_t* events, int index);
void WriteKeyEvent(uint8_t* events, int index, const KeyEvent& event);
ProfileSettings ReadProfileSettings(const uint8_t* header, int profile);
