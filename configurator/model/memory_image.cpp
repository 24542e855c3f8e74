#include "memory_image.h"

#include <cstring>

namespace {

constexpr uint8_t kDefaultResolutionStep = 8;

} // namespace

bool IsProfileIndex(int profile) {
    return profile >= 0 && profile < kProfileCount;
}

bool IsButtonIndex(int button) {
    return button >= 0 && button < kButtonCount;
}

ButtonRecord ReadButtonRecord(const uint8_t* block, int button) {
    if (!IsButtonIndex(button))
        return ButtonRecord{};
    const uint8_t* p = block + 4 * size_t(button);
    return ButtonRecord{p[0], p[1], p[2], p[3]};
}

void WriteButtonRecord(uint8_t* block, int button, const ButtonRecord& record) {
    if (!IsButtonIndex(button))
        return;
    uint8_t* p = block + 4 * size_t(button);
    p[0] = record.slot;
    p[1] = record.kind;
    p[2] = record.param;
    p[3] = record.eventBytes;
}

KeyEvent ReadKeyEvent(const uint8_t* events, int index) {
    if (index < 0 || index >= kMaxEvents)
        return KeyEvent{};
    const uint8_t* p = events + 4 * size_t(index);
    return KeyEvent{p[0], p[1], uint16_t(p[2] | (p[3] << 8))};
}

void WriteKeyEvent(uint8_t* events, int index, const KeyEvent& event) {
    if (index < 0 || index >= kMaxEvents)
        return;
    uint8_t* p = events + 4 * size_t(index);
    p[0] = event.usage;
    p[1] = event.flags;
    p[2] = uint8_t(event.delay & 0xFF);
    p[3] = uint8_t(event.delay >> 8);
}

ProfileSettings ReadProfileSettings(const uint8_t* header, int profile) {
    if (!IsProfileIndex(profile))
        return ProfileSettings{};
    const uint8_t* p = header + kProfileSettingsOffset + 8 * size_t(profile);
    return ProfileSettings{p[0], p[1], p[2], int8_t(p[3]), int8_t(p[4])};
}

ButtonRecord ProfileBlock::Record(int button) const {
    return ReadButtonRecord(bytes.data(), button);
}

void ProfileBlock::SetRecord(int button, const ButtonRecord& record) {
    WriteButtonRecord(bytes.data(), button, record);
}

KeyEvent ProfileBlock::Event(int button, int index) const {
    if (!IsButtonIndex(button))
        return KeyEvent{};
    return ReadKeyEvent(bytes.data() + kEventListOffset + kEventListLength * size_t(button), index);
}

void ProfileBlock::SetEvents(int button, const KeyEvent* events, int count) {
    if (!IsButtonIndex(button))
        return;
    uint8_t* list = bytes.data() + kEventListOffset + kEventListLength * size_t(button);
    std::memset(list, 0, kEventListLength);
    for (int i = 0; i < count && i < kMaxEvents; ++i)
        WriteKeyEvent(list, i, events[i]);
}

ProfileSettings HeaderBlock::Settings(int profile) const {
    return ReadProfileSettings(bytes.data(), profile);
}

void HeaderBlock::SetResolution(int profile, int stepX, int stepY) {
    if (!IsProfileIndex(profile))
        return;
    uint8_t* p = bytes.data() + kProfileSettingsOffset + 8 * size_t(profile);
    p[3] = uint8_t(stepX & 0xFF);
    p[4] = uint8_t(stepY & 0xFF);
}

void HeaderBlock::SetDefaultSettings(int profile) {
    if (!IsProfileIndex(profile))
        return;
    uint8_t* p = bytes.data() + kProfileSettingsOffset + 8 * size_t(profile);
    p[0] = uint8_t(profile);
    p[1] = 0;
    p[2] = 1;
    p[3] = kDefaultResolutionStep;
    p[4] = kDefaultResolutionStep;
}
