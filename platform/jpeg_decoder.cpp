// The picture decoder for JPEG frames, over libjpeg-turbo's TurboJPEG API. libjpeg-turbo reads
// only the bytes it is given (a memory source) and stops at the end-of-image marker, so the
// item header that follows a frame's data inside its range is never looked at.
#include "platform/jpeg_decoder.h"

#include <turbojpeg.h>

#include <string>

namespace vs {
namespace {

// Pictures larger than any frame the loader accepts are refused before allocating.
inline constexpr uint64_t largestPicturePixels = 36000000;

// The decoder's own words for its last failure, with its name, as the user reads them.
std::string turboJpegError(tjhandle handle) { return std::string("libjpeg-turbo: ") + tjGetErrorStr2(handle); }

}  // namespace

TurboJpegDecoder::TurboJpegDecoder() : handle_(tjInitDecompress()) {}

TurboJpegDecoder::~TurboJpegDecoder() {
    if (handle_) tjDestroy(static_cast<tjhandle>(handle_));
}

bool TurboJpegDecoder::decode(const uint8_t* bytes, size_t size, Picture& out, std::string& whyNot) {
    if (decodeWith(static_cast<tjhandle>(handle_), bytes, size, out, whyNot)) return true;
    // A stream the library refused can leave its handle halfway through reading a header, and
    // every later stream then fails as well: the next frame starts on a new handle.
    if (handle_) tjDestroy(static_cast<tjhandle>(handle_));
    handle_ = tjInitDecompress();
    return false;
}

bool TurboJpegDecoder::decodeWith(void* decompressor, const uint8_t* bytes, size_t size, Picture& out,
                                  std::string& whyNot) {
    auto handle = static_cast<tjhandle>(decompressor);
    if (handle == nullptr) {
        whyNot = "libjpeg-turbo could not be started";
        return false;
    }
    if (bytes == nullptr || size == 0 || size > 0xFFFFFFFFu) {
        whyNot = "libjpeg-turbo: no JPEG data to decode";
        return false;
    }
    const auto length = static_cast<unsigned long>(size);
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle, bytes, length, &width, &height, &subsampling, &colourspace) != 0) {
        whyNot = turboJpegError(handle);
        return false;
    }
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) >= largestPicturePixels) {
        whyNot = "libjpeg-turbo: the picture is too large";
        return false;
    }
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
            whyNot = turboJpegError(handle);
            out = Picture{};
            return false;
        }
    }
    return true;
}

}  // namespace vs
