// Windowing and 8-bit rendering: the mapping rule, sample reading at every depth and byte
// order, and whole frames rendered from real files compared with the rule sample by sample.
#include <gtest/gtest.h>

#include <cstring>

#include "core/render.h"
#include "tests/support/loaded_image.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::ImageSpec;
using testing::makeImage;
using testing::Syntax;

// The mapping rule in wide arithmetic, as a reference for the rendered bytes.
uint8_t expectedByte(int64_t low, int64_t high, int64_t value, uint8_t xorMask = 0) {
    int64_t out;
    if (value < low) out = 0;
    else if (value > high) out = 255;
    else out = 255 * (value - low) / (high == low ? 1 : high - low);
    return uint8_t(out ^ xorMask);
}

WindowState windowOf(int32_t low, int32_t high) {
    Viewer v;
    v.window.windowLow = low;
    v.window.windowHigh = high;
    prepareWindowForRendering(v);
    return v.window;
}

TEST(Render, MappingBoundariesAndOneValueWindows) {
    const WindowState w = windowOf(100, 355);
    EXPECT_EQ(mapThroughWindow(w, 99), 0u);
    EXPECT_EQ(mapThroughWindow(w, 100), 0u);
    EXPECT_EQ(mapThroughWindow(w, 227), 127u);
    EXPECT_EQ(mapThroughWindow(w, 355), 255u);
    EXPECT_EQ(mapThroughWindow(w, 356), 255u);

    const WindowState one = windowOf(50, 50);
    EXPECT_EQ(one.windowSpan, 1u);
    EXPECT_EQ(mapThroughWindow(one, 49), 0u);
    EXPECT_EQ(mapThroughWindow(one, 50), 0u);
    EXPECT_EQ(mapThroughWindow(one, 51), 255u);

    const WindowState negative = windowOf(-1024, -24);
    EXPECT_EQ(mapThroughWindow(negative, -524), 127u);
    EXPECT_EQ(mapThroughWindow(negative, -32768), 0u);

    // A window as wide as the 32-bit range still maps its ends to 0 and 255.
    const WindowState wide = windowOf(-2000000000, 2000000000);
    EXPECT_EQ(mapThroughWindow(wide, -2000000000), 0u);
    EXPECT_EQ(mapThroughWindow(wide, 2000000001), 255u);

    EXPECT_EQ(displayStrideFor(512), 516u);
    EXPECT_EQ(displayStrideFor(511), 512u);
    EXPECT_EQ(displayStrideFor(513), 516u);
    EXPECT_EQ(displayStrideFor(3), 4u);
}

using testing::Loaded;
using testing::load;

TEST(Render, SampleValuesOfEveryDepthAndByteOrder) {
    // 16-bit: signed by default, unsigned when the file says so, either byte order.
    for (Syntax syntax : {Syntax::explicitLittle, Syntax::explicitBig, Syntax::implicitLittle}) {
        for (int representation : {1, 0, -1}) {
            ImageSpec recipe;
            recipe.syntax = syntax;
            recipe.rows = 1;
            recipe.columns = 4;
            recipe.pixelRepresentation = representation;
            recipe.samples = {-1024, 32767, -32768, -1};
            auto l = load(recipe);
            ASSERT_TRUE(l) << int(syntax) << " " << representation;
            const bool isSigned = representation != 0;
            SCOPED_TRACE(int(syntax) * 10 + representation);
            EXPECT_EQ(sampleValue(l->v(), 0), isSigned ? -1024 : 0xFC00);
            EXPECT_EQ(sampleValue(l->v(), 1), 32767);
            EXPECT_EQ(sampleValue(l->v(), 2), isSigned ? -32768 : 0x8000);
            EXPECT_EQ(sampleValue(l->v(), 3), isSigned ? -1 : 0xFFFF);
        }
    }

    // 12 bits packed: sample 0 in the low 12 bits of bytes 0-1, sample 1 in the high 12 of 1-2.
    ImageSpec packed;
    packed.rows = 1;
    packed.columns = 4;
    packed.bitsAllocated = 12;
    packed.samples = {0xABC, 0x123, 0xFFF, 0x001};
    auto l = load(packed);
    ASSERT_TRUE(l);
    for (uint32_t s = 0; s < 4; ++s) EXPECT_EQ(sampleValue(l->v(), s), packed.samples[s]) << s;

    // Past the end of the buffer every byte reads as zero, and nothing outside it is touched.
    const uint64_t last = l->v().file.size() - uint64_t(l->v().image.pixelData - l->v().file.data());
    EXPECT_EQ(sampleValue(l->v(), uint32_t(last * 8 / 12)), 0);
    EXPECT_EQ(sampleValue(l->v(), 0xFFFFFFFFu), 0);
}

