// The sample decoder for JPEG 2000 and HTJ2K frames, over OpenJPEG.
#pragma once

#include <memory>

#include "dicom/sample_decoder.h"

namespace vs {

std::unique_ptr<SampleDecoder> makeJpeg2000Decoder();

}  // namespace vs
