#include "dicom/element_search.h"

#include <algorithm>
#include <cctype>

#include "dicom/byte_reader.h"

namespace vs {

namespace {

// A big-endian data set stores each 16-bit half of the tag with its bytes swapped.
uint32_t swapHalves(uint32_t x) { return ((x & 0x00FF00FFu) << 8) + ((x >> 8) & 0x00FF00FFu); }

// count bytes from at, up to the first zero byte.
std::string textAt(const ByteReader& reader, uint64_t at, uint32_t count) {
    std::string text(count, '\0');
    reader.copy(at, text.data(), count);
    if (const size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    return text;
}

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

ElementValue findElement(uint32_t tag, uint32_t vr, const uint8_t* bytes, uint32_t searchLength,
                         uint16_t mostBytes, bool bigEndian, uint64_t readable) {
    // The VR characters are characters, not a number: they stand in the same order whatever
    // the byte order of the data set, so only the tag changes.
    if (bigEndian) tag = swapHalves(tag);
    vr &= 0xFFFFu;

    const ByteReader reader(bytes, readable);
    if (searchLength < 4) return {};
    for (uint64_t p = nextTagOccurrence(reader, tag, 0, searchLength); p + 4 <= searchLength;
         p = nextTagOccurrence(reader, tag, p + 2, searchLength)) {
        const uint32_t n = reader.le32(p + 4);
        const bool implicit = n < 256;
        if (!implicit && (n & 0xFFFFu) != vr) continue;

        // Implicit VR: a 32-bit length (small by the test above). Explicit VR: the 16-bit
        // length after the two VR characters, in the data set's byte order.
        const uint32_t length = implicit ? n : (bigEndian ? reader.be16(p + 6) : reader.le16(p + 6));
        const uint32_t count = std::min({length, uint32_t(mostBytes), searchLength});
        if (count == 0) return {};
        return {true, implicit, textAt(reader, p + 8, std::min<uint32_t>(count, largestValueRead))};
    }
    return {};
}

std::string elementTextAt(const uint8_t* bytes, uint64_t readable, uint64_t at, uint32_t vr, bool bigEndian,
                          uint16_t mostBytes) {
    const ByteReader reader(bytes, readable);
    const bool explicitVr = reader.le16(at + 4) == (vr & 0xFFFFu);
    uint32_t length = 0;
    if (explicitVr) length = bigEndian ? reader.be16(at + 6) : reader.le16(at + 6);
    else length = bigEndian ? reader.be32(at + 4) : reader.le32(at + 4);
    return textAt(reader, at + 8, std::min<uint32_t>({length, mostBytes, largestValueRead}));
}

std::optional<int64_t> leadingInteger(std::string_view text) {
    constexpr int64_t largest = 1000000000000;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = std::min(value * 10 + (text[i] - '0'), largest);
    return negative ? -value : value;
}

}  // namespace vs
