// The picture decoder for JPEG frames, over libjpeg-turbo.
#pragma once

#include <string>

#include "dicom/picture.h"

namespace vs {

class TurboJpegDecoder : public PictureDecoder {
public:
    TurboJpegDecoder();
    ~TurboJpegDecoder() override;
    TurboJpegDecoder(const TurboJpegDecoder&) = delete;
    TurboJpegDecoder& operator=(const TurboJpegDecoder&) = delete;
    bool decode(const uint8_t* bytes, size_t size, Picture& out, std::string& whyNot) override;

private:
    static bool decodeWith(void* decompressor, const uint8_t* bytes, size_t size, Picture& out, std::string& whyNot);

    void* handle_ = nullptr;
};

}  // namespace vs
