#include "dicom/element_search.h"

#include <algorithm>
#include <cstring>

#include "dicom/byte_reader.h"

namespace vs {

namespace {

// A big-endian data set stores each 16-bit half of the tag with its bytes swapped.
uint32_t swapHalves(uint32_t x) { return ((x & 0x00FF00FFu) << 8) + ((x >> 8) & 0x00FF00FFu); }

constexpr uint32_t largestValueCopied = 256;

// The first even offset from p on whose four bytes are tag, with four bytes before
// searchLength; searchLength when there is none.
uint64_t nextTagOccurrence(const ByteReader& reader, uint32_t tag, uint64_t p, uint32_t searchLength) {
    const uint16_t lowHalf[] = {uint16_t(tag)};
    const uint64_t blocksEnd = std::min<uint64_t>(searchLength, reader.length());
    while (p + 4 <= searchLength) {
        // Eight offsets at a time while none holds the tag's first half, then one by one
        // through the block that does.
        while (p + 16 <= blocksEnd && !anyHalfIsOneOf(reader.data() + p, lowHalf)) p += 16;
        const uint64_t blockEnd = p + 16;
        for (; p + 4 <= searchLength && p < blockEnd; p += 2)
            if (reader.le32(p) == tag) return p;
    }
    return searchLength;
}

}  // namespace

uint8_t findElement(uint32_t tag, uint32_t vr, const uint8_t* bytes, uint32_t searchLength,
                    char* out, uint16_t outSize, bool bigEndian, uint64_t readable) {
    // The VR characters are characters, not a number: they stand in the same order whatever
    // the byte order of the data set, so only the tag changes.
    if (bigEndian) tag = swapHalves(tag);
    vr &= 0xFFFFu;
    std::memset(out, 0, outSize);

    const ByteReader reader(bytes, readable);
    if (searchLength < 4) return 0;
    for (uint64_t p = nextTagOccurrence(reader, tag, 0, searchLength); p + 4 <= searchLength;
         p = nextTagOccurrence(reader, tag, p + 2, searchLength)) {
        const uint32_t n = reader.le32(p + 4);
        const bool implicit = n < 256;
        if (!implicit && (n & 0xFFFFu) != vr) continue;

        // Implicit VR: a 32-bit length (small by the test above). Explicit VR: the 16-bit
        // length after the two VR characters, in the data set's byte order.
        const uint32_t length = implicit ? n : (bigEndian ? reader.be16(p + 6) : reader.le16(p + 6));
        const uint32_t count = std::min({length, uint32_t(outSize), searchLength});
        reader.copy(p + 8, out, std::min(count, largestValueCopied));
        if (count == 0) return 0;
        return uint8_t(elementFound | (implicit ? elementImplicit : 0));
    }
    return 0;
}

}  // namespace vs
