// Pieces the fuzz harnesses share: an in-memory file the loader can open by name, a stream
// that only counts what a writer gives it, and a host that keeps the Patient line.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/host.h"
#include "core/viewer.h"
#include "core/write_frame.h"

namespace vs::fuzzing {

// Stops the run with a message; libFuzzer saves the input that got here.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// A file that lives in memory (memfd) and is opened by its /proc path, so the loader reads it
// through fopen and fread exactly as it reads a file on disk.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("vireoscan-fuzz", 0)) {
        if (fd_ < 0) fail("memfd_create");
        folder_ = "/proc/self/fd/";
        name_ = std::to_string(fd_);
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    void assign(const uint8_t* data, size_t size) {
        if (ftruncate(fd_, 0) != 0) fail("ftruncate");
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(fd_, data + done, size - done, off_t(done));
            if (n <= 0) fail("pwrite");
            done += size_t(n);
        }
    }
    const std::string& folder() const { return folder_; }
    const std::string& name() const { return name_; }

private:
    int fd_;
    std::string folder_;
    std::string name_;
};

// A write-only stream that counts the bytes written and folds them into a checksum, so every
// byte a writer hands over is read (and checked by the sanitizers) without being kept.
class CountingStream {
public:
    CountingStream() {
        cookie_io_functions_t io{};
        io.write = &CountingStream::write;
        file_ = fopencookie(this, "wb", io);
        if (file_ == nullptr) fail("fopencookie");
    }
    ~CountingStream() { std::fclose(file_); }
    CountingStream(const CountingStream&) = delete;
    CountingStream& operator=(const CountingStream&) = delete;

    std::FILE* get() const { return file_; }
    uint64_t bytes() const { return bytes_; }
    uint32_t checksum() const { return checksum_; }

private:
    static ssize_t write(void* cookie, const char* data, size_t size) {
        auto* self = static_cast<CountingStream*>(cookie);
        for (size_t i = 0; i < size; ++i) self->checksum_ = self->checksum_ * 31 + uint8_t(data[i]);
        self->bytes_ += size;
        return ssize_t(size);
    }

    std::FILE* file_ = nullptr;
    uint64_t bytes_ = 0;
    uint32_t checksum_ = 0;
};

// Keeps the Patient line (where every load status shows) and nothing else.
class PatientLineHost : public NullHost {
public:
    std::string patientLine;
    void showLoadStatus(std::string_view status) override {
        if (!status.empty()) patientLine.assign(status);
    }
    void showDescription(const ImageDescription& d) override { patientLine = d.patient; }
};

// The bytes writeImageFile produces for the current frame, by format, when it succeeds.
inline uint64_t expectedOutputBytes(const ImageState& image, uint16_t format) {
    const uint64_t pixels = uint64_t(image.rows) * image.columns;
    switch (format) {
        case formatTiff8: return 140 + pixels;
        case formatTiff16: return 140 + 2 * pixels;
        case formatBmp: return 1078 + uint64_t((image.columns + 3u) & ~3u) * image.rows;
        default: return 2 * pixels;
    }
}

// Writes the current frame in format to a counting stream and checks the length.
inline void writeAndCheck(Viewer& v, uint16_t format) {
    CountingStream out;
    v.outputFormat = format;
    if (writeImageFile(v, out.get()) == 0) return;
    if (out.bytes() != expectedOutputBytes(v.dicom.image, format)) fail("written length differs from the header's");
}

// Gives the display buffer back, so that every later write beyond what a rendering asked
// for (ensureDisplayCapacity) lands outside the heap block and is reported.
inline void shrinkDisplay(Viewer& v) {
    v.display.clear();
    v.display.shrink_to_fit();
}

}  // namespace vs::fuzzing
