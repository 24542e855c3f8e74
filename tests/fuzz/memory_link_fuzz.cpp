// The memory protocol against a hostile mouse: the input decides, report by report, whether
// the mouse accepts, refuses or is unplugged, what every reply holds (a failed reply may
// scribble in the buffer too), and which interfaces a device walk lists and opens.
//
// Checked on every run: the host sends only well-formed 8-byte reports in the protocol's
// order, waits 50 ms after every tail before the next page command, never sends more than a
// block's reports, reads back exactly what arrived where the protocol puts it (zeros for what
// did not), writes every page that got through unchanged, and closes what it opens.
//
// Input: operations of one selector byte and their arguments; each report the host sends
// or requests takes one control byte (low nibble 14 refuses, 15 unplugs, bit 4: the reply's
// eight bytes follow), so an input that runs out leaves a well-behaved mouse.
#include "fuzz_input.h"

#include "mouse/mouse_session.h"
#include "mouse/memory_protocol.h"
#include "mouse/hid_interfaces.h"
#include "model/memory_image.h"

#include <array>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlock = kPagesPerBlock * kPageLength;
constexpr uint32_t kMostReportsPerBlock = kPagesPerBlock * (2 + kChunksPerPage);

enum class Op { None, Read, Write, Query, Select };

class HostileMouse final : public MouseInterfaceSet, public PacingWait {
  public:
    explicit HostileMouse(FuzzInput& in) : in_(in) {}

    // What the next operation is; `block` is where its data lives.
    void Expect(Op op, int area, uint8_t* block) {
        op_ = op;
        area_ = area;
        block_ = block;
        Restart();
    }
    // Checks what one operation on one interface left behind; `answer`: a query's answer.
    void Verify(const int32_t* answer = nullptr) const {
        FUZZ_CHECK(reports_ <= kMostReportsPerBlock);
        if (op_ == Op::Read) {
            FUZZ_CHECK(std::memcmp(block_, delivered_.data(), kBlock) == 0);
        } else if (op_ == Op::Write) {
            for (size_t p = 0; p < kPagesPerBlock; ++p)
                if (storedPages_ & (1u << p))
                    FUZZ_CHECK(std::memcmp(block_ + kPageLength * p, &stored_[kPageLength * p],
                                           kPageLength) == 0);
        } else if (op_ == Op::Query) {
            FUZZ_CHECK(answer == nullptr || *answer == queryReply_);
        }
    }

    // PacingWait: a virtual clock.
    void Wait(uint32_t milliseconds) override { nowMs_ += milliseconds; }

    // MouseInterfaceSet
    bool BeginEnumeration(EnumerationPurpose) override {
        FUZZ_CHECK(!enumerating_);
        listed_.clear();
        if (!unplugged_)
            for (int n = in_.Byte() % 5; n > 0; --n)
                listed_.push_back(in_.Byte());
        enumerating_ = !unplugged_ || in_.Bit();
        return enumerating_;
    }
    InterfaceEntry InterfaceAt(uint32_t n, wchar_t* path, size_t capacity) override {
        FUZZ_CHECK(enumerating_ && capacity > 0);
        if (n >= listed_.size())
            return InterfaceEntry::End;
        std::wstring text;
        switch (listed_[n] % 5) {
        case 0:
            text = L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#8&2a1c3e07&0&0000#{4d1e55b2}";
            break;
        case 1:
            text = L"\\\\?\\hid#vid_2a7b&pid_1101&mi_00#7&1f0e2b11&0&0000#{4d1e55b2}";
            break;
        case 2:
            return InterfaceEntry::Skip;
        default:
            text = in_.Text(); // any units, terminators included
            break;
        }
        if (text.size() >= capacity)
            return InterfaceEntry::Skip;
        std::wmemcpy(path, text.c_str(), text.size() + 1);
        return InterfaceEntry::Path;
    }
    void EndEnumeration() override {
        FUZZ_CHECK(enumerating_);
        enumerating_ = false;
    }
    bool Open(const wchar_t* path, MouseHandle* handle) override {
        FUZZ_CHECK(enumerating_ && path != nullptr && openHandles_ == 0);
        if (unplugged_ || in_.Byte() % 4 == 3)
            return false;
        ++openHandles_;
        *handle = this;
        Restart(); // each interface gets the whole operation
        return true;
    }
    void Close(MouseHandle handle) override {
        FUZZ_CHECK(handle == this && openHandles_ == 1);
        --openHandles_;
        Verify();
    }
    bool SetFeature(MouseHandle handle, const uint8_t* report, uint32_t length) override {
        FUZZ_CHECK(handle == this && length == kReportLength && report[0] == kReportId);
        ++reports_;
        const bool ok = Answer(in_.Byte());
        Observe(report, ok);
        return ok;
    }
    bool GetFeature(MouseHandle handle, uint8_t* report, uint32_t length) override {
        FUZZ_CHECK(handle == this && length == kReportLength);
        ++reports_;
        const uint8_t control = in_.Byte();
        uint8_t reply[kReportLength];
        if (control & 0x10)
            in_.Bytes(reply, kReportLength);
        else
            for (size_t i = 0; i < kReportLength; ++i)
                reply[i] = static_cast<uint8_t>(size_t{control} * 31 + i * 7 + reports_);
        const bool ok = Answer(control);
        if (ok || (control & 0x20))
            std::memcpy(report, reply, kReportLength); // a failed get may scribble too
        if (querying_) {
            queryReply_ = ok ? reply[3] : 0;
            querying_ = false;
        } else if (pageOpen_ && op_ == Op::Read) {
            FUZZ_CHECK(transfer_ <= kChunksPerPage);
            const size_t base = kPageLength * page_;
            if (ok && transfer_ < kChunksPerPage)
                std::memcpy(&delivered_[base + kChunkLength * transfer_], reply + 1, kChunkLength);
            else if (ok)
                delivered_[base + kPageLength - 1] = reply[1];
            if (++transfer_ > kChunksPerPage)
                pageOpen_ = false;
        } else {
            FUZZ_CHECK(false); // a get outside a read page or a query
        }
        return ok;
    }

