// Windowing values: the mapping rule's boundaries, stored samples at every depth and byte
// order, the ranges the presets start from, and the windows they choose.
#include <gtest/gtest.h>

#include <tuple>

#include "dicom/presets.h"
#include "samples/dicom_builder.h"
#include "tests/support/read_image.h"

namespace vs {
namespace {

using testing::Bytes;
using testing::ImageRecipe;
using testing::makeImage;
using testing::readImage;
using Range = std::pair<int32_t, int32_t>;

Range rangeOf(SampleRange r) { return {r.low, r.high}; }

TEST(Windowing, MappingBoundariesAndOneValueWindows) {
    const int32_t cases[][4] = {
        {100, 355, 99, 0}, {100, 355, 227, 127}, {100, 355, 355, 255}, {100, 355, 356, 255},
        {50, 50, 50, 0},   {50, 50, 51, 255},    {-1024, -24, -524, 127},
        // A window as wide as the 32-bit range still maps its ends to 0 and 255.
        {-2000000000, 2000000000, -2000000000, 0}, {-2000000000, 2000000000, 2000000001, 255}};
    for (const auto& [low, high, value, grey] : cases)
        EXPECT_EQ(mapThroughWindow(windowMapping(low, high, false), value), uint32_t(grey)) << low << ".." << high;
}

TEST(Windowing, StoredSamplesOfEveryDepthAndByteOrder) {
    // 16 bits: signed unless the file says unsigned, in either byte order.
    for (auto syntax : {testing::Syntax::explicitLittle, testing::Syntax::explicitBig, testing::Syntax::implicitLittle})
        for (int representation : {1, 0, -1}) {
            const auto r = readImage(makeImage({.syntax = syntax, .rows = 1, .pixelRepresentation = representation,
                                                .samples = {-1024, 32767, -32768, -1}}));
            const bool isSigned = representation != 0;
            EXPECT_EQ(sampleValue(r->dicom, 0), isSigned ? -1024 : 0xFC00);
            EXPECT_EQ(sampleValue(r->dicom, 1), 32767);
            EXPECT_EQ(sampleValue(r->dicom, 3), isSigned ? -1 : 0xFFFF) << int(syntax) << representation;
        }
    // 12 bits packed: sample 0 in the low 12 bits of bytes 0-1, sample 1 in the high 12 of 1-2;
    // past the end of the buffer every sample reads as zero.
    const std::vector<int32_t> packed = {0xABC, 0x123, 0xFFF, 0x001};
    const auto r = readImage(makeImage({.rows = 1, .bitsAllocated = 12, .samples = packed}));
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(sampleValue(r->dicom, i), packed[i]) << i;
    const uint64_t readable = r->dicom.bytes.size() - r->dicom.image.pixelDataOffset;
    EXPECT_EQ(sampleValue(r->dicom, uint32_t(readable * 8 / 12)), 0);
    EXPECT_EQ(sampleValue(r->dicom, 0xFFFFFFFFu), 0);
}

TEST(Windowing, SampleRangesOfEachKindOfFrame) {
    // Unsigned 16 bits above 32767 read as positive; the range is the frame's; a 12-bit JPEG's
    // is its depth's nominal one.
    const std::tuple<Bytes, uint32_t, Range> ranges[] = {
        {makeImage({.rows = 1, .pixelRepresentation = 0, .samples = {0, 100, 40000, 65535}}), 0, {0, 65535}},
        {makeImage({.rows = 1, .columns = 2, .bitsAllocated = 12, .frames = 2, .samples = {1, 2, 300, 4000}}), 1, {300, 4000}},
        {testing::encapsulatedImage(testing::uidJpegBaseline, 8, 8, 12, {testing::encodeJpegGrey(Bytes(64, 9), 8, 8)}), 0, {0, 4095}}};
    for (const auto& [bytes, frame, range] : ranges) EXPECT_EQ(rangeOf(readImage(bytes)->source->sampleRange(frame)), range);

    // 8-bit RLE and JPEG: the nominal 0..255 until drawn; drawing sees the real extremes.
    for (auto encoding : {ImageRecipe::Encoding::rle, ImageRecipe::Encoding::jpegBaseline}) {
        std::vector<int32_t> samples(64, 100);
        samples[9] = 60;
        const auto r = readImage(makeImage({.rows = 8, .columns = 8, .bitsAllocated = 8, .encoding = encoding,
                                            .samples = samples}));
        EXPECT_EQ(rangeOf(r->source->sampleRange(0)), Range(0, 255));
        r->picture(0, 0, 255);
        const bool rle = encoding == ImageRecipe::Encoding::rle;
        EXPECT_NEAR(r->drawn.seen.value().high, 100, rle ? 0 : 12);
        if (rle) {
            EXPECT_EQ(r->drawn.seen->low, 60);
        }
    }
}

TEST(Windowing, PresetWindowsThroughTheRescaleAndStoredWindowRead) {
    // (intercept, slope, stored center and width as written, preset) -> window in stored values.
    const struct {
        std::optional<double> intercept, slope;
        const char *center, *width;
        uint16_t preset;
        Range window;
    } cases[] = {
        {-1024, 1, "", "", presetCtBrain, {1024, 1114}},
        {{}, 2, "  -600 ", "", presetCtBrain, {0, 90}},  // a slope alone is ignored
        {-1024, 1, "40", "400", presetContrastStretch, {-2000, 3000}},
        {10, 2, "", "", presetCtSoftTissue, {-55, 120}},
        {-1024, 1, "", "", presetCtChest, {889, 1249}},
        {0, -1, "", "", presetCtBone, {-1800, 700}},  // a negative slope exchanges the ends
        {0, 3, "", "", presetCtLung, {-366, 50}},     // -1100 / 3 truncated toward zero
        {0, 1, "", "400", presetStoredSettings, {-2000, 3000}},  // without both values: the range
        {-1024, 1, "-600", "1500", presetStoredSettings, {-326, 1174}},
        {-1024, 1, "40\\400", "400\\1500", presetStoredSettings, {864, 1264}},  // the first of several values
        {0, 1, "40", "400", 7, {5, 6}},  // no such preset: the window stays
    };
    for (const auto& c : cases) {
        const auto r = readImage(makeImage({.rescaleIntercept = c.intercept, .rescaleSlope = c.slope,
                                            .windowCenter = c.center, .windowWidth = c.width}));
        const DisplayWindow w = presetWindow(r->dicom.image, {-2000, 3000}, c.preset, {5, 6});
        EXPECT_EQ(Range(w.low, w.high), c.window) << c.preset << " " << c.center;
    }
}

}  // namespace
}  // namespace vs
