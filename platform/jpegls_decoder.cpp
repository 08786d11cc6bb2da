// The sample decoder for JPEG-LS frames (1.2.840.10008.1.2.4.80 and .81), over CharLS's
// jpegls_decoder. The frame header is read and compared with the layout before anything is
// allocated. CharLS is given the stream up to its end-of-image marker, never the item header
// or pad byte after it.
#include "platform/jpegls_decoder.h"

#include <charls/charls.h>

#include <algorithm>
#include <bit>
#include <exception>
#include <string>
#include <vector>

#include "platform/decoded_samples.h"

namespace vs {
namespace {

static_assert(std::endian::native == std::endian::little, "CharLS's 16-bit samples are taken as little-endian");

constexpr std::string_view decoderName = "JPEG-LS (CharLS)";

// The length of the stream up to and with its last end-of-image marker (FF D9); 0 when it has
// none. A stream cut short is refused before CharLS sees it: CharLS 2.4.1, reading a scan that
// runs into the end of its buffer rather than into a marker, counts zero bits for seconds
// (up to 2^31 of them) before it gives up.
size_t lengthToEndOfImage(const uint8_t* bytes, size_t size) {
    for (size_t at = size; at >= 2; --at)
        if (bytes[at - 2] == 0xFF && bytes[at - 1] == 0xD9) return at;
    return 0;
}

// Some encoders leave zero bytes between the last scan byte and the end-of-image marker, where
// CharLS expects the marker. The copy of the stream (of length ending at its marker) without
// them, or nothing when it has none.
std::vector<uint8_t> withoutZerosBeforeEnd(const uint8_t* bytes, size_t length) {
    size_t kept = length - 2;
    while (kept > 0 && bytes[kept - 1] == 0x00) --kept;
    if (kept == length - 2) return {};
    std::vector<uint8_t> copy(bytes, bytes + kept);
    copy.push_back(0xFF);
    copy.push_back(0xD9);
    return copy;
}

class JpegLsDecoder : public SampleDecoder {
public:
    bool decode(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
                std::string& whyNot) override {
        out.clear();
        if (bytes == nullptr || size == 0) return refuse(decoderName, "no data to decode", whyNot);
        const size_t length = lengthToEndOfImage(bytes, size);
        if (length == 0) return refuse(decoderName, "the stream is cut short (no end-of-image marker)", whyNot);
        if (decodeStream(bytes, length, layout, out, whyNot)) return true;
        const std::vector<uint8_t> mended = withoutZerosBeforeEnd(bytes, length);
        std::string whyNotMended;
        if (!mended.empty() && decodeStream(mended.data(), mended.size(), layout, out, whyNotMended)) return true;
        out.clear();
        return false;
    }
    // Every decoding has a CharLS decoder of its own.
    bool decodesConcurrently() const override { return true; }

private:
    static bool decodeStream(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
                             std::string& whyNot) {
        try {
            charls::jpegls_decoder decoder(bytes, size, true);
            const charls::frame_info& frame = decoder.frame_info();
            const CodestreamShape shape{frame.width, frame.height, uint32_t(std::max(frame.component_count, 0)),
                                        uint32_t(std::max(frame.bits_per_sample, 0))};
            whyNot = shapeMismatch(decoderName, shape, layout);
            if (!whyNot.empty()) return false;
            // CharLS gives one byte a sample up to 8 bits and two, in the machine's order, above.
            // Samples of up to 8 bits in 16 bits allocated are widened in place, from the end.
            const size_t samples = size_t(frame.width) * frame.height;
            const size_t decodedBytes = samples * (frame.bits_per_sample > 8 ? 2 : 1);
            out.resize(samples * (layout.bitsAllocated / 8));
            decoder.decode(out.data(), decodedBytes);
            if (decodedBytes < out.size()) {
                for (size_t i = samples; i-- > 0;) {
                    out[2 * i] = out[i];
                    out[2 * i + 1] = 0;
                }
            }
            return true;
        } catch (const std::exception& e) {
            return refuse(decoderName, e.what(), whyNot);
        }
    }
};

}  // namespace

std::unique_ptr<SampleDecoder> makeJpegLsDecoder() { return std::make_unique<JpegLsDecoder>(); }

}  // namespace vs
