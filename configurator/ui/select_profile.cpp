// The Select Profile dialog's Windows-free part.
#include "select_profile.h"

#include "profile_record.h"
#include "recorder.h"

#include <cstring>

int32_t selectedProfile = 0;

int32_t InitialTargetProfile() {
    std::memset(workEvents, 0, sizeof(workEvents));
    int button = EditedButtonIndex();
    std::memcpy(workRecord, profileBlock + 4 * static_cast<size_t>(button), sizeof(workRecord));
    ButtonRecord record = ReadButtonRecord(profileBlock, button);
    // A stored target outside 0..4 (a corrupt block) or a shown profile outside 0..4 (the
    // basic state) is no target: fall back so that OK always stores a real profile.
    if ((record.kind & 0x1F) == KindProfileSwitch && IsProfileIndex(record.param)) {
        return record.param;
    }
    return IsProfileIndex(currentProfile) ? currentProfile : 0;
}

void StoreProfileSwitch() {
    int32_t target = IsProfileIndex(selectedProfile) ? selectedProfile : 0;
    int button = EditedButtonIndex();
    workRecord[0] = static_cast<uint8_t>((static_cast<uint32_t>(currentProfile) << 5) |
                                         static_cast<uint32_t>(button));
    workRecord[1] = KindProfileSwitch;
    workRecord[2] = static_cast<uint8_t>(target);
    workRecord[3] = 0;
    std::memset(workEvents, 0, sizeof(workEvents));
    std::memcpy(profileBlock + 4 * static_cast<size_t>(button), workRecord, sizeof(workRecord));
    std::memset(profileBlock + kEventListOffset + kEventListLength * static_cast<size_t>(button), 0,
                kEventListLength);
}
