// Decoding the current JPEG frame through the platform's picture decoder.
#pragma once

#include <cstdint>

#include "core/viewer.h"

namespace vs {

// The byte range of the current frame's fragment in the file buffer.
struct JpegFrameRange {
    uint32_t start = 0;
    uint32_t size = 0;       // bounded by the file's length
    bool reachable = false;  // false when the start lies beyond the file
};

JpegFrameRange jpegFrameRange(const Viewer& v);

// Decodes frame image.currentFrame into currentPicture; 1 when a picture was made. A frame the
// decoder refuses shows "OleLoadPicture error %d" (with the frame's length), one whose start
// lies beyond the file also "pStream error", both captioned "debug".
uint32_t decodeJpegFrame(Viewer& v);

}  // namespace vs
