#include "memory_copy.h"

#include "model/button_assignment.h"
#include "profile_cache.h"

bool SyncCacheFromDevice(MouseSession& session, HeaderBlock& header) {
    ProfileBlock block;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        if (session.ReadProfile(profile, block)) {
            StoreCachedBlock(profile, block);
        }
    }
    HeaderBlock read;
    if (session.ReadHeader(read)) {
        header = read;
        StoreCachedHeader(header);
        return true;
    }
    // The dialog shows and Apply writes this header, so a torn read would put zero
    // resolutions into the mouse: keep working on the last good header instead, and without
    // one on none at all.
    if (const std::optional<HeaderBlock> cached = LoadCachedHeader()) {
        header = *cached;
        return true;
    }
    return false;
}

bool WriteDefaults(MouseSession& session, HeaderBlock& header, bool writeHeader) {
    PendingWrite write;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        write.areas.push_back({AreaOfProfile(profile), DefaultProfile(profile).bytes});
        header.SetDefaultSettings(profile);
    }
    if (writeHeader) {
        write.areas.push_back({kHeaderAreaNumber, header.bytes});
    }
    // Each block goes into the cache as soon as it was written, before the next one.
    const bool whole =
        session
            .WriteSequence(write,
                           [&](size_t index, bool) {
                               const auto& [area, block] = write.areas[index];
                               StoreCachedBlock(area == kHeaderAreaNumber ? kHeaderCacheNumber
                                                                          : area - 1,
                                                block.data());
                           })
            .whole;
    if (!writeHeader) {
        // The defaults are the user's request: the cache gets them even for a header whose
        // other bytes are not known, though the mouse does not.
        StoreCachedHeader(header);
    }
    return whole;
}
