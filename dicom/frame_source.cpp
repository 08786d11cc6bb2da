#include "dicom/frame_source.h"

#include <algorithm>

namespace vs {

WindowedFrame FrameSource::windowRows(uint32_t frame, const WindowMapping& m, uint32_t firstRow, uint32_t rowCount,
                                      uint8_t* dest, size_t stride) {
    if (!prepareWindowing(frame, m)) return {};
    const uint32_t rows = image().rows;
    rowCount = std::min(rowCount, firstRow < rows ? rows - firstRow : 0u);
    BandPool* pool = bands();
    if (!pool || rowCount < 2) return windowPrepared(firstRow, rowCount, dest, stride);
    // Each band writes its own rows of dest and reads what prepareWindowing left.
    const uint32_t count = pool->bandsFor(rowCount, leastBandSamples() / image().columns);
    std::vector<WindowedFrame> parts(count);
    pool->run(count, [&](uint32_t band) {
        const uint32_t first = bandStart(rowCount, count, band);
        const uint32_t end = bandStart(rowCount, count, band + 1);
        parts[band] = windowPrepared(firstRow + first, end - first, dest + size_t(first) * stride, stride);
    });
    WindowedFrame whole = parts.front();
    for (const WindowedFrame& part : parts) {
        if (!part.seen) continue;
        if (!whole.seen) whole.seen = part.seen;
        whole.seen->low = std::min(whole.seen->low, part.seen->low);
        whole.seen->high = std::max(whole.seen->high, part.seen->high);
    }
    return whole;
}

const char* codecOf(uint16_t compression) {
    switch (compression) {
        case compressionJpeg:
        case compressionLosslessJpeg:
        case compressionJpegSamples: return "JPEG";
        case compressionJpegLs: return "JPEG-LS";
        case compressionJpeg2000: return "JPEG 2000";
        case compressionHtj2k: return "HTJ2K";
        default: return nullptr;
    }
}

std::unique_ptr<FrameSource> frameSourceFor(const DicomImage& dicom, const Decoders& decoders) {
    const uint16_t kind = dicom.image.compression;
    switch (kind) {
        case compressionRle: return rleSource(dicom);
        case compressionJpeg: return jpegSource(dicom, decoders.picture);
        case compressionLosslessJpeg:
        case compressionJpegSamples: return decodedSource(dicom, decoders.jpeg, codecOf(kind));
        case compressionJpegLs: return decodedSource(dicom, decoders.jpegLs, codecOf(kind));
        case compressionJpeg2000:
        case compressionHtj2k: return decodedSource(dicom, decoders.jpeg2000, codecOf(kind));
        default: return uncompressedSource(dicom);
    }
}

}  // namespace vs
