// Each stream goes to the IJG build of its precision, as its frame header says: at most 8, 12
// or 16 bits.
#include "platform/jpeg_sample_decoder.h"

#include "dicom/jpeg_markers.h"
#include "platform/ijg_decode.h"

namespace vs {
namespace {

class IjgSampleDecoder : public SampleDecoder {
public:
    bool decode(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
                std::string& whyNot) override {
        const std::optional<JpegFrameHeader> header = readJpegFrameHeader(bytes, size);
        if (!header) {
            whyNot = "IJG JPEG (GDCM): no JPEG frame header before the first scan";
            return false;
        }
        if (header->precision <= 8) return ijg::decode8(bytes, size, layout, out, whyNot);
        if (header->precision <= 12) return ijg::decode12(bytes, size, layout, out, whyNot);
        return ijg::decode16(bytes, size, layout, out, whyNot);
    }
    // Each decoding has all its state on its own stack.
    bool decodesConcurrently() const override { return true; }
};

}  // namespace

std::unique_ptr<SampleDecoder> makeJpegSampleDecoder() { return std::make_unique<IjgSampleDecoder>(); }

}  // namespace vs
