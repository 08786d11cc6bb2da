// JPEG frames decoded in place from the file buffer through the platform decoder, windowed
// into the picture; refused and misplaced frames.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <algorithm>

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
        ASSERT_EQ(v.dicom.image.frameCount, 3u);
        v.window.windowLow = 40;
        v.window.windowHigh = 210;
        v.window.negativeMask = 255;
        for (uint32_t f = 0; f < 3; ++f) {
            v.currentFrame = f;
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
        const JpegFragment last = jpegFragment(v.dicom, v.currentFrame);
        EXPECT_EQ(last.start + last.size, delimited ? v.dicom.image.fileLength - 8 : v.dicom.image.fileLength);
    }
}

TEST(Jpeg, UndecodableFramesPaintBlankAndSayWhy) {
    Bytes broken = {0xFF, 0xD8, 0xFF, 0x00};
    broken.resize(400, 0x11);
    const Bytes good = testing::encodeJpegGrey(Bytes(64, 77), 8, 8);
    auto l = testing::load(jpegFile(8, 8, {good, testing::relabelAsLossless(good), broken}));
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    auto& host = l->t.host;
    const auto displayIsBlank = [&v] {
        const auto rows = v.display.begin() + 8 * v.window.displayStride;
        return std::all_of(v.display.begin(), rows, [](uint8_t b) { return b == 0; });
    };
    renderFrame(v);
    ASSERT_FALSE(displayIsBlank());

    // A lossless (SOF3) frame: a failure with libjpeg-turbo's reason and no message of its own;
    // no picture is left, so the frame paints blank rather than the frame before.
    host.effects.clear();
    v.currentFrame = 1;
    const JpegFrameDecode lossless = readJpegFrame(v);
    EXPECT_FALSE(lossless.decoded);
    EXPECT_EQ(lossless.reason, "libjpeg-turbo: Unsupported JPEG process: SOF type 0xc3");
    EXPECT_TRUE(host.effects.empty());
    renderFrame(v);
    EXPECT_TRUE(displayIsBlank());

    // decodeJpegFrame tells of a refused stream in one box, with the frame's length (its data
    // and the next item's 8-byte header, here the delimiter).
    v.currentFrame = 2;
    EXPECT_EQ(decodeJpegFrame(v), 0u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("JPEG decoder error 400:\nlibjpeg-turbo: ", 0), 0u) << host.messages[0];

    // An end entry that was never written (or lies before the start) is bounded by the file.
    v.dicom.frameOffsets[3] = 0xFFFFFFF0u;
    EXPECT_EQ(jpegFragment(v.dicom, v.currentFrame).start + jpegFragment(v.dicom, v.currentFrame).size, v.dicom.image.fileLength);
    v.dicom.frameOffsets[3] = v.dicom.frameOffsets[2] - 2;
    EXPECT_EQ(jpegFragment(v.dicom, v.currentFrame).start + jpegFragment(v.dicom, v.currentFrame).size, v.dicom.image.fileLength);

    // A start beyond the file cannot be reached at all.
    v.dicom.frameOffsets[2] = v.dicom.image.fileLength + 5000;
    host.effects.clear();
    EXPECT_EQ(decodeJpegFrame(v), 0u);
    EXPECT_EQ(host.messages.back(), "JPEG decoder error 0:\nthe frame starts beyond the end of the file");
    EXPECT_EQ(host.effects.size(), 1u);

    // A file whose first frame cannot be decoded, loaded after one that showed: a blank frame,
    // the reason on the Image line, one box.
    host.effects.clear();
    ASSERT_EQ(l->t.load(l->dir, "lossless.dcm", jpegFile(8, 8, {testing::relabelAsLossless(good)})), 1u);
    EXPECT_TRUE(displayIsBlank());
    const std::string imageLine = "panel 1018 8 x 8 Pixels,  8 Bit, 1 Frame, Jpeg  <JPEG frame cannot be decoded>";
    EXPECT_EQ(host.effectsStartingWith("panel 1018"), std::vector<std::string>{imageLine});
    EXPECT_EQ(host.effectsStartingWith("message").size(), 1u);
}

}  // namespace
}  // namespace vs
