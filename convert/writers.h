// Writing one frame as an 8-bit TIFF, 16-bit TIFF, 8-bit BMP or 16-bit RAW file, to a sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "dicom/frame_source.h"
#include "dicom/image_state.h"
#include "dicom/windowing.h"

namespace vs {

enum OutputFormat : uint16_t {
    formatTiff8 = 0,
    formatTiff16 = 1,
    formatBmp = 2,
    formatRaw = 3,
};

inline constexpr uint32_t tiffHeaderBytes = 140;
inline constexpr uint32_t bmpHeaderBytes = 54;
inline constexpr uint32_t bmpPixelOffset = 1078;  // headers and the 256-entry palette

// Bytes of a BMP row: columns rounded up to a multiple of 4.
inline constexpr uint32_t bmpRowLength(uint32_t columns) { return (columns + 3) & ~3u; }

// Where written bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when not all n bytes could be written.
    virtual bool write(const void* bytes, size_t n) = 0;
};

// A stream opened for writing; the sink neither seeks, flushes nor closes it.
class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* file) : file_(file) {}
    bool write(const void* bytes, size_t n) override;

private:
    std::FILE* file_;
};

// Writes frame of the image in format to out: 8-bit formats through the window m, 16-bit ones
// as the stored words (or, for encodings that hold a picture, its windowed grey levels). True
// when every write wrote all its bytes. A frame that cannot be read (FrameSource::
// unreadableReason) is not written at all: callers ask before they create the output.
bool writeFrame(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
                OutputFormat format, ByteSink& out);

// The message that tells of a frame that cannot be written: its number (from 1) and count,
// the source file and the reason.
std::string unwritableFrameText(uint32_t frame, uint32_t frameCount, const std::string& sourcePath,
                                const std::string& reason);

}  // namespace vs
