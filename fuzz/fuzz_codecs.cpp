// The JPEG-LS and JPEG 2000 / HTJ2K sample decoders over arbitrary frames. The first six input
// bytes choose the decoder and the layout a header would give (fuzz/run's seeds carry those of
// codestreams the Debian encoders made); the rest is the frame. A decode gives a whole frame
// of the layout's size, or a reason naming the decoder and nothing in the output.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/jpeg2000_decoder.h"
#include "platform/jpegls_decoder.h"

namespace {

using namespace vs;
using vs::fuzzing::fail;

constexpr size_t parameterBytes = 6;
// Sides up to 1024: large enough for any seed, small enough for a fast run.
constexpr uint32_t largestSide = 1024;

struct CodecDecoders {
    std::unique_ptr<SampleDecoder> jpegLs = makeJpegLsDecoder();
    std::unique_ptr<SampleDecoder> jpeg2000 = makeJpeg2000Decoder();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < parameterBytes) return 0;
    static auto* decoders = new CodecDecoders;
    // byte 0: bit 0 the JPEG 2000 decoder, bit 1 16 bits allocated, bit 2 signed;
    // byte 1: bits stored - 1 (low four bits); bytes 2-3 and 4-5: rows and columns - 1.
    const bool jpeg2000 = data[0] & 1;
    FrameLayout layout;
    layout.bitsAllocated = data[0] & 2 ? 16 : 8;
    layout.isSigned = data[0] & 4;
    layout.bitsStored = uint16_t(1 + (data[1] & 0x0F));
    layout.rows = uint16_t(1 + (uint32_t(data[2] | data[3] << 8) % largestSide));
    layout.columns = uint16_t(1 + (uint32_t(data[4] | data[5] << 8) % largestSide));

    SampleDecoder& decoder = jpeg2000 ? *decoders->jpeg2000 : *decoders->jpegLs;
    std::vector<uint8_t> out(7, 0xEE);
    std::string whyNot;
    const bool decoded = decoder.decode(data + parameterBytes, size - parameterBytes, layout, out, whyNot);
    if (decoded) {
        if (out.size() != size_t(layout.rows) * layout.columns * (layout.bitsAllocated / 8))
            fail("decoded frame of another size than the layout's");
        uint32_t sum = 0;  // every byte read, for the sanitizers
        for (uint8_t b : out) sum += b;
        if (sum == 0xFFFFFFFF) fail("impossible");
    } else {
        if (whyNot.rfind(jpeg2000 ? "JPEG 2000" : "JPEG-LS", 0) != 0) fail("refusal without the decoder's name");
        if (!out.empty()) fail("a refused frame left samples behind");
    }
    return 0;
}
