// Little helpers for reading numbers out of a byte block whose end reads as zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vs {

// A view of a block of readable bytes; reads at or past its end give zero bytes.
class ByteReader {
public:
    ByteReader(const uint8_t* bytes, uint64_t length) : bytes_(bytes), length_(length) {}

    uint8_t byte(uint64_t at) const { return at < length_ ? bytes_[at] : 0; }

    uint16_t le16(uint64_t at) const {
        if (at + 2 <= length_) return uint16_t(bytes_[at] | (bytes_[at + 1] << 8));
        return uint16_t(byte(at) | (byte(at + 1) << 8));
    }
    uint16_t be16(uint64_t at) const { return uint16_t((byte(at) << 8) | byte(at + 1)); }

    uint32_t le32(uint64_t at) const {
        if (at + 4 <= length_) {
            uint32_t w;
            std::memcpy(&w, bytes_ + at, 4);  // little-endian machine
            return w;
        }
        return uint32_t(byte(at)) | (uint32_t(byte(at + 1)) << 8) | (uint32_t(byte(at + 2)) << 16) |
               (uint32_t(byte(at + 3)) << 24);
    }
    uint32_t be32(uint64_t at) const {
        return (uint32_t(byte(at)) << 24) | (uint32_t(byte(at + 1)) << 16) |
               (uint32_t(byte(at + 2)) << 8) | uint32_t(byte(at + 3));
    }

    // Copies count bytes from at into out, zero-filling what lies past the end.
    void copy(uint64_t at, char* out, uint64_t count) const {
        for (uint64_t i = 0; i < count; ++i) out[i] = char(byte(at + i));
    }

    uint64_t length() const { return length_; }
    const uint8_t* data() const { return bytes_; }

private:
    const uint8_t* bytes_;
    uint64_t length_;
};

// Whether any of the eight 16-bit little-endian numbers at the even offsets of these sixteen
// bytes is one of values. Written with vector types, so that it is a few SIMD compares instead
// of eight look-ups: searches for tags pass over most bytes this way.
template <size_t N>
inline bool anyHalfIsOneOf(const uint8_t* sixteenBytes, const uint16_t (&values)[N]) {
    using Halves = uint16_t __attribute__((vector_size(16)));
    Halves halves;
    std::memcpy(&halves, sixteenBytes, sizeof halves);  // little-endian machine
    Halves hits{};
    for (const uint16_t value : values) hits |= Halves(halves == value);
    uint64_t lanes[2];
    std::memcpy(lanes, &hits, sizeof lanes);
    return (lanes[0] | lanes[1]) != 0;
}

}  // namespace vs
