#include "core/write_frame.h"

#include "core/render.h"

namespace vs {

std::string unwritableFrameReason(Viewer& v) { return frameSource(v).unreadableReason(v.currentFrame); }

std::string unwritableFrameText(const Viewer& v, const std::string& sourcePath, const std::string& reason) {
    return unwritableFrameText(v.currentFrame, v.dicom.image.frameCount, sourcePath, reason);
}

uint32_t writeImageFile(Viewer& v, std::FILE* out) {
    FileSink sink(out);
    const bool written = writeFrame(frameSource(v), v.dicom.image, v.currentFrame, currentWindowMapping(v),
                                    OutputFormat(v.outputFormat), sink);
    const bool flushed = std::fflush(out) == 0;
    return written && flushed ? 1 : 0;
}

}  // namespace vs
