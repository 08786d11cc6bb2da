// findElement over an arbitrary stretch: the first 13 input bytes choose the tag, the VR, the
// output size, the byte order and the search length; the rest is the block searched, copied
// into a heap block of exactly that size so that any read past it is reported.
#include <cstddef>
#include <cstdint>
#include <cstring>
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
    const uint16_t outSize = uint16_t(data[6] | data[7] << 8);
    const bool bigEndian = data[8] & 1;
    const size_t blockSize = size - parameterBytes;
    const uint32_t searchLength = le32(data + 9) % uint32_t(blockSize + searchBeyondBlock);

    std::unique_ptr<uint8_t[]> block(new uint8_t[blockSize == 0 ? 1 : blockSize]);
    if (blockSize) std::memcpy(block.get(), data + parameterBytes, blockSize);
    // The caller's part of the contract: outSize + 1 bytes, the last one zero.
    std::unique_ptr<char[]> out(new char[size_t(outSize) + 1]);
    std::memset(out.get(), 0x5A, outSize);
    out[outSize] = 0;

    const uint8_t found =
        vs::findElement(tag, vr, blockSize ? block.get() : nullptr, searchLength, out.get(), outSize, bigEndian,
                        blockSize);
    if (found != 0 && found != vs::elementFound && found != (vs::elementFound | vs::elementImplicit))
        fail("unexpected result");
    if (out[outSize] != 0) fail("the terminating zero was overwritten");
    // Nothing beyond the 256 bytes a value may fill is left as it was: the search clears it.
    for (size_t i = 256; i < outSize; ++i)
        if (out[i] != 0) fail("bytes beyond the copied value are not cleared");
    if (found == 0 && outSize > 0 && searchLength < 4) {
        for (size_t i = 0; i < outSize; ++i)
            if (out[i] != 0) fail("a search too short to match left text behind");
    }
    return 0;
}
