#include "dicom/file_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "dicom/image_state.h"

namespace vs {

namespace {

// Fresh memory costs a page fault at every first touch. Faulting in the pages that the file
// will fill with one call costs about two thirds of taking them one by one as the reading
// reaches them; beyond this many bytes the reading (with its progress and its Escape) starts
// at once instead.
constexpr uint64_t populatedBytes = uint64_t(64) << 20;

// No large pages are asked for: a large page needs 2 MiB of free memory in one piece, and
// getting one may stall. With transparent huge pages on "madvise" the kernel compacts memory
// for it on the spot, and under a hypervisor that takes back free memory in such pieces (free
// page reporting) every large page is memory the host has to supply anew: a 4096 x 4096 image
// then took 50-70 ms to read instead of 5. Small pages come from memory already in use and
// cost the same every time. Only a hint: where the kernel lacks it, the pages come one by one.
void populate(void* block, uint64_t bytes) {
#ifdef MADV_POPULATE_WRITE
    if (bytes) madvise(block, bytes, MADV_POPULATE_WRITE);
#else
    (void)block;
    (void)bytes;
#endif
}

}  // namespace

FileBuffer::~FileBuffer() { release(); }

void FileBuffer::release() {
    ++generation_;
    if (data_) munmap(data_, capacity_);
    data_ = nullptr;
    size_ = capacity_ = dirty_ = 0;
}

bool FileBuffer::prepare(uint64_t fileLength) {
    ++generation_;
    const uint64_t needed = fileLength + spareRoomBytes;
    // Reuse the block unless it is far larger than needed (after one huge file, say).
    const bool muchTooLarge = capacity_ > 2 * needed + (uint64_t(64) << 20);
    if (data_ && needed <= capacity_ && !muchTooLarge) {
        // Old file bytes between the new end and the old end must read as zeros again.
        if (dirty_ > fileLength) std::memset(data_ + fileLength, 0, dirty_ - fileLength);
        dirty_ = 0;
        size_ = needed;
        return true;
    }
    release();
    void* block = mmap(nullptr, needed, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return false;
    populate(block, std::min(fileLength, populatedBytes));
    data_ = static_cast<uint8_t*>(block);
    size_ = capacity_ = needed;
    dirty_ = 0;
    return true;
}

bool FileBuffer::reserve(uint64_t mostLength) {
    release();
    ++generation_;
    const uint64_t needed = mostLength + spareRoomBytes;
    void* block = mmap(nullptr, needed, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (block == MAP_FAILED) return false;
    data_ = static_cast<uint8_t*>(block);
    size_ = capacity_ = needed;
    dirty_ = 0;
    return true;
}

void FileBuffer::fit(uint64_t fileLength) {
    const uint64_t page = uint64_t(sysconf(_SC_PAGESIZE));
    const uint64_t needed = fileLength + spareRoomBytes;
    const uint64_t kept = (needed + page - 1) / page * page;
    if (!data_ || kept >= capacity_) return;
    munmap(data_ + kept, capacity_ - kept);
    size_ = needed;
    capacity_ = kept;
}

void FileBuffer::swap(FileBuffer& other) {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    std::swap(dirty_, other.dirty_);
    ++generation_;
    ++other.generation_;
}

void FileBuffer::noteWritten(uint64_t n) {
    if (n > dirty_) dirty_ = n;
}

}  // namespace vs
