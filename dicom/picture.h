// The picture decoder behind JPEG frames: the core hands it a frame's bytes in place and
// gets back 24-bit rows, or 8-bit rows for a greyscale stream. platform/ provides the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vs {

struct Picture {
    int width = 0;
    int height = 0;
    // 3 (blue, green, red) or, for a greyscale stream, 1 (the grey level, which the 3-byte
    // form would repeat in all three).
    int bytesPerPixel = 3;
    // Rows of width pixels, bytesPerPixel bytes each, top row first, no padding.
    std::vector<uint8_t> pixels;
};

class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    // Decodes one JPEG stream of at most size bytes; false when it is not one it can read, with
    // why in whyNot (naming the decoder, for the user to read).
    virtual bool decode(const uint8_t* bytes, size_t size, Picture& out, std::string& whyNot) = 0;
};

}  // namespace vs
