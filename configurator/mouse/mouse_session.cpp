// The device walk over the HID interface set: every interface whose path names the mouse's
// vendor and product id and that opens for reading and writing gets the whole operation, one
// after the other in enumeration order. Windows-free; the SetupDi/HidD side is
// hid_interfaces_win.cpp, the simulated mouse lives under simulators/mouse.
#include "mouse_session.h"

#include "memory_protocol.h"
#include "text_search.h"

#include <cwchar>
#include <utility>

namespace {

// True when a block operation moved its block whole on this interface; query, select and
// unknown codes have no block and count as whole once the interface is open.
bool Perform(const MouseLink& link, int operation, int argument, uint8_t* block,
             DeviceResult& result) {
    const PacedOperation paced(link.wait);
    switch (operation) {
    case ReadProfile:
        return ReadProfileBlock(link, argument, block);
    case WriteProfile:
        return WriteProfileBlock(link, argument, block);
    case QueryCurrentProfile:
        result.activeProfile = QueryActiveProfile(link);
        return true;
    case SelectProfile:
        SelectActiveProfile(link, argument);
        return true;
    case ReadHeader:
        return ReadHeaderBlock(link, block);
    case WriteHeader:
        return WriteHeaderBlock(link, block);
    default:
        return true; // unknown operation: the interface was opened and is closed, nothing is sent
    }
}

// How many reports can still belong to a page that was cut off: nine chunks and the tail.
constexpr int kReportsPerPage = kChunksPerPage + 1;

bool IsWrite(int operation) {
    return operation == WriteProfile || operation == WriteHeader;
}

bool NeedsBlock(int operation) {
    return IsWrite(operation) || operation == ReadProfile || operation == ReadHeader;
}

} // namespace

bool PathContains(const wchar_t* path, const wchar_t* text) {
    // The walk's own answer for an empty text: every path.
    return !*text || ContainsIgnoringCase(path, text);
}

DeviceResult MouseSession::RunDeviceOperation(int operation, int argument, uint8_t* block) {
    DeviceResult result;
    if (NeedsBlock(operation) && block == nullptr)
        return result;
    // Another TarnDesk process may be in the middle of a page: its reports and ours must not
    // interleave, or the firmware takes our command for its chunk.
    const SessionHold lock = Hold();
    if (!lock.Held())
        return result;
    // A read's block holds what the interface opened last delivered, so that one decides;
    // a write has reached the mouse when any interface took the whole block.
    bool lastWhole = false;
    bool anyWhole = false;
    Walk([&](const MouseLink& link) {
        result.opened = true;
        lastWhole = Perform(link, operation, argument, block, result);
        anyWhole = anyWhole || lastWhole;
    });
    result.whole = IsWrite(operation) ? anyWhole : lastWhole;
    return result;
}

void MouseSession::Walk(const std::function<void(const MouseLink&)>& each) {
    MouseInterfaceSet& interfaces = interfaces_;
    if (!interfaces.BeginEnumeration(EnumerationPurpose::DeviceWalk))
        return;
    const std::wstring pattern = L"VID_" + ids_.vendorId + L"&PID_" + ids_.productId;
    wchar_t path[kMaxDevicePath];
    for (uint32_t n = 0;; ++n) {
        const InterfaceEntry entry = interfaces.InterfaceAt(n, path, kMaxDevicePath);
        if (entry == InterfaceEntry::End)
            break;
        if (entry == InterfaceEntry::Skip || !PathContains(path, pattern.c_str()))
            continue;
        MouseHandle handle = nullptr;
        if (!interfaces.Open(path, &handle))
            continue;
        each(MouseLink{interfaces, handle, wait_});
        interfaces.Close(handle);
    }
    interfaces.EndEnumeration();
}

bool MouseSession::ReadProfile(int profile, ProfileBlock& block) {
    return RunDeviceOperation(::ReadProfile, profile, block.data()).whole;
}

bool MouseSession::WriteProfile(int profile, const ProfileBlock& block) {
    ProfileBlock sent = block; // the walk takes a buffer it may read from more than once
    return RunDeviceOperation(::WriteProfile, profile, sent.data()).whole;
}

bool MouseSession::ReadHeader(HeaderBlock& block) {
    return RunDeviceOperation(::ReadHeader, 0, block.data()).whole;
}

bool MouseSession::WriteHeader(const HeaderBlock& block) {
    HeaderBlock sent = block;
    return RunDeviceOperation(::WriteHeader, 0, sent.data()).whole;
}

std::optional<int32_t> MouseSession::QueryProfile() {
    return RunDeviceOperation(QueryCurrentProfile, 0).activeProfile;
}

void MouseSession::Select(int profile) {
    RunDeviceOperation(SelectProfile, profile);
}

bool MouseSession::IsMousePresent() {
    MouseInterfaceSet& interfaces = interfaces_;
    if (!interfaces.BeginEnumeration(EnumerationPurpose::PresenceCheck))
        return false;
    wchar_t path[kMaxDevicePath];
    bool present = false;
    for (uint32_t n = 0; !present; ++n) {
        const InterfaceEntry entry = interfaces.InterfaceAt(n, path, kMaxDevicePath);
        if (entry == InterfaceEntry::End)
            break;
        present = entry == InterfaceEntry::Path && PathContains(path, kPresenceText);
    }
    interfaces.EndEnumeration();
    return present;
}

SessionHold::SessionHold(MouseSession& session, uint32_t waitMs)
    : session_(&session), lock_(session.lock_, waitMs) {
    if (lock_.Held() && ++session_->holdDepth_ == 1) {
        session_->OnOutermostHold(lock_.TookOverAbandoned());
    }
}

