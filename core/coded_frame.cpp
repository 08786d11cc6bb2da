#include "core/jpeg_frame.h"

#include "core/render.h"

namespace vs {
namespace {

inline constexpr const char* debugCaption = "debug";

}  // namespace

std::string jpegFailureText(const JpegFrameDecode& result) {
    return "JPEG decoder error " + std::to_string(result.frameBytes) + ":\n" + result.reason;
}

JpegFrameDecode readJpegFrame(Viewer& v) {
    JpegFrameDecode result;
    result.frameBytes = jpegFragment(v.dicom, v.currentFrame).size;
    result.reason = frameSource(v).unreadableReason(v.currentFrame);
    result.decoded = result.reason.empty();
    return result;
}

void showJpegFailure(Viewer& v, const JpegFrameDecode& result) {
    v.host->messageBox(jpegFailureText(result), debugCaption, MessageButtons::ok, MessageIcon::none);
}

uint32_t decodeJpegFrame(Viewer& v) {
    const JpegFrameDecode result = readJpegFrame(v);
    if (!result.decoded) showJpegFailure(v, result);
    return result.decoded ? 1 : 0;
}

}  // namespace vs
