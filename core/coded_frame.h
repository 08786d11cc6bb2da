// Telling the user of a frame its decoder cannot decode: JPEG frames, and with every
// compression read, JPEG-LS, JPEG 2000 and HTJ2K frames.
#pragma once

#include <cstdint>
#include <string>

#include "core/viewer.h"

namespace vs {

// Whether the frames of the file in memory go through a decoder that may refuse them.
bool framesAreCoded(const Viewer& v);

// What decoding one frame came to.
struct CodedFrameDecode {
    bool decoded = false;
    const char* codec = "JPEG";  // the decoder's kind, as the message names it
    uint32_t frameBytes = 0;     // the frame's length, the number a failure message shows
    std::string reason;          // why the frame could not be decoded; empty when it was
};

// The text that tells the user a frame could not be decoded: the decoder, the frame's length
// and the reason ("JPEG decoder error 1234:\n...").
std::string codedFrameFailureText(const CodedFrameDecode& result);

// Decodes the current frame (the frame source keeps it) and says how it went; shows nothing. A
// frame that cannot be decoded paints blank. Callers that step through frames (a cine) call
// this and stop at the first failure.
CodedFrameDecode readCodedFrame(Viewer& v);

// Tells of a failed decode in one message box captioned "debug".
void showCodedFrameFailure(Viewer& v, const CodedFrameDecode& result);

// readCodedFrame, and a frame that cannot be decoded is told by showCodedFrameFailure. 1 when
// the frame was decoded, else 0.
uint32_t decodeCodedFrame(Viewer& v);

}  // namespace vs
