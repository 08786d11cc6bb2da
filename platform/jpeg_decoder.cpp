// The picture decoder for JPEG frames, over libjpeg-turbo's TurboJPEG API. libjpeg-turbo reads
// only the bytes it is given (a memory source) and stops at the end-of-image marker, so the
// item header that follows a frame's data inside its range is never looked at.
#include "platform/jpeg_decoder.h"

#include <turbojpeg.h>

namespace vs {
namespace {

// Pictures larger than any frame the loader accepts are refused before allocating.
inline constexpr uint64_t largestPicturePixels = 36000000;

}  // namespace

TurboJpegDecoder::TurboJpegDecoder() : handle_(tjInitDecompress()) {}

TurboJpegDecoder::~TurboJpegDecoder() {
    if (handle_) tjDestroy(static_cast<tjhandle>(handle_));
}

bool TurboJpegDecoder::decode(const uint8_t* bytes, size_t size, Picture& out) {
    auto handle = static_cast<tjhandle>(handle_);
    if (handle == nullptr || bytes == nullptr || size == 0 || size > 0xFFFFFFFFu) return false;
    const auto length = static_cast<unsigned long>(size);
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle, bytes, length, &width, &height, &subsampling, &colourspace) != 0)
        return false;
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) >= largestPicturePixels)
        return false;
    out.width = width;
    out.height = height;
    // A greyscale stream is decoded as it is: a third of the bytes, and the same levels.
    const bool grey = colourspace == TJCS_GRAY;
    out.bytesPerPixel = grey ? 1 : 3;
    out.pixels.assign(size_t(width) * size_t(height) * size_t(out.bytesPerPixel), 0);
    if (tjDecompress2(handle, bytes, length, out.pixels.data(), width, width * out.bytesPerPixel, height,
                      grey ? TJPF_GRAY : TJPF_BGR, 0) != 0) {
        // A warning (a stream cut short, say) still yields the rows that were decoded.
        if (tjGetErrorCode(handle) != TJERR_WARNING) {
            out = Picture{};
            return false;
        }
    }
    return true;
}

}  // namespace vs
