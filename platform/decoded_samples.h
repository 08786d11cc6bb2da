// What the sample decoders share: comparing what a codestream says about its picture with the
// frame layout the header gives, before anything is allocated, and storing decoded values as
// the layout's samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dicom/sample_decoder.h"

namespace vs {

// Sets whyNot to the decoder's name and why, and answers false: a frame refused.
bool refuse(std::string_view decoder, std::string_view why, std::string& whyNot);

// What a codestream's own header says about its picture.
struct CodestreamShape {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 0;
    uint32_t precision = 0;  // bits per sample
};

// Why a codestream of this shape cannot give the layout's samples, after the decoder's name;
// empty when it can. A precision up to Bits Allocated fits whatever Bits Stored says: the
// samples are stored as the low Bits Allocated bits of each value's two's complement, and the
// reader takes their low Bits Stored bits with the sign (0028,0103) gives, as for uncompressed
// data. So a stream whose precision or sign disagrees with Bits Stored and Pixel
// Representation (an unsigned 13-bit stream in a file that says signed 13 bits) reads as the
// header says, and bits above Bits Stored are dropped by the reader.
std::string shapeMismatch(std::string_view decoder, const CodestreamShape& shape, const FrameLayout& layout);

// Stores count values as samples of bitsAllocated (8 or 16) bits, little-endian: the low bits
// of each value's two's complement.
template <typename Value>
void storeSamples(const Value* values, size_t count, uint16_t bitsAllocated, std::vector<uint8_t>& out) {
    if (bitsAllocated == 8) {
        out.resize(count);
        for (size_t i = 0; i < count; ++i) out[i] = uint8_t(values[i]);
        return;
    }
    out.resize(2 * count);
    for (size_t i = 0; i < count; ++i) {
        const auto word = uint16_t(values[i]);
        out[2 * i] = uint8_t(word);
        out[2 * i + 1] = uint8_t(word >> 8);
    }
}

}  // namespace vs