// Renders the loaded image and checks every byte of the 8-bit layout against the rule applied
// to the samples the file was made from; the spare bytes of each row must stay as they were.
void expectRenderedAsRule(Viewer& v, const std::vector<int32_t>& samples, uint32_t frame, uint8_t xorMask) {
    const ImageState& image = v.image;
    std::memset(v.display.data(), 0xA5, v.display.size() < 1 << 20 ? v.display.size() : 1 << 20);
    v.image.currentFrame = frame;
    renderFrame(v);
    const uint32_t stride = v.window.displayStride;
    ASSERT_EQ(stride, displayStrideFor(image.columns));
    for (uint32_t y = 0; y < image.rows; ++y) {
        for (uint32_t x = 0; x < image.columns; ++x) {
            const int32_t s = samples[size_t(frame) * image.pixelsPerFrame + y * image.columns + x];
            ASSERT_EQ(v.display[y * stride + x], expectedByte(v.window.windowLow, v.window.windowHigh, s, xorMask))
                << "row " << y << " column " << x << " sample " << s;
        }
        if (image.compression == compressionNone) {
            for (uint32_t x = image.columns; x < stride; ++x) ASSERT_EQ(v.display[y * stride + x], 0xA5);
        }
    }
}

TEST(Render, WholeFramesFollowTheRuleAtEveryDepth) {
    struct Case {
        uint16_t bits;
        int representation;
        Syntax syntax;
        int32_t low, high;
    } cases[] = {
        {8, 0, Syntax::explicitLittle, 10, 200},      {12, 0, Syntax::explicitLittle, 100, 3000},
        {16, 1, Syntax::explicitLittle, -1000, 2000}, {16, 0, Syntax::explicitLittle, 1000, 60000},
        {16, 1, Syntax::explicitBig, -20000, 20000},  {16, 0, Syntax::implicitLittle, 7, 7},
    };
    for (const Case& c : cases) {
        ImageSpec recipe;
        recipe.syntax = c.syntax;
        recipe.rows = 13;
        recipe.columns = 7;
        recipe.frames = 3;
        recipe.bitsAllocated = c.bits;
        recipe.pixelRepresentation = c.representation;
        recipe.samples = testing::gradientSamples(recipe);
        auto l = load(recipe);
        ASSERT_TRUE(l) << c.bits;
        SCOPED_TRACE(c.bits * 100 + c.representation * 10 + int(c.syntax));
        l->v().window.windowLow = c.low;
        l->v().window.windowHigh = c.high;
        expectRenderedAsRule(l->v(), recipe.samples, 2, 0);
        l->v().window.negativeMask = 255;
        expectRenderedAsRule(l->v(), recipe.samples, 1, 255);
    }
}

TEST(Render, InversionMasksAndTheResetContrastIndicator) {
    ImageSpec recipe;
    recipe.rows = 2;
    recipe.columns = 3;
    recipe.bitsAllocated = 8;
    recipe.photometric = "MONOCHROME1";
    recipe.samples = {0, 50, 100, 150, 200, 250};
    auto l = load(recipe);
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    EXPECT_EQ(v.image.invertMask, 255u);
    v.window.windowLow = 0;
    v.window.windowHigh = 250;
    expectRenderedAsRule(v, recipe.samples, 0, 255);
    // MONOCHROME1 with Negative Image: the masks cancel.
    v.window.negativeMask = 255;
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
    ImageSpec recipe;
    recipe.rows = 5900;
    recipe.columns = 5900;
    recipe.bitsAllocated = 8;
    recipe.samples.assign(size_t(recipe.rows) * recipe.columns, 0);
    for (size_t i = 0; i < recipe.samples.size(); i += 4099) recipe.samples[i] = 200;
    recipe.samples.back() = 255;
    auto l = load(recipe);
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    v.window.windowLow = 0;
    v.window.windowHigh = 255;
    renderFrame(v);
    ASSERT_GE(v.display.size(), size_t(5900) * 5904);
    EXPECT_EQ(v.display[size_t(5899) * 5904 + 5899], 255);
    EXPECT_EQ(v.display[4099 / 5900 * 5904 + 4099 % 5900], 200);
}

TEST(Render, GreyPalette) {
    const auto palette = greyPalette();
    EXPECT_EQ(palette[0], 0xFF000000u);
    EXPECT_EQ(palette[128], 0xFF808080u);
    EXPECT_EQ(palette[255], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace vs
