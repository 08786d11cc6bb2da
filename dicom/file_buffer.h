// The whole current file in one block, followed by spare room that reads as zeros.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vs {

// The block is anonymous mapped memory: untouched pages are zero pages that cost nothing, so
// the 20,000,000 spare bytes behind a file are free until something reads them. A block that
// is large enough is reused for the next file; only the bytes the previous file wrote beyond
// the new file's end are cleared again. A fresh block has the pages the file will fill made
// ready at once (see file_buffer.cpp for why in small pages).
class FileBuffer {
public:
    FileBuffer() = default;
    ~FileBuffer();
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;

    // Makes room for a file of fileLength bytes plus the spare room; false when no memory.
    // Whatever the block held before is gone afterwards (the file bytes are to be read anew).
    bool prepare(uint64_t fileLength);
    // Makes room for a file of at most mostLength bytes, whose length is not known yet (an
    // inflated data set): address space only, whose pages cost nothing until written. fit
    // then gives back what the file did not take. False when no room.
    bool reserve(uint64_t mostLength);
    void fit(uint64_t fileLength);
    // Marks the first n bytes as holding file data (so the next prepare clears them).
    void noteWritten(uint64_t n);
    void release();
    // Exchanges the blocks; both count as new.
    void swap(FileBuffer& other);

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    // Bytes that may be read: the file plus its spare room.
    uint64_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }
    // Changes with every prepare and release, so that what was decoded from the old bytes is
    // known to be stale; never 0.
    uint64_t generation() const { return generation_; }

private:
    uint8_t* data_ = nullptr;
    uint64_t size_ = 0;      // file length + spare room of the current file
    uint64_t capacity_ = 0;  // bytes mapped
    uint64_t dirty_ = 0;     // bytes from the start that may be non-zero
    uint64_t generation_ = 1;
};

}  // namespace vs