SessionHold::SessionHold(SessionHold&& other) noexcept
    : session_(other.session_), lock_(std::move(other.lock_)) {}

SessionHold::~SessionHold() {
    if (lock_.Held() && --session_->holdDepth_ == 0 && session_->wroteDuringHold_) {
        // Told once the whole sequence is over and the cache holds what it wrote, still under
        // the lock: another TarnDesk reading the cache on this word reads what the mouse holds.
        session_->wroteDuringHold_ = false;
        if (session_->journal_ != nullptr) {
            session_->journal_->Written();
        }
    }
}

void MouseSession::OnOutermostHold(bool tookOverAbandoned) {
    const std::optional<PendingWrite> pending =
        journal_ != nullptr ? journal_->Pending() : std::nullopt;
    if (pending) {
        Recover(*pending);
    } else if (tookOverAbandoned) {
        // Its holder died in the middle of something that was no recorded write (a read, a
        // query): the mouse may still be in the middle of a page.
        Resync();
    }
}

// The firmware counts the reports after a page command: nine chunks, then the tail that ends
// the page. A transfer cut off in the middle of a page leaves it waiting for the rest, and
// would take whatever comes next (the next process's page command included) as that page's
// data. Ten reports whose command byte is 0 end any page that was cut off, wherever it was
// cut: that page belongs to an area being rewritten anyway (a cut write is recorded), and a
// read page is not changed by them. Once the page has ended, the rest are no command at all,
// which the mouse refuses: they never open a page of their own. Then the page gap.
void MouseSession::Resync() {
    const SessionHold hold = Hold();
    if (!hold.Held())
        return;
    Walk([&](const MouseLink& link) {
        const PacedOperation paced(wait_);
        const uint8_t neutral[kReportLength] = {kReportId, 0, 0, 0, 0, 0, 0, 0};
        for (int k = 0; k < kReportsPerPage; ++k) {
            interfaces_.SetFeature(link.handle, neutral, kReportLength);
            wait_.Wait(kReportWaitMs);
        }
        wait_.Wait(kPageWaitMs);
    });
}

WriteOutcome MouseSession::WriteSequence(PendingWrite write,
                                         const std::function<void(size_t, bool)>& written) {
    WriteOutcome outcome;
    const SessionHold hold = Hold();
    if (history_ != nullptr && !changeKept_) {
        outcome.keepProblem = history_->Keep(*this, change_ != nullptr ? *change_ : ChangeReason{});
        if (!outcome.keepProblem.empty()) {
            outcome.notKept = true;
            outcome.blockWhole.assign(write.areas.size(), false);
            return outcome;
        }
        changeKept_ = change_ != nullptr;
    }
    if (journal_ != nullptr) {
        write.sequence = nextSequence_++;
        write.complete = true;
        if (!journal_->Record(write)) {
            outcome.notRecorded = true;
            outcome.blockWhole.assign(write.areas.size(), false);
            return outcome;
        }
    }
    bool whole = true;
    bool reachedAny = false;
    for (auto& [area, block] : write.areas) {
        const int operation = area == kHeaderAreaNumber ? ::WriteHeader : ::WriteProfile;
        const DeviceResult result =
            RunDeviceOperation(operation, area == kHeaderAreaNumber ? 0 : area - 1, block.data());
        outcome.blockWhole.push_back(result.whole);
        whole = whole && result.whole;
        reachedAny = reachedAny || result.opened;
        if (written) {
            written(outcome.blockWhole.size() - 1, result.whole);
        }
    }
    outcome.whole = whole;
    wroteDuringHold_ = wroteDuringHold_ || reachedAny;
    // A block the mouse took in part may be torn: the record stays for the next hold to
    // finish. With no mouse at all nothing was sent, and there is nothing to finish.
    if (journal_ != nullptr && (whole || !reachedAny)) {
        journal_->Clear();
    }
    return outcome;
}

bool MouseSession::Recover(const PendingWrite& pending) {
    const SessionHold hold = Hold();
    if (!hold.Held())
        return false;
    Resync();
    bool done = true;
    bool reachedAny = false;
    for (const auto& [area, recorded] : pending.areas) {
        if (area < 0 || area >= kImageBlockCount)
            continue;
        // A record that was itself cut off sent nothing; the area gets what it last held for
        // certain, and is read back like any other.
        std::optional<MemoryBlock> content = recorded;
        if (!pending.complete)
            content = journal_ != nullptr ? journal_->LastVerified(area) : std::nullopt;
        if (!content)
            continue;
        MemoryBlock sent = *content;
        const bool header = area == kHeaderAreaNumber;
        const DeviceResult wrote = RunDeviceOperation(header ? ::WriteHeader : ::WriteProfile,
                                                      header ? 0 : area - 1, sent.data());
        reachedAny = reachedAny || wrote.opened;
        MemoryBlock back{};
        const bool read = RunDeviceOperation(header ? ::ReadHeader : ::ReadProfile,
                                             header ? 0 : area - 1, back.data())
                              .whole;
        if (wrote.whole && read && back == *content) {
            if (journal_ != nullptr)
                journal_->Verified(area, back);
        } else {
            done = false;
        }
    }
    wroteDuringHold_ = wroteDuringHold_ || reachedAny;
    if (done && journal_ != nullptr)
        journal_->Clear();
    return done;
}

ChangeScope::ChangeScope(MouseSession& session, ChangeCause cause, int profile)
    : session_(session), reason_{cause, profile}, outermost_(session.change_ == nullptr) {
    if (outermost_) {
        session_.change_ = &reason_;
        session_.changeKept_ = false;
    }
}

ChangeScope::~ChangeScope() {
    if (outermost_) {
        session_.change_ = nullptr;
        session_.changeKept_ = false;
    }
}
