// JPEG frames: each frame's fragment is handed in place to the platform's picture decoder.
#include "core/jpeg_frame.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace vs {
namespace {

inline constexpr const char* debugCaption = "debug";

void showDebugMessage(Viewer& v, const char* text) {
    v.host->messageBox(text, debugCaption, MessageButtons::ok, MessageIcon::none);
}

}  // namespace

JpegFrameRange jpegFrameRange(const Viewer& v) {
    JpegFrameRange range;
    const uint32_t f = v.image.currentFrame;
    if (f + 1 >= v.frameOffsets.size()) return range;
    range.start = v.frameOffsets[f];
    range.size = v.frameOffsets[f + 1] - range.start;  // unsigned, as the table says
    // The fragment can only lie inside the file: an end entry that was never written (or that
    // lies before the start) is bounded by the file's length.
    const uint64_t fileLength = std::min<uint64_t>(v.image.fileLength, v.file.size());
    if (range.start > fileLength) {
        range.reachable = false;
        range.size = 0;
        return range;
    }
    range.reachable = true;
    if (range.size > fileLength - range.start) range.size = uint32_t(fileLength - range.start);
    return range;
}

uint32_t decodeJpegFrame(Viewer& v) {
    v.currentPicture.reset();
    const JpegFrameRange range = jpegFrameRange(v);
    if (!range.reachable || v.file.data() == nullptr) showDebugMessage(v, "pStream error");

    auto picture = std::make_unique<Picture>();
    const bool decoded = range.reachable && range.size > 0 && v.file.data() != nullptr &&
                         v.pictureDecoder != nullptr &&
                         v.pictureDecoder->decode(v.file.data() + range.start, range.size, *picture);
    if (!decoded) {
        char text[64];
        std::snprintf(text, sizeof text, "OleLoadPicture error %d", int(range.size));
        showDebugMessage(v, text);
        return 0;
    }
    v.currentPicture = std::move(picture);
    return 1;
}

}  // namespace vs
