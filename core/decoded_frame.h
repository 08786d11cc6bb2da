// The decoded samples of one RLE frame of more than 8 bits, kept with what identifies them,
// so that the range scan, the picture and the writers decode a frame once, and a contrast
// drag over it decodes nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace vs {

struct DecodedFrame16 {
    std::vector<uint8_t> words;   // pixels little-endian 16-bit words
    std::vector<uint8_t> planes;  // the segments' bytes while decoding: high plane, low plane
    // Which frame the words are: the file buffer's generation (0: none yet), where the frame
    // starts in it, and how many samples it has.
    uint64_t fileGeneration = 0;
    uint64_t frameStart = 0;
    uint32_t pixels = 0;
};

}  // namespace vs
