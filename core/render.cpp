// Windowing stored samples into the 8-bit display picture.
//
// The mapping is one integer rule per sample value. For depths up to 16 bits every rendering
// builds a table over all stored words (at most 65,536 entries, of which only those inside the
// window cost a division) and the frame loops are then one table look-up per sample; deeper
// samples are mapped one by one. Either way the bytes are those of mapThroughWindow.
#include "core/render.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "core/jpeg_frame.h"
#include "core/rle.h"

namespace vs {
namespace {

// Depths whose masked stored words index a window table.
inline constexpr uint32_t largestTableMask = 0xFFFF;

// Where the current frame's samples lie, and how many bytes may be read from there.
struct SampleSource {
    const uint8_t* base = nullptr;  // image.pixelData
    uint64_t readable = 0;          // bytes from base to the end of the file buffer

    // Four little-endian bytes at offset; bytes beyond the buffer read as zero.
    uint32_t read32(uint64_t offset) const {
        if (offset + 4 <= readable) {
            return uint32_t(base[offset]) | uint32_t(base[offset + 1]) << 8 |
                   uint32_t(base[offset + 2]) << 16 | uint32_t(base[offset + 3]) << 24;
        }
        uint32_t w = 0;
        for (uint64_t k = 0; k < 4; ++k)
            if (offset + k < readable) w |= uint32_t(base[offset + k]) << (8 * k);
        return w;
    }
};

SampleSource sampleSource(const Viewer& v) {
    SampleSource src;
    const uint8_t* begin = v.dicom.bytes.data();
    const uint8_t* p = v.dicom.image.pixelData;
    if (begin == nullptr || p == nullptr || p < begin) return src;
    const uint64_t offset = uint64_t(p - begin);
    if (offset >= v.dicom.bytes.size()) return src;
    src.base = p;
    src.readable = v.dicom.bytes.size() - offset;
    return src;
}

// The masked stored word of sample s before its sign is applied (steps 1-3 of the rule).
inline uint32_t storedWord(const ImageState& image, const SampleSource& src, uint32_t s) {
    const uint32_t bits = image.bitsAllocated;
    const uint64_t offset = (uint64_t(bits) * s) / 8;
    if (bits == 16 && image.bigEndian) {
        // Explicit VR big endian keeps each 16-bit sample high byte first (PS3.5 7.3).
        const uint32_t w = src.read32(offset);
        return ((w & 0xFF) << 8 | (w >> 8 & 0xFF)) & image.pixelMask;
    }
    uint32_t w = src.read32(offset);
    if ((bits & 4) && (s & 1)) w >>= 4;  // 4 and 12 bits: two samples share a byte
    return w & image.pixelMask;
}

inline int32_t signedValue(const ImageState& image, uint32_t word) {
    return (word & image.signBit) ? int32_t(word) - int32_t(image.pixelMask + 1) : int32_t(word);
}

inline uint8_t displayByte(const WindowState& w, int32_t value) {
    return uint8_t(mapThroughWindow(w, value) ^ w.outputXorMask);
}

// Fills count table entries whose values rise one by one from firstValue: those below the
// window in one fill, those above it in another, and only the ones in between one by one.
void fillWindowRun(const WindowState& w, uint8_t* entries, uint32_t count, int32_t firstValue) {
    const auto clampToRun = [count](int64_t i) { return uint32_t(std::clamp<int64_t>(i, 0, count)); };
    // Values below windowLow map to 0; of the rest, those above windowHigh map to 255.
    const uint32_t belowEnd = clampToRun(int64_t(w.windowLow) - firstValue);
    const uint32_t aboveStart = std::max(belowEnd, clampToRun(int64_t(w.windowHigh) - firstValue + 1));
    std::memset(entries, uint8_t(0 ^ w.outputXorMask), belowEnd);
    for (uint32_t i = belowEnd; i < aboveStart; ++i) entries[i] = displayByte(w, int32_t(int64_t(firstValue) + i));
    std::memset(entries + aboveStart, uint8_t(255 ^ w.outputXorMask), count - aboveStart);
}

// Window table over every masked stored word 0..mask. Only words inside the window divide.
// Unsigned words are their values; with a sign bit, the words from it on are the negative
// values -signBit..-1, so the table is two rising runs.
std::vector<uint8_t> windowTable(const ImageState& image, const WindowState& w, uint32_t mask) {
    std::vector<uint8_t> table(size_t(mask) + 1);
    const uint32_t signBit = image.signBit & mask;
    if (signBit == 0) {
        fillWindowRun(w, table.data(), mask + 1, 0);
    } else if (uint64_t(mask) + 1 != 2 * uint64_t(signBit)) {
        // A sign bit below the mask's top bit: no two simple runs; every word one by one.
        for (uint32_t word = 0; word <= mask; ++word) table[word] = displayByte(w, signedValue(image, word));
    } else {
        fillWindowRun(w, table.data(), signBit, 0);
        fillWindowRun(w, table.data() + signBit, mask + 1 - signBit, signedValue(image, signBit));
    }
    return table;
}

// Whether every byte the frame's samples need lies inside the buffer.
bool frameInside(const ImageState& image, const SampleSource& src, uint32_t first) {
    if (src.base == nullptr) return false;
    const uint64_t end = uint64_t(first) + image.pixelsPerFrame;
    const uint64_t lastByte = (uint64_t(image.bitsAllocated) * end + 7) / 8 + 4;
    return lastByte <= src.readable;
}

uint32_t firstSampleOfFrame(const Viewer& v) {
    const uint32_t f = v.currentFrame;
    return f < v.dicom.frameOffsets.size() ? v.dicom.frameOffsets[f] : 0;
}

void mapRows8(const ImageState& image, uint32_t rows, const uint8_t* samples, const uint8_t* __restrict table,
              uint8_t* __restrict dest, size_t stride) {
    const size_t columns = image.columns;
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* __restrict in = samples + size_t(y) * columns;
        uint8_t* __restrict out = dest + size_t(y) * stride;
        for (size_t x = 0; x < columns; ++x) out[x] = table[in[x]];
    }
}

inline uint16_t load16(const uint8_t* at) {
    uint16_t word;
    std::memcpy(&word, at, 2);  // little-endian machine
    return word;
}

void mapRows16(const ImageState& image, uint32_t rows, const uint8_t* samples, const uint8_t* __restrict table,
               uint8_t* __restrict dest, size_t stride) {
    const bool swap = image.bigEndian != 0;
    const size_t columns = image.columns;
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

// The 16-bit RLE path: the decoded little-endian words are windowed into the 8-bit layout at
// dest and widen dataMin/dataMax.
void compactRle16(Viewer& v, const uint8_t* __restrict words, uint8_t* __restrict dest) {
    const ImageState& image = v.dicom.image;
    WindowState& w = v.window;
    const size_t columns = image.columns;
    const size_t stride = w.displayStride;
    if (image.pixelMask == 0xFFFF) {
        // Rows of words as an uncompressed 16-bit frame holds them.
        mapRows16(image, image.rows, words, windowTable(image, w, image.pixelMask).data(), dest, stride);
    } else if (image.pixelMask <= largestTableMask) {
        const std::vector<uint8_t> table = windowTable(image, w, image.pixelMask);
        for (uint32_t y = 0; y < image.rows; ++y) {
            const uint8_t* in = words + 2 * size_t(y) * columns;
            uint8_t* out = dest + size_t(y) * stride;
            for (size_t x = 0; x < columns; ++x) out[x] = table[load16(in + 2 * x) & image.pixelMask];
        }
    } else {
        for (uint32_t y = 0; y < image.rows; ++y) {
            const uint8_t* in = words + 2 * size_t(y) * columns;
            uint8_t* out = dest + size_t(y) * stride;
            for (size_t x = 0; x < columns; ++x) out[x] = displayByte(w, wordSampleValue(image, load16(in + 2 * x)));
        }
    }
    widenByWords(image, words, image.pixelsPerFrame, w.dataMin, w.dataMax);
}

void renderRle16(Viewer& v) {
    const uint8_t* words = decodedRleFrame16(v);
    if (words == nullptr) return;
    ensureDisplayCapacity(v, size_t(v.dicom.image.rows) * v.window.displayStride);
    compactRle16(v, words, v.display.data());
}

void renderUncompressed(Viewer& v) {
    ensureDisplayCapacity(v, size_t(v.dicom.image.rows) * v.window.displayStride);
    mapUncompressedFrame(v, v.display.data(), v.window.displayStride);
}

// The range of count little-endian 16-bit words, in blocks the compiler can vectorise.
template <typename Word>
void rangeOfWords(const uint8_t* bytes, uint32_t count, int32_t& low, int32_t& high) {
    static_assert(std::endian::native == std::endian::little, "words are copied as they lie in the file");
    constexpr uint32_t block = 4096;
    Word words[block];
    Word blockLow = std::numeric_limits<Word>::max();
    Word blockHigh = std::numeric_limits<Word>::min();
    for (uint32_t done = 0; done < count; done += block) {
        const uint32_t n = std::min(block, count - done);
        std::memcpy(words, bytes + 2 * size_t(done), 2 * size_t(n));
        for (uint32_t i = 0; i < n; ++i) {
            blockLow = std::min(blockLow, words[i]);
            blockHigh = std::max(blockHigh, words[i]);
        }
    }
    if (count == 0) return;
    low = std::min<int32_t>(low, blockLow);
    high = std::max<int32_t>(high, blockHigh);
}

}  // namespace

int32_t sampleValue(const Viewer& v, uint32_t s) {
    return signedValue(v.dicom.image, storedWord(v.dicom.image, sampleSource(v), s));
}

void widenByWords(const ImageState& image, const uint8_t* words, uint32_t count, int32_t& low, int32_t& high) {
    if (image.pixelMask == 0xFFFF && image.signBit) {
        rangeOfWords<int16_t>(words, count, low, high);
    } else if (image.pixelMask == 0xFFFF) {
        rangeOfWords<uint16_t>(words, count, low, high);
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            const int32_t value = wordSampleValue(image, load16(words + 2 * size_t(i)));
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
}

uint32_t mapThroughWindow(const WindowState& w, int32_t sample) {
    if (sample < w.windowLow) return 0;
    if (sample > w.windowHigh) return 255;
    // 255 * (v - low) in wrapping 32-bit arithmetic, divided unsigned by the span.
    const uint32_t scaled = 255u * uint32_t(sample) - 255u * uint32_t(w.windowLow);
    return scaled / w.windowSpan;
}

void prepareWindowForRendering(Viewer& v) {
    WindowState& w = v.window;
    w.outputXorMask = v.dicom.image.invertMask ^ w.negativeMask;
    w.displayStride = displayStrideFor(v.dicom.image.columns);
    w.windowSpan = uint32_t(w.windowHigh) - uint32_t(w.windowLow);
    if (w.windowSpan == 0) w.windowSpan = 1;
}

void ensureDisplayCapacity(Viewer& v, size_t bytes) {
    if (v.display.size() < bytes) v.display.resize(bytes);
}

void mapUncompressedFrame(const Viewer& v, uint8_t* dest, size_t stride) {
    mapUncompressedRows(v, windowTableOfFrame(v), 0, v.dicom.image.rows, dest, stride);
}

std::vector<uint8_t> windowTableOfFrame(const Viewer& v) {
    if (v.dicom.image.pixelMask > largestTableMask) return {};
    return windowTable(v.dicom.image, v.window, v.dicom.image.pixelMask);
}

void mapUncompressedRows(const Viewer& v, const std::vector<uint8_t>& table, uint32_t firstRow, uint32_t rowCount,
                         uint8_t* dest, size_t stride) {
    const ImageState& image = v.dicom.image;
    const WindowState& w = v.window;
    const SampleSource src = sampleSource(v);
    const uint32_t first = firstSampleOfFrame(v);
    const uint32_t bits = image.bitsAllocated;
    const bool useTable = !table.empty();
    rowCount = std::min(rowCount, firstRow < image.rows ? image.rows - firstRow : 0u);
    const size_t skipped = size_t(firstRow) * image.columns;

    if (frameInside(image, src, first)) {
        if (bits == 8) {
            mapRows8(image, rowCount, src.base + first + skipped, table.data(), dest, stride);
            return;
        }
        if (bits == 16) {
            mapRows16(image, rowCount, src.base + 2 * (size_t(first) + skipped), table.data(), dest, stride);
            return;
        }
    }
    uint32_t s = first + uint32_t(skipped);
    for (uint32_t y = 0; y < rowCount; ++y) {
        uint8_t* out = dest + y * stride;
        for (uint32_t x = 0; x < image.columns; ++x, ++s) {
            const uint32_t word = storedWord(image, src, s);
            out[x] = useTable ? table[word] : displayByte(w, signedValue(image, word));
        }
    }
}

const uint8_t* storedWordsInPlace(const Viewer& v) {
    const ImageState& image = v.dicom.image;
    const SampleSource src = sampleSource(v);
    const uint32_t first = firstSampleOfFrame(v);
    if (frameInside(image, src, first) && image.bitsAllocated == 16 && !image.bigEndian)
        return src.base + 2 * size_t(first);
    return nullptr;
}

void storedWordsOfFrame(const Viewer& v, uint8_t* dest) {
    const ImageState& image = v.dicom.image;
    const SampleSource src = sampleSource(v);
    const uint32_t first = firstSampleOfFrame(v);
    const uint32_t count = image.pixelsPerFrame;
    if (const uint8_t* words = storedWordsInPlace(v)) {
        std::memcpy(dest, words, 2 * size_t(count));
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t word = uint32_t(signedValue(image, storedWord(image, src, first + i)));
        dest[2 * size_t(i)] = uint8_t(word);
        dest[2 * size_t(i) + 1] = uint8_t(word >> 8);
    }
}

bool renderPictureFrame(Viewer& v) {
    const Picture* picture = v.currentPicture.get();
    if (picture == nullptr || !pictureOfCurrentFrame(v) || picture->width <= 0 || picture->height <= 0 ||
        (picture->bytesPerPixel != 1 && picture->bytesPerPixel != 3))
        return false;
    const size_t pixelBytes = size_t(picture->bytesPerPixel);
    if (picture->pixels.size() < size_t(picture->width) * size_t(picture->height) * pixelBytes) return false;
    WindowState& w = v.window;
    const uint32_t stride = w.displayStride;
    // Rows below the image's own never reach the screen or a file.
    const uint32_t rows = std::min<uint32_t>(uint32_t(picture->height), v.dicom.image.rows);
    ensureDisplayCapacity(v, size_t(rows) * stride);

    uint8_t table[256];
    for (int value = 0; value < 256; ++value) table[value] = displayByte(w, value);

    // The first byte of each pixel (blue, or the grey level) is the sample; the columns right
    // of the picture, up to the stride, are black and count as zero samples.
    const uint32_t width = std::min<uint32_t>(uint32_t(picture->width), stride);
    uint8_t seen[256] = {};
    for (uint32_t r = 0; r < rows; ++r) {
        const uint8_t* in = picture->pixels.data() + size_t(r) * picture->width * pixelBytes;
        uint8_t* out = v.display.data() + size_t(r) * stride;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t sample = in[pixelBytes * x];
            seen[sample] = 1;
            out[x] = table[sample];
        }
        if (width < stride) {
            seen[0] = 1;
            std::memset(out + width, table[0], stride - width);
        }
    }
    w.dataMin = 255;
    w.dataMax = 0;
    for (int value = 0; value < 256; ++value) {
        if (!seen[value]) continue;
        w.dataMin = std::min(w.dataMin, value);
        w.dataMax = std::max(w.dataMax, value);
    }
    return true;
}

void blankDisplay(Viewer& v) {
    const size_t bytes = size_t(v.dicom.image.rows) * v.window.displayStride;
    ensureDisplayCapacity(v, bytes);
    std::memset(v.display.data(), 0, bytes);
}

void renderFrame(Viewer& v) {
    prepareWindowForRendering(v);
    const ImageState& image = v.dicom.image;
    // A frame with nothing to draw (a JPEG frame that was not decoded, depths the picture
    // paths do not draw) paints blank rather than keeping the previous file's picture.
    if (image.compression == compressionJpeg) {
        if (image.bitsAllocated != 8 || !renderPictureFrame(v)) blankDisplay(v);
    } else if (image.compression == compressionRle) {
        if (image.bitsAllocated == 8) decodeRleFrame8(v);
        else if (image.bitsAllocated > 8) renderRle16(v);
        else blankDisplay(v);
    } else {
        renderUncompressed(v);
    }

    if (!v.animationPlaying) {
        const WindowState& w = v.window;
        v.host->setResetContrastPicture(w.windowLow == w.dataMin && w.windowHigh == w.dataMax);
    }
    v.host->repaintImageWindow();
}

std::array<uint32_t, 256> greyPalette() {
    std::array<uint32_t, 256> palette{};
    for (uint32_t i = 0; i < 256; ++i) palette[i] = 0xFF000000u | i << 16 | i << 8 | i;
    return palette;
}

}  // namespace vs
