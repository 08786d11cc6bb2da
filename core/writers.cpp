// The TIFF, BMP and RAW writers. All numbers are little endian. Pixels are written a frame or a
// row at a time; the bytes are those of writing each sample on its own.
#include "core/writers.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/jpeg_frame.h"
#include "core/render.h"
#include "core/rle.h"

namespace vs {
namespace {

inline constexpr uint32_t tiffEntryCount = 10;
inline constexpr uint32_t bmpInfoHeaderBytes = 40;
inline constexpr uint32_t bmpPixelsPerMetre = 2834;  // 72 dots per inch

enum TiffType : uint16_t { tiffShort = 3, tiffLong = 4 };

class ByteWriter {
public:
    explicit ByteWriter(uint8_t* at) : at_(at) {}
    void u16(uint32_t value) {
        at_[0] = uint8_t(value);
        at_[1] = uint8_t(value >> 8);
        at_ += 2;
    }
    void u32(uint32_t value) {
        u16(value & 0xFFFF);
        u16(value >> 16);
    }
    void bytes(const char* text, size_t n) {
        std::memcpy(at_, text, n);
        at_ += n;
    }

private:
    uint8_t* at_;
};

// A TIFF file with one strip of uncompressed greyscale samples (black is zero) right behind a
// single 10-entry image file directory.
void fillTiffHeader(uint8_t (&header)[tiffHeaderBytes], const ImageState& image, uint32_t bitsPerSample) {
    std::memset(header, 0, sizeof header);
    ByteWriter out(header);
    out.bytes("II", 2);
    out.u16(42);
    out.u32(8);  // the directory follows the 8-byte file header
    out.u16(tiffEntryCount);
    auto entry = [&out](uint16_t tag, uint16_t type, uint32_t value) {
        out.u16(tag);
        out.u16(type);
        out.u32(1);
        out.u32(value);  // a SHORT sits in the first two bytes, the other two stay zero
    };
    const uint32_t stripBytes = image.pixelsPerFrame * (bitsPerSample / 8);
    entry(254, tiffLong, 0);                 // NewSubfileType
    entry(256, tiffLong, image.columns);     // ImageWidth
    entry(257, tiffLong, image.rows);        // ImageLength
    entry(258, tiffShort, bitsPerSample);    // BitsPerSample
    entry(259, tiffShort, 1);                // Compression: none
    entry(262, tiffShort, 1);                // PhotometricInterpretation: black is zero
    entry(273, tiffLong, tiffHeaderBytes);   // StripOffsets
    entry(277, tiffShort, 1);                // SamplesPerPixel
    entry(278, tiffLong, image.rows);        // RowsPerStrip
    entry(279, tiffLong, stripBytes);        // StripByteCounts
    out.u32(0);                              // no next directory
}

// A top-down 8-bit BMP with a 256-level grey palette.
void fillBmpHeader(uint8_t (&header)[bmpPixelOffset], const ImageState& image) {
    std::memset(header, 0, sizeof header);
    const uint32_t rowLength = bmpRowLength(image.columns);
    const uint32_t pixelBytes = rowLength * image.rows;
    ByteWriter out(header);
    out.bytes("BM", 2);
    out.u32(bmpPixelOffset + pixelBytes);
    out.u32(0);
    out.u32(bmpPixelOffset);
    out.u32(bmpInfoHeaderBytes);
    out.u32(image.columns);
    out.u32(uint32_t(-int32_t(image.rows)));  // negative height: top row first
    out.u16(1);
    out.u16(8);
    out.u32(0);
    out.u32(pixelBytes);
    out.u32(bmpPixelsPerMetre);
    out.u32(bmpPixelsPerMetre);
    out.u32(0);
    out.u32(0);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t entry[4] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
        out.bytes(reinterpret_cast<const char*>(entry), 4);
    }
}

bool put(std::FILE* out, const void* bytes, size_t n) {
    return n == 0 || std::fwrite(bytes, 1, n, out) == n;
}

// Renders the current compressed frame the way the image window shows it (a JPEG frame is
// decoded by unwritableFrameReason first).
void renderCompressedFrame(Viewer& v) {
    renderFrame(v);
    ensureDisplayCapacity(v, size_t(v.dicom.image.rows) * v.window.displayStride);
}

// Writes the rendered picture row by row, each row widened to width bytes per pixel and padded
// with zeros up to rowBytes.
bool writeDisplayRows(Viewer& v, std::FILE* out, uint32_t bytesPerPixel, size_t rowBytes) {
    const ImageState& image = v.dicom.image;
    std::vector<uint8_t> row(rowBytes, 0);
    bool ok = true;
    for (uint32_t r = 0; r < image.rows; ++r) {
        const uint8_t* in = v.display.data() + size_t(r) * v.window.displayStride;
        if (bytesPerPixel == 1) {
            std::memcpy(row.data(), in, image.columns);
        } else {
            for (uint32_t x = 0; x < image.columns; ++x) row[2 * size_t(x)] = in[x];
        }
        ok = put(out, row.data(), rowBytes) && ok;
    }
    return ok;
}

// Windows the frame's rows into the display buffer a slice at a time (as many rows of
// rowLength bytes as its start size holds) and writes each slice, so that a large frame needs
// no staging block of its size. Bytes from columns to rowLength are zero.
bool writeMappedRows(Viewer& v, std::FILE* out, size_t rowLength) {
    const ImageState& image = v.dicom.image;
    const uint32_t sliceRows = uint32_t(std::clamp<size_t>(displayStartBytes / rowLength, 1, image.rows));
    ensureDisplayCapacity(v, sliceRows * rowLength);
    uint8_t* slice = v.display.data();
    for (uint32_t r = 0; r < sliceRows && rowLength > image.columns; ++r)
        std::memset(slice + r * rowLength + image.columns, 0, rowLength - image.columns);
    const std::vector<uint8_t> table = windowTableOfFrame(v);
    bool ok = true;
    for (uint32_t first = 0; first < image.rows; first += sliceRows) {
        const uint32_t rows = std::min(sliceRows, image.rows - first);
        mapUncompressedRows(v, table, first, rows, slice, rowLength);
        ok = put(out, slice, rows * rowLength) && ok;
    }
    return ok;
}

bool writeUncompressedPixels(Viewer& v, std::FILE* out, uint16_t format) {
    const ImageState& image = v.dicom.image;
    if (format == formatTiff8) return writeMappedRows(v, out, image.columns);
    if (format == formatBmp) return writeMappedRows(v, out, bmpRowLength(image.columns));
    // 16-bit little-endian samples are written as they lie in the file.
    const size_t bytes = 2 * size_t(image.pixelsPerFrame);
    if (const uint8_t* words = storedWordsInPlace(v)) return put(out, words, bytes);
    ensureDisplayCapacity(v, bytes);
    storedWordsOfFrame(v, v.display.data());
    return put(out, v.display.data(), bytes);
}

bool writeCompressedPixels(Viewer& v, std::FILE* out, uint16_t format) {
    const ImageState& image = v.dicom.image;
    const bool sixteen = format == formatTiff16 || format == formatRaw;
    if (sixteen && image.compression == compressionRle && image.bitsAllocated > 8) {
        const size_t bytes = 2 * size_t(image.pixelsPerFrame);
        const uint8_t* words = decodedRleFrame16(v);
        if (words) return put(out, words, bytes);
        // A frame whose header names no usable segments is written as zeros.
        ensureDisplayCapacity(v, bytes);
        std::memset(v.display.data(), 0, bytes);
        return put(out, v.display.data(), bytes);
    }
    renderCompressedFrame(v);
    if (format == formatTiff8) return writeDisplayRows(v, out, 1, image.columns);
    if (format == formatBmp) return writeDisplayRows(v, out, 1, bmpRowLength(image.columns));
    return writeDisplayRows(v, out, 2, 2 * size_t(image.columns));
}

}  // namespace

