// One frame through one build of the IJG JPEG library that GDCM ships (libgdcm-dev): IJG 6b
// with the lossless extension, built for samples of at most 8, 12 or 16 bits, its symbols
// renamed (gdcmjpeg16_...) so that it cannot clash with the libjpeg that Qt loads. Each build
// has its own translation unit (ijg_decode.cpp, compiled once per depth).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dicom/sample_decoder.h"

namespace vs::ijg {

// As SampleDecoder::decode, for streams of at most 8, 12 or 16 bits of precision.
bool decode8(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out, std::string& whyNot);
bool decode12(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
              std::string& whyNot);
bool decode16(const uint8_t* bytes, size_t size, const FrameLayout& layout, std::vector<uint8_t>& out,
              std::string& whyNot);

}  // namespace vs::ijg
