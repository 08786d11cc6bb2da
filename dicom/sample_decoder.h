// Decoders that turn one compressed frame into stored samples, as if the frame had been stored
// uncompressed: lossless and 12-bit JPEG, JPEG-LS, JPEG 2000 and HTJ2K. The library sees only
// this interface (as it sees PictureDecoder for the JPEG frames it shows as pictures); platform/
// holds one adapter per codec library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vs {

// What the header says one frame holds. A decoder compares the codestream with it before it
// allocates anything, and refuses a stream that disagrees.
struct FrameLayout {
    uint16_t rows = 0;
    uint16_t columns = 0;
    uint16_t bitsAllocated = 8;  // 8 or 16: the width of one decoded sample
    uint16_t bitsStored = 8;     // (0028,0101), or bitsAllocated when the file does not say
    bool isSigned = false;       // (0028,0103) is 1
};

class SampleDecoder {
public:
    virtual ~SampleDecoder() = default;
    // Decodes the codestream of one frame (size bytes at bytes, which may be followed by item
    // headers or padding the decoder stops before) into out, resized to rows * columns samples
    // of bitsAllocated bits each, little-endian, row by row. A sample's value lies in its low
    // bitsStored bits; what the decoder leaves above them is not relied on. False, with why
    // in whyNot (naming the decoder, for the user to read), when the stream cannot be decoded,
    // or when its size, component count or precision disagrees with the layout.
    virtual bool decode(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
                        std::string& whyNot) = 0;
    // Whether decode may run on several threads at once (the decoder keeps no state between
    // calls): a multi-frame file's frames are then decoded in parallel. By default one at a time.
    virtual bool decodesConcurrently() const { return false; }
};

}  // namespace vs
