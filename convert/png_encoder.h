// PNG files of grey pictures. The writers hand an encoder the rows as they hand a TIFF its
// strip, and it writes the PNG to their sink; platform/ provides the encoder over libpng.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "convert/writers.h"

namespace vs {

// A tEXt chunk: a keyword of 1 to 79 Latin-1 characters and its text.
struct PngText {
    std::string keyword;
    std::string text;
};

// One grey picture: width x height samples of 8 or 16 bits.
struct GreyPngLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitDepth = 8;
    std::vector<PngText> texts;
};

// Takes the picture's samples row after row with no padding (16-bit ones as little-endian
// words, the TIFF strip's order), in writes of any length, and writes the PNG file.
class PngRowSink : public ByteSink {
public:
    // Ends the file once every row is in. False when a row is missing, a write to the sink
    // came up short or the encoder failed.
    virtual bool finish() = 0;
};

// The tEXt chunks the writers give a PNG: the software, and the window (stored values, as
// LOW:HIGH, "inverted" when it was) when the grey levels went through one. Nothing of the
// patient goes into a PNG: such pictures leave the hospital in slides and notebooks.
std::vector<PngText> pngTexts(const WindowMapping* window);

class PngEncoder {
public:
    virtual ~PngEncoder() = default;
    // A sink for one picture writing its PNG file to out (which must outlive it); null when
    // the layout cannot be a PNG. One encoder may serve several threads at once.
    virtual std::unique_ptr<PngRowSink> start(const GreyPngLayout& layout, ByteSink& out) const = 0;
};

}  // namespace vs
