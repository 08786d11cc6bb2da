#include "core/coded_frame.h"

#include "core/render.h"
#include "dicom/encapsulated.h"

namespace vs {
namespace {

inline constexpr const char* debugCaption = "debug";

// The frame's length in the file: its fragment, or its fragments with their item headers.
uint32_t frameBytes(const Viewer& v) {
    const DicomImage& dicom = v.dicom;
    const uint32_t frame = v.currentFrame;
    if (dicom.image.compression == compressionJpeg) return jpegFragment(dicom, frame).size;
    const std::optional<FrameSpan> span = frameSpan(dicom, frame);
    return span ? span->end - span->start : 0;
}

}  // namespace

bool framesAreCoded(const Viewer& v) { return codecOf(v.dicom.image.compression) != nullptr; }

std::string codedFrameFailureText(const CodedFrameDecode& result) {
    return std::string(result.codec) + " decoder error " + std::to_string(result.frameBytes) + ":\n" + result.reason;
}

CodedFrameDecode readCodedFrame(Viewer& v) {
    CodedFrameDecode result;
    if (const char* codec = codecOf(v.dicom.image.compression)) result.codec = codec;
    result.frameBytes = frameBytes(v);
    result.reason = frameSource(v).unreadableReason(v.currentFrame);
    result.decoded = result.reason.empty();
    return result;
}

void showCodedFrameFailure(Viewer& v, const CodedFrameDecode& result) {
    v.host->messageBox(codedFrameFailureText(result), debugCaption, MessageButtons::ok, MessageIcon::none);
}

uint32_t decodeCodedFrame(Viewer& v) {
    const CodedFrameDecode result = readCodedFrame(v);
    if (!result.decoded) showCodedFrameFailure(v, result);
    return result.decoded ? 1 : 0;
}

}  // namespace vs
