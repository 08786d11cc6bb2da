// RLE frames, DICOM PS3.5 Annex G.
//
// A frame starts with a header of sixteen little-endian 32-bit words: the segment count, then
// the offset of each segment counted from the header's first byte. Each segment is a PackBits
// stream: a control byte n of 0..127 copies the next n + 1 bytes, 129..255 repeats the next
// byte 257 - n times, 128 does nothing. For samples of more than one byte, segment 1 carries
// the most significant byte of every sample and segment 2 the least significant (G.2).
//
// Segments are read straight from the buffer and never bounded by the fragment's length, so a
// damaged segment can run on; every byte past the end of the buffer reads as zero, like the
// buffer's spare room, and the output is always cut at the end of the frame.
#include <algorithm>
#include <cstring>

#include "dicom/frame_source.h"

namespace vs {
namespace {

inline constexpr uint32_t rleHeaderBytes = 64;

// Reads the bytes of the buffer from a position on; zeros beyond its end.
class SegmentReader {
public:
    SegmentReader(const FileBuffer& file, uint64_t start)
        : data_(file.data()), size_(file.data() ? file.size() : 0), pos_(start) {}

    uint8_t next() { return pos_ < size_ ? data_[pos_++] : (++pos_, 0); }

    // Copies n bytes into out; zeros for those beyond the buffer.
    void take(uint8_t* out, uint32_t n) {
        const uint64_t inside = pos_ < size_ ? std::min<uint64_t>(n, size_ - pos_) : 0;
        if (inside) std::memcpy(out, data_ + pos_, size_t(inside));
        if (inside < n) std::memset(out + inside, 0, size_t(n - inside));
        pos_ += n;
    }

