#include "memory_protocol.h"

#include <cstring>

// Process-wide state owned here (declared in memory_protocol.h).
uint8_t outgoingReport[kReportLength];
uint8_t incomingReport[kReportLength];
PacingWait* pacingWait = nullptr; // null: SystemPacingWait()

namespace {

PacingWait& CurrentWait() {
    return pacingWait ? *pacingWait : SystemPacingWait();
}

void Pause(uint32_t milliseconds) {
    CurrentWait().Wait(milliseconds);
}

bool Send(const MouseLink& link) {
    return link.interfaces.SetFeature(link.handle, outgoingReport, kReportLength);
}

void PrepareOutgoing(uint8_t command, uint8_t sub, uint8_t b3, uint8_t b4, uint8_t b5) {
    outgoingReport[0] = kReportId;
    outgoingReport[1] = command;
    outgoingReport[2] = sub;
    outgoingReport[3] = b3;
    outgoingReport[4] = b4;
    outgoingReport[5] = b5;
    outgoingReport[6] = 0;
    outgoingReport[7] = 0;
}

// The incoming buffer starts as the report id and seven zeros, so a failed request leaves
// zeros where the data would have been.
bool Request(const MouseLink& link) {
    std::memset(incomingReport, 0, sizeof incomingReport);
    incomingReport[0] = kReportId;
    if (!link.interfaces.GetFeature(link.handle, incomingReport, kReportLength)) {
        // A transfer that fails may still have written part of a reply: none of it arrived.
        std::memset(incomingReport + 1, 0, sizeof incomingReport - 1);
        return false;
    }
    return true;
}

bool ReadPage(const MouseLink& link, uint8_t* page) {
    bool whole = true;
    for (int k = 0; k < kChunksPerPage; ++k) {
        whole = Request(link) && whole;
        Pause(kReportWaitMs);
        std::memcpy(page + kChunkLength * size_t(k), incomingReport + 1, kChunkLength);
    }
    whole = Request(link) && whole;
    page[kPageLength - 1] = incomingReport[1];
    Pause(kPageWaitMs);
    return whole;
}

bool WritePage(const MouseLink& link, const uint8_t* page) {
    bool whole = true;
    for (int k = 0; k < kChunksPerPage; ++k) {
        outgoingReport[0] = kReportId;
        std::memcpy(outgoingReport + 1, page + kChunkLength * size_t(k), kChunkLength);
        whole = Send(link) && whole;
        Pause(kReportWaitMs);
    }
    // Byte 63 travels alone; the firmware expects 0x05 as filler, not zeros.
    std::memset(outgoingReport, kTailFiller, sizeof outgoingReport);
    outgoingReport[1] = page[kPageLength - 1];
    whole = Send(link) && whole;
    Pause(kPageWaitMs);
    return whole;
}

bool IsProfileIndex(int profile) {
    return profile >= 0 && profile < kAreaCount - 1;
}

} // namespace

void PacingPause(uint32_t milliseconds) {
    CurrentWait().Wait(milliseconds);
}

PacedOperation::PacedOperation() : wait_(CurrentWait()) {
    wait_.BeginOperation();
}

PacedOperation::~PacedOperation() {
    wait_.EndOperation();
}

bool TransferBlock(const MouseLink& link, BlockDirection direction, int area, uint8_t* block) {
    const bool reading = direction == BlockDirection::Read;
    if (reading)
        std::memset(block, 0, kPagesPerBlock * kPageLength);
    if (area < 0 || area >= kAreaCount)
        return false;
    // Whether each page moved is seen from the call results only: the reports stay the same.
    bool whole = true;
    for (int p = 0; p < kPagesPerBlock; ++p) {
        PrepareOutgoing(kMemoryCommand, reading ? kDirectionRead : kDirectionWrite, 0,
                        uint8_t(area), uint8_t(p));
        const bool accepted = Send(link);
        Pause(kReportWaitMs);
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
    PrepareOutgoing(kProfileCommand, kQueryActiveProfile, 0, 0, 0);
    Send(link);
    Pause(kReportWaitMs);
    Request(link);
    Pause(kReportWaitMs);
    return incomingReport[3];
}

void SelectActiveProfile(const MouseLink& link, int profile) {
    if (!IsProfileIndex(profile))
        return;
    PrepareOutgoing(kProfileCommand, kSelectActiveProfile, uint8_t(profile), 0, 0);
    Send(link);
    Pause(kReportWaitMs);
}
