// Lossless JPEG through each build of the IJG codec GDCM ships (samples/lossless_jpeg.cpp,
// compiled once per build): streams of 8, 12 or 16 bits of precision holding the low bits
// bits of each sample.
#pragma once

#include <cstdint>
#include <vector>

namespace vs::testing {

std::vector<uint8_t> encodeLossless8(const std::vector<int32_t>& samples, uint16_t rows, uint16_t columns, int bits,
                                     int predictor, int pointTransform, unsigned restartInterval);
std::vector<uint8_t> encodeLossless12(const std::vector<int32_t>& samples, uint16_t rows, uint16_t columns, int bits,
                                      int predictor, int pointTransform, unsigned restartInterval);
std::vector<uint8_t> encodeLossless16(const std::vector<int32_t>& samples, uint16_t rows, uint16_t columns, int bits,
                                      int predictor, int pointTransform, unsigned restartInterval);

}  // namespace vs::testing
