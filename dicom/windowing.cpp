#include "dicom/windowing.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace vs {
namespace {

// Fills count table entries whose values rise one by one from firstValue: those below the
// window in one fill, those above it in another, and only the ones in between one by one.
void fillWindowRun(const WindowMapping& m, uint8_t* entries, uint32_t count, int32_t firstValue) {
    const auto clampToRun = [count](int64_t i) { return uint32_t(std::clamp<int64_t>(i, 0, count)); };
    // Values below low map to 0; of the rest, those above high map to 255.
    const uint32_t belowEnd = clampToRun(int64_t(m.low) - firstValue);
    const uint32_t aboveStart = std::max(belowEnd, clampToRun(int64_t(m.high) - firstValue + 1));
    std::memset(entries, uint8_t(0 ^ m.xorMask), belowEnd);
    for (uint32_t i = belowEnd; i < aboveStart; ++i) entries[i] = displayByte(m, int32_t(int64_t(firstValue) + i));
    std::memset(entries + aboveStart, uint8_t(255 ^ m.xorMask), count - aboveStart);
}

inline uint16_t load16(const uint8_t* at) {
    uint16_t word;
    std::memcpy(&word, at, 2);  // little-endian machine
    return word;
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

WindowMapping windowMapping(int32_t low, int32_t high, bool inverted) {
    WindowMapping m;
    m.low = low;
    m.high = high;
    m.span = uint32_t(high) - uint32_t(low);
    if (m.span == 0) m.span = 1;
    m.xorMask = inverted ? 255 : 0;
    return m;
}

uint32_t mapThroughWindow(const WindowMapping& m, int32_t sample) {
    if (sample < m.low) return 0;
    if (sample > m.high) return 255;
    // 255 * (v - low) in wrapping 32-bit arithmetic, divided unsigned by the span.
    const uint32_t scaled = 255u * uint32_t(sample) - 255u * uint32_t(m.low);
    return scaled / m.span;
}

// Unsigned words are their values; with a sign bit, the words from it on are the negative
// values -signBit..-1, so the table is two rising runs.
std::vector<uint8_t> windowTable(const ImageState& image, const WindowMapping& m) {
    const uint32_t mask = image.pixelMask;
    if (mask > largestTableMask) return {};
    std::vector<uint8_t> table(size_t(mask) + 1);
    const uint32_t signBit = image.signBit & mask;
    if (signBit == 0) {
        fillWindowRun(m, table.data(), mask + 1, 0);
    } else if (uint64_t(mask) + 1 != 2 * uint64_t(signBit)) {
        // A sign bit below the mask's top bit: no two simple runs; every word one by one.
        for (uint32_t word = 0; word <= mask; ++word) table[word] = displayByte(m, signedValue(image, word));
    } else {
        fillWindowRun(m, table.data(), signBit, 0);
        fillWindowRun(m, table.data() + signBit, mask + 1 - signBit, signedValue(image, signBit));
    }
    return table;
}

const std::vector<uint8_t>& WindowTableCache::tableFor(const ImageState& image, const WindowMapping& m) {
    const bool same = built_ && mapping_.low == m.low && mapping_.high == m.high && mapping_.xorMask == m.xorMask &&
                      mask_ == image.pixelMask && signBit_ == image.signBit;
    if (!same) {
        table_ = windowTable(image, m);
        mapping_ = m;
        mask_ = image.pixelMask;
        signBit_ = image.signBit;
        built_ = true;
    }
    return table_;
}

std::array<uint8_t, 256> byteWindowTable(const WindowMapping& m) {
    std::array<uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value) table[size_t(value)] = displayByte(m, value);
    return table;
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

std::array<uint32_t, 256> greyPalette() {
    std::array<uint32_t, 256> palette{};
    for (uint32_t i = 0; i < 256; ++i) palette[i] = 0xFF000000u | i << 16 | i << 8 | i;
    return palette;
}

}  // namespace vs
