// Range scan, the seven presets with their rescale conversions, and the contrast commands,
// on loaded files with the effects seen through a recording host.
#include <gtest/gtest.h>

#include "core/contrast.h"
#include "core/render.h"
#include "tests/support/loaded_image.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::ImageSpec;
using testing::makeImage;

using testing::Loaded;
using testing::load;

ImageSpec ctSpec() {
    ImageSpec recipe;
    recipe.rows = 2;
    recipe.columns = 3;
    recipe.samples = {-2000, -1024, 0, 40, 1000, 3000};
    return recipe;
}

std::pair<int32_t, int32_t> windowOfPreset(Viewer& v, uint16_t preset) {
    v.window.windowPreset = preset;
    applyWindowPreset(v);
    return {v.window.windowLow, v.window.windowHigh};
}

TEST(Contrast, PresetsWithRescaleAndStoredWindows) {
    using Window = std::pair<int32_t, int32_t>;
    ImageSpec recipe = ctSpec();
    recipe.rescaleIntercept = -1024;
    recipe.rescaleSlope = 1;
    auto ct = load(recipe);
    ASSERT_TRUE(ct);
    Viewer& v = ct->v();
    EXPECT_EQ(windowOfPreset(v, presetCtLung), Window(-76, 1174));
    EXPECT_EQ(windowOfPreset(v, presetCtBone), Window(324, 2824));
    EXPECT_EQ(windowOfPreset(v, presetCtChest), Window(889, 1249));
    EXPECT_EQ(windowOfPreset(v, presetCtSoftTissue), Window(924, 1274));
    EXPECT_EQ(windowOfPreset(v, presetCtBrain), Window(1024, 1114));
    EXPECT_EQ(windowOfPreset(v, presetContrastStretch), Window(-2000, 3000));
    // Stored Settings without a window in the file: the scanned range.
    v.window.windowLow = v.window.windowHigh = 0;
    EXPECT_EQ(windowOfPreset(v, presetStoredSettings), Window(-2000, 3000));
    // An unknown preset leaves the window alone.
    EXPECT_EQ(windowOfPreset(v, 7), Window(-2000, 3000));

    recipe.rescaleIntercept = 0;
    recipe.rescaleSlope = 2;
    auto doubled = load(recipe);
    ASSERT_TRUE(doubled);
    EXPECT_EQ(windowOfPreset(doubled->v(), presetCtSoftTissue), Window(-50, 125));

    // A negative slope exchanges the ends.
    recipe.rescaleSlope = -1;
    auto inverted = load(recipe);
    ASSERT_TRUE(inverted);
    EXPECT_EQ(windowOfPreset(inverted->v(), presetCtBone), Window(-1800, 700));

    // Truncation toward zero of fractional conversions (slope 3: -1100/3 = -366.7).
    recipe.rescaleSlope = 3;
    auto thirds = load(recipe);
    ASSERT_TRUE(thirds);
    EXPECT_EQ(windowOfPreset(thirds->v(), presetCtLung), Window(-366, 50));

    // The file's stored window, centre 40 and width 400 with identity rescale.
    ImageSpec stored = ctSpec();
    stored.windowCenter = "40";
    stored.windowWidth = "400";
    auto s = load(stored);
    ASSERT_TRUE(s);
    EXPECT_EQ(windowOfPreset(s->v(), presetStoredSettings), Window(-160, 240));
    // The first value of a multi-valued window, through a rescale.
    stored.windowCenter = "-600\\40";
    stored.windowWidth = "1500\\400";
    stored.rescaleIntercept = -1024;
    stored.rescaleSlope = 1;
    auto multi = load(stored);
    ASSERT_TRUE(multi);
    EXPECT_EQ(windowOfPreset(multi->v(), presetStoredSettings), Window(-326, 1174));
}

TEST(Contrast, RangeScanOfEachKindOfFrame) {
    ImageSpec recipe = ctSpec();
    auto ct = load(recipe);
    ASSERT_TRUE(ct);
    EXPECT_EQ(ct->v().window.dataMin, -2000);
    EXPECT_EQ(ct->v().window.dataMax, 3000);

    // Unsigned 16-bit data above 32767 reads as positive.
    recipe.pixelRepresentation = 0;
    recipe.samples = {0, 100, 40000, 65535, 7, 8};
    auto unsignedImage = load(recipe);
    ASSERT_TRUE(unsignedImage);
    EXPECT_EQ(unsignedImage->v().window.dataMax, 65535);
    EXPECT_EQ(unsignedImage->v().window.dataMin, 0);

    // The range is the current frame's.
    ImageSpec frames;
    frames.rows = 1;
    frames.columns = 2;
    frames.frames = 2;
    frames.bitsAllocated = 12;
    frames.samples = {1, 2, 300, 4000};
    auto multi = load(frames);
    ASSERT_TRUE(multi);
    multi->v().image.currentFrame = 1;
    scanDataRange(multi->v());
    EXPECT_EQ(multi->v().window.dataMin, 300);
    EXPECT_EQ(multi->v().window.dataMax, 4000);

    // 8-bit RLE and JPEG: the nominal 0..255 before rendering, the real extremes after it.
    for (auto encoding : {ImageSpec::Encoding::rle, ImageSpec::Encoding::jpegBaseline}) {
        ImageSpec eight;
        eight.rows = 8;
        eight.columns = 8;
        eight.bitsAllocated = 8;
        eight.encoding = encoding;
        eight.samples.assign(64, 100);
        eight.samples[9] = 60;
        auto l = load(eight);
        ASSERT_TRUE(l);
        Viewer& v = l->v();
        scanDataRange(v);
        EXPECT_EQ(v.window.dataMin, 0);
        EXPECT_EQ(v.window.dataMax, 255);
        renderFrame(v);
        if (encoding == ImageSpec::Encoding::rle) {
            EXPECT_EQ(v.window.dataMin, 60);
            EXPECT_EQ(v.window.dataMax, 100);
        } else {
            // The picture's columns up to the row stride count as black samples.
            EXPECT_EQ(v.window.dataMin, 0);
            EXPECT_NEAR(v.window.dataMax, 100, 12);  // lossy: ringing around the dark sample
        }
    }
}

