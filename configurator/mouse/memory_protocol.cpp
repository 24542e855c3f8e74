#include "memory_protocol.h"

#include "model/memory_image.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

using Report = std::array<uint8_t, kReportLength>;

bool Send(const MouseLink& link, const Report& report) {
    return link.interfaces.SetFeature(link.handle, report.data(), kReportLength);
}

Report Command(uint8_t command, uint8_t sub, uint8_t b3, uint8_t b4, uint8_t b5) {
    return Report{kReportId, command, sub, b3, b4, b5, 0, 0};
}

// The reply starts as the report id and seven zeros, so a failed request leaves zeros where
// the data would have been.
bool Request(const MouseLink& link, Report& reply) {
    reply.fill(0);
    reply[0] = kReportId;
    if (!link.interfaces.GetFeature(link.handle, reply.data(), kReportLength)) {
        // A transfer that fails may still have written part of a reply: none of it arrived.
        std::fill(reply.begin() + 1, reply.end(), uint8_t{0});
        return false;
    }
    return true;
}

bool ReadPage(const MouseLink& link, uint8_t* page) {
    bool whole = true;
    Report reply{};
    for (int k = 0; k < kChunksPerPage; ++k) {
        whole = Request(link, reply) && whole;
        link.wait.Wait(kReportWaitMs);
        std::memcpy(page + kChunkLength * size_t(k), reply.data() + 1, kChunkLength);
    }
    whole = Request(link, reply) && whole;
    page[kPageLength - 1] = reply[1];
    link.wait.Wait(kPageWaitMs);
    return whole;
}

bool WritePage(const MouseLink& link, const uint8_t* page) {
    bool whole = true;
    Report chunk{};
    for (int k = 0; k < kChunksPerPage; ++k) {
        chunk[0] = kReportId;
        std::memcpy(chunk.data() + 1, page + kChunkLength * size_t(k), kChunkLength);
        whole = Send(link, chunk) && whole;
        link.wait.Wait(kReportWaitMs);
    }
    // Byte 63 travels alone; the firmware expects 0x05 as filler, not zeros.
    Report tail;
    tail.fill(kTailFiller);
    tail[1] = page[kPageLength - 1];
    whole = Send(link, tail) && whole;
    link.wait.Wait(kPageWaitMs);
    return whole;
}

} // namespace

bool TransferBlock(const MouseLink& link, BlockDirection direction, int area, uint8_t* block) {
    const bool reading = direction == BlockDirection::Read;
    if (reading)
        std::memset(block, 0, kPagesPerBlock * kPageLength);
    if (area < 0 || area >= kAreaCount)
        return false;
    // Whether each page moved is seen from the call results only: the reports stay the same.
    bool whole = true;
    for (int p = 0; p < kPagesPerBlock; ++p) {
        const bool accepted =
            Send(link, Command(kMemoryCommand, reading ? kDirectionRead : kDirectionWrite, 0,
                               uint8_t(area), uint8_t(p)));
        link.wait.Wait(kReportWaitMs);
        if (!accepted) {
            whole = false;
            continue; // nothing of this page moves; a read leaves it zero
        }
        uint8_t* page = block + kPageLength * size_t(p);
        const bool moved = reading ? ReadPage(link, page) : WritePage(link, page);
        whole = moved && whole;
    }
    return whole;
}

bool ReadProfileBlock(const MouseLink& link, int profile, uint8_t* block) {
    return TransferBlock(link, BlockDirection::Read, IsProfileIndex(profile) ? profile + 1 : -1,
                         block);
}

bool WriteProfileBlock(const MouseLink& link, int profile, const uint8_t* block) {
    if (!IsProfileIndex(profile))
        return true; // the basic state has no area: nothing was due, nothing failed
    return TransferBlock(link, BlockDirection::Write, profile + 1, const_cast<uint8_t*>(block));
}

bool ReadHeaderBlock(const MouseLink& link, uint8_t* block) {
    return TransferBlock(link, BlockDirection::Read, kHeaderArea, block);
}

bool WriteHeaderBlock(const MouseLink& link, const uint8_t* block) {
    return TransferBlock(link, BlockDirection::Write, kHeaderArea, const_cast<uint8_t*>(block));
}

int QueryActiveProfile(const MouseLink& link) {
    Send(link, Command(kProfileCommand, kQueryActiveProfile, 0, 0, 0));
    link.wait.Wait(kReportWaitMs);
    Report reply{};
    Request(link, reply);
    link.wait.Wait(kReportWaitMs);
    return reply[3];
}

void SelectActiveProfile(const MouseLink& link, int profile) {
    if (!IsProfileIndex(profile))
        return;
    Send(link, Command(kProfileCommand, kSelectActiveProfile, uint8_t(profile), 0, 0));
    link.wait.Wait(kReportWaitMs);
}
