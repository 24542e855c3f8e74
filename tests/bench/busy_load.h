// The load of a game that keeps every core busy: one normal-priority thread per core, each
// spinning on arithmetic, for as long as the object lives. The benchmarks measure with and
// without it in one run.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class BusyLoad {
  public:
    static unsigned Cores() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
    }

    explicit BusyLoad(unsigned threads = Cores()) {
        for (unsigned i = 0; i < threads; ++i) {
            threads_.emplace_back([this] {
                SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
                uint64_t x = 88172645463325252ull;
                while (!stop_.load(std::memory_order_relaxed)) {
                    for (int k = 0; k < 4096; ++k) { // xorshift: work the optimiser keeps
                        x ^= x << 13;
                        x ^= x >> 7;
                        x ^= x << 17;
                    }
                    sink_.fetch_add(x & 1, std::memory_order_relaxed);
                }
            });
        }
        Sleep(200); // let the scheduler see them as the hogs they are
    }

    ~BusyLoad() {
        stop_ = true;
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }

    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

    size_t Threads() const { return threads_.size(); }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sink_{0};
    std::vector<std::thread> threads_;
};
