// Finding data elements by their tag pattern in a stretch of bytes, and reading their values
// as texts or numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vs {

// Tags are the four tag bytes read little-endian: (gggg,eeee) is 0xeeeegggg.
constexpr uint32_t tagOf(uint16_t group, uint16_t element) {
    return uint32_t(group) | (uint32_t(element) << 16);
}
// VRs are the two characters read little-endian, first character in the low byte.
constexpr uint32_t vrOf(const char (&vr)[3]) {
    return uint32_t(uint8_t(vr[0])) | (uint32_t(uint8_t(vr[1])) << 8);
}

// The most bytes of a value that are ever read.
inline constexpr uint16_t largestValueRead = 256;

// An element's value as a search finds it: its first bytes, up to the first zero byte (DICOM
// pads UIDs with one). found is false when the element is missing or its value empty.
struct ElementValue {
    bool found = false;
    bool implicit = false;  // found in the implicit VR form
    std::string text;
};

// Slides over bytes[0, searchLength) two bytes at a time and takes the first place where the
// tag matches and the next four bytes hold either the VR asked for (explicit VR, 16-bit
// length) or a length below 256 (implicit VR). Reads at most min(length, mostBytes,
// searchLength, 256) bytes of the value. Bytes at or beyond readable (counted from bytes)
// read as zero, so nothing outside the caller's block is touched.
ElementValue findElement(uint32_t tag, uint32_t vr, const uint8_t* bytes, uint32_t searchLength,
                         uint16_t mostBytes, bool bigEndian, uint64_t readable);

// The elements of one stretch of a file: the first searchLength bytes of a block of readable
// bytes, searched in one byte order.
class ElementReader {
public:
    ElementReader(const uint8_t* bytes, uint64_t readable, uint32_t searchLength, bool bigEndian)
        : bytes_(bytes), readable_(readable), searchLength_(searchLength), bigEndian_(bigEndian) {}

    ElementValue value(uint32_t tag, const char (&vr)[3], uint16_t mostBytes = largestValueRead) const {
        return findElement(tag, vrOf(vr), bytes_, searchLength_, mostBytes, bigEndian_, readable_);
    }
    // The value's text; empty when the element is missing.
    std::string text(uint32_t tag, const char (&vr)[3], uint16_t mostBytes = largestValueRead) const {
        return value(tag, vr, mostBytes).text;
    }

private:
    const uint8_t* bytes_;
    uint64_t readable_;
    uint32_t searchLength_;
    bool bigEndian_;
};

// The value of the element whose tag starts at offset at of the readable bytes: explicit VR
// when the two bytes after the tag are vr (a 16-bit length follows them), else implicit (a
// 32-bit length); lengths in the data set's byte order. At most mostBytes bytes, up to the
// first zero byte.
std::string elementTextAt(const uint8_t* bytes, uint64_t readable, uint64_t at, uint32_t vr, bool bigEndian,
                          uint16_t mostBytes);

// The number a text starts with, as an Integer String (IS) holds it: white space before it,
// then an optional sign and the digits, up to the first other character ("  12 " is 12,
// "7x" is 7). None when no digit comes first. Values beyond a trillion read as a trillion.
std::optional<int64_t> leadingInteger(std::string_view text);

}  // namespace vs
