// Reading one frame of a DicomImage whatever its encoding: the range of its samples, its 8-bit
// picture through a window, and its stored values as 16-bit words. There is one source per
// encoding family (uncompressed, RLE, JPEG pictures, frames decoded to samples) and
// frameSourceFor picks it. A source keeps the last frame it decoded, so that the range scan,
// the picture and the writers decode a frame once and a contrast drag over it decodes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dicom/band_pool.h"
#include "dicom/decoders.h"
#include "dicom/dicom_image.h"
#include "dicom/picture.h"
#include "dicom/sample_decoder.h"
#include "dicom/windowing.h"

namespace vs {

// What windowing a frame came to: whether it was drawn, and the range of the samples seen on
// the way where only decoding tells it (RLE and JPEG), either in place of the frame's range
// or to widen it.
struct WindowedFrame {
    bool drawn = false;
    std::optional<SampleRange> seen;
    bool widens = false;
};

// Frames of at least this many pixels are windowed, and their ranges read, in row bands on
// the band pool's threads when the source has one.
inline constexpr uint32_t bandedFramePixels = 1000000;

class FrameSource {
public:
    virtual ~FrameSource() = default;

    // Windows large frames in bands on pool (null: on the calling thread only), those of at
    // least leastPixels pixels. The pool must outlive the source.
    void bandOn(BandPool* pool, uint32_t leastPixels = bandedFramePixels) {
        bands_ = pool;
        leastBandedPixels_ = leastPixels;
    }

    // Why the frame can be neither drawn nor written, or empty when it can. A JPEG frame is
    // decoded to know.
    virtual std::string unreadableReason(uint32_t frame) = 0;

    // The range of the frame's samples as the window presets take it: read from the samples
    // where they are samples, the depth's nominal range where they are a picture.
    virtual SampleRange sampleRange(uint32_t frame) = 0;

    // Windows rows firstRow .. firstRow + rowCount - 1 of the frame (cut at its last row) into
    // dest, rows stride bytes apart (stride at least the columns). Bytes from the columns to
    // the stride are left alone, except that a picture narrower than the stride fills them.
    // The rows of a large frame are cut into bands, one a lane of the band pool.
    WindowedFrame windowRows(uint32_t frame, const WindowMapping& m, uint32_t firstRow, uint32_t rowCount,
                             uint8_t* dest, size_t stride);

    // The frame's stored values as packed little-endian 16-bit words, where they lie in the
    // buffer or written into scratch; nullptr when the encoding holds a picture, not samples.
    virtual const uint8_t* storedWords(uint32_t frame, std::vector<uint8_t>& scratch) = 0;

    // Starts decoding frame on a worker, so that it is ready when asked for (a cine asks for
    // the frame after the one it shows, the converter for its next two). At most two frames
    // are decoded ahead (one when the decoder serves one thread at a time); more are not
    // started until those are read. Sources whose frames cost little do nothing. The source's
    // decoder is busy until the frame is asked for or the source is gone.
    virtual void decodeAhead(uint32_t /*frame*/) {}

protected:
    // How several threads window one frame: the frame is decoded, and its window table made,
    // once on the calling thread (prepareWindowing, which may change the source's caches), and
    // the bands then only read what it left (windowPrepared is const and writes only dest), so
    // they can run at once. False when the frame cannot be drawn.
    virtual bool prepareWindowing(uint32_t frame, const WindowMapping& m) = 0;
    // Rows firstRow .. firstRow + rowCount - 1 (inside the frame) of the prepared frame.
    virtual WindowedFrame windowPrepared(uint32_t firstRow, uint32_t rowCount, uint8_t* dest, size_t stride) const = 0;

    // The pool that the image's frames are cut into bands on, or null when they are windowed on
    // the calling thread.
    BandPool* bands() const {
        return bands_ && bands_->lanes() > 1 && image().pixelsPerFrame >= leastBandedPixels_ ? bands_ : nullptr;
    }
    // The fewest samples a band takes: a sixty-fourth of the least banded frame.
    uint32_t leastBandSamples() const { return leastBandedPixels_ / 64; }

    // The image whose frames the source reads.
    virtual const ImageState& image() const = 0;

private:
    BandPool* bands_ = nullptr;
    uint32_t leastBandedPixels_ = bandedFramePixels;
};

// The source for the image's encoding. The image and the decoders must outlive it; a new
// file read into the image needs a new source.
std::unique_ptr<FrameSource> frameSourceFor(const DicomImage& dicom, const Decoders& decoders);

std::unique_ptr<FrameSource> uncompressedSource(const DicomImage& dicom);
std::unique_ptr<FrameSource> rleSource(const DicomImage& dicom);
std::unique_ptr<FrameSource> jpegSource(const DicomImage& dicom, PictureDecoder* decoder);
// Frames decoded to samples by decoder, which messages call codec ("JPEG-LS"); without a
// decoder every frame is refused.
std::unique_ptr<FrameSource> decodedSource(const DicomImage& dicom, SampleDecoder* decoder, const char* codec);

// The range a sample of this depth can take: what is known of a frame whose samples are not
// read.
SampleRange nominalRange(const ImageState& image);

// The value of stored sample number s of uncompressed pixel data (counted from the pixel data's
// start). Reads that would fall outside the buffer read zeros.
int32_t sampleValue(const DicomImage& dicom, uint32_t s);

// The byte range of a frame's JPEG fragment in the buffer.
struct JpegFragment {
    uint32_t start = 0;
    uint32_t size = 0;       // bounded by the file's length
    bool reachable = false;  // false when the start lies beyond the file
};
JpegFragment jpegFragment(const DicomImage& dicom, uint32_t frame);

// RLE frames (PS3.5 Annex G). An 8-bit frame's one segment into dest, pixelsPerFrame bytes.
void decodeRleFrame8(const DicomImage& dicom, uint32_t frame, uint8_t* dest);
// A deeper frame into dest as pixelsPerFrame little-endian 16-bit words; planes is scratch
// room of 2 * pixelsPerFrame bytes. False, with dest left alone, when the header's segment
// count is not 1 or 2.
bool decodeRleFrame16(const DicomImage& dicom, uint32_t frame, uint8_t* dest, uint8_t* planes);

}  // namespace vs
