// RLE decoding, DICOM PS3.5 Annex G.
//
// A frame starts with a header of sixteen little-endian 32-bit words: the segment count, then
// the offset of each segment counted from the header's first byte. Each segment is a PackBits
// stream: a control byte n of 0..127 copies the next n + 1 bytes, 129..255 repeats the next
// byte 257 - n times, 128 does nothing. For samples of more than one byte, segment 1 carries
// the most significant byte of every sample and segment 2 the least significant (G.2).
//
// Segments are read straight from the file buffer and never bounded by the fragment's length,
// so a damaged segment can run on; every byte past the end of the buffer reads as zero, like
// the buffer's spare room, and the output is always cut at the end of the frame.
#include "core/rle.h"

#include <algorithm>
#include <cstring>

#include "core/render.h"

namespace vs {
namespace {

inline constexpr uint32_t rleHeaderBytes = 64;

// Reads the bytes of the file buffer from a position on; zeros beyond its end.
class SegmentReader {
public:
    SegmentReader(const FileBuffer& file, uint64_t start)
        : data_(file.data()), size_(file.data() ? file.size() : 0), pos_(start) {}

    uint8_t next() { return pos_ < size_ ? data_[pos_++] : (++pos_, 0); }

    // Copies up to n bytes into out; zeros for those beyond the buffer.
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

uint64_t frameStart(const Viewer& v) {
    const uint32_t f = v.currentFrame;
    return f < v.dicom.frameOffsets.size() ? v.dicom.frameOffsets[f] : 0;
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

// Whether frame holds the current frame's samples at bytesPerSample bytes each.
bool holdsCurrentFrame(const Viewer& v, const DecodedFrame& frame, uint32_t bytesPerSample) {
    return frame.fileGeneration == v.dicom.bytes.generation() && frame.frameStart == frameStart(v) &&
           frame.pixels == v.dicom.image.pixelsPerFrame && frame.bytesPerSample == bytesPerSample;
}

void noteCurrentFrame(const Viewer& v, DecodedFrame& frame, uint32_t bytesPerSample) {
    frame.fileGeneration = v.dicom.bytes.generation();
    frame.frameStart = frameStart(v);
    frame.pixels = v.dicom.image.pixelsPerFrame;
    frame.bytesPerSample = bytesPerSample;
}

}  // namespace

const uint8_t* decodedRleFrame8(Viewer& v) {
    DecodedFrame& frame = v.rleFrame;
    if (holdsCurrentFrame(v, frame, 1)) return frame.samples.data();
    frame.samples.resize(v.dicom.image.pixelsPerFrame);
    // The header is not read: an 8-bit frame has one segment, right behind it.
    SegmentReader in(v.dicom.bytes, frameStart(v) + rleHeaderBytes);
    decodeSegment(in, frame.samples.data(), v.dicom.image.pixelsPerFrame);
    noteCurrentFrame(v, frame, 1);
    return frame.samples.data();
}

void decodeRleFrame8(Viewer& v) {
    WindowState& w = v.window;
    w.outputXorMask = v.dicom.image.invertMask ^ w.negativeMask;
    const uint8_t* samples = decodedRleFrame8(v);

    uint8_t lut[256];
    for (int value = 0; value < 256; ++value)
        lut[value] = uint8_t(mapThroughWindow(w, value) ^ w.outputXorMask);
    const uint32_t rows = v.dicom.image.rows;
    const size_t columns = v.dicom.image.columns;
    const size_t stride = w.displayStride;
    ensureDisplayCapacity(v, rows * stride);
    uint8_t low = 255;
    uint8_t high = 0;
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* __restrict in = samples + y * columns;
        uint8_t* __restrict out = v.display.data() + y * stride;
        for (size_t x = 0; x < columns; ++x) out[x] = lut[in[x]];
        for (size_t x = 0; x < columns; ++x) {
            low = std::min(low, in[x]);
            high = std::max(high, in[x]);
        }
    }
    w.dataMin = low;
    w.dataMax = high;
}

uint32_t decodeRleFrame16Into(const Viewer& v, uint8_t* dest, uint8_t* planes) {
    const uint64_t start = frameStart(v);
    const uint32_t segments = readLe32(v.dicom.bytes, start);
    if (segments == 0 || segments > 2) return 0;
    const uint32_t samples = v.dicom.image.pixelsPerFrame;
    uint8_t* high = planes;
    uint8_t* low = planes + samples;
    // Segment 1 holds the high bytes of the samples, segment 2 the low ones; without a second
    // segment the low bytes are zero.
    for (uint32_t k = 1; k <= segments; ++k) {
        SegmentReader in(v.dicom.bytes, start + readLe32(v.dicom.bytes, start + 4 * k));
        decodeSegment(in, k == 1 ? high : low, samples);
    }
    if (segments == 1) std::memset(low, 0, samples);
    interleavePlanes(high, low, dest, samples);
    return 1;
}

const uint8_t* decodedRleFrame16(Viewer& v) {
    DecodedFrame& frame = v.rleFrame;
    if (holdsCurrentFrame(v, frame, 2)) return frame.samples.data();
    frame.fileGeneration = 0;
    frame.samples.resize(2 * size_t(v.dicom.image.pixelsPerFrame));
    frame.planes.resize(2 * size_t(v.dicom.image.pixelsPerFrame));
    if (!decodeRleFrame16Into(v, frame.samples.data(), frame.planes.data())) return nullptr;
    noteCurrentFrame(v, frame, 2);
    return frame.samples.data();
}

}  // namespace vs
