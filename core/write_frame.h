// Writing the viewer's current frame through its window: Save Image As and the batch run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/viewer.h"

namespace vs {

// Why the current frame cannot be written, or empty when it can (a JPEG frame is decoded to
// know). Callers ask before they create the output file.
std::string unwritableFrameReason(Viewer& v);

// The message for such a frame of the file at sourcePath.
std::string unwritableFrameText(const Viewer& v, const std::string& sourcePath, const std::string& reason);

// Writes the current frame in v.outputFormat to out, a stream opened "wb" at its start; it
// neither seeks nor closes it, but flushes it. Returns 1 when every write (and the flush)
// wrote all its bytes, else 0; 0 without writing anything for a frame that cannot be written.
uint32_t writeImageFile(Viewer& v, std::FILE* out);

}  // namespace vs
