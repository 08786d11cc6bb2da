// JPEG frames decoded in place from the file buffer through the platform decoder, windowed
// into the picture; refused and misplaced frames.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include "core/jpeg_frame.h"
#include "core/render.h"
#include "tests/support/loaded_image.h"

namespace vs {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes jpegFile(uint16_t rows, uint16_t columns, const std::vector<Bytes>& frames, bool delimited = true) {
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidJpegBaseline);
    b.us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, 8);
    return b.encapsulated(frames, delimited).build();
}

TEST(Jpeg, EveryFrameDecodesInPlaceAndTheLastEndsAtTheDelimiterOrTheFile) {
    const uint16_t rows = 24, columns = 30;
    std::vector<Bytes> frames;
    for (int f = 0; f < 3; ++f) {
        Bytes pixels(size_t(rows) * columns);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7 + f * 60) % 256);
        frames.push_back(testing::encodeJpegGrey(pixels, rows, columns, 85));
    }
    for (bool delimited : {true, false}) {
        auto l = testing::load(jpegFile(rows, columns, frames, delimited));
        ASSERT_TRUE(l);
        Viewer& v = l->v();
        ASSERT_EQ(v.image.frameCount, 3u);
        v.window.windowLow = 40;
        v.window.windowHigh = 210;
        v.window.negativeMask = 255;
        for (uint32_t f = 0; f < 3; ++f) {
            v.image.currentFrame = f;
            ASSERT_EQ(decodeJpegFrame(v), 1u) << f;
            renderFrame(v);
            Bytes grey(size_t(rows) * columns);
            tjhandle handle = tjInitDecompress();
            tjDecompress2(handle, frames[f].data(), frames[f].size(), grey.data(), columns, columns, rows, TJPF_GRAY, 0);
            tjDestroy(handle);
            const uint32_t stride = v.window.displayStride;
            for (uint32_t y = 0; y < rows; ++y) {
                for (uint32_t x = 0; x < stride; ++x) {
                    // The columns between the picture and the stride are black samples.
                    const int s = x < columns ? grey[y * columns + x] : 0;
                    const int expected = s < 40 ? 0 : s > 210 ? 255 : 255 * (s - 40) / 170;
                    ASSERT_EQ(v.display[y * stride + x], uint8_t(expected ^ 255)) << f << " " << y << " " << x;
                }
            }
        }
        EXPECT_TRUE(l->t.host.messages.empty());
        const JpegFrameRange last = jpegFrameRange(v);
        EXPECT_EQ(last.start + last.size, delimited ? v.image.fileLength - 8 : v.image.fileLength);
    }
}

TEST(Jpeg, RefusedAndMisplacedFramesShowOneMessageEach) {
    Bytes broken = {0xFF, 0xD8, 0xFF, 0x00};
    broken.resize(400, 0x11);
    auto l = testing::load(jpegFile(8, 8, {testing::encodeJpegGrey(Bytes(64, 77), 8, 8), broken}));
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    auto& host = l->t.host;
    renderFrame(v);
    const Bytes before(v.display.begin(), v.display.begin() + 12);

    // A stream the decoder refuses: the picture is gone, one message with the frame's length
    // (its data and the next item's 8-byte header, here the delimiter); the display stays.
    host.effects.clear();
    v.image.currentFrame = 1;
    EXPECT_EQ(decodeJpegFrame(v), 0u);
    EXPECT_FALSE(v.currentPicture);
    EXPECT_EQ(host.effects, (std::vector<std::string>{"message debug: OleLoadPicture error 400"}));
    renderFrame(v);
    EXPECT_EQ(Bytes(v.display.begin(), v.display.begin() + 12), before);

    // An end entry that was never written (or lies before the start) is bounded by the file.
    v.frameOffsets[2] = 0xFFFFFFF0u;
    EXPECT_EQ(jpegFrameRange(v).start + jpegFrameRange(v).size, v.image.fileLength);
    v.frameOffsets[2] = v.frameOffsets[1] - 2;
    EXPECT_EQ(jpegFrameRange(v).start + jpegFrameRange(v).size, v.image.fileLength);

    // A start beyond the file cannot be reached at all.
    v.frameOffsets[1] = v.image.fileLength + 5000;
    host.effects.clear();
    EXPECT_EQ(decodeJpegFrame(v), 0u);
    EXPECT_EQ(host.effects,
              (std::vector<std::string>{"message debug: pStream error", "message debug: OleLoadPicture error 0"}));
}

}  // namespace
}  // namespace vs
