// The four picture formats written from loaded files: pixel sources, byte orders, BMP row
// padding, short writes. Header fields of every format are checked against real files by the
// corpus comparison.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/render.h"
#include "core/write_frame.h"
#include "tests/support/loaded_image.h"

namespace vs {
namespace {

using testing::ImageRecipe;
using testing::Loaded;
using testing::load;
using Bytes = std::vector<uint8_t>;

struct Written {
    uint32_t result;
    Bytes bytes;
};

Written write(Loaded& l, uint16_t format) {
    const std::string path = (l.dir.path() / "out").string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_NE(out, nullptr);
    l.v().outputFormat = format;
    const uint32_t result = writeImageFile(l.v(), out);
    std::fclose(out);
    std::ifstream in(path, std::ios::binary);
    return {result, Bytes(std::istreambuf_iterator<char>(in), {})};
}

uint32_t le16(const Bytes& b, size_t at) { return b[at] | uint32_t(b[at + 1]) << 8; }

uint8_t ruleByte(const WindowState& w, int32_t value) {
    if (value < w.windowLow) return 0;
    if (value > w.windowHigh) return 255;
    return uint8_t(255 * (int64_t(value) - w.windowLow) / std::max<int64_t>(1, int64_t(w.windowHigh) - w.windowLow));
}

TEST(Writers, FourFormatsOfTheCurrentUncompressedFrame) {
    // 2,100 rows: more than the slices of rows the 8-bit writers window at a time.
    constexpr uint32_t rows = 2100, pixels = 510 * rows;
    ImageRecipe recipe;
    recipe.rows = rows;
    recipe.columns = 510;  // BMP rows of 512 bytes
    recipe.frames = 2;
    recipe.samples = testing::gradientSamples(recipe);
    recipe.samples[pixels + 7] = -1024;  // frame 1
    auto l = load(recipe);
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    v.currentFrame = 1;
    v.window.windowLow = -3000;
    v.window.windowHigh = 20000;
    const auto sample = [&recipe](uint32_t i) { return recipe.samples[pixels + i]; };

    const Written tiff8 = write(*l, formatTiff8);
    ASSERT_EQ(tiff8.result, 1u);
    ASSERT_EQ(tiff8.bytes.size(), 140u + pixels);
    for (uint32_t i = 0; i < pixels; ++i) ASSERT_EQ(tiff8.bytes[140 + i], ruleByte(v.window, sample(i))) << i;

    const Written tiff16 = write(*l, formatTiff16);
    ASSERT_EQ(tiff16.bytes.size(), 140u + 2 * pixels);
    for (uint32_t i = 0; i < pixels; ++i) ASSERT_EQ(le16(tiff16.bytes, 140 + 2 * i), uint16_t(sample(i))) << i;
    EXPECT_EQ(write(*l, formatRaw).bytes, Bytes(tiff16.bytes.begin() + 140, tiff16.bytes.end()));

    // BMP: width 510, rows of 512 bytes whose two last bytes are zero, top row first.
    const Written bmp = write(*l, formatBmp);
    ASSERT_EQ(bmp.bytes.size(), 1078u + 512 * rows);
    EXPECT_EQ(le16(bmp.bytes, 18), 510u);
    for (uint32_t r = 0; r < rows; ++r) {
        EXPECT_EQ(Bytes(bmp.bytes.begin() + 1078 + 512 * r, bmp.bytes.begin() + 1078 + 512 * r + 510),
                  Bytes(tiff8.bytes.begin() + 140 + 510 * r, tiff8.bytes.begin() + 140 + 510 * (r + 1)));
        EXPECT_EQ(le16(bmp.bytes, 1078 + 512 * r + 510), 0u);
    }

    // Negative Image inverts the 8-bit outputs only.
    v.window.negativeMask = 255;
    const Written negative8 = write(*l, formatTiff8);
    for (uint32_t i = 0; i < pixels; ++i) ASSERT_EQ(negative8.bytes[140 + i], uint8_t(~tiff8.bytes[140 + i]));
    EXPECT_EQ(write(*l, formatTiff16).bytes, tiff16.bytes);
}

TEST(Writers, CompressedFramesWriteTheirStoredWordsOrWhatTheyShow) {
    // 16-bit RLE: every format as from the same frame uncompressed.
    ImageRecipe recipe;
    recipe.rows = 5;
    recipe.columns = 6;
    recipe.frames = 2;
    auto native = load(recipe);
    recipe.encoding = ImageRecipe::Encoding::rle;
    auto rle = load(recipe);
    ASSERT_TRUE(native && rle);
    for (Loaded* l : {native.get(), rle.get()}) {
        l->v().currentFrame = 1;
        l->v().window.windowLow = -100;
        l->v().window.windowHigh = 9000;
    }
    for (uint16_t format : {formatTiff8, formatTiff16, formatBmp, formatRaw}) {
        const Written a = write(*native, format), b = write(*rle, format);
        EXPECT_EQ(b.result, 1u);
        EXPECT_EQ(a.bytes, b.bytes) << format;
    }

    // JPEG and 8-bit RLE: the 16-bit outputs hold the display bytes widened.
    for (auto encoding : {ImageRecipe::Encoding::jpegBaseline, ImageRecipe::Encoding::rle}) {
        ImageRecipe eight;
        eight.rows = 8;
        eight.columns = 10;
        eight.bitsAllocated = 8;
        eight.encoding = encoding;
        auto l = load(eight);
        ASSERT_TRUE(l);
        l->v().window.windowLow = 20;
        l->v().window.windowHigh = 200;
        const Written tiff8 = write(*l, formatTiff8);
        const Written raw = write(*l, formatRaw);
        ASSERT_EQ(raw.bytes.size(), 160u);
        const std::vector<int32_t> samples = testing::gradientSamples(eight);
        for (uint32_t i = 0; i < 80; ++i) {
            ASSERT_EQ(le16(raw.bytes, 2 * i), tiff8.bytes[140 + i]) << i;
            if (encoding == ImageRecipe::Encoding::rle) {
                ASSERT_EQ(tiff8.bytes[140 + i], ruleByte(l->v().window, samples[i]));
            }
        }
    }
}

TEST(Writers, ShortWritesAndFramesThatAreNeverDrawn) {
    ImageRecipe recipe;
    recipe.rows = recipe.columns = 64;
    auto l = load(recipe);
    ASSERT_TRUE(l);
    for (uint16_t format : {formatTiff8, formatTiff16, formatBmp, formatRaw}) {
        std::FILE* full = std::fopen("/dev/full", "wb");
        if (full == nullptr) GTEST_SKIP() << "no /dev/full";
        l->v().outputFormat = format;
        EXPECT_EQ(writeImageFile(l->v(), full), 0u) << format;
        std::fclose(full);
    }

    // A 12-bit JPEG is never drawn, so there is nothing to write.
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidJpegBaseline);
    b.us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 12);
    b.encapsulated({testing::encodeJpegGrey(Bytes(64, 9), 8, 8)});
    auto j = load(b.build());
    ASSERT_TRUE(j);
    const Written w = write(*j, formatTiff8);
    EXPECT_EQ(w.result, 0u);
    EXPECT_TRUE(w.bytes.empty());
}

}  // namespace
}  // namespace vs
