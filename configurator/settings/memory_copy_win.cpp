#include "memory_copy.h"

#include "model/button_assignment.h"
#include "diagnostics_win.h"
#include "history.h"
#include "profile_cache.h"

#include <array>
#include <optional>

bool SyncCacheFromDevice(MouseSession& session, HeaderBlock& header, bool* changedElsewhere) {
    // What the cache held, compared whole with what arrives: a block that differs was written
    // by something other than a TarnDesk of this user, and the cache is the one copy of what
    // it replaced.
    std::array<std::optional<MemoryBlock>, kImageBlockCount> cached;
    for (int block = 0; block < kImageBlockCount; ++block)
        cached[size_t(block)] = LoadWholeCachedBlock(block == 0 ? kHeaderCacheNumber : block - 1);
    MemoryImage image{};
    std::array<bool, kImageBlockCount> whole{};
    ProfileBlock block;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        whole[size_t(profile) + 1] = session.ReadProfile(profile, block);
        image[size_t(profile) + 1] = block.bytes;
    }
    HeaderBlock read;
    whole[0] = session.ReadHeader(read);
    image[0] = read.bytes;

    bool changed = false;
    for (size_t b = 0; b < image.size(); ++b)
        changed = changed || (whole[b] && cached[b] && *cached[b] != image[b]);
    if (changed) {
        MemoryImage previous = image;
        for (size_t b = 0; b < image.size(); ++b)
            if (cached[b])
                previous[b] = *cached[b];
        const std::wstring problem =
            KeepSnapshot(session, previous, {ChangeCause::ChangedElsewhere, -1});
        if (!problem.empty())
            RecordDeskError(L"the settings changed elsewhere could not be kept: " + problem);
    }
    if (changedElsewhere != nullptr)
        *changedElsewhere = changed;

    for (int profile = 0; profile < kProfileCount; ++profile) {
        if (whole[size_t(profile) + 1])
            StoreCachedBlock(profile, image[size_t(profile) + 1].data());
    }
    if (whole[0]) {
        header = read;
        StoreCachedHeader(header);
        return true;
    }
    // The dialog shows and Apply writes this header, so a torn read would put zero
    // resolutions into the mouse: keep working on the last good header instead, and without
    // one on none at all.
    if (cached[0]) {
        header = HeaderBlock{*cached[0]};
        return true;
    }
    return false;
}

bool WriteDefaults(MouseSession& session, HeaderBlock& header, bool writeHeader) {
    const ChangeScope change(session, ChangeCause::Reset);
    const HeaderBlock before = header;
    PendingWrite write;
    for (int profile = 0; profile < kProfileCount; ++profile) {
        write.areas.push_back({AreaOfProfile(profile), DefaultProfile(profile).bytes});
        header.SetDefaultSettings(profile);
    }
    if (writeHeader) {
        write.areas.push_back({kHeaderAreaNumber, header.bytes});
    }
    // Each block goes into the cache as soon as it was written, before the next one.
    const WriteOutcome outcome = session.WriteSequence(write, [&](size_t index, bool) {
        const auto& [area, block] = write.areas[index];
        StoreCachedBlock(area == kHeaderAreaNumber ? kHeaderCacheNumber : area - 1, block.data());
    });
    if (outcome.notKept) {
        header = before; // stopped before anything was sent: mouse and cache stay as they were
        return false;
    }
    const bool whole = outcome.whole;
    if (!writeHeader) {
        // The defaults are the user's request: the cache gets them even for a header whose
        // other bytes are not known, though the mouse does not.
        StoreCachedHeader(header);
    }
    return whole;
}
