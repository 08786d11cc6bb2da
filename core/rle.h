// RLE compressed frames (DICOM PS3.5 Annex G): PackBits segments behind a 64-byte header.
#pragma once

#include <cstdint>

#include "core/viewer.h"

namespace vs {

// Decodes the current frame of an 8-bit image straight into the display picture through the
// prepared window (rows of window.displayStride bytes), and sets dataMin/dataMax to the range
// of the decoded samples.
void decodeRleFrame8(Viewer& v);

// Decodes the current frame of an image of more than 8 bits into the start of the display
// buffer as pixelsPerFrame little-endian 16-bit samples. Returns 0 when the header's segment
// count is not 1 or 2 (the buffer is then left as it was), else 1.
uint32_t decodeRleFrame16(Viewer& v);

// As decodeRleFrame16, into dest, which must hold 2 * pixelsPerFrame bytes.
uint32_t decodeRleFrame16Into(const Viewer& v, uint8_t* dest);

}  // namespace vs
