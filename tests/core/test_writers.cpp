// The four picture formats written from loaded files: headers, sizes, pixel sources, byte
// orders, and short writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/render.h"
#include "core/writers.h"
#include "tests/support/loaded_image.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::ImageSpec;
using testing::makeImage;
using Bytes = std::vector<uint8_t>;

using testing::Loaded;
using testing::load;

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
uint32_t le32(const Bytes& b, size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }

// The value of a TIFF directory entry, by tag; fails when the tag is missing.
uint32_t tiffTag(const Bytes& b, uint16_t tag) {
    const uint32_t directory = le32(b, 4);
    const uint32_t count = le16(b, directory);
    for (uint32_t k = 0; k < count; ++k) {
        const size_t entry = directory + 2 + 12 * k;
        if (le16(b, entry) != tag) continue;
        EXPECT_EQ(le32(b, entry + 4), 1u) << tag;
        return le16(b, entry + 2) == 3 ? le16(b, entry + 8) : le32(b, entry + 8);
    }
    ADD_FAILURE() << "no tag " << tag;
    return 0;
}

uint8_t ruleByte(const WindowState& w, int32_t value) {
    if (value < w.windowLow) return 0;
    if (value > w.windowHigh) return 255;
    return uint8_t(255 * (int64_t(value) - w.windowLow) / std::max<int64_t>(1, int64_t(w.windowHigh) - w.windowLow));
}

TEST(Writers, FourFormatsOfAnUncompressedFrame) {
    ImageSpec recipe;
    recipe.rows = 3;
    recipe.columns = 510;
    recipe.frames = 2;
    recipe.samples = testing::gradientSamples(recipe);
    recipe.samples[510 * 3 + 7] = -1024;  // frame 1
    auto l = load(recipe);
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    v.image.currentFrame = 1;
    v.window.windowLow = -3000;
    v.window.windowHigh = 20000;
    const auto sample = [&recipe](uint32_t i) { return recipe.samples[510 * 3 + i]; };

    const Written tiff8 = write(*l, formatTiff8);
    ASSERT_EQ(tiff8.result, 1u);
    ASSERT_EQ(tiff8.bytes.size(), 140u + 510 * 3);
    EXPECT_EQ(Bytes(tiff8.bytes.begin(), tiff8.bytes.begin() + 8), (Bytes{'I', 'I', 42, 0, 8, 0, 0, 0}));
    EXPECT_EQ(le16(tiff8.bytes, 8), 10u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 256), 510u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 257), 3u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 258), 8u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 259), 1u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 262), 1u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 273), 140u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 277), 1u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 278), 3u);
    EXPECT_EQ(tiffTag(tiff8.bytes, 279), 510u * 3);
    EXPECT_EQ(le32(tiff8.bytes, 130), 0u);
    for (uint32_t i = 0; i < 510 * 3; ++i) ASSERT_EQ(tiff8.bytes[140 + i], ruleByte(v.window, sample(i))) << i;

    const Written tiff16 = write(*l, formatTiff16);
    ASSERT_EQ(tiff16.result, 1u);
    ASSERT_EQ(tiff16.bytes.size(), 140u + 2 * 510 * 3);
    EXPECT_EQ(tiffTag(tiff16.bytes, 258), 16u);
    EXPECT_EQ(tiffTag(tiff16.bytes, 279), 2u * 510 * 3);
    EXPECT_EQ(le16(tiff16.bytes, 140 + 2 * 7), 0xFC00u);
    for (uint32_t i = 0; i < 510 * 3; ++i) ASSERT_EQ(le16(tiff16.bytes, 140 + 2 * i), uint16_t(sample(i))) << i;

    const Written raw = write(*l, formatRaw);
    ASSERT_EQ(raw.result, 1u);
    EXPECT_EQ(raw.bytes, Bytes(tiff16.bytes.begin() + 140, tiff16.bytes.end()));

    // BMP: width 510, rows of 512 bytes whose two last bytes are zero, top row first.
    const Written bmp = write(*l, formatBmp);
    ASSERT_EQ(bmp.result, 1u);
    ASSERT_EQ(bmp.bytes.size(), 1078u + 512 * 3);
    EXPECT_EQ(bmp.bytes[0], 'B');
    EXPECT_EQ(bmp.bytes[1], 'M');
    EXPECT_EQ(le32(bmp.bytes, 2), 1078u + 512 * 3);
    EXPECT_EQ(le32(bmp.bytes, 10), 1078u);
    EXPECT_EQ(le32(bmp.bytes, 14), 40u);
    EXPECT_EQ(le32(bmp.bytes, 18), 510u);
    EXPECT_EQ(int32_t(le32(bmp.bytes, 22)), -3);
    EXPECT_EQ(le16(bmp.bytes, 26), 1u);
    EXPECT_EQ(le16(bmp.bytes, 28), 8u);
    EXPECT_EQ(le32(bmp.bytes, 34), 512u * 3);
    EXPECT_EQ(le32(bmp.bytes, 38), 2834u);
    EXPECT_EQ(le32(bmp.bytes, 42), 2834u);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(le32(bmp.bytes, 54 + 4 * i), i | i << 8 | i << 16) << i;
    for (uint32_t r = 0; r < 3; ++r) {
        for (uint32_t x = 0; x < 510; ++x)
            ASSERT_EQ(bmp.bytes[1078 + 512 * r + x], tiff8.bytes[140 + 510 * r + x]) << r << " " << x;
        EXPECT_EQ(bmp.bytes[1078 + 512 * r + 510], 0);
        EXPECT_EQ(bmp.bytes[1078 + 512 * r + 511], 0);
    }

    // Negative Image inverts the 8-bit outputs only; writing again changes nothing else.
    v.window.negativeMask = 255;
    const Written negative8 = write(*l, formatTiff8);
    for (uint32_t i = 0; i < 510 * 3; ++i) ASSERT_EQ(negative8.bytes[140 + i], uint8_t(~tiff8.bytes[140 + i]));
    EXPECT_EQ(write(*l, formatTiff16).bytes, tiff16.bytes);
    v.window.negativeMask = 0;
    EXPECT_EQ(write(*l, formatTiff8).bytes, tiff8.bytes);
    EXPECT_EQ(write(*l, formatBmp).bytes, bmp.bytes);
}

