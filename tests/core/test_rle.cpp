// RLE frames (PS3.5 Annex G) decoded from real files: PackBits runs, segment layout, damaged
// and truncated data, and the same image in RLE and uncompressed giving the same picture.
#include <gtest/gtest.h>

#include <cstring>

#include "core/contrast.h"
#include "core/render.h"
#include "core/rle.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::DicomBuilder;
using testing::ImageSpec;
using testing::makeImage;
using testing::Syntax;

using Bytes = std::vector<uint8_t>;

// One RLE fragment: the 64-byte header with the given segment offsets, then the bytes.
Bytes fragment(std::vector<uint32_t> offsets, const Bytes& body, uint32_t count = 0) {
    Bytes out(64, 0);
    auto put = [&out](size_t at, uint32_t value) {
        for (int k = 0; k < 4; ++k) out[at + k] = uint8_t(value >> (8 * k));
    };
    put(0, count ? count : uint32_t(offsets.size()));
    for (size_t k = 0; k < offsets.size(); ++k) put(4 + 4 * k, offsets[k]);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes rleFile(uint16_t rows, uint16_t columns, uint16_t bits, std::vector<Bytes> fragments, bool delimited = true) {
    DicomBuilder b(Syntax::explicitLittle);
    b.transferSyntax(testing::uidRle);
    b.us(0x0028, 0x0002, 1).text(0x0028, 0x0004, "CS", "MONOCHROME2");
    b.us(0x0028, 0x0010, rows).us(0x0028, 0x0011, columns).us(0x0028, 0x0100, bits);
    b.us(0x0028, 0x0101, bits).us(0x0028, 0x0102, uint16_t(bits - 1)).us(0x0028, 0x0103, 0);
    b.encapsulated(std::move(fragments), delimited);
    return b.build();
}

struct Loaded {
    testing::TempDir dir;
    testing::TestViewer t;
    Viewer& v() { return t.v(); }
};

std::unique_ptr<Loaded> load(const Bytes& bytes) {
    auto l = std::make_unique<Loaded>();
    if (l->t.load(l->dir, "rle.dcm", bytes) != 1) return nullptr;
    return l;
}

// Renders with the identity window 0..255 so that display bytes are the 8-bit samples.
void renderIdentity(Viewer& v) {
    v.window.windowLow = 0;
    v.window.windowHigh = 255;
    renderFrame(v);
}

TEST(Rle, PackBitsRunsOfAnEightBitFrame) {
    // Literal 10 11 12, replicate 7 three times; with a no-op between the runs; with a last run
    // longer than the frame (a pad byte); the frame is 3 columns wide, so row 1 starts at byte 4.
    const Bytes segments[] = {
        {0x02, 0x0A, 0x0B, 0x0C, 0xFE, 0x07},
        {0x80, 0x02, 0x0A, 0x0B, 0x0C, 0x80, 0x80, 0xFE, 0x07},
        {0x02, 0x0A, 0x0B, 0x0C, 0x81, 0x07, 0x00},
    };
    for (const Bytes& segment : segments) {
        Bytes body = segment;
        body.resize(body.size() + (body.size() % 2), 0);
        auto l = load(rleFile(2, 3, 8, {fragment({64}, body)}));
        ASSERT_TRUE(l);
        Viewer& v = l->v();
        std::memset(v.display.data(), 0xEE, 64);
        renderIdentity(v);
        const Bytes expected = {10, 11, 12, 0xEE, 7, 7, 7, 0xEE, 0xEE};
        EXPECT_EQ(Bytes(v.display.begin(), v.display.begin() + 9), expected);
        EXPECT_EQ(v.window.dataMin, 7);
        EXPECT_EQ(v.window.dataMax, 12);
    }
}

TEST(Rle, SixteenBitSegmentsAndHeaderCounts) {
    // Segment 1 holds the high byte, segment 2 the low byte: 0x01, 0x02 give 0x0102.
    auto l = load(rleFile(1, 1, 16, {fragment({64, 66}, {0x00, 0x01, 0x00, 0x02})}));
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    std::memset(v.display.data(), 0xEE, 8);
    EXPECT_EQ(decodeRleFrame16(v), 1u);
    EXPECT_EQ(v.display[0], 0x02);
    EXPECT_EQ(v.display[1], 0x01);
    EXPECT_EQ(v.display[2], 0xEE);
    scanDataRange(v);
    EXPECT_EQ(v.window.dataMin, 258);
    EXPECT_EQ(v.window.dataMax, 258);

    // Three segments (or none) decode nothing and leave the buffer as it was.
    for (uint32_t count : {3u, 0xFFFFFFFFu}) {
        auto bad = load(rleFile(1, 2, 16, {fragment({64, 68}, {0x01, 0x05, 0x06, 0x00, 0x01, 0x07, 0x08, 0x00}, count)}));
        ASSERT_TRUE(bad);
        std::memset(bad->v().display.data(), 0xEE, 8);
        EXPECT_EQ(decodeRleFrame16(bad->v()), 0u);
        EXPECT_EQ(Bytes(bad->v().display.begin(), bad->v().display.begin() + 8), Bytes(8, 0xEE));
    }

    // One segment writes only the high bytes.
    auto one = load(rleFile(1, 2, 16, {fragment({64}, {0x01, 0x05, 0x06, 0x00})}));
    ASSERT_TRUE(one);
    std::memset(one->v().display.data(), 0xEE, 8);
    EXPECT_EQ(decodeRleFrame16(one->v()), 1u);
    EXPECT_EQ(Bytes(one->v().display.begin(), one->v().display.begin() + 6), (Bytes{0xEE, 5, 0xEE, 6, 0xEE, 0xEE}));
}

TEST(Rle, DamagedSegmentsStayInsideTheBuffer) {
    // A segment offset far beyond the file, a segment cut off by the file's end (no delimiter),
    // and runs that would run past the frame: the frame decodes to what its bytes say, zeros
    // where they run out, and nothing is written past the frame.
    struct Case {
        uint16_t bits;
        Bytes frag;
    } cases[] = {
        {16, fragment({0xFFFFFF00u, 0x7FFFFFFFu}, {})},
        {16, fragment({64, 66}, {0x7F, 1, 2, 3})},
        {8, fragment({64}, {0x7F, 1, 2, 3})},
        {8, fragment({64}, {0x81, 9})},
    };
    for (const Case& c : cases) {
        auto l = load(rleFile(40, 50, c.bits, {c.frag}, false));
        ASSERT_TRUE(l) << c.bits;
        Viewer& v = l->v();
        const size_t frameBytes = size_t(40) * (c.bits == 8 ? displayStrideFor(50) : 100);
        std::memset(v.display.data(), 0xEE, frameBytes + 16);
        if (c.bits == 8) {
            renderIdentity(v);
        } else {
            ASSERT_EQ(decodeRleFrame16(v), 1u);
        }
        for (size_t i = frameBytes; i < frameBytes + 16; ++i) ASSERT_EQ(v.display[i], 0xEE) << i;
        renderFrame(v);
        scanDataRange(v);
    }
}

TEST(Rle, SameImageAsUncompressedGivesTheSamePicture) {
    struct Case {
        uint16_t bits;
        int representation;
        uint16_t rows, columns;
        uint32_t frames;
    } cases[] = {
        {8, 0, 9, 11, 3}, {16, 1, 9, 11, 3}, {16, 0, 9, 11, 2}, {16, 1, 17, 1, 2}, {16, 0, 1, 17, 1}, {8, 0, 5, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<int>{c.bits, c.representation, c.rows, c.columns}));
        ImageSpec recipe;
        recipe.rows = c.rows;
        recipe.columns = c.columns;
        recipe.bitsAllocated = c.bits;
        recipe.pixelRepresentation = c.representation;
        recipe.frames = c.frames;
        recipe.samples = testing::gradientSamples(recipe);
        if (c.bits == 16) recipe.samples[3] = c.representation ? -31000 : 65000;  // far below/above the rest
        auto native = load(makeImage(recipe));
        recipe.encoding = ImageSpec::Encoding::rle;
        auto rle = load(makeImage(recipe));
        ASSERT_TRUE(native && rle);
        ASSERT_EQ(rle->v().image.compression, compressionRle);
        ASSERT_EQ(rle->v().image.frameCount, c.frames);
        for (uint32_t f = 0; f < c.frames; ++f) {
            for (auto preset : {presetContrastStretch, presetStoredSettings}) {
                for (Loaded* l : {native.get(), rle.get()}) {
                    Viewer& v = l->v();
                    v.image.currentFrame = f;
                    v.window.windowPreset = preset;
                    scanDataRange(v);
                    applyWindowPreset(v);
                    renderFrame(v);
                }
                const Viewer& a = native->v();
                const Viewer& b = rle->v();
                EXPECT_EQ(a.window.dataMin, b.window.dataMin) << f;
                EXPECT_EQ(a.window.dataMax, b.window.dataMax) << f;
                EXPECT_EQ(a.window.windowLow, b.window.windowLow);
                EXPECT_EQ(a.window.windowHigh, b.window.windowHigh);
                const uint32_t stride = a.window.displayStride;
                for (uint32_t y = 0; y < c.rows; ++y)
                    for (uint32_t x = 0; x < c.columns; ++x)
                        ASSERT_EQ(a.display[y * stride + x], b.display[y * stride + x]) << f << " " << y << " " << x;
            }
        }
    }
}

TEST(Rle, SignedSamplesShowDarkAndLargeFramesGrowTheBuffer) {
    // A signed image whose negative samples must be black under a window of 0..1000.
    ImageSpec recipe;
    recipe.rows = 1;
    recipe.columns = 4;
    recipe.encoding = ImageSpec::Encoding::rle;
    recipe.samples = {-1000, -1, 500, 1000};
    auto l = load(makeImage(recipe));
    ASSERT_TRUE(l);
    l->v().window.windowLow = 0;
    l->v().window.windowHigh = 1000;
    renderFrame(l->v());
    EXPECT_EQ(Bytes(l->v().display.begin(), l->v().display.begin() + 4), (Bytes{0, 0, 127, 255}));

    // 4,200 x 4,200 16-bit samples decode to 35,280,000 bytes, more than the buffer's start size.
    ImageSpec big;
    big.rows = 4200;
    big.columns = 4200;
    big.encoding = ImageSpec::Encoding::rle;
    big.samples.assign(size_t(4200) * 4200, 100);
    big.samples.back() = 300;
    auto b = load(makeImage(big));
    ASSERT_TRUE(b);
    EXPECT_GE(b->v().display.size(), size_t(4200) * 4200 * 2);
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
