// The TIFF, BMP, RAW and PNG writers. All numbers are little endian (but PNG's, which the
// encoder writes). Pixels are written a frame or a row at a time; the bytes are those of
// writing each sample on its own.
#include "convert/writers.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "convert/png_encoder.h"
#include "vireoscan_version.h"

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

// The rows of the frame windowed a slice at a time (as many rows as a mebibyte holds), each
// row widened to bytesPerPixel bytes per pixel (the grey level in the low byte) and padded with
// zeros up to rowBytes. A large frame so needs no staging block of its size, and its slices
// are windowed in bands by the source. A frame that cannot be drawn gives zeros.
bool writeWindowedRows(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
                       ByteSink& out, uint32_t bytesPerPixel, size_t rowBytes, RowRoom& room) {
    constexpr size_t sliceBytes = size_t(1) << 20;
    const size_t columns = image.columns;
    const size_t stride = displayStrideFor(image.columns);
    const uint32_t sliceRows = uint32_t(std::clamp<size_t>(sliceBytes / stride, 1, std::max<uint32_t>(image.rows, 1)));
    const bool widened = bytesPerPixel != 1;
    // The slice's rows as they go out, written with one call: a file gets few large writes.
    if (room.rows.size() < sliceRows * rowBytes) room.rows.resize(sliceRows * rowBytes);
    if (widened && room.slice.size() < sliceRows * stride) room.slice.resize(sliceRows * stride);
    bool ok = true;
    for (uint32_t first = 0; first < image.rows; first += sliceRows) {
        const uint32_t rows = std::min(sliceRows, image.rows - first);
        if (widened) {
            uint8_t* slice = room.slice.data();
            if (!source.windowRows(frame, m, first, rows, slice, stride).drawn) std::memset(slice, 0, rows * stride);
            for (uint32_t r = 0; r < rows; ++r) {
                const uint8_t* in = slice + size_t(r) * stride;
                uint8_t* row = room.rows.data() + size_t(r) * rowBytes;
                for (size_t x = 0; x < columns; ++x) {
                    row[2 * x] = in[x];
                    row[2 * x + 1] = 0;
                }
            }
        } else {
            // Grey levels go straight into the rows that go out; what a picture wider than the
            // image leaves after a row's pixels is cleared.
            uint8_t* rowsOut = room.rows.data();
            if (!source.windowRows(frame, m, first, rows, rowsOut, rowBytes).drawn)
                std::memset(rowsOut, 0, rows * rowBytes);
            if (rowBytes > columns)
                for (uint32_t r = 0; r < rows; ++r) std::memset(rowsOut + r * rowBytes + columns, 0, rowBytes - columns);
        }
        ok = out.write(room.rows.data(), size_t(rows) * rowBytes) && ok;
    }
    return ok;
}

// The 16-bit samples: the stored words where the encoding holds samples (words, as storedWords
// gave them), else the picture's grey levels widened to words.
bool writeWords(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
                const uint8_t* words, ByteSink& out, RowRoom& room) {
    if (words) return out.write(words, 2 * size_t(image.pixelsPerFrame));
    return writeWindowedRows(source, image, frame, m, out, 2, 2 * size_t(image.columns), room);
}

bool writePixels(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
                 OutputFormat format, ByteSink& out, RowRoom& room) {
    if (format == formatTiff8) return writeGreyLevels(source, image, frame, m, out, &room);
    if (format == formatBmp)
        return writeWindowedRows(source, image, frame, m, out, 1, bmpRowLength(image.columns), room);
    return writeWords(source, image, frame, m, source.storedWords(frame, room.words), out, room);
}

// A PNG of the samples the TIFF of the same depth holds, through the encoder's row sink.
bool writePng(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
              OutputFormat format, ByteSink& out, const PngEncoder& png, RowRoom& room) {
    const bool eightBit = format == formatPng8;
    const uint8_t* words = eightBit ? nullptr : source.storedWords(frame, room.words);
    const GreyPngLayout layout{image.columns, image.rows, eightBit ? 8u : 16u, pngTexts(words ? nullptr : &m)};
    const std::unique_ptr<PngRowSink> rows = png.start(layout, out);
    if (!rows) return false;
    const bool ok = eightBit ? writeGreyLevels(source, image, frame, m, *rows, &room)
                             : writeWords(source, image, frame, m, words, *rows, room);
    return rows->finish() && ok;
}

}  // namespace

bool FileSink::write(const void* bytes, size_t n) { return n == 0 || std::fwrite(bytes, 1, n, file_) == n; }

std::string unwritableFrameText(uint32_t frame, uint32_t frameCount, const std::string& sourcePath,
                                const std::string& reason) {
    return "Error: Frame " + std::to_string(frame + 1) + " of " + std::to_string(frameCount) + " in '" + sourcePath +
           "' cannot be decoded!\n" + reason;
}

bool writeGreyLevels(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
                     ByteSink& out, RowRoom* room) {
    RowRoom own;
    return writeWindowedRows(source, image, frame, m, out, 1, image.columns, room ? *room : own);
}

std::vector<PngText> pngTexts(const WindowMapping* window) {
    std::vector<PngText> texts = {{"Software", "Vireoscan " VIREOSCAN_VERSION}};
    if (window) {
        const std::string range = std::to_string(window->low) + ":" + std::to_string(window->high);
        texts.push_back({"Window", window->xorMask ? range + " inverted" : range});
    }
    return texts;
}

bool writeFrame(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
                OutputFormat format, ByteSink& out, const PngEncoder* png, RowRoom* room) {
    if (format > formatPng16 || !source.unreadableReason(frame).empty()) return false;
    RowRoom own;
    RowRoom& rows = room ? *room : own;
    if (format == formatPng8 || format == formatPng16)
        return png && writePng(source, image, frame, m, format, out, *png, rows);
    bool ok = true;
    if (format == formatTiff8 || format == formatTiff16) {
        uint8_t header[tiffHeaderBytes];
        fillTiffHeader(header, image, format == formatTiff8 ? 8 : 16);
        ok = out.write(header, sizeof header);
    } else if (format == formatBmp) {
        uint8_t header[bmpPixelOffset];
        fillBmpHeader(header, image);
        ok = out.write(header, sizeof header);
    }
    return writePixels(source, image, frame, m, format, out, rows) && ok;
}

}  // namespace vs
