// Deciding whether the bytes in the file buffer are an image we can show.
#pragma once

#include <cstdint>

#include "core/viewer.h"

namespace vs {

enum HeaderPhase : uint16_t { headerFinish = 0, headerScan = 1 };

// Scan phase: looks for the image elements in the first 240,000 bytes in both byte orders and
// fills the image record. Finish phase: locates the frames, decodes the first JPEG frame and
// titles the image window. Returns 1 when the file is accepted, 0 when refused.
uint16_t interpretHeader(Viewer& v, uint16_t phase);

// Fills the frame table for the pixel data at pixelDataOffset; returns the number of frames.
uint32_t buildFrameOffsets(Viewer& v, uint32_t pixelDataOffset);

}  // namespace vs