std::string unwritableFrameReason(Viewer& v) {
    const ImageState& image = v.dicom.image;
    // Frames the renderer does not draw have no pixels to write; they are refused rather than
    // written from whatever the display buffer held.
    if (image.compression == compressionJpeg && image.bitsAllocated != 8)
        return "only 8-bit JPEG frames are decoded";
    if (image.compression == compressionRle && image.bitsAllocated < 8) return "RLE frames below 8 bits are not drawn";
    if (image.compression != compressionJpeg || pictureOfCurrentFrame(v)) return "";
    const JpegFrameDecode decode = readJpegFrame(v);
    return decode.reason;
}

std::string unwritableFrameText(const Viewer& v, const std::string& sourcePath, const std::string& reason) {
    return "Error: Frame " + std::to_string(v.currentFrame + 1) + " of " + std::to_string(v.dicom.image.frameCount) +
           " in '" + sourcePath + "' cannot be decoded!\n" + reason;
}

uint32_t writeImageFile(Viewer& v, std::FILE* out) {
    const ImageState& image = v.dicom.image;
    const uint16_t format = v.outputFormat;
    if (format > formatRaw || !unwritableFrameReason(v).empty()) return 0;
    prepareWindowForRendering(v);

    bool ok = true;
    if (format == formatTiff8 || format == formatTiff16) {
        uint8_t header[tiffHeaderBytes];
        fillTiffHeader(header, image, format == formatTiff8 ? 8 : 16);
        ok = put(out, header, sizeof header);
    } else if (format == formatBmp) {
        uint8_t header[bmpPixelOffset];
        fillBmpHeader(header, image);
        ok = put(out, header, sizeof header);
    }

    const bool pixelsOk = image.compression == compressionNone ? writeUncompressedPixels(v, out, format)
                                                               : writeCompressedPixels(v, out, format);
    ok = pixelsOk && ok;
    ok = std::fflush(out) == 0 && ok;
    return ok ? 1 : 0;
}

}  // namespace vs
