// The picture decoder behind JPEG frames: the core hands it a frame's bytes in place and
// gets back 24-bit rows. platform/ provides the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vs {

struct Picture {
    int width = 0;
    int height = 0;
    // Rows of width pixels, 3 bytes each (blue, green, red), top row first, no padding.
    std::vector<uint8_t> bgr;
};

class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    // Decodes one JPEG stream of at most size bytes; false when it is not one it can read.
    virtual bool decode(const uint8_t* bytes, size_t size, Picture& out) = 0;
};

}  // namespace vs
