// Telling the user of a JPEG frame the decoder cannot decode.
#pragma once

#include <cstdint>
#include <string>

#include "core/viewer.h"

namespace vs {

// What decoding one frame came to.
struct JpegFrameDecode {
    bool decoded = false;
    uint32_t frameBytes = 0;  // the frame's length, the number a failure message shows
    std::string reason;       // why the frame could not be decoded; empty when it was
};

// The text that tells the user a frame could not be decoded: the JPEG decoder, the frame's
// length and the reason.
std::string jpegFailureText(const JpegFrameDecode& result);

// Decodes the current frame (the frame source keeps the picture) and says how it went; shows
// nothing. A frame that cannot be decoded paints blank. Callers that step through frames (a
// cine) call this and stop at the first failure.
JpegFrameDecode readJpegFrame(Viewer& v);

// Tells of a failed decode in one message box captioned "debug".
void showJpegFailure(Viewer& v, const JpegFrameDecode& result);

// readJpegFrame, and a frame that cannot be decoded is told by showJpegFailure. 1 when a
// picture was made, else 0.
uint32_t decodeJpegFrame(Viewer& v);

}  // namespace vs
