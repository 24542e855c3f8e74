// Stands in for the memory link while it is not in the tree: a mouse that is never present.
// Compiled only when configurator/device_channel.cpp does not exist.
#include "device_channel.h"
#include "profile_record.h"

#include <cstring>

int32_t currentProfile = 0;
uint8_t profileBlock[kBlockLength];
uint8_t headerBlock[kBlockLength];
int32_t buttonChoices[kButtonCount];
uint8_t workRecord[4];
uint8_t workEvents[kEventListLength];

void RunDeviceOperation(int, int) {}
bool IsMousePresent() {
    return false;
}

void WriteDefaultProfile(int profile) {
    static const uint8_t kinds[kButtonCount] = {1, 1, 1, 1, 1, 0, 0};
    static const uint8_t params[kButtonCount] = {0, 1, 2, 3, 4, 0, 0};
    for (int n = 0; n < kButtonCount; ++n) {
        profileBlock[4 * n] = static_cast<uint8_t>((profile << 5) | n);
        profileBlock[4 * n + 1] = kinds[n];
        profileBlock[4 * n + 2] = params[n];
        profileBlock[4 * n + 3] = 0;
    }
}

void WriteDefaultProfileSettings(int profile) {
    uint8_t* record = headerBlock + kProfileSettingsOffset + 8 * profile;
    const uint8_t values[5] = {static_cast<uint8_t>(profile), 0, 1, 8, 8};
    std::memcpy(record, values, sizeof(values));
}
