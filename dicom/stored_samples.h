// Samples as an uncompressed frame holds them, read by the one rule of sampleValue: the frames
// of an uncompressed file where they lie in its buffer, and the frames the sample decoders
// decode, laid out the same way in a buffer of their own. Used by the frame sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dicom/frame_source.h"
#include "dicom/image_state.h"
#include "dicom/windowing.h"

namespace vs {

// Where samples lie, and how many bytes may be read from there.
struct SampleBytes {
    const uint8_t* base = nullptr;
    uint64_t readable = 0;  // bytes from base to the end of the block

    // Four little-endian bytes at offset; bytes beyond the block read as zero.
    uint32_t read32(uint64_t offset) const {
        if (offset + 4 <= readable) {
            return uint32_t(base[offset]) | uint32_t(base[offset + 1]) << 8 | uint32_t(base[offset + 2]) << 16 |
                   uint32_t(base[offset + 3]) << 24;
        }
        uint32_t w = 0;
        for (uint64_t k = 0; k < 4; ++k)
            if (offset + k < readable) w |= uint32_t(base[offset + k]) << (8 * k);
        return w;
    }
};

// The frame starting at sample first of src, whose samples are image's (depth, byte order,
// mask and sign).
class StoredSamples {
public:
    StoredSamples(const ImageState& image, SampleBytes src, uint32_t first) : image_(image), src_(src), first_(first) {}

    // The range of the frame's samples, read in bands of at least leastBandSamples on pool
    // when there is one.
    SampleRange range(BandPool* pool = nullptr, uint32_t leastBandSamples = 0) const;
    // Rows firstRow .. firstRow + rowCount - 1 (cut at the last row) through table (the image's
    // window table, empty for depths mapped one by one) or the mapping m.
    WindowedFrame window(const std::vector<uint8_t>& table, const WindowMapping& m, uint32_t firstRow,
                         uint32_t rowCount, uint8_t* dest, size_t stride) const;
    // The samples as packed little-endian 16-bit words: in place, or written into scratch.
    const uint8_t* words(std::vector<uint8_t>& scratch) const;
    // The value of sample number s counted from the block's start (not the frame's).
    int32_t value(uint32_t s) const;

private:
    void widen(uint32_t first, uint32_t count, SampleRange& range) const;
    uint32_t storedWord(uint32_t s) const;
    bool inside() const;

    const ImageState& image_;
    SampleBytes src_;
    uint32_t first_;
};

}  // namespace vs
