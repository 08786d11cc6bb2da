// The frame header of a JPEG or JPEG-LS stream (ITU-T T.81 B.2.2, T.87 C.2.2): which process
// wrote the stream and what it holds, read from its markers without decoding anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vs {

struct JpegFrameHeader {
    uint8_t marker = 0;  // the SOFn marker's second byte: 0xC0 baseline ... 0xF7 JPEG-LS
    uint8_t precision = 0;
    uint16_t rows = 0;
    uint16_t columns = 0;
    uint8_t components = 0;

    // Lossless, process 14 (SOF3, or SOF11 with arithmetic coding).
    bool lossless() const { return marker == 0xC3 || marker == 0xCB; }
    // Sequential or progressive DCT, not hierarchical (SOF0-2, SOF9-10).
    bool dct() const { return marker <= 0xC2 || marker == 0xC9 || marker == 0xCA; }
};

// The frame header of the stream at bytes, which must begin with the start-of-image marker;
// nothing when no frame header comes before the first scan or the end of the bytes.
std::optional<JpegFrameHeader> readJpegFrameHeader(const uint8_t* bytes, size_t size);

}  // namespace vs
