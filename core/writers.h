// Writing the current frame as an 8-bit TIFF, 16-bit TIFF, 8-bit BMP or 16-bit RAW file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/viewer.h"

namespace vs {

inline constexpr uint32_t tiffHeaderBytes = 140;
inline constexpr uint32_t bmpHeaderBytes = 54;
inline constexpr uint32_t bmpPixelOffset = 1078;  // headers and the 256-entry palette

// Bytes of a BMP row: columns rounded up to a multiple of 4.
inline constexpr uint32_t bmpRowLength(uint32_t columns) { return (columns + 3) & ~3u; }

// Why the current frame cannot be written, or empty when it can: a JPEG frame must decode (the
// picture is kept, so writeImageFile does not decode it again), and depths that are never
// drawn have no pixels. Callers ask before they create the output file.
std::string unwritableFrameReason(Viewer& v);

// The message that tells of such a frame: its number (from 1) and count, the source file and
// the reason.
std::string unwritableFrameText(const Viewer& v, const std::string& sourcePath, const std::string& reason);

// Writes the current frame in v.outputFormat to out, a stream opened "wb" at its start; it
// neither seeks nor closes it, but flushes it. Returns 1 when every write (and the flush)
// wrote all its bytes, else 0; 0 without writing anything for a frame that cannot be written
// (unwritableFrameReason). Overwrites the display buffer: a caller that goes on showing
// the image renders it again.
uint32_t writeImageFile(Viewer& v, std::FILE* out);

}  // namespace vs
