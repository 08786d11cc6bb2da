// The conversion run with several workers. Workers claim files in their given order, each with
// its own DicomImage, frame source and decoder, and write every frame to a temporary; the
// calling thread commits the finished files strictly in order (the questions, the renames),
// so the run's outcome does not depend on which worker finished first. Workers stay at most a
// few files ahead of the commit, which bounds the temporaries waiting on disk while a question
// is open.
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "convert/conversion.h"
#include "convert/conversion_steps.h"

namespace vs {
namespace {

inline constexpr size_t filesAheadPerWorker = 2;

// Reading for a worker: nothing to show, and an end to reading once the run has stopped.
class StoppableReading : public ReadObserver {
public:
    explicit StoppableReading(const std::atomic<bool>& stop) : stop_(stop) {}
    bool abortRequested() override { return stop_; }

private:
    const std::atomic<bool>& stop_;
};

class ParallelRun {
public:
    ParallelRun(const std::vector<std::string>& paths, const ConversionSettings& settings, unsigned jobs)
        : paths_(paths), settings_(settings), lookAhead_(jobs * filesAheadPerWorker) {}

    void work(const Decoders& decoders) {
        FileConverter converter(settings_, decoders);
        StoppableReading reading(stop_);
        for (;;) {
            const std::optional<size_t> index = claimFile();
            if (!index) return;
            FileOutcome outcome = converter.convert(paths_[*index], reading, nullptr, &stop_);
            std::lock_guard lock(mutex_);
            finished_.emplace(*index, std::move(outcome));
            changed_.notify_all();
        }
    }

    void commitAll(ConversionDialogue& dialogue, BatchResult& result) {
        Committer committer(dialogue, result);
        const uint32_t count = uint32_t(paths_.size());
        for (size_t i = 0; i < paths_.size() && !result.cancelled; ++i) {
            FileOutcome outcome = waitForFile(i, dialogue);
            committer.commit(outcome);
        }
        std::lock_guard lock(mutex_);
        stop_ = true;
        changed_.notify_all();
        dialogue.fileStarted(count, count);
    }

private:
    // The next file to convert, once it is within reach of the commit; none when the run is
    // over.
    std::optional<size_t> claimFile() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || next_ >= paths_.size() || next_ < committed_ + lookAhead_; });
        if (stop_ || next_ >= paths_.size()) return std::nullopt;
        return next_++;
    }

    // Waits for file index, showing the count of finished files meanwhile.
    FileOutcome waitForFile(size_t index, ConversionDialogue& dialogue) {
        std::unique_lock lock(mutex_);
        committed_ = index;
        changed_.notify_all();
        for (;;) {
            dialogue.fileStarted(uint32_t(done_ + finished_.size()), uint32_t(paths_.size()));
            const auto found = finished_.find(index);
            if (found != finished_.end()) {
                FileOutcome outcome = std::move(found->second);
                finished_.erase(found);
                ++done_;
                return outcome;
            }
            changed_.wait(lock);
        }
    }

    const std::vector<std::string>& paths_;
    const ConversionSettings& settings_;
    const size_t lookAhead_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> stop_ = false;
    size_t next_ = 0;       // the next file to claim
    size_t committed_ = 0;  // files before this one are committed
    size_t done_ = 0;       // files taken by the commit
    std::map<size_t, FileOutcome> finished_;
};

}  // namespace

BatchResult convertFilesInParallel(const std::vector<std::string>& paths, const ConversionSettings& settings,
                                   unsigned jobs, const DecoderMaker& makeDecoders, ConversionDialogue& dialogue) {
    BatchResult result;
    result.files = uint32_t(paths.size());
    ParallelRun run(paths, settings, jobs);
    std::vector<std::unique_ptr<DecoderBundle>> bundles;
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) {
        bundles.push_back(makeDecoders());
        workers.emplace_back([&run, &decoders = bundles.back()->decoders()] { run.work(decoders); });
    }
    run.commitAll(dialogue, result);
    for (std::thread& worker : workers) worker.join();
    // Files finished after a Cancel are dropped with the run, and their temporaries with them.
    return result;
}

}  // namespace vs
