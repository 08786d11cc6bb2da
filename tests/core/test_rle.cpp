// RLE frames decoded from files: PackBits edge cases, segment counts, damaged and truncated
// data, and the same image in RLE and uncompressed giving the same picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/contrast.h"
#include "core/render.h"
#include "core/write_frame.h"
#include "tests/support/loaded_image.h"

namespace vs {
namespace {

using testing::ImageRecipe;
using testing::load;
using Bytes = std::vector<uint8_t>;

// A file of one RLE fragment: the 64-byte header with the given segment offsets, then body.
Bytes rleFile(uint16_t rows, uint16_t columns, uint16_t bits, std::vector<uint32_t> offsets, const Bytes& body,
              uint32_t count = 0, bool delimited = true) {
    Bytes fragment(64, 0);
    auto put = [&fragment](size_t at, uint32_t value) {
        for (int k = 0; k < 4; ++k) fragment[at + k] = uint8_t(value >> (8 * k));
    };
    put(0, count ? count : uint32_t(offsets.size()));
    for (size_t k = 0; k < offsets.size(); ++k) put(4 + 4 * k, offsets[k]);
    fragment.insert(fragment.end(), body.begin(), body.end());
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidRle);
    b.us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, bits).us(0x0028, 0x0103, 0);
    b.encapsulated({fragment}, delimited);
    return b.build();
}

Bytes displayStart(const Viewer& v, size_t n) { return Bytes(v.display.begin(), v.display.begin() + n); }

// What writeImageFile writes for the current frame in v.outputFormat.
Bytes writtenBytes(Viewer& v) {
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    EXPECT_EQ(writeImageFile(v, out), 1u);
    std::fclose(out);
    Bytes bytes(buffer, buffer + length);
    std::free(buffer);
    return bytes;
}

TEST(Rle, PackBitsEdgeCasesOfAnEightBitFrame) {
    // Literal 10 11 12, replicate 7 three times; with no-ops (0x80) between the runs; with a
    // last run longer than the frame. The frame is 3 columns wide, so row 1 starts at byte 4.
    for (const Bytes& segment : {Bytes{0x02, 0x0A, 0x0B, 0x0C, 0xFE, 0x07},
                                 Bytes{0x80, 0x02, 0x0A, 0x0B, 0x0C, 0x80, 0x80, 0xFE, 0x07, 0x00},
                                 Bytes{0x02, 0x0A, 0x0B, 0x0C, 0x81, 0x07}}) {
        auto l = load(rleFile(2, 3, 8, {64}, segment));
        ASSERT_TRUE(l);
        Viewer& v = l->v();
        std::memset(v.display.data(), 0xEE, 64);
        v.window.windowLow = 0;
        v.window.windowHigh = 255;
        renderFrame(v);
        EXPECT_EQ(displayStart(v, 9), (Bytes{10, 11, 12, 0xEE, 7, 7, 7, 0xEE, 0xEE}));
        EXPECT_EQ(v.window.dataMin, 7);
        EXPECT_EQ(v.window.dataMax, 12);
    }
}

// The frame's 16-bit words as the RLE decoder gives them, or none when the frame's header names
// no usable segments.
std::optional<Bytes> decoded16(const Viewer& v) {
    Bytes words(2 * size_t(v.dicom.image.pixelsPerFrame)), planes(words.size());
    if (!decodeRleFrame16(v.dicom, v.currentFrame, words.data(), planes.data())) return std::nullopt;
    return words;
}

TEST(Rle, SegmentCountsOfSixteenBitFrames) {
    // Three segments (or a huge count) decode nothing: the picture paints blank and the 16-bit
    // writers write zeros.
    const Bytes body = {0x01, 0x05, 0x06, 0x00, 0x01, 0x07, 0x08, 0x00};
    for (uint32_t count : {3u, 0xFFFFFFFFu}) {
        auto bad = load(rleFile(1, 2, 16, {64, 68}, body, count));
        ASSERT_TRUE(bad);
        Viewer& v = bad->v();
        EXPECT_FALSE(decoded16(v));
        std::memset(v.display.data(), 0xEE, 8);
        renderFrame(v);
        EXPECT_EQ(displayStart(v, 4), Bytes(4, 0));
        v.outputFormat = formatRaw;
        EXPECT_EQ(writtenBytes(v), Bytes(4, 0));
    }
    // One segment gives the high bytes; the low bytes are zero, whatever the buffers held.
    auto one = load(rleFile(1, 2, 16, {64}, {0x01, 0x05, 0x06, 0x00}));
    ASSERT_TRUE(one);
    std::memset(one->v().display.data(), 0xEE, 8);
    EXPECT_EQ(decoded16(one->v()), (Bytes{0, 5, 0, 6}));
}

