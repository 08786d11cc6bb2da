// The conversion run with several workers. Workers claim files in their given order; the one
// that claims a file reads it, and then its frames are claimed one by one by whichever workers
// are free, the earliest file's first, each written through a frame source of the worker's own
// over the file's image, which nobody changes until its last frame is written. The calling
// thread commits the finished files strictly in order (the questions, the renames), so the
// run's outcome does not depend on which worker finished first. Workers stay at most a few
// files ahead of the commit, which bounds the temporaries waiting on disk while a question is
// open.
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

// A file read and not yet finished: its frames are being written.
struct OpenFile {
    OpenedFile file;
    FileOutcome outcome;     // a place for every frame
    uint32_t frames = 0;
    uint32_t nextFrame = 0;  // the next frame to claim
    uint32_t framesDone = 0;
    uint32_t readers = 0;    // workers holding a frame source over the file's image
};

// What one worker has: its converter, and the frame source of the file whose frames it writes
// (file is that file while there is a source).
struct Worker {
    FileConverter converter;
    std::unique_ptr<FrameSource> source;
    std::map<size_t, OpenFile>::iterator file{};
};

class ParallelRun {
public:
    ParallelRun(const std::vector<std::string>& paths, const ConversionSettings& settings, unsigned jobs)
        : paths_(paths), settings_(settings), lookAhead_(jobs * filesAheadPerWorker) {}

    void work(const Decoders& decoders) {
        Worker worker{FileConverter(settings_, decoders), nullptr};
        StoppableReading reading(stop_);
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stop_ || framesLeft() != open_.end() || fileClaimable() || over(); });
            if (stop_ || over()) break;
            const auto file = framesLeft();
            if (file != open_.end()) {
                writeFrame(worker, file, lock);
            } else {
                const size_t index = next_++;
                ++reading_;
                lock.unlock();
                OpenedFile opened = worker.converter.open(paths_[index], reading);
                lock.lock();
                addFile(worker, index, std::move(opened));
            }
        }
        leaveFile(worker);
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
    using OpenFiles = std::map<size_t, OpenFile>;

    // The earliest file with a frame nobody has claimed.
    OpenFiles::iterator framesLeft() {
        for (auto file = open_.begin(); file != open_.end(); ++file)
            if (file->second.nextFrame < file->second.frames) return file;
        return open_.end();
    }

    // Whether a new file may be read: one is left, and it is within reach of the commit.
    bool fileClaimable() const { return next_ < paths_.size() && next_ < committed_ + lookAhead_; }

    // Every file claimed and read, and every frame claimed too: nothing is left for this
    // worker. A file still being read will open its frames to every worker.
    bool over() { return next_ >= paths_.size() && reading_ == 0 && framesLeft() == open_.end(); }

    // Writes the next frame of file, through the worker's source over it (made when the worker
    // comes to the file). Called and returns with the lock held.
    void writeFrame(Worker& worker, OpenFiles::iterator file, std::unique_lock<std::mutex>& lock) {
        OpenFile& open = file->second;
        const uint32_t frame = open.nextFrame++;
        const bool sameFile = worker.source && worker.file == file;
        if (!sameFile) {
            leaveFile(worker);
            worker.file = file;
            ++open.readers;
        }
        lock.unlock();
        if (!sameFile) worker.source = worker.converter.sourceFor(open.file);
        FrameOutcome outcome = worker.converter.convertFrame(*worker.source, open.file, frame);
        lock.lock();
        open.outcome.frames[frame] = std::move(outcome);
        ++open.framesDone;
        if (open.nextFrame == open.frames) leaveFile(worker);
    }

    // The worker lets go of the file whose frames it wrote, which is finished when it was the
    // last to hold it and all its frames are written. Called with the lock held.
    void leaveFile(Worker& worker) {
        if (!worker.source) return;
        worker.source.reset();
        OpenFile& open = worker.file->second;
        --open.readers;
        if (open.framesDone == open.frames && open.readers == 0) finish(worker, worker.file);
    }

    // A file read (or not) by this worker: its frames are open to every worker.
    void addFile(Worker& worker, size_t index, OpenedFile opened) {
        const auto file = open_.emplace(index, OpenFile{}).first;
        OpenFile& open = file->second;
        open.outcome.given = opened.given;
        open.outcome.status = opened.status;
        open.frames = opened.dicom ? opened.dicom->image.frameCount : 0;
        open.outcome.frames.resize(open.frames);
        open.file = std::move(opened);
        --reading_;
        if (open.frames == 0) finish(worker, file);
        changed_.notify_all();
    }

    void finish(Worker& worker, OpenFiles::iterator file) {
        worker.converter.recycle(file->second.file);
        finished_.emplace(file->first, std::move(file->second.outcome));
        open_.erase(file);
        changed_.notify_all();
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
    size_t reading_ = 0;    // files claimed and being read
    size_t committed_ = 0;  // files before this one are committed
    size_t done_ = 0;       // files taken by the commit
    OpenFiles open_;
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
