// JPEG frames decoded to samples by TurboJPEG 3 (libjpeg-turbo 3.1 or newer, chosen at
// configure time): lossless JPEG of any precision from 2 to 16 bits and 12-bit DCT, through
// tj3Decompress8, tj3Decompress12 or tj3Decompress16 by the stream's precision. Warnings of
// corrupt data stop the decoding, so that a frame is decoded whole or refused.
#include <turbojpeg.h>

#include <cstring>

#include "platform/jpeg_sample_decoder.h"

namespace vs {
namespace {

class TurboJpegSampleDecoder : public SampleDecoder {
public:
    bool decode(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
                std::string& whyNot) override {
        tjhandle handle = tj3Init(TJINIT_DECOMPRESS);
        if (handle == nullptr) {
            whyNot = "TurboJPEG could not be started";
            return false;
        }
        const bool decoded = decodeWith(handle, bytes, size, layout, out, whyNot);
        tj3Destroy(handle);
        if (!decoded) out.clear();
        return decoded;
    }
    bool decodesConcurrently() const override { return true; }

private:
    static bool fail(tjhandle handle, std::string& whyNot, const std::string& why = {}) {
        whyNot = "TurboJPEG: " + (why.empty() ? std::string(tj3GetErrorStr(handle)) : why);
        return false;
    }

    static bool decodeWith(tjhandle handle, const uint8_t* bytes, size_t size, const FrameLayout& layout,
                           std::vector<uint8_t>& out, std::string& whyNot) {
        tj3Set(handle, TJPARAM_STOPONWARNING, 1);
        if (tj3DecompressHeader(handle, bytes, size) != 0) return fail(handle, whyNot);
        const int width = tj3Get(handle, TJPARAM_JPEGWIDTH);
        const int height = tj3Get(handle, TJPARAM_JPEGHEIGHT);
        const int precision = tj3Get(handle, TJPARAM_PRECISION);
        if (tj3Get(handle, TJPARAM_COLORSPACE) != TJCS_GRAY) return fail(handle, whyNot, "the stream is not greyscale");
        if (width != layout.columns || height != layout.rows)
            return fail(handle, whyNot, "the stream's size disagrees with the header's");
        if (precision < 2 || precision > layout.bitsAllocated)
            return fail(handle, whyNot, "the stream's precision does not fit the bits allocated");
        const size_t count = size_t(width) * size_t(height);
        const size_t bytesPerSample = layout.bitsAllocated / 8;
        out.resize(count * bytesPerSample);
        if (precision <= 8) {
            std::vector<unsigned char> samples(count);
            if (tj3Decompress8(handle, bytes, size, samples.data(), 0, TJPF_GRAY) != 0) return fail(handle, whyNot);
            for (size_t i = 0; i < count; ++i) {
                out[bytesPerSample * i] = samples[i];
                if (bytesPerSample == 2) out[2 * i + 1] = 0;
            }
        } else if (precision <= 12) {
            std::vector<short> samples(count);
            if (tj3Decompress12(handle, bytes, size, samples.data(), 0, TJPF_GRAY) != 0) return fail(handle, whyNot);
            std::memcpy(out.data(), samples.data(), 2 * count);  // little-endian machine
        } else {
            std::vector<unsigned short> samples(count);
            if (tj3Decompress16(handle, bytes, size, samples.data(), 0, TJPF_GRAY) != 0) return fail(handle, whyNot);
            std::memcpy(out.data(), samples.data(), 2 * count);
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<SampleDecoder> makeJpegSampleDecoder() { return std::make_unique<TurboJpegSampleDecoder>(); }

}  // namespace vs
