// Finding one data element by its tag pattern in a stretch of bytes.
#pragma once

#include <cstdint>

namespace vs {

// Tags are the four tag bytes read little-endian: (gggg,eeee) is 0xeeeegggg.
constexpr uint32_t tagOf(uint16_t group, uint16_t element) {
    return uint32_t(group) | (uint32_t(element) << 16);
}
// VRs are the two characters read little-endian, first character in the low byte.
constexpr uint32_t vrOf(const char (&vr)[3]) {
    return uint32_t(uint8_t(vr[0])) | (uint32_t(uint8_t(vr[1])) << 8);
}

enum FindResult : uint8_t { elementFound = 1, elementImplicit = 2 };

// Slides over bytes[0, searchLength) two bytes at a time and takes the first place where the
// tag matches and the next four bytes hold either the VR asked for (explicit VR, 16-bit
// length) or a length below 256 (implicit VR). Copies at most min(length, outSize,
// searchLength, 256) bytes of the value into out (out holds outSize + 1 bytes and ends up zero
// terminated). Bytes at or beyond readable (counted from bytes) read as zero, so nothing
// outside the caller's block is touched. Returns 0 when not found or empty, else
// elementFound, plus elementImplicit for the implicit form.
uint8_t findElement(uint32_t tag, uint32_t vr, const uint8_t* bytes, uint32_t searchLength,
                    char* out, uint16_t outSize, bool bigEndian, uint64_t readable);

}  // namespace vs
