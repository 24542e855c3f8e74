#include "memory_copy.h"

#include "model/button_assignment.h"
#include "profile_cache.h"

void SyncCacheFromDevice(MouseSession& session, HeaderBlock& header) {
    ProfileBlock block;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        if (session.ReadProfile(profile, block)) {
            StoreCachedBlock(profile, block);
        }
    }
    if (session.ReadHeader(header)) {
        StoreCachedHeader(header);
    } else if (const std::optional<HeaderBlock> cached = LoadCachedHeader()) {
        // The dialog shows and Apply writes this header, so a torn read would put zero
        // resolutions into the mouse: keep working on the last good header instead.
        header = *cached;
    }
}

bool WriteDefaults(MouseSession& session, HeaderBlock& header) {
    bool reached = true;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        const ProfileBlock block = DefaultProfile(profile);
        reached = session.WriteProfile(profile, block) && reached;
        StoreCachedBlock(profile, block);
        header.SetDefaultSettings(profile);
    }
    reached = session.WriteHeader(header) && reached;
    StoreCachedHeader(header);
    return reached;
}
