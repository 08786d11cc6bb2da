// The decoded samples of one RLE frame, kept with what identifies them, so that the range
// scan, the picture and the writers decode a frame once, and a contrast drag over it decodes
// nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace vs {

struct DecodedFrame {
    // One byte per sample for 8-bit images, else little-endian 16-bit words.
    std::vector<uint8_t> samples;
    std::vector<uint8_t> planes;  // 16-bit: the segments' bytes while decoding, high then low
    // Which frame the samples are: the file buffer's generation (0: none yet), where the frame
    // starts in it, how many samples it has and in how many bytes each.
    uint64_t fileGeneration = 0;
    uint64_t frameStart = 0;
    uint32_t pixels = 0;
    uint32_t bytesPerSample = 0;
};

}  // namespace vs
