// Range scan, presets with their rescale conversions, and the contrast commands, on loaded
// files with the effects seen through a recording host.
#include <gtest/gtest.h>

#include "core/contrast.h"
#include "core/render.h"
#include "tests/support/loaded_image.h"

namespace vs {
namespace {

using testing::ImageRecipe;
using testing::load;
using testing::makeImage;
using Window = std::pair<int32_t, int32_t>;

ImageRecipe ctRecipe() {
    ImageRecipe recipe;
    recipe.rows = 2;
    recipe.columns = 3;
    recipe.samples = {-2000, -1024, 0, 40, 1000, 3000};
    return recipe;
}

Window windowOfPreset(Viewer& v, uint16_t preset) {
    v.window.windowPreset = preset;
    applyWindowPreset(v);
    return {v.window.windowLow, v.window.windowHigh};
}

TEST(Contrast, PresetsThroughTheRescaleAndStoredWindows) {
    // (intercept, slope, preset) -> window in stored values.
    const struct {
        double intercept, slope;
        uint16_t preset;
        Window window;
    } cases[] = {
        {-1024, 1, presetCtBrain, {1024, 1114}},
        {-1024, 1, presetContrastStretch, {-2000, 3000}},
        {0, 2, presetCtSoftTissue, {-50, 125}},
        {0, -1, presetCtBone, {-1800, 700}},    // a negative slope exchanges the ends
        {0, 3, presetCtLung, {-366, 50}},       // -1100 / 3 truncated toward zero
    };
    for (const auto& c : cases) {
        ImageRecipe recipe = ctRecipe();
        recipe.rescaleIntercept = c.intercept;
        recipe.rescaleSlope = c.slope;
        auto l = load(recipe);
        ASSERT_TRUE(l);
        EXPECT_EQ(windowOfPreset(l->v(), c.preset), c.window) << c.slope << " " << c.preset;
    }

    // Stored Settings: the scanned range without a window in the file; an unknown preset
    // leaves the window alone.
    auto plain = load(ctRecipe());
    ASSERT_TRUE(plain);
    plain->v().window.windowLow = plain->v().window.windowHigh = 0;
    EXPECT_EQ(windowOfPreset(plain->v(), presetStoredSettings), Window(-2000, 3000));
    EXPECT_EQ(windowOfPreset(plain->v(), 7), Window(-2000, 3000));

    // The first value of a multi-valued stored window, through a rescale.
    ImageRecipe stored = ctRecipe();
    stored.windowCenter = "-600\\40";
    stored.windowWidth = "1500\\400";
    stored.rescaleIntercept = -1024;
    stored.rescaleSlope = 1;
    auto multi = load(stored);
    ASSERT_TRUE(multi);
    EXPECT_EQ(windowOfPreset(multi->v(), presetStoredSettings), Window(-326, 1174));
}

TEST(Contrast, RangeScanOfEachKindOfFrame) {
    // Unsigned 16-bit data above 32767 reads as positive.
    ImageRecipe recipe = ctRecipe();
    recipe.pixelRepresentation = 0;
    recipe.samples = {0, 100, 40000, 65535, 7, 8};
    auto unsignedImage = load(recipe);
    ASSERT_TRUE(unsignedImage);
    EXPECT_EQ(unsignedImage->v().window.dataMin, 0);
    EXPECT_EQ(unsignedImage->v().window.dataMax, 65535);

    // The range is the current frame's.
    ImageRecipe frames;
    frames.rows = 1;
    frames.columns = 2;
    frames.frames = 2;
    frames.bitsAllocated = 12;
    frames.samples = {1, 2, 300, 4000};
    auto multi = load(frames);
    ASSERT_TRUE(multi);
    multi->v().currentFrame = 1;
    scanDataRange(multi->v());
    EXPECT_EQ(multi->v().window.dataMin, 300);
    EXPECT_EQ(multi->v().window.dataMax, 4000);

    // 8-bit RLE and JPEG: the nominal 0..255 before rendering, the real extremes after it.
    for (auto encoding : {ImageRecipe::Encoding::rle, ImageRecipe::Encoding::jpegBaseline}) {
        ImageRecipe eight;
        eight.rows = eight.columns = 8;
        eight.bitsAllocated = 8;
        eight.encoding = encoding;
        eight.samples.assign(64, 100);
        eight.samples[9] = 60;
        auto l = load(eight);
        ASSERT_TRUE(l);
        Viewer& v = l->v();
        scanDataRange(v);
        EXPECT_EQ(Window(v.window.dataMin, v.window.dataMax), Window(0, 255));
        renderFrame(v);
        if (encoding == ImageRecipe::Encoding::rle) {
            EXPECT_EQ(Window(v.window.dataMin, v.window.dataMax), Window(60, 100));
        } else {
            EXPECT_EQ(v.window.dataMin, 0);  // the columns up to the row stride count as black
            EXPECT_NEAR(v.window.dataMax, 100, 12);
        }
    }

    // JPEG of more than 8 bits: the nominal range of its depth.
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidJpegBaseline);
    b.us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 12);
    b.encapsulated({testing::encodeJpegGrey(std::vector<uint8_t>(64, 9), 8, 8)});
    auto j12 = load(b.build());
    ASSERT_TRUE(j12);
    scanDataRange(j12->v());
    EXPECT_EQ(Window(j12->v().window.dataMin, j12->v().window.dataMax), Window(0, 4095));
}

TEST(Contrast, CommandsAndAutomaticWindowing) {
    ImageRecipe recipe = ctRecipe();
    recipe.rescaleIntercept = -1024;
    recipe.rescaleSlope = 1;
    auto l = load(recipe);
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    auto& host = l->t.host;

    // A preset command with automatic windowing on: check marks, window, one rendering.
    host.effects.clear();
    choosePreset(v, presetCtBrain);
    EXPECT_TRUE(host.menuChecked[commandCtBrain]);
    for (int id : {185, 188, 189, 190, 192, 193}) EXPECT_FALSE(host.menuChecked[id]) << id;
    EXPECT_EQ(Window(v.window.windowLow, v.window.windowHigh), Window(1024, 1114));
    EXPECT_EQ(host.effectsStartingWith("repaint image").size(), 1u);

    // With it off a preset only moves the check mark; Reset Contrast then applies it.
    setAutoWindowing(v, false);
    EXPECT_FALSE(host.automaticWindowingChecked);
    choosePreset(v, presetCtLung);
    EXPECT_EQ(v.window.windowLow, 1024);
    resetContrast(v);
    EXPECT_EQ(Window(v.window.windowLow, v.window.windowHigh), Window(-76, 1174));
}

TEST(Contrast, WindowCarriesOverWhenAutomaticWindowingIsOff) {
    testing::TempDir dir;
    testing::TestViewer t;
    Viewer& v = t.v();
    v.window.autoWindowing = 0;
    v.window.windowPreset = presetContrastStretch;
    ASSERT_EQ(t.load(dir, "a.dcm", makeImage(ctRecipe())), 1);
    // The very first image gets the preset even with automatic windowing off.
    EXPECT_EQ(Window(v.window.windowLow, v.window.windowHigh), Window(-2000, 3000));
    ImageRecipe second = ctRecipe();
    second.samples = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(t.load(dir, "b.dcm", makeImage(second)), 1);
    EXPECT_EQ(Window(v.window.windowLow, v.window.windowHigh), Window(-2000, 3000));
    EXPECT_EQ(v.window.dataMin, 1);
}

}  // namespace
}  // namespace vs
