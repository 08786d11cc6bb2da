// The sample decoder for JPEG-LS frames (lossless and near-lossless), over CharLS.
#pragma once

#include <memory>

#include "dicom/sample_decoder.h"

namespace vs {

std::unique_ptr<SampleDecoder> makeJpegLsDecoder();

}  // namespace vs
