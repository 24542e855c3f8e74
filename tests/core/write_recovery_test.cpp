// The crash-safe write path against the firmware model: a write sequence cut off after any
// report (a crash, a kill, a power loss of the host) is finished by the next holder of the
// transfer lock, so every area ends wholly old or wholly new and nothing outside the written
// areas changes.
#include "mouse/mouse_session.h"
#include "mouse/write_journal.h"
#include "simulated_mouse.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

MemoryBlock Pattern(int seed) {
    MemoryBlock block{};
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(seed * 37 + i * 11);
    return block;
}

MemoryBlock Area(const SimulatedMouse& mouse, int area) {
    MemoryBlock block{};
    std::memcpy(block.data(), mouse.firmware.memory[area], block.size());
    return block;
}

class WriteRecovery : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int area = 0; area < kImageBlockCount; ++area) {
            const MemoryBlock old = Pattern(area);
            std::memcpy(mouse.firmware.memory[area], old.data(), old.size());
            journal.lastVerified[area] = old;
        }
    }

    // Apply's sequence (profile 2, then the header), cut off after `cut` reports.
    PendingWrite Apply() const {
        PendingWrite write;
        write.areas.push_back({AreaOfProfile(2), Pattern(100)});
        write.areas.push_back({kHeaderAreaNumber, Pattern(200)});
        return write;
    }

    void CutAfter(long cut) {
        mouse.unplugAfterReports = mouse.reportCount + cut;
        MouseSession dying(mouse, wait, lock);
        dying.UseJournal(&journal);
        const SessionHold hold = dying.Hold();
        dying.WriteSequence(Apply());
        // The host is gone: the mouse keeps whatever state the last report left.
        mouse.unplugAfterReports = -1;
        mouse.unplugged = false;
    }

    SimulatedMouse mouse;
    RecordingWait wait;
    SimulatedMouseScope scope{mouse, &wait};
    UnsharedTransferLock lock;
    MemoryJournal journal;
};

TEST_F(WriteRecovery, ACutAfterAnyReportEndsWhollyNewAndTouchesNoOtherArea) {
    constexpr long kReports = 2 * 8 * 11; // two blocks of eight pages of eleven reports
    for (long cut = 0; cut <= kReports; ++cut) {
        SetUp();
        CutAfter(cut);
        // The next start: its first hold finishes the cut write before the start-up copy.
        MouseSession next(mouse, wait, lock);
        next.UseJournal(&journal);
        {
            const SessionHold hold = next.Hold();
            ProfileBlock copy;
            for (int profile = 0; profile < kProfileCount; ++profile)
                ASSERT_TRUE(next.ReadProfile(profile, copy)) << "cut " << cut;
        }
        EXPECT_FALSE(journal.pending) << "cut " << cut;
        EXPECT_EQ(Area(mouse, AreaOfProfile(2)), Pattern(100)) << "cut " << cut;
        EXPECT_EQ(Area(mouse, kHeaderAreaNumber), Pattern(200)) << "cut " << cut;
        for (int area = 1; area < kImageBlockCount; ++area) {
            if (area != AreaOfProfile(2)) {
                ASSERT_EQ(Area(mouse, area), Pattern(area)) << "cut " << cut << " area " << area;
            }
        }
        if (cut < kReports) { // finished by the recovery, which read it back
            EXPECT_EQ(*journal.lastVerified[AreaOfProfile(2)], Pattern(100)) << "cut " << cut;
        }
    }
}

TEST_F(WriteRecovery, ARecordCutOffItselfRewritesWhatWasLastVerified) {
    // The writer died while it was recording: nothing was sent, the areas it named are known.
    PendingWrite torn;
    torn.complete = false;
    torn.areas.push_back({AreaOfProfile(4), MemoryBlock{}});
    journal.pending = torn;
    MouseSession next(mouse, wait, lock);
    next.UseJournal(&journal);
    next.Hold();
    EXPECT_FALSE(journal.pending);
    for (int area = 0; area < kImageBlockCount; ++area)
        EXPECT_EQ(Area(mouse, area), Pattern(area)) << area;
}

TEST_F(WriteRecovery, WithoutAMouseTheRecordWaitsAndAWriteThatNeverStartedLeavesNone) {
    CutAfter(40);
    mouse.unplugged = true; // the mouse is away at the next start
    MouseSession next(mouse, wait, lock);
    next.UseJournal(&journal);
    next.Hold();
    ASSERT_TRUE(journal.pending);
    mouse.unplugged = false; // it arrives
    next.Hold();
    EXPECT_FALSE(journal.pending);
    EXPECT_EQ(Area(mouse, AreaOfProfile(2)), Pattern(100));

    // Nothing of a write reaches a mouse that is not there: nothing to finish later.
    mouse.unplugged = true;
    {
        const SessionHold hold = next.Hold();
        EXPECT_FALSE(next.WriteSequence(Apply()).whole);
    }
    EXPECT_FALSE(journal.pending);
    // A record that cannot be kept stops the write before its first report.
    mouse.unplugged = false;
    journal.recordWorks = false;
    mouse.ClearTranscript();
    const SessionHold hold = next.Hold();
    EXPECT_TRUE(next.WriteSequence(Apply()).notRecorded);
    EXPECT_TRUE(mouse.Sent().empty());
}

// The history hears of a change once, before its first report, and one it cannot keep sends
// nothing and records nothing.
TEST_F(WriteRecovery, AChangeIsKeptOnceBeforeItsFirstReportOrNotWrittenAtAll) {
    struct Counting final : WriteHistory {
        std::wstring Keep(MouseSession&, const ChangeReason& reason) override {
            reasons.push_back(reason);
            sentBefore.push_back(mouse->Sent().size());
            return problem;
        }
        SimulatedMouse* mouse = nullptr;
        std::vector<ChangeReason> reasons;
        std::vector<size_t> sentBefore;
        std::wstring problem;
    } history;
    history.mouse = &mouse;
    MouseSession session(mouse, wait, lock);
    session.UseJournal(&journal);
    session.UseHistory(&history);
    mouse.ClearTranscript();
    {
        const ChangeScope outer(session, ChangeCause::Button, 3);
        const ChangeScope inner(session, ChangeCause::Apply, 3); // the outermost names it
        EXPECT_TRUE(session.WriteSequence(Apply()).whole);
        EXPECT_TRUE(session.WriteSequence(Apply()).whole);
    }
    session.WriteSequence(Apply()); // without a scope: a change of its own
    ASSERT_EQ(history.reasons.size(), 2u);
    EXPECT_EQ(history.reasons[0].cause, ChangeCause::Button);
    EXPECT_EQ(history.reasons[0].profile, 3);
    EXPECT_EQ(history.reasons[1].cause, ChangeCause::Write);
    EXPECT_EQ(history.sentBefore[0], 0u);

    history.problem = L"disk full";
    mouse.ClearTranscript();
    const WriteOutcome outcome = session.WriteSequence(Apply());
    EXPECT_TRUE(outcome.notKept);
    EXPECT_EQ(outcome.keepProblem, L"disk full");
    EXPECT_FALSE(outcome.whole);
    EXPECT_TRUE(mouse.Sent().empty());
    EXPECT_FALSE(journal.pending);
}

} // namespace