    bool unplugged_ = false;
    int openHandles_ = 0;
    int32_t QueryReply() const { return queryReply_; }

  private:
    void Restart() {
        pageOpen_ = querying_ = false;
        nextPage_ = 0;
        reports_ = 0;
        delivered_.fill(0);
        stored_.fill(0);
        storedPages_ = 0;
        queryReply_ = 0;
    }

    bool Answer(uint8_t control) {
        if (unplugged_)
            return false;
        if ((control & 0x0F) == 15) {
            unplugged_ = true;
            return false;
        }
        return (control & 0x0F) != 14;
    }

    void Observe(const uint8_t* r, bool ok) {
        if (pageOpen_ && op_ == Op::Write) {
            // Inside a page every report is its next transfer, whatever it looks like.
            const size_t base = kPageLength * page_;
            pageWhole_ = pageWhole_ && ok;
            if (transfer_ < kChunksPerPage) {
                std::memcpy(&stored_[base + kChunkLength * transfer_], r + 1, kChunkLength);
            } else {
                for (size_t i = 2; i < kReportLength; ++i)
                    FUZZ_CHECK(r[i] == kTailFiller);
                stored_[base + kPageLength - 1] = r[1];
                if (pageWhole_)
                    storedPages_ |= 1u << page_;
                pageOpen_ = false;
                tailSeen_ = true;
                lastTailMs_ = nowMs_;
            }
            ++transfer_;
            return;
        }
        FUZZ_CHECK(!pageOpen_); // a read page is never left half-read
        if (r[1] == kMemoryCommand) {
            FUZZ_CHECK(op_ == Op::Read || op_ == Op::Write);
            // The firmware refuses a page command sooner than 50 ms after a tail.
            FUZZ_CHECK(!tailSeen_ || nowMs_ - lastTailMs_ >= kPageWaitMs);
            FUZZ_CHECK(r[2] == (op_ == Op::Read ? kDirectionRead : kDirectionWrite));
            FUZZ_CHECK(r[3] == 0 && r[4] == area_ && r[6] == 0 && r[7] == 0);
            FUZZ_CHECK(r[5] == nextPage_ && r[5] < kPagesPerBlock); // in order, each once
            nextPage_ = static_cast<uint8_t>(r[5] + 1);
            pageOpen_ = ok;
            pageWhole_ = ok;
            page_ = r[5];
            transfer_ = 0;
            return;
        }
        FUZZ_CHECK(r[1] == kProfileCommand && r[4] == 0 && r[5] == 0 && r[6] == 0 && r[7] == 0);
        if (r[2] == kQueryActiveProfile) {
            FUZZ_CHECK(op_ == Op::Query && r[3] == 0);
            querying_ = true; // the host asks for the reply even when the set failed
        } else {
            FUZZ_CHECK(op_ == Op::Select && r[2] == kSelectActiveProfile && r[3] == area_);
        }
    }