TEST(Contrast, JpegOfMoreThanEightBitsScansTheNominalRange) {
    const std::vector<uint8_t> jpeg = testing::encodeJpegGrey(std::vector<uint8_t>(64, 9), 8, 8);
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidJpegBaseline);
    b.us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 12).encapsulated({jpeg});
    testing::TempDir dir;
    testing::TestViewer t;
    ASSERT_EQ(t.load(dir, "j12.dcm", b.build()), 1);
    scanDataRange(t.v());
    EXPECT_EQ(t.v().window.dataMin, 0);
    EXPECT_EQ(t.v().window.dataMax, 4095);
}

TEST(Contrast, CommandsAndAutomaticWindowing) {
    ImageSpec recipe = ctSpec();
    recipe.rescaleIntercept = -1024;
    recipe.rescaleSlope = 1;
    auto l = load(recipe);
    ASSERT_TRUE(l);
    Viewer& v = l->v();
    auto& host = l->t.host;
    ASSERT_TRUE(host.imageVisible);

    // A preset command with automatic windowing on: check marks, window, a rendering.
    host.effects.clear();
    presetCommand(v, commandCtBrain);
    EXPECT_EQ(v.window.windowPreset, presetCtBrain);
    EXPECT_EQ(host.menuChecked[commandCtBrain], true);
    for (int id : {185, 188, 189, 190, 192, 193}) EXPECT_EQ(host.menuChecked[id], false) << id;
    EXPECT_EQ(v.window.windowLow, 1024);
    EXPECT_EQ(v.window.windowHigh, 1114);
    EXPECT_EQ(host.effectsStartingWith("repaint image").size(), 1u);

    // With it off a preset only moves the check mark; Reset Contrast then applies it.
    setAutoWindowing(v, false);
    EXPECT_FALSE(host.automaticWindowingChecked);
    presetCommand(v, commandCtLung);
    EXPECT_EQ(v.window.windowLow, 1024);
    resetContrast(v);
    EXPECT_EQ(v.window.windowLow, -76);
    EXPECT_EQ(v.window.windowHigh, 1174);
    setAutoWindowing(v, true);  // applies the preset at once
    EXPECT_TRUE(host.automaticWindowingChecked);

    // Negative Image twice: inverted, then as before, check mark cleared.
    renderFrame(v);
    const std::vector<uint8_t> before(v.display.begin(), v.display.begin() + 8);
    negativeImageCommand(v);
    EXPECT_TRUE(host.menuChecked[commandNegativeImage]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v.display[i], uint8_t(before[i] ^ 255));
    negativeImageCommand(v);
    EXPECT_FALSE(host.menuChecked[commandNegativeImage]);
    EXPECT_EQ(std::vector<uint8_t>(v.display.begin(), v.display.begin() + 3),
              std::vector<uint8_t>(before.begin(), before.begin() + 3));

    EXPECT_EQ(presetOfCommand(commandStoredSettings), presetStoredSettings);
    EXPECT_EQ(presetCommandId(presetCtChest), commandCtChest);
    EXPECT_EQ(presetOfCommand(commandNegativeImage), -1);
}

TEST(Contrast, WindowCarriesOverWhenAutomaticWindowingIsOff) {
    testing::TempDir dir;
    testing::TestViewer t;
    Viewer& v = t.v();
    v.window.autoWindowing = 0;
    v.window.windowPreset = presetContrastStretch;
    ImageSpec first = ctSpec();
    ASSERT_EQ(t.load(dir, "a.dcm", makeImage(first)), 1);
    // The very first image gets the preset even with automatic windowing off.
    EXPECT_EQ(v.window.windowLow, -2000);
    EXPECT_EQ(v.window.windowHigh, 3000);
    ImageSpec second = ctSpec();
    second.samples = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(t.load(dir, "b.dcm", makeImage(second)), 1);
    EXPECT_EQ(v.window.windowLow, -2000);
    EXPECT_EQ(v.window.windowHigh, 3000);
    EXPECT_EQ(v.window.dataMin, 1);
}

}  // namespace
}  // namespace vs
