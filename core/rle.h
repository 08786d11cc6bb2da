// RLE compressed frames (DICOM PS3.5 Annex G): PackBits segments behind a 64-byte header.
#pragma once

#include <cstdint>

#include "core/viewer.h"

namespace vs {

// The current frame of an 8-bit image, decoded (one byte per sample) and kept in v.rleFrame
// until another frame or file is asked for.
const uint8_t* decodedRleFrame8(Viewer& v);

// Windows the current frame of an 8-bit image into the display picture through the prepared
// window (rows of window.displayStride bytes), decoding it first unless it is kept, and sets
// dataMin/dataMax to the range of its samples.
void decodeRleFrame8(Viewer& v);

// Decodes the current frame of an image of more than 8 bits into dest as pixelsPerFrame
// little-endian 16-bit samples; planes is scratch room of 2 * pixelsPerFrame bytes. Returns 0
// when the header's segment count is not 1 or 2 (dest is then left as it was), else 1.
uint32_t decodeRleFrame16Into(const Viewer& v, uint8_t* dest, uint8_t* planes);

// The current frame of an image of more than 8 bits, decoded as by decodeRleFrame16Into and
// kept in v.rleFrame until another frame or file is asked for: pixelsPerFrame words, or
// nullptr when the frame's header names no usable segments.
const uint8_t* decodedRleFrame16(Viewer& v);

}  // namespace vs
