// JPEG frames decoded in place from the file buffer through the platform decoder, windowed
// into the picture; refused and damaged frames.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include "core/jpeg_frame.h"
#include "core/render.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::DicomBuilder;
using testing::Syntax;
using Bytes = std::vector<uint8_t>;

Bytes greyOfJpeg(const Bytes& jpeg, int width, int height) {
    tjhandle handle = tjInitDecompress();
    Bytes grey(size_t(width) * height);
    EXPECT_EQ(tjDecompress2(handle, jpeg.data(), jpeg.size(), grey.data(), width, width, height, TJPF_GRAY, 0), 0);
    tjDestroy(handle);
    return grey;
}

Bytes jpegFile(uint16_t rows, uint16_t columns, const std::vector<Bytes>& frames, bool delimited = true) {
    DicomBuilder b(Syntax::explicitLittle);
    b.transferSyntax(testing::uidJpegBaseline);
    b.us(0x0028, 0x0002, 1).text(0x0028, 0x0004, "CS", "MONOCHROME2");
    b.us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, 8);
    b.encapsulated(frames, delimited);
    return b.build();
}

TEST(Jpeg, EveryFrameDecodesInPlaceAndIsWindowed) {
    const uint16_t rows = 24, columns = 30;
    std::vector<Bytes> frames;
    for (int f = 0; f < 3; ++f) {
        Bytes pixels(size_t(rows) * columns);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7 + f * 60) % 256);
        frames.push_back(testing::encodeJpegGrey(pixels, rows, columns, 85));
    }
    for (bool delimited : {true, false}) {
        testing::TempDir dir;
        testing::TestViewer t;
        ASSERT_EQ(t.load(dir, "cine.dcm", jpegFile(rows, columns, frames, delimited)), 1);
        Viewer& v = t.v();
        ASSERT_EQ(v.image.frameCount, 3u);
        v.window.windowLow = 40;
        v.window.windowHigh = 210;
        v.window.negativeMask = 255;
        for (uint32_t f = 0; f < 3; ++f) {
            v.image.currentFrame = f;
            ASSERT_EQ(decodeJpegFrame(v), 1u) << f;
            renderFrame(v);
            const Bytes grey = greyOfJpeg(frames[f], columns, rows);
            const uint32_t stride = v.window.displayStride;
            uint8_t lowest = 255, highest = 0;
            for (uint32_t y = 0; y < rows; ++y) {
                for (uint32_t x = 0; x < columns; ++x) {
                    const int s = grey[y * columns + x];
                    lowest = std::min<uint8_t>(lowest, uint8_t(s));
                    highest = std::max<uint8_t>(highest, uint8_t(s));
                    const int expected = s < 40 ? 0 : s > 210 ? 255 : 255 * (s - 40) / 170;
                    ASSERT_EQ(v.display[y * stride + x], uint8_t(expected ^ 255)) << f << " " << y << " " << x;
                }
                // The columns between the picture and the stride are black samples.
                for (uint32_t x = columns; x < stride; ++x) ASSERT_EQ(v.display[y * stride + x], 255);
            }
            EXPECT_EQ(v.window.dataMin, 0);
            EXPECT_EQ(v.window.dataMax, highest);
        }
        EXPECT_TRUE(t.host.messages.empty());
        // The last frame's range ends at the delimiter, or at the file's end without one.
        const JpegFrameRange last = jpegFrameRange(v);
        EXPECT_EQ(last.start + last.size, delimited ? v.image.fileLength - 8 : v.image.fileLength);
    }
}

TEST(Jpeg, RefusedAndMisplacedFramesShowOneMessageEach) {
    const Bytes good = testing::encodeJpegGrey(Bytes(64, 77), 8, 8);
    Bytes broken = {0xFF, 0xD8, 0xFF, 0x00};
    broken.resize(400, 0x11);
    testing::TempDir dir;
    testing::TestViewer t;
    ASSERT_EQ(t.load(dir, "mixed.dcm", jpegFile(8, 8, {good, broken})), 1);
    Viewer& v = t.v();
    EXPECT_TRUE(t.host.messages.empty());
    ASSERT_TRUE(v.currentPicture);

    // A stream the decoder refuses: the picture is gone, one message with the frame's length
    // (its data and the next item's 8-byte header, here the delimiter).
    t.host.effects.clear();
    v.image.currentFrame = 1;
    EXPECT_EQ(decodeJpegFrame(v), 0u);
    EXPECT_FALSE(v.currentPicture);
    EXPECT_EQ(t.host.effects, (std::vector<std::string>{"message debug: OleLoadPicture error 400"}));

    // An end entry that was never written (or lies before the start) is bounded by the file.
    v.frameOffsets[2] = 0xFFFFFFF0u;
    EXPECT_EQ(jpegFrameRange(v).start + jpegFrameRange(v).size, v.image.fileLength);
    v.frameOffsets[2] = v.frameOffsets[1] - 2;
    EXPECT_EQ(jpegFrameRange(v).start + jpegFrameRange(v).size, v.image.fileLength);

    // A start beyond the file cannot be reached at all.
    v.frameOffsets[1] = v.image.fileLength + 5000;
    t.host.effects.clear();
    EXPECT_EQ(decodeJpegFrame(v), 0u);
    EXPECT_EQ(t.host.effects,
              (std::vector<std::string>{"message debug: pStream error", "message debug: OleLoadPicture error 0"}));

    // A frame the decoder refuses leaves the picture as it was.
    v.image.currentFrame = 0;
    ASSERT_EQ(decodeJpegFrame(v), 1u);
    renderFrame(v);
    const Bytes before(v.display.begin(), v.display.begin() + 12);
    v.image.currentFrame = 1;
    decodeJpegFrame(v);
    renderFrame(v);
    EXPECT_EQ(Bytes(v.display.begin(), v.display.begin() + 12), before);
}

}  // namespace
}  // namespace vs
