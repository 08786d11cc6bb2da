// Uncompressed frames: samples of 8, 12, 16 (or more) bits read where they lie in the buffer.
#include <algorithm>
#include <cstring>

#include "dicom/stored_samples.h"

namespace vs {
namespace {

SampleBytes sampleBytes(const DicomImage& dicom) {
    SampleBytes src;
    const uint64_t offset = dicom.image.pixelDataOffset;
    if (dicom.bytes.data() == nullptr || offset >= dicom.bytes.size()) return src;
    src.base = dicom.bytes.data() + offset;
    src.readable = dicom.bytes.size() - offset;
    return src;
}

inline uint16_t load16(const uint8_t* at) {
    uint16_t word;
    std::memcpy(&word, at, 2);  // little-endian machine
    return word;
}

void mapRows8(size_t columns, uint32_t rows, const uint8_t* samples, const uint8_t* __restrict table,
              uint8_t* __restrict dest, size_t stride) {
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* __restrict in = samples + size_t(y) * columns;
        uint8_t* __restrict out = dest + size_t(y) * stride;
        for (size_t x = 0; x < columns; ++x) out[x] = table[in[x]];
    }
}

void mapRows16(size_t columns, bool swap, uint32_t rows, const uint8_t* samples, const uint8_t* __restrict table,
               uint8_t* __restrict dest, size_t stride) {
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* __restrict in = samples + 2 * size_t(y) * columns;
        uint8_t* __restrict out = dest + size_t(y) * stride;
        if (swap) {
            for (size_t x = 0; x < columns; ++x) out[x] = table[__builtin_bswap16(load16(in + 2 * x))];
        } else {
            for (size_t x = 0; x < columns; ++x) out[x] = table[load16(in + 2 * x)];
        }
    }
}

class UncompressedSource : public FrameSource {
public:
    explicit UncompressedSource(const DicomImage& dicom) : dicom_(dicom) {}

    std::string unreadableReason(uint32_t) override { return ""; }

    SampleRange sampleRange(uint32_t frame) override { return samples(frame).range(bands(), leastBandSamples()); }

    const uint8_t* storedWords(uint32_t frame, std::vector<uint8_t>& scratch) override {
        return samples(frame).words(scratch);
    }

protected:
    bool prepareWindowing(uint32_t frame, const WindowMapping& m) override {
        frame_ = frame;
        mapping_ = m;
        table_ = &tables_.tableFor(dicom_.image, m);
        return true;
    }

    WindowedFrame windowPrepared(uint32_t firstRow, uint32_t rowCount, uint8_t* dest, size_t stride) const override {
        return samples(frame_).window(*table_, mapping_, firstRow, rowCount, dest, stride);
    }

    const ImageState& image() const override { return dicom_.image; }

private:
    StoredSamples samples(uint32_t frame) const {
        return StoredSamples(dicom_.image, sampleBytes(dicom_), dicom_.frameStart(frame));
    }

    const DicomImage& dicom_;
    WindowTableCache tables_;
    // What prepareWindowing left for the bands.
    uint32_t frame_ = 0;
    WindowMapping mapping_;
    const std::vector<uint8_t>* table_ = nullptr;
};

}  // namespace

// The masked stored word of sample s before its sign is applied.
uint32_t StoredSamples::storedWord(uint32_t s) const {
    const uint32_t bits = image_.bitsAllocated;
    const uint64_t offset = (uint64_t(bits) * s) / 8;
    if (bits == 16 && image_.bigEndian) {
        // Explicit VR big endian keeps each 16-bit sample high byte first (PS3.5 7.3).
        const uint32_t w = src_.read32(offset);
        return ((w & 0xFF) << 8 | (w >> 8 & 0xFF)) & image_.pixelMask;
    }
    uint32_t w = src_.read32(offset);
    if ((bits & 4) && (s & 1)) w >>= 4;  // 4 and 12 bits: two samples share a byte
    return w & image_.pixelMask;
}

// Whether every byte the frame's samples need lies inside the block.
bool StoredSamples::inside() const {
    if (src_.base == nullptr) return false;
    const uint64_t end = uint64_t(first_) + image_.pixelsPerFrame;
    const uint64_t lastByte = (uint64_t(image_.bitsAllocated) * end + 7) / 8 + 4;
    return lastByte <= src_.readable;
}

