// Windowing: stored sample values through a display window into 8-bit grey levels.
//
// The mapping is one integer rule per sample value. For depths up to 16 bits a table over all
// stored words (at most 65,536 entries, of which only those inside the window cost a division)
// makes every frame loop one look-up per sample; deeper samples are mapped one by one. Either
// way the bytes are those of mapThroughWindow.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dicom/band_pool.h"
#include "dicom/image_state.h"

namespace vs {

// What a range starts as before any sample widens it.
inline constexpr int32_t rangeStartMin = 2000000000;
inline constexpr int32_t rangeStartMax = -2000000000;

// The values a frame's samples take, from low to high.
struct SampleRange {
    int32_t low = rangeStartMin;
    int32_t high = rangeStartMax;
};

// A display window: stored values from low to high span the grey levels.
struct DisplayWindow {
    int32_t low = 0;
    int32_t high = 0;
};

// A display window as a rendering applies it.
struct WindowMapping {
    int32_t low = 0;
    int32_t high = 255;
    uint32_t span = 255;   // high - low as an unsigned number, at least 1
    uint8_t xorMask = 0;   // 255 inverts the output (MONOCHROME1 or a negative picture)
};

// The mapping of the window low..high, its grey levels inverted when inverted is set.
WindowMapping windowMapping(int32_t low, int32_t high, bool inverted);

// The 8-bit output of sample through the window, before the inversion.
uint32_t mapThroughWindow(const WindowMapping& m, int32_t sample);

inline uint8_t displayByte(const WindowMapping& m, int32_t sample) {
    return uint8_t(mapThroughWindow(m, sample) ^ m.xorMask);
}

// Depths whose masked stored words index a window table.
inline constexpr uint32_t largestTableMask = 0xFFFF;

// The window table of an image: one entry per masked stored word 0..pixelMask, or an empty
// table for depths beyond 16 bits, whose samples are mapped one by one.
std::vector<uint8_t> windowTable(const ImageState& image, const WindowMapping& m);

// The window table of the last window asked for, built again only when the window or the
// image's depth changed: a frame windowed in slices, or dragged over, builds it once.
class WindowTableCache {
public:
    const std::vector<uint8_t>& tableFor(const ImageState& image, const WindowMapping& m);

private:
    std::vector<uint8_t> table_;
    WindowMapping mapping_;
    uint32_t mask_ = 0;
    uint32_t signBit_ = 0;
    bool built_ = false;
};

// The table for 8-bit samples 0..255 read as values (RLE and JPEG pictures).
std::array<uint8_t, 256> byteWindowTable(const WindowMapping& m);

// Bytes per row of an 8-bit picture: columns + 4 with the two low bits cleared, so 1 to 4
// bytes more than the width and always a multiple of 4.
inline constexpr uint32_t displayStrideFor(uint32_t columns) { return (columns + 4) & ~3u; }

// The value of a masked stored word: negative from the sign bit on.
inline int32_t signedValue(const ImageState& image, uint32_t word) {
    return (word & image.signBit) ? int32_t(word) - int32_t(image.pixelMask + 1) : int32_t(word);
}

// The value of a sample held as one 16-bit word (the 16-bit RLE decode): masked and signed by
// the same rule as uncompressed samples, so the range scan and the picture read it alike.
inline int32_t wordSampleValue(const ImageState& image, uint32_t word) {
    return signedValue(image, word & image.pixelMask);
}

// Widens low and high to take in the values of count little-endian words, each read as
// wordSampleValue reads it.
void widenByWords(const ImageState& image, const uint8_t* words, uint32_t count, int32_t& low, int32_t& high);

// The range of count samples, found by rangeOf(first, n, range) widening range by samples
// first .. first + n - 1: in bands of at least leastSamples on pool when there is one, else at
// once.
template <typename RangeOf>
SampleRange rangeInBands(uint32_t count, BandPool* pool, uint32_t leastSamples, RangeOf rangeOf) {
    SampleRange whole;
    if (!pool) {
        rangeOf(0, count, whole);
        return whole;
    }
    const uint32_t bands = pool->bandsFor(count, leastSamples);
    std::vector<SampleRange> parts(bands);
    pool->run(bands, [&](uint32_t band) {
        const uint32_t first = bandStart(count, bands, band);
        rangeOf(first, bandStart(count, bands, band + 1) - first, parts[band]);
    });
    for (const SampleRange& part : parts) {
        whole.low = std::min(whole.low, part.low);
        whole.high = std::max(whole.high, part.high);
    }
    return whole;
}

// Grey palette of an 8-bit picture: entry i is red = green = blue = i (as 0xAARRGGBB).
std::array<uint32_t, 256> greyPalette();

}  // namespace vs
