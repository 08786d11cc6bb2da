// Writing one frame as an 8-bit TIFF, 16-bit TIFF, 8-bit BMP, 16-bit RAW or 8- or 16-bit PNG
// file, to a sink.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dicom/frame_source.h"
#include "dicom/image_state.h"
#include "dicom/windowing.h"

namespace vs {

enum OutputFormat : uint16_t {
    formatTiff8 = 0,
    formatTiff16 = 1,
    formatBmp = 2,
    formatRaw = 3,
    formatPng8 = 4,   // the 8-bit TIFF's samples
    formatPng16 = 5,  // the 16-bit TIFF's samples
};

inline constexpr uint32_t tiffHeaderBytes = 140;
inline constexpr uint32_t bmpHeaderBytes = 54;
inline constexpr uint32_t bmpPixelOffset = 1078;  // headers and the 256-entry palette

// Bytes of a BMP row: columns rounded up to a multiple of 4.
inline constexpr uint32_t bmpRowLength(uint32_t columns) { return (columns + 3) & ~3u; }

class PngEncoder;

// Where written bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when not all n bytes could be written.
    virtual bool write(const void* bytes, size_t n) = 0;
};

// Cuts bytes that come in writes of any length into rows of rowBytes: whole rows are handed on
// where they lie, and a row split across writes is gathered first.
class RowGatherer {
public:
    explicit RowGatherer(size_t rowBytes) : rowBytes_(rowBytes) {}

    // Calls takeRow(const uint8_t* row) for each row the n bytes complete; false when a call
    // returned false.
    template <typename TakeRow>
    bool add(const uint8_t* at, size_t n, TakeRow takeRow) {
        if (rowBytes_ == 0) return true;
        bool ok = true;
        if (!pending_.empty()) {
            const size_t take = std::min(n, rowBytes_ - pending_.size());
            pending_.insert(pending_.end(), at, at + take);
            at += take;
            n -= take;
            if (pending_.size() < rowBytes_) return true;
            ok = takeRow(pending_.data());
            pending_.clear();
        }
        for (; n >= rowBytes_; at += rowBytes_, n -= rowBytes_) ok = takeRow(at) && ok;
        pending_.assign(at, at + n);
        return ok;
    }

    // Whether a row has begun and not ended.
    bool partialRow() const { return !pending_.empty(); }

private:
    size_t rowBytes_;
    std::vector<uint8_t> pending_;
};

// A stream opened for writing; the sink neither seeks, flushes nor closes it.
class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* file) : file_(file) {}
    bool write(const void* bytes, size_t n) override;

private:
    std::FILE* file_;
};

// Room for the rows on their way from the frame source to the sink. Whoever writes many frames
// keeps one, so that the memory is touched once rather than at every frame.
struct RowRoom {
    std::vector<uint8_t> slice;  // windowed rows
    std::vector<uint8_t> rows;   // the rows as they go out
    std::vector<uint8_t> words;  // stored samples made into 16-bit words
};

// Writes frame of the image in format to out: 8-bit formats through the window m, 16-bit ones
// as the stored words (or, for encodings that hold a picture, its windowed grey levels). True
// when every write wrote all its bytes. A frame that cannot be read (FrameSource::
// unreadableReason) is not written at all: callers ask before they create the output. The PNG
// formats need an encoder (png) and are not written without one. room (null: room of its own)
// holds the rows on their way.
bool writeFrame(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
                OutputFormat format, ByteSink& out, const PngEncoder* png = nullptr, RowRoom* room = nullptr);

// The frame's 8-bit picture through the window m: rows of columns bytes from the top row down
// (the 8-bit TIFF's strip), a slice of rows a write. True when every write wrote all its bytes.
bool writeGreyLevels(FrameSource& source, const ImageState& image, uint32_t frame, const WindowMapping& m,
                     ByteSink& out, RowRoom* room = nullptr);

// The message that tells of a frame that cannot be written: its number (from 1) and count,
// the source file and the reason.
std::string unwritableFrameText(uint32_t frame, uint32_t frameCount, const std::string& sourcePath,
                                const std::string& reason);

}  // namespace vs
