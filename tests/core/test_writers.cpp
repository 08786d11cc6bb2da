// The four picture formats written from frames: header fields, pixel sources, byte orders,
// BMP row padding, short writes and frames that are never drawn.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iterator>

#include "convert/part_file.h"
#include "samples/dicom_builder.h"
#include "tests/support/damaged_copies.h"
#include "tests/support/read_image.h"

namespace vs {
namespace {

using testing::Bytes;
using testing::ImageRecipe;
using testing::makeImage;
using testing::readImage;

uint32_t le(const Bytes& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int k = bytes - 1; k >= 0; --k) v = v << 8 | b[at + size_t(k)];
    return v;
}

TEST(Writers, HeadersAndPixelsOfAnUncompressedFrame) {
    // 2,100 rows: more than the slices of rows the 8-bit writers window at a time.
    constexpr uint32_t rows = 2100, columns = 510, pixels = columns * rows;
    ImageRecipe recipe{.rows = rows, .columns = columns, .frames = 2};  // BMP rows of 512 bytes
    recipe.samples = testing::gradientSamples(recipe);
    recipe.samples[pixels + 7] = -1024;
    const auto r = readImage(makeImage(recipe));
    const Bytes tiff8 = r->written(1, -3000, 20000, formatTiff8).value();
    const Bytes tiff16 = r->written(1, -3000, 20000, formatTiff16).value();
    const Bytes bmp = r->written(1, -3000, 20000, formatBmp).value();
    const Bytes raw = r->written(1, -3000, 20000, formatRaw).value();
    // (format, offset, bytes, value): TIFF "II" 42, its directory at 8 with 10 entries: width,
    // length, bits, strip offset 140, strip bytes; BMP "BM", file size, pixel offset 1078, width,
    // negative height (top row first), 8 bits, pixel bytes, a grey palette.
    const struct {
        const Bytes& file;
        size_t at;
        int bytes;
        uint32_t value;
    } fields[] = {
        {tiff8, 0, 4, 0x002A4949}, {tiff8, 4, 4, 8},       {tiff8, 8, 2, 10},        {tiff8, 30, 4, columns},
        {tiff8, 42, 4, rows},      {tiff8, 54, 2, 8},      {tiff8, 90, 4, 140},      {tiff8, 126, 4, pixels},
        {tiff16, 54, 2, 16},       {tiff16, 126, 4, 2 * pixels},                     {bmp, 0, 2, 0x4D42},
        {bmp, 2, 4, 1078 + 512 * rows}, {bmp, 10, 4, 1078}, {bmp, 18, 4, columns},   {bmp, 22, 4, uint32_t(-2100)},
        {bmp, 28, 2, 8},           {bmp, 34, 4, 512 * rows}, {bmp, 54 + 4 * 200, 4, 0x00C8C8C8},
    };
    for (const auto& f : fields) EXPECT_EQ(le(f.file, f.at, f.bytes), f.value) << f.at;

    ASSERT_EQ(tiff8.size(), 140u + pixels);
    ASSERT_EQ(tiff16.size(), 140u + 2 * pixels);
    ASSERT_EQ(bmp.size(), 1078u + 512 * rows);
    for (uint32_t i = 0; i < pixels; ++i) {
        const int32_t sample = recipe.samples[pixels + i];
        const uint8_t grey = uint8_t(sample < -3000 ? 0 : sample > 20000 ? 255 : 255 * (sample + 3000) / 23000);
        ASSERT_EQ(tiff8[140 + i], grey) << i;
        ASSERT_EQ(bmp[1078 + i / columns * 512 + i % columns], grey) << i;
        ASSERT_EQ(le(tiff16, 140 + 2 * i, 2), uint16_t(sample)) << i;
    }
    for (uint32_t row = 0; row < rows; ++row) ASSERT_EQ(le(bmp, 1078 + 512 * row + 510, 2), 0u) << row;
    EXPECT_EQ(raw, Bytes(tiff16.begin() + 140, tiff16.end()));

    // A negative picture inverts the 8-bit outputs only.
    const Bytes negative8 = r->written(1, -3000, 20000, formatTiff8, true).value();
    for (uint32_t i = 0; i < pixels; ++i) ASSERT_EQ(negative8[140 + i], uint8_t(~tiff8[140 + i])) << i;
    EXPECT_EQ(r->written(1, -3000, 20000, formatTiff16, true), tiff16);
}

TEST(Writers, CompressedFramesWriteTheirStoredWordsOrWhatTheyShow) {
    // 16-bit RLE: every format as from the same frame uncompressed.
    ImageRecipe recipe{.rows = 5, .columns = 6, .frames = 2};
    const auto native = readImage(makeImage(recipe));
    recipe.encoding = ImageRecipe::Encoding::rle;
    const auto rle = readImage(makeImage(recipe));
    for (OutputFormat format : {formatTiff8, formatTiff16, formatBmp, formatRaw})
        EXPECT_EQ(rle->written(1, -100, 9000, format).value(), native->written(1, -100, 9000, format)) << format;

    // JPEG and 8-bit RLE: the 16-bit outputs hold the grey levels widened.
    for (auto encoding : {ImageRecipe::Encoding::jpegBaseline, ImageRecipe::Encoding::rle}) {
        const auto r = readImage(makeImage({.rows = 8, .columns = 10, .bitsAllocated = 8, .encoding = encoding}));
        const Bytes tiff8 = r->written(0, 20, 200, formatTiff8).value();
        const Bytes raw = r->written(0, 20, 200, formatRaw).value();
        ASSERT_EQ(raw.size(), 160u);
        for (uint32_t i = 0; i < 80; ++i) ASSERT_EQ(le(raw, 2 * i, 2), tiff8[140 + i]) << i;
    }
}

TEST(Writers, ShortWritesFailAndUndrawnFramesAreNotWritten) {
    const auto r = readImage(makeImage({.rows = 64, .columns = 64}));
    for (uint32_t room : {0u, 100u, 200u})
        for (OutputFormat format : {formatTiff8, formatTiff16, formatBmp, formatRaw}) {
            testing::MemorySink full;
            full.room = room;
            EXPECT_FALSE(writeFrame(*r->source, r->dicom.image, 0, windowMapping(0, 9, false), format, full)) << format;
        }
    // A 12-bit JPEG is never drawn, so nothing is written.
    const auto j = readImage(testing::encapsulatedImage(testing::uidJpegBaseline, 8, 8, 12,
                                                        {testing::encodeJpegGrey(Bytes(64, 9), 8, 8)}));
    testing::MemorySink sink;
    EXPECT_FALSE(writeFrame(*j->source, j->dicom.image, 0, windowMapping(0, 9, false), formatTiff8, sink));
    EXPECT_TRUE(sink.bytes.empty());
}

TEST(Writers, ANoReplaceRenameLeavesATargetThatAppearedMeanwhile) {
    testing::TempDir dir;
    const std::string target = (dir.path() / "out.TIF").string();
    PartFile part;
    std::FILE* out = part.open(target);
    ASSERT_TRUE(out);
    std::fputs("new", out);
    ASSERT_TRUE(part.finishWriting());
    dir.write("out.TIF", Bytes{'o', 'l', 'd'});
    EXPECT_FALSE(part.moveIntoPlace(false));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(testing::readFile(target), (Bytes{'o', 'l', 'd'}));
    // Replacing it once asked, the temporary goes and nothing else is left.
    EXPECT_TRUE(part.moveIntoPlace(true));
    EXPECT_EQ(testing::readFile(target), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace vs