TEST(Rle, DamagedSegmentsStayInsideTheBuffer) {
    // A segment offset far beyond the file, a segment cut off by the file's end (no delimiter),
    // and runs that would run past the frame: nothing is written past the frame.
    struct Case {
        uint16_t bits;
        std::vector<uint32_t> offsets;
        Bytes body;
    } cases[] = {
        {16, {0xFFFFFF00u, 0x7FFFFFFFu}, {}},
        {16, {64, 66}, {0x7F, 1, 2, 3}},
        {8, {64}, {0x7F, 1, 2, 3}},
        {8, {64}, {0x81, 9}},
    };
    for (const Case& c : cases) {
        auto l = load(rleFile(40, 50, c.bits, c.offsets, c.body, 0, false));
        ASSERT_TRUE(l) << c.bits;
        Viewer& v = l->v();
        const size_t frameBytes = size_t(40) * (c.bits == 8 ? displayStrideFor(50) : 100);
        std::memset(v.display.data(), 0xEE, frameBytes + 16);
        if (c.bits == 16) {
            ASSERT_TRUE(decoded16(v));
        }
        renderFrame(v);
        for (size_t i = frameBytes; i < frameBytes + 16; ++i) ASSERT_EQ(v.display[i], 0xEE) << i;
        scanDataRange(v);
    }
}

TEST(Rle, SameImageAsUncompressedGivesTheSamePicture) {
    // 16-bit samples far below or above the rest show whether the RLE range scan and the
    // rendering read them with the file's signedness, like the uncompressed frame.
    struct Case {
        uint16_t bits;
        int representation;
        uint32_t frames;
    } cases[] = {{8, 0, 3}, {16, 1, 3}, {16, 0, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits * 10 + c.representation);
        ImageRecipe recipe;
        recipe.rows = 9;
        recipe.columns = 11;
        recipe.bitsAllocated = c.bits;
        recipe.pixelRepresentation = c.representation;
        recipe.frames = c.frames;
        recipe.samples = testing::gradientSamples(recipe);
        if (c.bits == 16) recipe.samples[3] = c.representation ? -31000 : 65000;
        auto native = load(recipe);
        recipe.encoding = ImageRecipe::Encoding::rle;
        auto rle = load(recipe);
        ASSERT_TRUE(native && rle);
        ASSERT_EQ(rle->v().dicom.image.frameCount, c.frames);
        for (uint32_t f = 0; f < c.frames; ++f) {
            for (auto preset : {presetContrastStretch, presetStoredSettings}) {
                for (testing::Loaded* l : {native.get(), rle.get()}) {
                    Viewer& v = l->v();
                    v.currentFrame = f;
                    v.window.windowPreset = preset;
                    scanDataRange(v);
                    applyWindowPreset(v);
                    renderFrame(v);
                }
                const Viewer& a = native->v();
                const Viewer& b = rle->v();
                EXPECT_EQ(a.window.dataMin, b.window.dataMin) << f;
                EXPECT_EQ(a.window.dataMax, b.window.dataMax) << f;
                for (uint32_t y = 0; y < 9; ++y)
                    for (uint32_t x = 0; x < 11; ++x)
                        ASSERT_EQ(a.display[y * 12 + x], b.display[y * 12 + x]) << f << " " << y << " " << x;
            }
        }
    }
}

TEST(Rle, LargeFramesGrowTheBuffer) {
    // 4,200 x 4,200 16-bit samples: a picture of 4,200 rows of 4,204 bytes, far more than the
    // display buffer's start size.
    ImageRecipe big;
    big.rows = big.columns = 4200;
    big.encoding = ImageRecipe::Encoding::rle;
    big.samples.assign(size_t(4200) * 4200, 100);
    big.samples.back() = 300;
    auto b = load(big);
    ASSERT_TRUE(b);
    EXPECT_GE(b->v().display.size(), size_t(4200) * 4204);
    EXPECT_EQ(b->v().window.dataMin, 100);
    EXPECT_EQ(b->v().window.dataMax, 300);
    b->v().window.windowLow = 100;
    b->v().window.windowHigh = 300;
    renderFrame(b->v());
    EXPECT_EQ(b->v().display[size_t(4199) * 4204 + 4199], 255);
    EXPECT_EQ(b->v().display[size_t(4199) * 4204 + 4198], 0);
}

}  // namespace
}  // namespace vs
