#include "platform/decoder_bundle.h"

#include "platform/jpeg2000_decoder.h"
#include "platform/jpeg_decoder.h"
#include "platform/jpeg_sample_decoder.h"
#include "platform/jpegls_decoder.h"
#include "platform/zlib_inflater.h"

namespace vs {
namespace {

class PlatformDecoders : public DecoderBundle {
public:
    explicit PlatformDecoders(bool allCompressions) {
        picture_ = std::make_unique<TurboJpegDecoder>();
        decoders_.picture = picture_.get();
        decoders_.allCompressions = allCompressions;
        if (!allCompressions) return;
        // One adapter per codec library (platform/); a slot left empty refuses its frames ("no
        // JPEG-LS decoder").
        jpeg_ = makeJpegSampleDecoder();
        jpegLs_ = makeJpegLsDecoder();
        jpeg2000_ = makeJpeg2000Decoder();
        inflater_ = makeZlibInflater();
        decoders_.jpeg = jpeg_.get();
        decoders_.jpegLs = jpegLs_.get();
        decoders_.jpeg2000 = jpeg2000_.get();
        decoders_.inflater = inflater_.get();
    }

private:
    std::unique_ptr<PictureDecoder> picture_;
    std::unique_ptr<SampleDecoder> jpeg_;
    std::unique_ptr<SampleDecoder> jpegLs_;    // JPEG-LS (.80, .81)
    std::unique_ptr<SampleDecoder> jpeg2000_;  // JPEG 2000 (.90, .91) and HTJ2K (.201-.203)
    std::unique_ptr<Inflater> inflater_;
};

}  // namespace

std::unique_ptr<DecoderBundle> makeDecoderBundle(bool allCompressions) {
    return std::make_unique<PlatformDecoders>(allCompressions);
}

}  // namespace vs
