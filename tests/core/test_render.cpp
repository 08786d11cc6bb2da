// Windowing and 8-bit rendering: the mapping rule's boundaries, sample reading at every depth
// and byte order, and whole frames rendered from real files compared with the rule.
#include <gtest/gtest.h>

#include <cstring>

#include "core/render.h"
#include "tests/support/loaded_image.h"

namespace vs {
namespace {

using testing::ImageRecipe;
using testing::load;
using testing::Syntax;

uint8_t expectedByte(int64_t low, int64_t high, int64_t value, uint8_t xorMask) {
    const int64_t out = value < low ? 0 : value > high ? 255 : 255 * (value - low) / (high == low ? 1 : high - low);
    return uint8_t(out ^ xorMask);
}

TEST(Render, MappingBoundariesAndOneValueWindows) {
    auto map = [](int32_t low, int32_t high, int32_t value) {
        Viewer v;
        v.window.windowLow = low;
        v.window.windowHigh = high;
        prepareWindowForRendering(v);
        return mapThroughWindow(windowMapping(low, high, 0), value);
    };
    EXPECT_EQ(map(100, 355, 99), 0u);
    EXPECT_EQ(map(100, 355, 227), 127u);
    EXPECT_EQ(map(100, 355, 355), 255u);
    EXPECT_EQ(map(100, 355, 356), 255u);
    EXPECT_EQ(map(50, 50, 50), 0u);
    EXPECT_EQ(map(50, 50, 51), 255u);
    EXPECT_EQ(map(-1024, -24, -524), 127u);
    // A window as wide as the 32-bit range still maps its ends to 0 and 255.
    EXPECT_EQ(map(-2000000000, 2000000000, -2000000000), 0u);
    EXPECT_EQ(map(-2000000000, 2000000000, 2000000001), 255u);
    EXPECT_EQ(displayStrideFor(512), 516u);
    EXPECT_EQ(displayStrideFor(511), 512u);
}

TEST(Render, SampleValuesOfEveryDepthAndByteOrder) {
    // 16-bit: signed by default, unsigned when the file says so, either byte order.
    for (Syntax syntax : {Syntax::explicitLittle, Syntax::explicitBig, Syntax::implicitLittle}) {
        for (int representation : {1, 0, -1}) {
            ImageRecipe recipe;
            recipe.syntax = syntax;
            recipe.rows = 1;
            recipe.columns = 4;
            recipe.pixelRepresentation = representation;
            recipe.samples = {-1024, 32767, -32768, -1};
            auto l = load(recipe);
            ASSERT_TRUE(l);
            SCOPED_TRACE(int(syntax) * 10 + representation);
            const bool isSigned = representation != 0;
            EXPECT_EQ(sampleValue(l->v().dicom, 0), isSigned ? -1024 : 0xFC00);
            EXPECT_EQ(sampleValue(l->v().dicom, 1), 32767);
            EXPECT_EQ(sampleValue(l->v().dicom, 3), isSigned ? -1 : 0xFFFF);
        }
    }

    // 12 bits packed: sample 0 in the low 12 bits of bytes 0-1, sample 1 in the high 12 of 1-2.
    ImageRecipe packed;
    packed.rows = 1;
    packed.columns = 4;
    packed.bitsAllocated = 12;
    packed.samples = {0xABC, 0x123, 0xFFF, 0x001};
    auto l = load(packed);
    ASSERT_TRUE(l);
    for (uint32_t s = 0; s < 4; ++s) EXPECT_EQ(sampleValue(l->v().dicom, s), packed.samples[s]) << s;

    // Past the end of the buffer every byte reads as zero.
    const uint64_t last = l->v().dicom.bytes.size() - uint64_t(l->v().dicom.pixelData() - l->v().dicom.bytes.data());
    EXPECT_EQ(sampleValue(l->v().dicom, uint32_t(last * 8 / 12)), 0);
    EXPECT_EQ(sampleValue(l->v().dicom, 0xFFFFFFFFu), 0);
}

// Renders a frame and checks every byte against the rule applied to the samples the file was
// made from; the spare bytes of each row stay as they were.
void expectRenderedAsRule(Viewer& v, const std::vector<int32_t>& samples, uint32_t frame, uint8_t xorMask) {
    const ImageState& image = v.dicom.image;
    std::memset(v.display.data(), 0xA5, 1 << 16);
    v.currentFrame = frame;
    renderFrame(v);
    const uint32_t stride = v.window.displayStride;
    for (uint32_t y = 0; y < image.rows; ++y) {
        for (uint32_t x = 0; x < stride; ++x) {
            const size_t at = size_t(frame) * image.pixelsPerFrame + y * image.columns + x;
            ASSERT_EQ(v.display[y * stride + x],
                      x < image.columns ? expectedByte(v.window.windowLow, v.window.windowHigh, samples[at], xorMask)
                                        : 0xA5)
                << "row " << y << " column " << x;
        }
    }
}

TEST(Render, WholeFramesFollowTheRule) {
    struct Case {
        uint16_t bits;
        int representation;
        Syntax syntax;
        int32_t low, high;
    } cases[] = {
        {8, 0, Syntax::explicitLittle, 10, 200},
        {12, 0, Syntax::explicitLittle, 100, 3000},
        {16, 1, Syntax::explicitBig, -20000, 20000},
    };
    for (const Case& c : cases) {
        ImageRecipe recipe;
        recipe.syntax = c.syntax;
        recipe.rows = 13;
        recipe.columns = 7;
        recipe.frames = 3;
        recipe.bitsAllocated = c.bits;
        recipe.pixelRepresentation = c.representation;
        recipe.samples = testing::gradientSamples(recipe);
        auto l = load(recipe);
        ASSERT_TRUE(l);
        SCOPED_TRACE(c.bits);
        l->v().window.windowLow = c.low;
        l->v().window.windowHigh = c.high;
        expectRenderedAsRule(l->v(), recipe.samples, 2, 0);
        l->v().window.negativeMask = 255;
        expectRenderedAsRule(l->v(), recipe.samples, 1, 255);
    }
}

TEST(Render, InversionMasksAndTheResetContrastIndicator) {
    ImageRecipe recipe;
    recipe.rows = 2;
    recipe.columns = 3;
    recipe.bitsAllocated = 8;
    recipe.photometric = "MONOCHROME1";
    recipe.samples = {0, 50, 100, 150, 200, 250};
    auto l = load(recipe);
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    v.window.windowLow = 0;
    v.window.windowHigh = 250;
    expectRenderedAsRule(v, recipe.samples, 0, 255);
    v.window.negativeMask = 255;  // MONOCHROME1 with Negative Image: the masks cancel
    expectRenderedAsRule(v, recipe.samples, 0, 0);

    auto& host = l->t.host;
    v.window.dataMin = 0;
    v.window.dataMax = 250;
    host.effects.clear();
    renderFrame(v);
    EXPECT_EQ(host.effects, (std::vector<std::string>{"reset picture full", "repaint image"}));
    v.window.windowHigh = 249;
    host.effects.clear();
    renderFrame(v);
    EXPECT_EQ(host.effects, (std::vector<std::string>{"reset picture windowed", "repaint image"}));
    v.animationPlaying = 1;
    host.effects.clear();
    renderFrame(v);
    EXPECT_EQ(host.effects, (std::vector<std::string>{"repaint image"}));
}

TEST(Render, DisplayBufferGrowsForFramesLargerThanItsStartSize) {
    // 5,900 rows of 5,904 bytes are more than the 34,000,300 bytes the buffer starts with.
    ImageRecipe recipe;
    recipe.rows = recipe.columns = 5900;
    recipe.bitsAllocated = 8;
    recipe.samples.assign(size_t(5900) * 5900, 0);
    recipe.samples.back() = 255;
    auto l = load(recipe);
    ASSERT_TRUE(l);
    l->v().window.windowLow = 0;
    l->v().window.windowHigh = 255;
    renderFrame(l->v());
    ASSERT_GE(l->v().display.size(), size_t(5900) * 5904);
    EXPECT_EQ(l->v().display[size_t(5899) * 5904 + 5899], 255);
}

}  // namespace
}  // namespace vs