int32_t StoredSamples::value(uint32_t s) const { return signedValue(image_, storedWord(s)); }

SampleRange StoredSamples::range(BandPool* pool, uint32_t leastBandSamples) const {
    return rangeInBands(image_.pixelsPerFrame, pool, leastBandSamples,
                        [this](uint32_t first, uint32_t count, SampleRange& range) { widen(first, count, range); });
}

// Widens range by the frame's samples first .. first + count - 1.
void StoredSamples::widen(uint32_t first, uint32_t count, SampleRange& range) const {
    const ImageState& image = image_;
    const uint64_t bytesNeeded = (uint64_t(image.bitsAllocated) * (uint64_t(first_) + image.pixelsPerFrame) + 7) / 8;
    const bool readable = src_.base != nullptr && bytesNeeded <= src_.readable;
    const size_t start = size_t(first_) + first;
    if (readable && image.bitsAllocated == 8) {
        bool seen[256] = {};
        const uint8_t* s = src_.base + start;
        for (uint32_t i = 0; i < count; ++i) seen[s[i]] = true;
        for (uint32_t value = 0; value < 256; ++value) {
            if (!seen[value]) continue;
            const int32_t sample = int32_t(value & image.pixelMask);
            range.low = std::min(range.low, sample);
            range.high = std::max(range.high, sample);
        }
    } else if (readable && image.bitsAllocated == 16 && !image.bigEndian) {
        widenByWords(image, src_.base + 2 * start, count, range.low, range.high);
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            const int32_t sample = value(uint32_t(start) + i);
            range.low = std::min(range.low, sample);
            range.high = std::max(range.high, sample);
        }
    }
}

WindowedFrame StoredSamples::window(const std::vector<uint8_t>& table, const WindowMapping& m, uint32_t firstRow,
                                    uint32_t rowCount, uint8_t* dest, size_t stride) const {
    const ImageState& image = image_;
    const uint32_t bits = image.bitsAllocated;
    rowCount = std::min(rowCount, firstRow < image.rows ? image.rows - firstRow : 0u);
    const size_t skipped = size_t(firstRow) * image.columns;

    if (inside() && !table.empty()) {
        if (bits == 8) {
            mapRows8(image.columns, rowCount, src_.base + first_ + skipped, table.data(), dest, stride);
            return {true, {}, false};
        }
        if (bits == 16) {
            mapRows16(image.columns, image.bigEndian != 0, rowCount, src_.base + 2 * (size_t(first_) + skipped),
                      table.data(), dest, stride);
            return {true, {}, false};
        }
    }
    uint32_t s = first_ + uint32_t(skipped);
    for (uint32_t y = 0; y < rowCount; ++y) {
        uint8_t* out = dest + y * stride;
        for (uint32_t x = 0; x < image.columns; ++x, ++s) {
            const uint32_t word = storedWord(s);
            out[x] = table.empty() ? displayByte(m, signedValue(image, word)) : table[word];
        }
    }
    return {true, {}, false};
}

const uint8_t* StoredSamples::words(std::vector<uint8_t>& scratch) const {
    const ImageState& image = image_;
    // 16-bit little-endian samples are the words already.
    if (inside() && image.bitsAllocated == 16 && !image.bigEndian) return src_.base + 2 * size_t(first_);
    const uint32_t count = image.pixelsPerFrame;
    scratch.resize(2 * size_t(count));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t word = uint32_t(value(first_ + i));
        scratch[2 * size_t(i)] = uint8_t(word);
        scratch[2 * size_t(i) + 1] = uint8_t(word >> 8);
    }
    return scratch.data();
}

std::unique_ptr<FrameSource> uncompressedSource(const DicomImage& dicom) {
    return std::make_unique<UncompressedSource>(dicom);
}

int32_t sampleValue(const DicomImage& dicom, uint32_t s) {
    return StoredSamples(dicom.image, sampleBytes(dicom), 0).value(s);
}

SampleRange nominalRange(const ImageState& image) {
    if (image.signBit) return {-int32_t(image.signBit), int32_t(image.signBit) - 1};
    return {0, int32_t(image.pixelMask)};
}

}  // namespace vs
