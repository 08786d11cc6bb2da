// JPEG frames: each frame's fragment is handed in place to the picture decoder, and the first
// byte of each pixel of the picture (the grey level) is the sample.
#include <algorithm>
#include <cstring>

#include "dicom/frame_source.h"

namespace vs {
namespace {

class JpegSource : public FrameSource {
public:
    JpegSource(const DicomImage& dicom, PictureDecoder* decoder) : dicom_(dicom), decoder_(decoder) {}

    std::string unreadableReason(uint32_t frame) override {
        if (dicom_.image.bitsAllocated != 8) return "only 8-bit JPEG frames are decoded";
        decode(frame);
        return reason_;
    }

    SampleRange sampleRange(uint32_t) override {
        if (dicom_.image.bitsAllocated == 8) return {0, 255};
        return nominalRange(dicom_.image);
    }

    const uint8_t* storedWords(uint32_t, std::vector<uint8_t>&) override { return nullptr; }

protected:
    // The frame decoded to a picture of usable size, and the table of 256 made.
    bool prepareWindowing(uint32_t frame, const WindowMapping& m) override {
        if (dicom_.image.bitsAllocated != 8 || !decode(frame)) return false;
        const Picture& picture = picture_;
        if (picture.width <= 0 || picture.height <= 0 || (picture.bytesPerPixel != 1 && picture.bytesPerPixel != 3))
            return false;
        const size_t pixelBytes = size_t(picture.bytesPerPixel);
        if (picture.pixels.size() < size_t(picture.width) * size_t(picture.height) * pixelBytes) return false;
        table_ = byteWindowTable(m);
        return true;
    }

    // The columns right of the picture, up to the stride, are black and count as zero samples.
    // Rows below the image's own never reach the screen or a file.
    WindowedFrame windowPrepared(uint32_t firstRow, uint32_t rowCount, uint8_t* dest, size_t stride) const override {
        const Picture& picture = picture_;
        const size_t pixelBytes = size_t(picture.bytesPerPixel);
        const uint32_t rows = std::min<uint32_t>(uint32_t(picture.height), dicom_.image.rows);
        const uint32_t endRow = std::min<uint64_t>(rows, uint64_t(firstRow) + rowCount);
        const uint32_t width = std::min<uint32_t>(uint32_t(picture.width), uint32_t(stride));
        bool seen[256] = {};
        for (uint32_t r = firstRow; r < endRow; ++r) {
            const uint8_t* in = picture.pixels.data() + size_t(r) * picture.width * pixelBytes;
            uint8_t* out = dest + size_t(r - firstRow) * stride;
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t sample = in[pixelBytes * x];
                seen[sample] = true;
                out[x] = table_[sample];
            }
            if (width < stride) {
                seen[0] = true;
                std::memset(out + width, table_[0], stride - width);
            }
        }
        SampleRange range{255, 0};
        for (int value = 0; value < 256; ++value) {
            if (!seen[value]) continue;
            range.low = std::min(range.low, value);
            range.high = std::max(range.high, value);
        }
        return {true, range, false};
    }

    const ImageState& image() const override { return dicom_.image; }

private:
    // Decodes the frame unless its fragment is the one decoded (or refused) last; true when
    // there is a picture of it.
    bool decode(uint32_t frame) {
        const JpegFragment fragment = jpegFragment(dicom_, frame);
        const bool same = tried_ && generation_ == dicom_.bytes.generation() && tried_->start == fragment.start &&
                          tried_->size == fragment.size && tried_->reachable == fragment.reachable;
        if (same) return reason_.empty();
        tried_ = fragment;
        generation_ = dicom_.bytes.generation();
        picture_ = Picture{};
        reason_ = readFragment(fragment);
        return reason_.empty();
    }

    std::string readFragment(const JpegFragment& fragment) {
        if (!fragment.reachable || dicom_.bytes.data() == nullptr) return "the frame starts beyond the end of the file";
        if (fragment.size == 0) return "the frame holds no bytes";
        if (decoder_ == nullptr) return "no JPEG decoder is available";
        std::string whyNot;
        if (decoder_->decode(dicom_.bytes.data() + fragment.start, fragment.size, picture_, whyNot)) return "";
        picture_ = Picture{};
        return whyNot.empty() ? "the JPEG decoder refused the frame" : whyNot;
    }

    const DicomImage& dicom_;
    PictureDecoder* decoder_;
    Picture picture_;
    std::array<uint8_t, 256> table_{};  // the window's table of 256, for the bands
    std::optional<JpegFragment> tried_;
    uint64_t generation_ = 0;
    std::string reason_;
};

}  // namespace

JpegFragment jpegFragment(const DicomImage& dicom, uint32_t frame) {
    JpegFragment fragment;
    if (uint64_t(frame) + 1 >= dicom.frameOffsets.size()) return fragment;
    fragment.start = dicom.frameOffsets[frame];
    fragment.size = dicom.frameOffsets[frame + 1] - fragment.start;  // unsigned, as the table says
    // The fragment can only lie inside the file: an end entry that was never written (or that
    // lies before the start) is bounded by the file's length.
    const uint64_t fileLength = std::min<uint64_t>(dicom.image.fileLength, dicom.bytes.size());
    if (fragment.start > fileLength) {
        fragment.size = 0;
        return fragment;
    }
    fragment.reachable = true;
    if (fragment.size > fileLength - fragment.start) fragment.size = uint32_t(fileLength - fragment.start);
    return fragment;
}

std::unique_ptr<FrameSource> jpegSource(const DicomImage& dicom, PictureDecoder* decoder) {
    return std::make_unique<JpegSource>(dicom, decoder);
}

}  // namespace vs