    // The next n bytes (a literal run, at most 128), read in place when they lie inside the
    // buffer, else copied into scratch with zeros for the missing ones.
    const uint8_t* literal(uint32_t n, uint8_t (&scratch)[128]) {
        if (pos_ < size_ && n <= size_ - pos_) {
            const uint8_t* bytes = data_ + pos_;
            pos_ += n;
            return bytes;
        }
        take(scratch, n);
        return scratch;
    }

private:
    const uint8_t* data_;
    uint64_t size_;
    uint64_t pos_;
};

uint32_t readLe32(const FileBuffer& file, uint64_t pos) {
    uint8_t b[4];
    SegmentReader(file, pos).take(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// Carries out one segment's runs into plane until count bytes were produced.
void decodeSegment(SegmentReader& in, uint8_t* plane, uint32_t count) {
    uint32_t produced = 0;
    uint8_t scratch[128];
    while (produced < count) {
        const uint8_t n = in.next();
        if (n < 128) {
            const uint32_t run = n + 1u;
            const uint8_t* bytes = in.literal(run, scratch);
            const uint32_t m = std::min(run, count - produced);
            std::memcpy(plane + produced, bytes, m);
            produced += m;
        } else if (n > 128) {
            const uint32_t m = std::min(257u - n, count - produced);
            std::memset(plane + produced, in.next(), m);
            produced += m;
        }
    }
}

// Little-endian words from a plane of high bytes and one of low bytes.
void interleavePlanes(const uint8_t* __restrict high, const uint8_t* __restrict low, uint8_t* __restrict words,
                      uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        words[2 * size_t(i)] = low[i];
        words[2 * size_t(i) + 1] = high[i];
    }
}

inline uint16_t load16(const uint8_t* at) {
    uint16_t word;
    std::memcpy(&word, at, 2);  // little-endian machine
    return word;
}

class RleSource : public FrameSource {
public:
    explicit RleSource(const DicomImage& dicom) : dicom_(dicom) {}

    std::string unreadableReason(uint32_t) override {
        return dicom_.image.bitsAllocated < 8 ? "RLE frames below 8 bits are not drawn" : "";
    }

    SampleRange sampleRange(uint32_t frame) override {
        const ImageState& image = dicom_.image;
        // An 8-bit picture's range is taken as the full byte range until it is drawn.
        if (image.bitsAllocated == 8) return {0, 255};
        if (image.bitsAllocated < 8) return nominalRange(image);
        const uint8_t* words = decoded16(frame);
        if (words == nullptr) return nominalRange(image);
        return rangeOfWords(words, 0, image.pixelsPerFrame, bands());
    }

    const uint8_t* storedWords(uint32_t frame, std::vector<uint8_t>& scratch) override {
        const ImageState& image = dicom_.image;
        if (image.bitsAllocated <= 8) return nullptr;
        if (const uint8_t* words = decoded16(frame)) return words;
        // A frame whose header names no usable segments gives zeros.
        scratch.assign(2 * size_t(image.pixelsPerFrame), 0);
        return scratch.data();
    }

    const uint8_t* decoded8(uint32_t frame) {
        if (holds(frame, 1)) return samples_.data();
        samples_.resize(dicom_.image.pixelsPerFrame);
        decodeRleFrame8(dicom_, frame, samples_.data());
        note(frame, 1);
        return samples_.data();
    }

    const uint8_t* decoded16(uint32_t frame) {
        if (holds(frame, 2)) return samples_.data();
        decodedFrame_.reset();
        const size_t bytes = 2 * size_t(dicom_.image.pixelsPerFrame);
        samples_.resize(bytes);
        planes_.resize(bytes);
        if (!decodeRleFrame16(dicom_, frame, samples_.data(), planes_.data())) return nullptr;
        note(frame, 2);
        return samples_.data();
    }

protected:
    // The frame decoded into samples_ and, for 8-bit frames, its table of 256 made.
    bool prepareWindowing(uint32_t frame, const WindowMapping& m) override {
        const ImageState& image = dicom_.image;
        mapping_ = m;
        if (image.bitsAllocated == 8) {
            decoded8(frame);
            byteTable_ = byteWindowTable(m);
            return true;
        }
        if (image.bitsAllocated < 8 || decoded16(frame) == nullptr) return false;
        table_ = &tables_.tableFor(image, m);
        return true;
    }

    WindowedFrame windowPrepared(uint32_t firstRow, uint32_t rowCount, uint8_t* dest, size_t stride) const override {
        if (dicom_.image.bitsAllocated == 8) return window8(firstRow, rowCount, dest, stride);
        return window16(firstRow, rowCount, dest, stride);
    }

    const ImageState& image() const override { return dicom_.image; }

private:
    // The 8-bit samples through a table of 256, and their range in place of the frame's.
    WindowedFrame window8(uint32_t firstRow, uint32_t rowCount, uint8_t* dest, size_t stride) const {
        const uint8_t* samples = samples_.data();
        const size_t columns = dicom_.image.columns;
        uint8_t low = 255;
        uint8_t high = 0;
        for (uint32_t y = 0; y < rowCount; ++y) {
            const uint8_t* __restrict in = samples + (size_t(firstRow) + y) * columns;
            uint8_t* __restrict out = dest + y * stride;
            for (size_t x = 0; x < columns; ++x) out[x] = byteTable_[in[x]];
            for (size_t x = 0; x < columns; ++x) {
                low = std::min(low, in[x]);
                high = std::max(high, in[x]);
            }
        }
        return {true, SampleRange{low, high}, false};
    }

    // The decoded words as an uncompressed frame holds them, and the range of these rows to
    // widen the frame's.
    WindowedFrame window16(uint32_t firstRow, uint32_t rowCount, uint8_t* dest, size_t stride) const {
        const ImageState& image = dicom_.image;
        const uint8_t* words = samples_.data();
        const size_t columns = image.columns;
        const std::vector<uint8_t>& table = *table_;
        for (uint32_t y = 0; y < rowCount; ++y) {
            const uint8_t* __restrict in = words + 2 * (size_t(firstRow) + y) * columns;
            uint8_t* __restrict out = dest + y * stride;
            if (image.pixelMask == 0xFFFF && image.bigEndian) {
                // Read as an uncompressed frame of the data set's byte order would be.
                for (size_t x = 0; x < columns; ++x) out[x] = table[__builtin_bswap16(load16(in + 2 * x))];
            } else if (image.pixelMask == 0xFFFF) {
                for (size_t x = 0; x < columns; ++x) out[x] = table[load16(in + 2 * x)];
            } else if (!table.empty()) {
                for (size_t x = 0; x < columns; ++x) out[x] = table[load16(in + 2 * x) & image.pixelMask];
            } else {
                for (size_t x = 0; x < columns; ++x)
                    out[x] = displayByte(mapping_, wordSampleValue(image, load16(in + 2 * x)));
            }
        }
        return {true, rangeOfWords(words, size_t(firstRow) * columns, uint32_t(rowCount * columns), nullptr), true};
    }

    SampleRange rangeOfWords(const uint8_t* words, size_t first, uint32_t count, BandPool* pool) const {
        return rangeInBands(count, pool, leastBandSamples(), [&](uint32_t from, uint32_t n, SampleRange& range) {
            widenByWords(dicom_.image, words + 2 * (first + from), n, range.low, range.high);
        });
    }

    // Whether the kept samples are this frame's at bytesPerSample bytes each.
    bool holds(uint32_t frame, uint32_t bytesPerSample) const {
        return decodedFrame_ == frame && generation_ == dicom_.bytes.generation() &&
               pixels_ == dicom_.image.pixelsPerFrame && bytesPerSample_ == bytesPerSample;
    }
    void note(uint32_t frame, uint32_t bytesPerSample) {
        decodedFrame_ = frame;
        generation_ = dicom_.bytes.generation();
        pixels_ = dicom_.image.pixelsPerFrame;
        bytesPerSample_ = bytesPerSample;
    }

    const DicomImage& dicom_;
    WindowTableCache tables_;
    // What prepareWindowing left for the bands.
    WindowMapping mapping_;
    std::array<uint8_t, 256> byteTable_{};
    const std::vector<uint8_t>* table_ = nullptr;
    std::vector<uint8_t> samples_;  // one byte per sample for 8-bit images, else 16-bit words
    std::vector<uint8_t> planes_;   // 16-bit: the segments' bytes while decoding, high then low
    std::optional<uint32_t> decodedFrame_;
    uint64_t generation_ = 0;
    uint32_t pixels_ = 0;
    uint32_t bytesPerSample_ = 0;
};

}  // namespace

void decodeRleFrame8(const DicomImage& dicom, uint32_t frame, uint8_t* dest) {
    // The header is not read: an 8-bit frame has one segment, right behind it.
    SegmentReader in(dicom.bytes, uint64_t(dicom.frameStart(frame)) + rleHeaderBytes);
    decodeSegment(in, dest, dicom.image.pixelsPerFrame);
}

bool decodeRleFrame16(const DicomImage& dicom, uint32_t frame, uint8_t* dest, uint8_t* planes) {
    const uint64_t start = dicom.frameStart(frame);
    const uint32_t segments = readLe32(dicom.bytes, start);
    if (segments == 0 || segments > 2) return false;
    const uint32_t samples = dicom.image.pixelsPerFrame;
    uint8_t* high = planes;
    uint8_t* low = planes + samples;
    // Segment 1 holds the high bytes of the samples, segment 2 the low ones; without a second
    // segment the low bytes are zero.
    for (uint32_t k = 1; k <= segments; ++k) {
        SegmentReader in(dicom.bytes, start + readLe32(dicom.bytes, start + 4 * k));
        decodeSegment(in, k == 1 ? high : low, samples);
    }
    if (segments == 1) std::memset(low, 0, samples);
    interleavePlanes(high, low, dest, samples);
    return true;
}

std::unique_ptr<FrameSource> rleSource(const DicomImage& dicom) { return std::make_unique<RleSource>(dicom); }

}  // namespace vs
