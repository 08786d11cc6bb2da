#include "dicom/file_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <utility>

#include <cstring>

#include "dicom/image_state.h"

namespace vs {

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
    // Large pages make reading a big file into fresh memory about three times faster; the
    // spare room stays untouched (and zero) all the same. Only a hint: failure changes nothing.
#ifdef MADV_HUGEPAGE
    madvise(block, needed, MADV_HUGEPAGE);
#endif
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
