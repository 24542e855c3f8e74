// What the history adds to the two transfers users wait for, against the simulated mouse with
// the production pacing wait: an Apply (a profile block and the header, as one crash-safe
// write sequence) with and without a snapshot kept first, and the start-up copy with and
// without its compare against the cache. Medians, as ratios to the protocol's floor of 800 ms
// per block; the difference is the snapshot's file write and the compare.
//
// Usage: history_cost_bench [repeats]   (default 7)
// The bench works in a registry key and a history folder of its own: the user's cache is
// redirected for the process and the history folder is moved aside and put back.
#include "model/memory_image.h"
#include "mouse/mouse_session.h"
#include "settings/cache_journal.h"
#include "settings/history.h"
#include "settings/memory_copy.h"
#include "settings/profile_cache.h"
#include "simulated_mouse.h"

#include "test_harness_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kScratchKey[] = L"Software\\TarnBench\\HistoryCost";

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Median of `run(i)` over `repeats`, each after `prepare(i)`, which is not timed.
double Measure(int repeats, const std::function<void(int)>& prepare,
               const std::function<void(int)>& run) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        prepare(i);
        const double start = NowMs();
        run(i);
        times.push_back(NowMs() - start);
    }
    return Median(times);
}

// HKEY_CURRENT_USER of this process points into a scratch key while it lives.
class ScratchRegistry {
  public:
    ScratchRegistry() {
        RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        overridden_ = key_ != nullptr && RegOverridePredefKey(HKEY_CURRENT_USER, key_) == 0;
    }
    ~ScratchRegistry() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (key_ != nullptr)
            RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    }
    bool Ready() const { return overridden_; }

  private:
    HKEY key_ = nullptr;
    bool overridden_ = false;
};

// The history folder moved aside while the bench fills and prunes one of its own.
class ScratchHistory {
  public:
    ScratchHistory() : folder_(HistoryFolderPath()), aside_(folder_ + L".bench-aside") {
        moved_ = !folder_.empty() && MoveFileW(folder_.c_str(), aside_.c_str()) != FALSE;
    }
    ~ScratchHistory() {
        Empty();
        RemoveDirectoryW(folder_.c_str());
        if (moved_)
            MoveFileW(aside_.c_str(), folder_.c_str());
    }
    void Empty() const {
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                DeleteFileW((folder_ + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    size_t Count() const {
        size_t count = 0;
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW((folder_ + L"\\*.tarnprofiles").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return 0;
        do
            ++count;
        while (FindNextFileW(search, &found));
        FindClose(search);
        return count;
    }

  private:
    std::wstring folder_;
    std::wstring aside_;
    bool moved_ = false;
};

MemoryBlock Pattern(int seed) {
    MemoryBlock block{};
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = uint8_t(size_t(seed) * 31 + i * 7);
    return block;
}

void PrintRow(const char* what, double without, double with, int blocks) {
    const double floor = 800.0 * blocks;
    std::printf("%-36s %9.1f ms %9.1f ms   ratio to floor %.4f -> %.4f   (%+.1f ms)\n", what,
                without, with, without / floor, with / floor, with - without);
}

} // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const ScratchRegistry registry;
    if (!registry.Ready()) {
        std::printf("the registry could not be redirected: nothing measured\n");
        return 2;
    }
    const ScratchHistory history;
    SimulatedMouse mouse;
    mouse.clock = [] { return uint64_t(NowMs() * 1000.0); };
    const std::unique_ptr<PacingWait> wait = CreateSystemPacingWait();
    UnsharedTransferLock lock;
    MouseSession session(mouse, *wait, lock);
    CacheJournal journal;
    session.UseJournal(&journal);
    HistoryKeeper keeper;

    // The cache knows the mouse, as after the start-up copy: a snapshot needs no read.
    HeaderBlock header;
    SyncCacheFromDevice(session, header);

    // Apply: profile 1 and the header, each run new bytes so that every snapshot is kept.
    auto apply = [&](int i) {
        PendingWrite write;
        write.areas.push_back({AreaOfProfile(0), Pattern(i)});
        MemoryBlock head = header.bytes;
        head[kProfileSettingsOffset] = uint8_t(4 + i % 8);
        write.areas.push_back({kHeaderAreaNumber, head});
        const SessionHold hold = session.Hold();
        const ChangeScope change(session, ChangeCause::Apply, 0);
        session.WriteSequence(write, [&](size_t index, bool) {
            const auto& [area, block] = write.areas[index];
            StoreCachedBlock(area == kHeaderAreaNumber ? kHeaderCacheNumber : area - 1,
                             block.data());
        });
    };
    const auto none = [](int) {};
    session.UseHistory(nullptr);
    const double applyWithout = Measure(repeats, none, apply);
    session.UseHistory(&keeper);
    const double applyWith = Measure(repeats, none, [&](int i) { apply(i + repeats); });
    const size_t kept = history.Count();

    // The start-up copy with nothing changed: the same reads and cache stores, plus, with the
    // history, one compare of six blocks.
    auto copyWithout = [&](int) {
        const SessionHold hold = session.Hold();
        ProfileBlock block;
        for (int profile = 0; profile < kProfileCount; ++profile)
            if (session.ReadProfile(profile, block))
                StoreCachedBlock(profile, block);
        HeaderBlock read;
        if (session.ReadHeader(read))
            StoreCachedHeader(read);
    };
    auto copyWith = [&](int) {
        const SessionHold hold = session.Hold();
        SyncCacheFromDevice(session, header);
    };
    const double startWithout = Measure(repeats, none, copyWithout);
    const double startWith = Measure(repeats, none, copyWith);
    // Changed elsewhere: the mouse's profile 5 differs from the cache before each copy.
    const double startChanged = Measure(
        repeats,
        [&](int i) {
            const MemoryBlock other = Pattern(100 + i);
            std::copy(other.begin(), other.end(), mouse.firmware.memory[5]);
        },
        copyWith);

    std::printf("median of %d runs, simulated mouse, production pacing wait\n", repeats);
    std::printf("%-36s %12s %12s\n", "", "no history", "history");
    PrintRow("Apply (profile + header)", applyWithout, applyWith, 2);
    PrintRow("start-up copy, nothing changed", startWithout, startWith, 6);
    PrintRow("start-up copy, changed elsewhere", startWithout, startChanged, 6);
    std::printf("snapshots kept by the Applies with history: %zu of %d\n", kept, repeats);
    return kept == size_t(repeats) ? 0 : 1;
}
