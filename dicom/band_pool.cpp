#include "dicom/band_pool.h"

namespace vs {

BandPool::BandPool(unsigned lanes) {
    for (unsigned i = 1; i < lanes; ++i) threads_.emplace_back([this] { serve(); });
}

BandPool::~BandPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

uint32_t BandPool::claimBands(const std::function<void(uint32_t)>& job, uint32_t bands) {
    uint32_t ran = 0;
    for (uint32_t band; (band = next_.fetch_add(1, std::memory_order_relaxed)) < bands; ++ran) job(band);
    return ran;
}

void BandPool::run(uint32_t bands, const std::function<void(uint32_t)>& job) {
    std::unique_lock runner(runner_, std::try_to_lock);
    if (!runner || threads_.empty() || bands < 2) {
        for (uint32_t band = 0; band < bands; ++band) job(band);
        return;
    }
    {
        // No thread is inside a run here (the last one waited for them to leave), so the
        // count of claimed bands can start again.
        std::lock_guard lock(mutex_);
        job_ = &job;
        bands_ = bands;
        done_ = 0;
        next_.store(0, std::memory_order_relaxed);
        ++round_;
    }
    wake_.notify_all();
    const uint32_t ran = claimBands(job, bands);
    std::unique_lock lock(mutex_);
    done_ += ran;
    finished_.wait(lock, [&] { return done_ == bands_ && joined_ == 0; });
    job_ = nullptr;
}

// A thread joins each run once, if it wakes before the run is over; a run that ended before
// it woke is skipped (job_ is null again), so no thread ever holds a finished run's job.
void BandPool::serve() {
    uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || round_ != seen; });
        if (stopping_) return;
        seen = round_;
        if (!job_) continue;
        const std::function<void(uint32_t)>& job = *job_;
        const uint32_t bands = bands_;
        ++joined_;
        lock.unlock();
        const uint32_t ran = claimBands(job, bands);
        lock.lock();
        done_ += ran;
        --joined_;
        if (done_ == bands_ && joined_ == 0) finished_.notify_one();
    }
}

}  // namespace vs
