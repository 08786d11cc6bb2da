// Thumbnails for file managers: one frame of a file as a small 8-bit grey PNG, scaled down by
// area averaging so that the fine lines of a large image (a mammogram, a 4096² detector) turn
// into their mean grey instead of aliasing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/png_encoder.h"
#include "convert/writers.h"
#include "dicom/frame_source.h"
#include "dicom/image_state.h"

namespace vs {

inline constexpr uint32_t largestThumbnailSide = 4096;

struct PictureSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// width x height fitted into side x side keeping the aspect ratio: the longer side becomes
// side, the shorter one in proportion (rounded, at least 1). A picture that fits keeps its
// size: a thumbnail is never scaled up.
PictureSize thumbnailSize(uint32_t width, uint32_t height, uint32_t side);

// Scales an 8-bit grey picture down by area averaging. Its rows come in order, packed (width
// bytes each), in writes of any length; each output pixel is the mean of the input area it
// covers, every input pixel weighted by the part of it inside, rounded to the nearest level.
// The arithmetic is exact: positions are counted in units of 1/(output size) of an input
// pixel, so every overlap is a whole number.
class AreaAverager : public ByteSink {
public:
    // An output larger than the input in a direction keeps the input's size there.
    AreaAverager(uint16_t width, uint16_t height, PictureSize out);
    bool write(const void* bytes, size_t n) override;

    // The output, height rows of width bytes, once every input row is in.
    const std::vector<uint8_t>& picture() const { return picture_; }
    PictureSize size() const { return out_; }

private:
    void addRow(const uint8_t* row);
    void finishOutputRow();

    uint32_t inWidth_;
    uint32_t inHeight_;
    PictureSize out_;
    // Per input column: the output column it starts in, and its overlap with it (the rest of
    // its outWidth units lie in the next one).
    std::vector<uint32_t> firstColumn_;
    std::vector<uint32_t> firstOverlap_;
    // Per input column, for the output row being made: the levels of the rows wholly inside
    // it, and the weighted levels of the rows that straddle its edges.
    std::vector<uint32_t> wholeSums_;
    std::vector<uint32_t> partSums_;
    std::vector<uint64_t> outputSums_;
    RowGatherer rows_;
    uint32_t rowsIn_ = 0;
    uint32_t rowsOut_ = 0;
    std::vector<uint8_t> picture_;
};

// The frame a thumbnail shows: the middle one of several, else the only one.
inline constexpr uint32_t thumbnailFrame(uint32_t frameCount) { return frameCount / 2; }

// Writes the thumbnail of an image, fitted into side x side, as an 8-bit grey PNG to out: its
// thumbnailFrame through the file's stored window (a contrast stretch when it has none),
// MONOCHROME1 inverted as the viewer shows it. False when that frame cannot be read (nothing
// is written then) or a write failed.
bool writeThumbnail(FrameSource& source, const ImageState& image, uint32_t side, const PngEncoder& png,
                    ByteSink& out);

}  // namespace vs
