// JPEG frames: each frame's fragment is handed in place to the platform's picture decoder.
#include "core/jpeg_frame.h"

#include <algorithm>
#include <memory>

namespace vs {
namespace {

inline constexpr const char* debugCaption = "debug";

// Why a frame's bytes cannot even be handed to the decoder, or empty when they can.
std::string unreadableRangeReason(const Viewer& v, const JpegFrameRange& range) {
    if (!range.reachable || v.dicom.bytes.data() == nullptr) return "the frame starts beyond the end of the file";
    if (range.size == 0) return "the frame holds no bytes";
    if (v.pictureDecoder == nullptr) return "no JPEG decoder is available";
    return "";
}

}  // namespace

JpegFrameRange jpegFrameRange(const Viewer& v) {
    JpegFrameRange range;
    const uint32_t f = v.currentFrame;
    if (f + 1 >= v.dicom.frameOffsets.size()) return range;
    range.start = v.dicom.frameOffsets[f];
    range.size = v.dicom.frameOffsets[f + 1] - range.start;  // unsigned, as the table says
    // The fragment can only lie inside the file: an end entry that was never written (or that
    // lies before the start) is bounded by the file's length.
    const uint64_t fileLength = std::min<uint64_t>(v.dicom.image.fileLength, v.dicom.bytes.size());
    if (range.start > fileLength) {
        range.reachable = false;
        range.size = 0;
        return range;
    }
    range.reachable = true;
    if (range.size > fileLength - range.start) range.size = uint32_t(fileLength - range.start);
    return range;
}

std::string jpegFailureText(const JpegFrameDecode& result) {
    return "JPEG decoder error " + std::to_string(result.frameBytes) + ":\n" + result.reason;
}

JpegFrameDecode readJpegFrame(Viewer& v) {
    v.currentPicture.reset();
    const JpegFrameRange range = jpegFrameRange(v);
    JpegFrameDecode result;
    result.frameBytes = range.size;
    result.reason = unreadableRangeReason(v, range);
    if (!result.reason.empty()) return result;

    auto picture = std::make_unique<Picture>();
    if (!v.pictureDecoder->decode(v.dicom.bytes.data() + range.start, range.size, *picture, result.reason)) {
        if (result.reason.empty()) result.reason = "the JPEG decoder refused the frame";
        return result;
    }
    picture->fileGeneration = v.dicom.bytes.generation();
    picture->frameStart = range.start;
    v.currentPicture = std::move(picture);
    result.decoded = true;
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

bool pictureOfCurrentFrame(const Viewer& v) {
    const Picture* picture = v.currentPicture.get();
    const JpegFrameRange range = jpegFrameRange(v);
    return picture != nullptr && range.reachable && picture->fileGeneration == v.dicom.bytes.generation() &&
           picture->frameStart == range.start;
}

}  // namespace vs
