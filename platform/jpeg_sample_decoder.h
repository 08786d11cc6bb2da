// The decoder of JPEG frames to stored samples: lossless JPEG (process 14) of any precision
// from 2 to 16 bits, 12-bit DCT, and DCT streams that are not shown as pictures. Over the IJG
// libraries GDCM ships, one per precision; with libjpeg-turbo 3.1 or newer at configure time,
// over TurboJPEG 3 instead.
#pragma once

#include <memory>

#include "dicom/sample_decoder.h"

namespace vs {

std::unique_ptr<SampleDecoder> makeJpegSampleDecoder();

}  // namespace vs
