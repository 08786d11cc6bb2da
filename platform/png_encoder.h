// The PNG encoder of grey pictures, over libpng.
#pragma once

#include <memory>

#include "convert/png_encoder.h"

namespace vs {

// How zlib compresses and which row filter goes before it. The default is chosen for speed
// (bench_writers BM_WritePng): the Sub filter (each sample less its left neighbour) and zlib's
// run-length strategy at level 1 write a 512² CT slice 13 (8-bit) to 17 (16-bit) times as fast
// as libpng's defaults (level 6, Z_FILTERED, the filter chosen row by row), and twice as fast
// as level 1 with those, for a file of about the same size (7 % smaller, 1 % larger): the
// pictures are smooth, so after Sub most bytes repeat.
struct PngCompression {
    int level = 1;       // zlib level 0..9, or -1: zlib's default (6)
    int filters = 0x10;  // libpng's PNG_FILTER_* bits: 0x10 Sub; 0xF8 all, chosen row by row
    int strategy = 3;    // zlib's Z_RLE; -1: libpng's default (Z_FILTERED for filtered rows)
};

class LibpngEncoder : public PngEncoder {
public:
    explicit LibpngEncoder(PngCompression compression = {}) : compression_(compression) {}
    std::unique_ptr<PngRowSink> start(const GreyPngLayout& layout, ByteSink& out) const override;

private:
    PngCompression compression_;
};

}  // namespace vs
