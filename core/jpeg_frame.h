// Decoding the current JPEG frame through the platform's picture decoder.
#pragma once

#include <cstdint>
#include <string>

#include "core/viewer.h"

namespace vs {

// The byte range of the current frame's fragment in the file buffer.
struct JpegFrameRange {
    uint32_t start = 0;
    uint32_t size = 0;       // bounded by the file's length
    bool reachable = false;  // false when the start lies beyond the file
};

JpegFrameRange jpegFrameRange(const Viewer& v);

// What decoding one frame came to.
struct JpegFrameDecode {
    bool decoded = false;
    uint32_t frameBytes = 0;  // the frame's length, the number a failure message shows
    std::string reason;       // why the frame could not be decoded; empty when it was
};

// The text that tells the user a frame could not be decoded: the JPEG decoder, the frame's
// length and the reason.
std::string jpegFailureText(const JpegFrameDecode& result);

// Decodes the current frame into currentPicture and says how it went; shows nothing.
// When the frame cannot be decoded there is no picture afterwards, so the frame paints blank.
// Callers that step through frames (a cine) call this and stop at the first failure.
JpegFrameDecode readJpegFrame(Viewer& v);

// Tells of a failed decode in one message box captioned "debug".
void showJpegFailure(Viewer& v, const JpegFrameDecode& result);

// readJpegFrame, and a frame that cannot be decoded is told by showJpegFailure. 1 when a
// picture was made, else 0.
uint32_t decodeJpegFrame(Viewer& v);

// Whether currentPicture is the current frame of the file now in memory.
bool pictureOfCurrentFrame(const Viewer& v);

}  // namespace vs
