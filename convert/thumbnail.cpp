#include "convert/thumbnail.h"

#include <algorithm>
#include <cstring>

#include "dicom/presets.h"

namespace vs {

PictureSize thumbnailSize(uint32_t width, uint32_t height, uint32_t side) {
    const uint32_t longer = std::max(width, height);
    if (longer <= side) return {width, height};
    const auto scaled = [&](uint32_t length) {
        return std::max<uint32_t>(1, uint32_t((uint64_t(length) * side + longer / 2) / longer));
    };
    return {scaled(width), scaled(height)};
}

// Input column x spans [x * outWidth, (x + 1) * outWidth) in units, output column X spans
// [X * inWidth, (X + 1) * inWidth); rows likewise with the heights. An input pixel is never
// longer than an output pixel, so it lies in one output column or straddles two.
AreaAverager::AreaAverager(uint16_t width, uint16_t height, PictureSize out)
    : inWidth_(width),
      inHeight_(height),
      out_{std::min<uint32_t>(out.width, width), std::min<uint32_t>(out.height, height)},
      rows_(width) {
    firstColumn_.resize(inWidth_);
    firstOverlap_.resize(inWidth_);
    for (uint32_t x = 0; x < inWidth_; ++x) {
        const uint64_t start = uint64_t(x) * out_.width;
        const uint32_t column = uint32_t(start / inWidth_);
        const uint64_t columnEnd = uint64_t(column + 1) * inWidth_;
        firstColumn_[x] = column;
        firstOverlap_[x] = uint32_t(std::min<uint64_t>(start + out_.width, columnEnd) - start);
    }
    wholeSums_.assign(inWidth_, 0);
    partSums_.assign(inWidth_, 0);
    outputSums_.assign(out_.width, 0);
    picture_.assign(size_t(out_.width) * out_.height, 0);
}

bool AreaAverager::write(const void* bytes, size_t n) {
    return rows_.add(static_cast<const uint8_t*>(bytes), n, [this](const uint8_t* row) {
        addRow(row);
        return true;
    });
}

// Adds the row's levels with its overlap with the output row being made; the part of it
// beyond that row starts the next. A row wholly inside one output row (most rows) has the
// overlap of a whole row: its levels are only added up, and multiplied once at the end.
void AreaAverager::addRow(const uint8_t* row) {
    if (rowsIn_ >= inHeight_) return;  // rows beyond the picture's height are not part of it
    const uint64_t start = uint64_t(rowsIn_++) * out_.height;
    const uint64_t end = start + out_.height;
    const uint64_t outputRowEnd = uint64_t(rowsOut_ + 1) * inHeight_;
    const auto addPart = [&](uint32_t weight) {
        uint32_t* __restrict sums = partSums_.data();
        for (uint32_t x = 0; x < inWidth_; ++x) sums[x] += weight * row[x];
    };
    if (end < outputRowEnd) {
        uint32_t* __restrict sums = wholeSums_.data();
        for (uint32_t x = 0; x < inWidth_; ++x) sums[x] += row[x];
        return;
    }
    addPart(uint32_t(outputRowEnd - start));
    finishOutputRow();
    if (end > outputRowEnd) addPart(uint32_t(end - outputRowEnd));
}

// A column's weighted sum is at most 255 x inHeight (the overlaps within one output row add
// up to inHeight units); an output pixel's, 255 x inWidth x inHeight, its area in units².
void AreaAverager::finishOutputRow() {
    std::fill(outputSums_.begin(), outputSums_.end(), 0);
    for (uint32_t x = 0; x < inWidth_; ++x) {
        const uint64_t columnSum = uint64_t(wholeSums_[x]) * out_.height + partSums_[x];
        const uint32_t column = firstColumn_[x];
        const uint32_t overlap = firstOverlap_[x];
        outputSums_[column] += overlap * columnSum;
        if (overlap < out_.width) outputSums_[column + 1] += (out_.width - overlap) * columnSum;
    }
    const uint64_t area = uint64_t(inWidth_) * inHeight_;
    uint8_t* out = picture_.data() + size_t(rowsOut_) * out_.width;
    for (uint32_t column = 0; column < out_.width; ++column)
        out[column] = uint8_t((outputSums_[column] + area / 2) / area);
    std::fill(wholeSums_.begin(), wholeSums_.end(), 0);
    std::fill(partSums_.begin(), partSums_.end(), 0);
    ++rowsOut_;
}

bool writeThumbnail(FrameSource& source, const ImageState& image, uint32_t side, const PngEncoder& png,
                    ByteSink& out) {
    const uint32_t frame = thumbnailFrame(image.frameCount);
    if (!source.unreadableReason(frame).empty()) return false;
    const DisplayWindow window = presetWindow(image, source.sampleRange(frame), presetStoredSettings, {});
    const WindowMapping m = windowMapping(window.low, window.high, image.monochrome1);
    AreaAverager averager(image.columns, image.rows, thumbnailSize(image.columns, image.rows, side));
    writeGreyLevels(source, image, frame, m, averager);
    const PictureSize size = averager.size();
    const std::unique_ptr<PngRowSink> rows = png.start({size.width, size.height, 8, pngTexts(&m)}, out);
    if (!rows) return false;
    const bool ok = rows->write(averager.picture().data(), averager.picture().size());
    return rows->finish() && ok;
}

}  // namespace vs
