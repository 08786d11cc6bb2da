// Windowing values: the mapping rule's boundaries, stored samples at every depth and byte
// order, the ranges the presets start from, and the windows they choose.
#include <gtest/gtest.h>

#include "dicom/presets.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/read_image.h"

namespace vs {
namespace {

using testing::Bytes;
using testing::ImageRecipe;
using testing::makeImage;
using testing::readImage;
using testing::Syntax;
using Range = std::pair<int32_t, int32_t>;

Range rangeOf(SampleRange r) { return {r.low, r.high}; }

TEST(Windowing, MappingBoundariesAndOneValueWindows) {
    const int32_t cases[][4] = {
        {100, 355, 99, 0},    {100, 355, 227, 127}, {100, 355, 355, 255},       {100, 355, 356, 255},
        {50, 50, 50, 0},      {50, 50, 51, 255},    {-1024, -24, -524, 127},
        // A window as wide as the 32-bit range still maps its ends to 0 and 255.
        {-2000000000, 2000000000, -2000000000, 0}, {-2000000000, 2000000000, 2000000001, 255},
    };
    for (const auto& [low, high, value, grey] : cases)
        EXPECT_EQ(mapThroughWindow(windowMapping(low, high, 0), value), uint32_t(grey)) << low << ".." << high;
}

TEST(Windowing, StoredSamplesOfEveryDepthAndByteOrder) {
    // 16 bits: signed unless the file says unsigned, in either byte order.
    for (Syntax syntax : {Syntax::explicitLittle, Syntax::explicitBig, Syntax::implicitLittle}) {
        for (int representation : {1, 0, -1}) {
            ImageRecipe recipe;
            recipe.syntax = syntax;
            recipe.rows = 1;
            recipe.pixelRepresentation = representation;
            recipe.samples = {-1024, 32767, -32768, -1};
            const auto r = readImage(makeImage(recipe));
            const bool isSigned = representation != 0;
            EXPECT_EQ(sampleValue(r->dicom, 0), isSigned ? -1024 : 0xFC00);
            EXPECT_EQ(sampleValue(r->dicom, 1), 32767);
            EXPECT_EQ(sampleValue(r->dicom, 3), isSigned ? -1 : 0xFFFF) << int(syntax) << representation;
        }
    }
    // 12 bits packed: sample 0 in the low 12 bits of bytes 0-1, sample 1 in the high 12 of 1-2;
    // past the end of the buffer every sample reads as zero.
    ImageRecipe packed;
    packed.rows = 1;
    packed.bitsAllocated = 12;
    packed.samples = {0xABC, 0x123, 0xFFF, 0x001};
    const auto r = readImage(makeImage(packed));
    for (uint32_t s = 0; s < 4; ++s) EXPECT_EQ(sampleValue(r->dicom, s), packed.samples[s]) << s;
    const uint64_t readable = r->dicom.bytes.size() - r->dicom.image.pixelDataOffset;
    EXPECT_EQ(sampleValue(r->dicom, uint32_t(readable * 8 / 12)), 0);
    EXPECT_EQ(sampleValue(r->dicom, 0xFFFFFFFFu), 0);
}

TEST(Windowing, SampleRangesOfEachKindOfFrame) {
    ImageRecipe unsigned16, frames12;
    unsigned16.rows = 1;
    unsigned16.pixelRepresentation = 0;
    unsigned16.samples = {0, 100, 40000, 65535};  // above 32767 reads as positive
    frames12.rows = 1;
    frames12.columns = 2;
    frames12.frames = 2;
    frames12.bitsAllocated = 12;
    frames12.samples = {1, 2, 300, 4000};
    testing::DicomBuilder jpeg12(Syntax::explicitLittle);
    jpeg12.transferSyntax(testing::uidJpegBaseline).us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 12);
    jpeg12.encapsulated({testing::encodeJpegGrey(Bytes(64, 9), 8, 8)});
    EXPECT_EQ(rangeOf(readImage(makeImage(unsigned16))->source->sampleRange(0)), Range(0, 65535));
    EXPECT_EQ(rangeOf(readImage(makeImage(frames12))->source->sampleRange(1)), Range(300, 4000));
    EXPECT_EQ(rangeOf(readImage(jpeg12.build())->source->sampleRange(0)), Range(0, 4095));  // its depth's nominal range

    // 8-bit RLE and JPEG: the nominal 0..255 until drawn; drawing sees the real extremes.
    for (auto encoding : {ImageRecipe::Encoding::rle, ImageRecipe::Encoding::jpegBaseline}) {
        ImageRecipe eight;
        eight.rows = eight.columns = 8;
        eight.bitsAllocated = 8;
        eight.encoding = encoding;
        eight.samples.assign(64, 100);
        eight.samples[9] = 60;
        const auto r = readImage(makeImage(eight));
        EXPECT_EQ(rangeOf(r->source->sampleRange(0)), Range(0, 255));
        r->picture(0, 0, 255);
        ASSERT_TRUE(r->drawn.seen);
        EXPECT_NEAR(r->drawn.seen->high, 100, encoding == ImageRecipe::Encoding::rle ? 0 : 12);
        if (encoding == ImageRecipe::Encoding::rle) EXPECT_EQ(r->drawn.seen->low, 60);
    }
}

TEST(Windowing, PresetWindowsThroughTheRescale) {
    const SampleRange range{-2000, 3000};
    const struct {
        double intercept, slope;
        std::optional<float> center, width;
        uint16_t preset;
        Range window;
    } cases[] = {
        {-1024, 1, {}, {}, presetCtBrain, {1024, 1114}},
        {-1024, 1, 40, 400, presetContrastStretch, {-2000, 3000}},
        {0, 2, {}, {}, presetCtSoftTissue, {-50, 125}},
        {0, -1, {}, {}, presetCtBone, {-1800, 700}},  // a negative slope exchanges the ends
        {0, 3, {}, {}, presetCtLung, {-366, 50}},     // -1100 / 3 truncated toward zero
        {0, 1, {}, 400, presetStoredSettings, {-2000, 3000}},  // without both values: the range
        {-1024, 1, -600, 1500, presetStoredSettings, {-326, 1174}},
        {0, 1, 40, 400, 7, {5, 6}},  // no such preset: the window stays
    };
    for (const auto& c : cases) {
        ImageState image;
        image.rescaleIntercept = c.intercept;
        image.rescaleSlope = c.slope;
        image.storedWindowCenter = c.center;
        image.storedWindowWidth = c.width;
        const DisplayWindow w = presetWindow(image, range, c.preset, {5, 6});
        EXPECT_EQ(Range(w.low, w.high), c.window) << c.preset << " " << c.slope;
    }
}

}  // namespace
}  // namespace vs
