// findElement over an arbitrary stretch: the first 13 input bytes choose the tag, the VR, the
// most bytes read, the byte order and the search length; the rest is the block searched,
// copied into a heap block of exactly that size so that any read past it is reported. The
// value at the block's start is read as the header walk reads one at a known place.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <memory>

#include "dicom/element_search.h"
#include "fuzz/fuzz_support.h"

namespace {

using vs::fuzzing::fail;

constexpr size_t parameterBytes = 13;
// Callers search at most the header's 240,000 bytes; a little beyond the block is enough to
// cover lengths that run past it.
constexpr uint32_t searchBeyondBlock = 4096;

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < parameterBytes) return 0;
    const uint32_t tag = le32(data);
    const uint32_t vr = uint32_t(data[4]) | uint32_t(data[5]) << 8 | uint32_t(data[12] & 0xF0) << 12;
    const uint16_t mostBytes = uint16_t(data[6] | data[7] << 8);
    const bool bigEndian = data[8] & 1;
    const size_t blockSize = size - parameterBytes;
    const uint32_t searchLength = le32(data + 9) % uint32_t(blockSize + searchBeyondBlock);

    std::unique_ptr<uint8_t[]> block(new uint8_t[blockSize == 0 ? 1 : blockSize]);
    if (blockSize) std::memcpy(block.get(), data + parameterBytes, blockSize);
    const uint8_t* bytes = blockSize ? block.get() : nullptr;

    const vs::ElementValue found = vs::findElement(tag, vr, bytes, searchLength, mostBytes, bigEndian, blockSize);
    const size_t most = std::min<size_t>({mostBytes, vs::largestValueRead, searchLength});
    if (found.text.size() > most) fail("more of the value read than asked for");
    if (found.text.find('\0') != std::string::npos) fail("a zero byte inside the value's text");
    if (!found.found && (!found.text.empty() || found.implicit)) fail("a value for an element not found");
    if (searchLength < 4 && found.found) fail("a search too short to match found something");

    const std::string at = vs::elementTextAt(bytes, blockSize, 0, vr, bigEndian, mostBytes);
    if (at.size() > std::min<size_t>(mostBytes, vs::largestValueRead)) fail("more of the value at the start read than asked for");
    return 0;
}