TEST(Writers, CompressedFramesWriteWhatTheyShowOrTheirStoredWords) {
    // 16-bit RLE: stored words like the uncompressed frame; 8-bit outputs like the picture.
    ImageSpec recipe;
    recipe.rows = 5;
    recipe.columns = 6;
    recipe.frames = 2;
    recipe.samples = testing::gradientSamples(recipe);
    auto native = load(recipe);
    recipe.encoding = ImageSpec::Encoding::rle;
    auto rle = load(recipe);
    ASSERT_TRUE(native && rle);
    for (Loaded* l : {native.get(), rle.get()}) {
        l->v().image.currentFrame = 1;
        l->v().window.windowLow = -100;
        l->v().window.windowHigh = 9000;
    }
    for (uint16_t format : {formatTiff8, formatTiff16, formatBmp, formatRaw}) {
        const Written a = write(*native, format);
        const Written b = write(*rle, format);
        EXPECT_EQ(a.result, 1u);
        EXPECT_EQ(b.result, 1u);
        EXPECT_EQ(a.bytes, b.bytes) << format;
    }

    // JPEG and 8-bit RLE: 16-bit outputs hold the display bytes widened.
    for (auto encoding : {ImageSpec::Encoding::jpegBaseline, ImageSpec::Encoding::rle}) {
        ImageSpec eight;
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
        const Written bmp = write(*l, formatBmp);
        ASSERT_EQ(raw.bytes.size(), 160u);
        ASSERT_EQ(bmp.bytes.size(), 1078u + 12 * 8);
        for (uint32_t i = 0; i < 80; ++i) {
            ASSERT_EQ(le16(raw.bytes, 2 * i), tiff8.bytes[140 + i]) << i;
            ASSERT_EQ(bmp.bytes[1078 + 12 * (i / 10) + i % 10], tiff8.bytes[140 + i]) << i;
        }
        for (uint32_t r = 0; r < 8; ++r) EXPECT_EQ(le16(bmp.bytes, 1078 + 12 * r + 10), 0u);
        if (encoding == ImageSpec::Encoding::rle) {
            const std::vector<int32_t> samples = testing::gradientSamples(eight);
            for (uint32_t i = 0; i < 80; ++i) ASSERT_EQ(tiff8.bytes[140 + i], ruleByte(l->v().window, samples[i]));
        }
    }
}

TEST(Writers, ShortWritesAndFramesWithoutPixels) {
    ImageSpec recipe;
    recipe.rows = 64;
    recipe.columns = 64;
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
    const Bytes jpeg = testing::encodeJpegGrey(Bytes(64, 9), 8, 8);
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidJpegBaseline);
    b.us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 12).encapsulated({jpeg});
    Loaded j;
    ASSERT_EQ(j.t.load(j.dir, "j12.dcm", b.build()), 1);
    const Written w = write(j, formatTiff8);
    EXPECT_EQ(w.result, 0u);
    EXPECT_TRUE(w.bytes.empty());
}

}  // namespace
}  // namespace vs