    FuzzInput& in_;
    Op op_ = Op::None;
    int area_ = -1;
    uint8_t* block_ = nullptr;
    bool enumerating_ = false;
    std::vector<uint8_t> listed_;
    bool pageOpen_ = false;
    bool pageWhole_ = false;
    bool querying_ = false;
    uint8_t page_ = 0;
    uint8_t nextPage_ = 0;
    size_t transfer_ = 0;
    uint32_t reports_ = 0;
    std::array<uint8_t, kBlock> delivered_{}; // what a read must hold
    std::array<uint8_t, kBlock> stored_{};    // what each page of a write carried
    uint32_t storedPages_ = 0;                // bit p: every report of page p got through
    int32_t queryReply_ = 0;
    uint64_t nowMs_ = 0;
    uint64_t lastTailMs_ = 0;
    bool tailSeen_ = false;
};

bool IsProfile(int profile) {
    return profile >= 0 && profile < kAreaCount - 1;
}

// The blocks a walk reads into and writes from; they keep what earlier operations left.
struct WalkBlocks {
    uint8_t header[kBlock] = {};
    uint8_t profile[kBlock] = {};
};

void Operate(FuzzInput& in, HostileMouse& mouse, MouseSession& session, WalkBlocks& blocks) {
    const uint8_t selector = in.Byte();
    const int index = static_cast<int8_t>(in.Byte()); // profiles outside 0..4 too
    uint8_t block[kBlock];
    in.Bytes(block, 2); // a block the read must overwrite entirely
    std::memset(block + 2, block[0] ^ block[1], kBlock - 2);
    const MouseLink link{mouse, &mouse, mouse};

    if (selector & 0x80) {
        // The device walk: enumeration, path match, open and close around the operation.
        static constexpr DeviceOperation kOps[] = {ReadProfile,   WriteProfile, QueryCurrentProfile,
                                                   SelectProfile, ReadHeader,   WriteHeader};
        const DeviceOperation op = kOps[(selector & 0x7F) % 6];
        const bool profileOp = op == ReadProfile || op == WriteProfile;
        const int area = op == ReadHeader || op == WriteHeader ? kHeaderArea
                         : profileOp && IsProfile(index)       ? index + 1
                         : op == SelectProfile                 ? index
                                                               : -1;
        const Op expect = op == ReadProfile || op == ReadHeader     ? Op::Read
                          : op == WriteProfile || op == WriteHeader ? Op::Write
                          : op == QueryCurrentProfile               ? Op::Query
                                                                    : Op::Select;
        uint8_t* target = op == ReadHeader || op == WriteHeader ? blocks.header : blocks.profile;
        mouse.Expect(expect, area, target);
        const DeviceResult result = session.RunDeviceOperation(op, index, target);
        FUZZ_CHECK(mouse.openHandles_ == 0);
        // The answer is that of the interface opened last.
        if (result.activeProfile)
            FUZZ_CHECK(op == QueryCurrentProfile && *result.activeProfile == mouse.QueryReply());
        return;
    }

    mouse.openHandles_ = 1; // an interface the walk has opened
    int32_t answer = 0;
    switch (selector % 6) {
    case 0:
        mouse.Expect(IsProfile(index) ? Op::Read : Op::None, index + 1, block);
        ReadProfileBlock(link, index, block);
        if (!IsProfile(index))
            for (uint8_t byte : block)
                FUZZ_CHECK(byte == 0);
        break;
    case 1:
        mouse.Expect(IsProfile(index) ? Op::Write : Op::None, index + 1, block);
        WriteProfileBlock(link, index, block);
        break;
    case 2:
        mouse.Expect(Op::Read, kHeaderArea, block);
        ReadHeaderBlock(link, block);
        break;
    case 3:
        mouse.Expect(Op::Write, kHeaderArea, block);
        WriteHeaderBlock(link, block);
        break;
    case 4:
        mouse.Expect(Op::Query, 0, block);
        answer = QueryActiveProfile(link);
        FUZZ_CHECK(answer >= 0 && answer <= 255);
        break;
    default:
        mouse.Expect(IsProfile(index) ? Op::Select : Op::None, index, block);
        SelectActiveProfile(link, index);
        break;
    }
    mouse.Verify(&answer);
    mouse.openHandles_ = 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    HostileMouse mouse(in);
    UnsharedTransferLock lock;
    MouseSession session(mouse, mouse, lock);
    WalkBlocks blocks;
    for (int n = 0; n < 16 && !in.Empty(); ++n)
        Operate(in, mouse, session, blocks);
    return 0;
}
