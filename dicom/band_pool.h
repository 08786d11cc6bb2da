// A few threads kept for one large piece of work split into bands that run at once: the rows
// of a large frame windowed, its samples' range read, its picture painted. The program makes
// one pool and hands it where frames are windowed; the thread that asks works too, so a pool
// of n lanes keeps n - 1 threads, asleep between runs.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vs {

class BandPool {
public:
    // lanes 0 or 1: no threads, every band runs on the caller.
    explicit BandPool(unsigned lanes);
    ~BandPool();
    BandPool(const BandPool&) = delete;
    BandPool& operator=(const BandPool&) = delete;

    unsigned lanes() const { return unsigned(threads_.size()) + 1; }

    // How many bands to cut units (rows, samples) into: several a lane, so that a lane slowed
    // by other work on its core is made up by the others, each of at least leastUnits units.
    uint32_t bandsFor(uint32_t units, uint32_t leastUnits) const {
        const uint32_t most = units / std::max(leastUnits, 1u);
        return std::max(1u, std::min(most, bandsPerLane * lanes()));
    }
    static constexpr uint32_t bandsPerLane = 8;

    // Calls job(band) once for every band from 0 to bands - 1, on the pool's threads and the
    // calling one, and returns when all have returned. The bands of one run must write apart
    // and must not throw. While another caller's run holds the threads (two conversion
    // workers at once, say), this caller runs all its bands itself.
    void run(uint32_t bands, const std::function<void(uint32_t)>& job);

private:
    void serve();
    // Runs bands of the current run until none is left; how many it ran.
    uint32_t claimBands(const std::function<void(uint32_t)>& job, uint32_t bands);

    std::vector<std::thread> threads_;
    std::mutex runner_;  // held by the caller whose run has the threads
    std::mutex mutex_;   // guards what follows but next_
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void(uint32_t)>* job_ = nullptr;  // null between runs
    uint32_t bands_ = 0;
    uint32_t done_ = 0;     // bands of the run that returned
    uint32_t joined_ = 0;   // threads inside the run; a run ends only when they left it
    uint64_t round_ = 0;    // counts the runs, so that a thread joins each once
    bool stopping_ = false;
    std::atomic<uint32_t> next_ = 0;  // the next band to claim; reset only while no thread is inside
};

// The first row of band number band when rows rows are cut into bands bands as evenly as can be.
inline uint32_t bandStart(uint32_t rows, uint32_t bands, uint32_t band) {
    return uint32_t(uint64_t(rows) * band / bands);
}

}  // namespace vs
