// What the viewer shows: a load's statuses, effects and their order, a large file's progress
// and Escape, the picture's Reset Contrast indicator and growing display, the contrast
// commands, and boxes for JPEG frames that cannot be decoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/contrast.h"
#include "core/coded_frame.h"
#include "core/loader.h"
#include "core/render.h"
#include "samples/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::Bytes;
using testing::makeImage;
using Window = std::pair<int32_t, int32_t>;

Bytes eightBit(uint16_t size) {
    return makeImage({.rows = size, .columns = size, .bitsAllocated = 8,
                      .samples = std::vector<int32_t>(size_t(size) * size, 5), .patientName = "Doe^Jane"});
}

Window windowOf(const Viewer& v) { return {v.window.windowLow, v.window.windowHigh}; }

TEST(Viewer, LoadsShowTheirStatusOrTheImageInOrderAndLargeFilesTheirProgress) {
    testing::TestViewer t;
    auto& host = t.host;
    EXPECT_EQ(t.load("short.dcm", Bytes(299, 0)), LoadResult::failed);
    EXPECT_EQ(host.effects.front(), "status <unsupported filetype>");  // refused before reading
    EXPECT_EQ(t.load("junk.dcm", Bytes(300, 'x')), LoadResult::failed);
    EXPECT_EQ(host.last("status ") + host.last("size "), "<unsupported filetype>Filesize: 0 KB");
    EXPECT_EQ(t.load((t.dir.path() / "junk.dcm").string()), LoadResult::alreadyLoaded);  // it stays the loaded path

    host.effects.clear();
    const std::string ok = t.dir.write("ok.dcm", eightBit(32));
    ASSERT_EQ(t.load(ok), LoadResult::loaded);
    EXPECT_EQ(t.load(ok), LoadResult::alreadyLoaded);
    const std::string order[] = {"cursor wait", "stop animation timer", "title Dicom Image", "patient Doe^Jane   ",
                                 "select ok.dcm", "fit", "repaint image", "cursor arrow", "show image", "saving on"};
    auto at = [&host](const std::string& e) { return std::find(host.effects.begin(), host.effects.end(), e); };
    for (size_t k = 1; k < std::size(order); ++k) EXPECT_LT(at(order[k - 1]), at(order[k])) << order[k];
    EXPECT_EQ(host.starting("stop animation timer").size(), 1u);  // the header is examined once
    EXPECT_EQ(loadFile(t.v, {.evenIfLoaded = true}), LoadResult::loaded);  // asked to, it reads the file anew
    // After a file too short to be one, the file shown before it loads again.
    EXPECT_EQ(t.load((t.dir.path() / "short.dcm").string()), LoadResult::failed);
    EXPECT_EQ(t.load(ok), LoadResult::loaded);

    std::filesystem::create_directory(t.dir.path() / "folder.dcm");  // a folder is not a file
    for (const char* name : {"missing.dcm", "folder.dcm"}) {
        ASSERT_EQ(t.load(name + std::string("2"), eightBit(32)), LoadResult::loaded);
        EXPECT_EQ(t.load((t.dir.path() / name).string()), LoadResult::failed);
        EXPECT_EQ(host.last("status "), "<no file access>");
        EXPECT_FALSE(host.imageWindowVisible());
        EXPECT_EQ(host.effects.back(), "saving off");
    }

    // A file too big to hold leaves no name behind: the next load without a new name reads
    // nothing, whatever the folder holds.
    const std::filesystem::path huge = t.dir.path() / "huge.dcm";
    std::ofstream{huge};
    std::filesystem::resize_file(huge, 3'000'000'000);  // sparse: no disk space taken
    t.dir.write("*#$^&%", eightBit(32));
    EXPECT_EQ(t.load(huge.string()), LoadResult::failed);
    EXPECT_EQ(host.last("status "), "<file is too big>");
    host.effects.clear();
    EXPECT_EQ(loadFile(t.v, {.dialogHasSelection = false}), LoadResult::failed);
    EXPECT_EQ(host.starting("status ").size() + host.starting("show image").size(), 0u);

    // A large file shows its progress; Escape aborts it.
    host.effects.clear();
    const std::string path = t.dir.write("large.dcm", eightBit(2300));  // about 5 MB, more than 70 chunks
    const uint32_t chunks = uint32_t(std::filesystem::file_size(path) >> 16) + 1;
    ASSERT_EQ(t.load(path), LoadResult::loaded);
    EXPECT_EQ(host.starting("status ").front(), "status <loading file, press escape to abort>");
    EXPECT_EQ(host.starting("progress ").front(),
              "progress <loading file, press escape to abort (" + std::to_string(4 * 100 / chunks + 1) + "%)>");
    EXPECT_EQ(host.starting("status ").back(), "status <examining file...>");
    EXPECT_EQ(host.starting("stop animation timer").size(), 1u);  // examined after the fourth chunk only

    testing::TestViewer aborted;
    aborted.host.escapeFromPoll = 10;
    EXPECT_EQ(aborted.load(path), LoadResult::failed);
    EXPECT_EQ(aborted.host.last("status "), "<loading aborted by user>");
    EXPECT_EQ(aborted.host.escapePolls, 10);
    EXPECT_EQ(aborted.v.loadedPath, path);  // kept: choosing it again does nothing
    EXPECT_EQ(aborted.v.loadBusy, 0);
}

TEST(Viewer, PicturesFollowTheirFramesAndTheResetContrastIndicator) {
    testing::TestViewer t;
    Viewer& v = t.v;
    // An 8-bit RLE picture's range follows its drawing; windowing it shows the full range.
    ASSERT_EQ(t.load("rle.dcm", makeImage({.rows = 1, .bitsAllocated = 8, .photometric = "MONOCHROME1",
                                           .encoding = testing::ImageRecipe::Encoding::rle, .samples = {60, 100, 80, 90}})),
              LoadResult::loaded);
    EXPECT_EQ(Window(v.window.dataMin, v.window.dataMax), Window(60, 100));
    v.window.negative = true;  // cancels MONOCHROME1's inversion
    // Reset Contrast shows the full range only while both ends of the window are the range's.
    for (const auto& [window, indicator] : {std::pair{Window(61, 100), "windowed"}, {Window(60, 99), "windowed"},
                                            {Window(59, 101), "windowed"}, {Window(60, 100), "full"}}) {
        std::tie(v.window.windowLow, v.window.windowHigh) = window;
        t.host.effects.clear();
        renderFrame(v);
        EXPECT_EQ(t.host.effects, (std::vector<std::string>{"reset picture " + std::string(indicator), "repaint image"}));
    }
    EXPECT_EQ(v.display[0] * 1000 + v.display[1], 255);
    v.animationPlaying = 1;  // a playing cine leaves the indicator alone
    t.host.effects.clear();
    renderFrame(v);
    EXPECT_EQ(t.host.effects, (std::vector<std::string>{"repaint image"}));

    // 5,900 rows of 5,904 bytes are more than the display buffer starts with.
    Bytes big = eightBit(5900);
    big.back() = 255;
    ASSERT_EQ(t.load("big.dcm", big), LoadResult::loaded);
    v.window = {};
    renderFrame(v);
    EXPECT_EQ(v.display.at(size_t(5899) * 5904 + 5899), 255);
}

TEST(Viewer, ContrastCommandsAndAutomaticWindowing) {
    testing::ImageRecipe ct{.rows = 2, .columns = 3, .samples = {-2000, -1024, 0, 40, 1000, 3000},
                            .rescaleIntercept = -1024, .rescaleSlope = 1, .windowCenter = "40", .windowWidth = "400"};
    testing::TestViewer t;
    ASSERT_EQ(t.load("ct.dcm", makeImage(ct)), LoadResult::loaded);
    // With automatic windowing a preset moves the check mark, sets its window (in stored values:
    // Hounsfield units + 1024; each preset's window is the windowing tests') and renders once.
    const struct { uint16_t preset; Window window; } presets[] = {
        {presetContrastStretch, {-2000, 3000}}, {presetStoredSettings, {864, 1264}}, {presetCtBrain, {1024, 1114}}};
    for (const auto& p : presets) {
        t.host.effects.clear();
        choosePreset(t.v, p.preset);
        EXPECT_EQ(windowOf(t.v), p.window) << p.preset;
        EXPECT_EQ(t.host.effects.front(), "preset " + std::to_string(p.preset));
        EXPECT_EQ(t.host.starting("repaint image").size(), 1u);
    }
    // Without it a preset only moves the check mark; Reset Contrast, or turning automatic
    // windowing on again, applies it.
    setAutoWindowing(t.v, false);
    EXPECT_EQ(t.host.last("auto windowing "), "off");
    choosePreset(t.v, presetCtLung);
    EXPECT_EQ(windowOf(t.v), Window(1024, 1114));
    resetContrast(t.v);
    EXPECT_EQ(windowOf(t.v), Window(-76, 1174));
    choosePreset(t.v, presetCtBone);
    setAutoWindowing(t.v, true);
    EXPECT_EQ(windowOf(t.v), Window(324, 2824));

    // The first image gets the preset even with automatic windowing off; the next keeps the window.
    testing::TestViewer first;
    first.v.window.autoWindowing = 0;
    first.v.window.windowPreset = presetContrastStretch;
    ASSERT_EQ(first.load("a.dcm", makeImage(ct)), LoadResult::loaded);
    ct.samples = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(first.load("b.dcm", makeImage(ct)), LoadResult::loaded);
    EXPECT_EQ(windowOf(first.v), Window(-2000, 3000));
    EXPECT_EQ(first.v.window.dataMin, 1);
}

TEST(Viewer, UndecodableJpegFramesPaintBlankAndSayWhy) {
    const Bytes good = testing::encodeJpegGrey(Bytes(64, 77), 8, 8);
    Bytes broken = {0xFF, 0xD8, 0xFF, 0x00};
    broken.resize(400, 0x11);
    testing::TestViewer t;
    Viewer& v = t.v;
    const auto blank = [&v] { return std::all_of(v.display.begin(), v.display.begin() + 96, [](uint8_t b) { return !b; }); };
    ASSERT_EQ(t.load("three.dcm", testing::encapsulatedImage(testing::uidJpegBaseline, 8, 8, 8, {good, broken, good})),
              LoadResult::loaded);
    EXPECT_FALSE(blank());
    // One box with the frame's length (its data and the next item's header) and the reason.
    v.currentFrame = 1;
    EXPECT_EQ(decodeCodedFrame(v), 0u);
    ASSERT_EQ(t.host.messages.size(), 1u);
    EXPECT_EQ(t.host.messages[0].rfind("JPEG decoder error 408:\nlibjpeg-turbo: ", 0), 0u) << t.host.messages[0];
    v.dicom.frameOffsets[1] = v.dicom.image.fileLength + 5000;
    v.source.reset();
    EXPECT_EQ(decodeCodedFrame(v), 0u);
    EXPECT_EQ(t.host.messages.back(), "JPEG decoder error 0:\nthe frame starts beyond the end of the file");

    // A file whose first frame cannot be decoded, after one that showed: a blank picture, the
    // reason on the Image line, one box.
    t.host.effects.clear();
    const Bytes lossless = testing::encapsulatedImage(testing::uidJpegBaseline, 8, 8, 8, {testing::relabelAsLossless(good)});
    ASSERT_EQ(t.load("lossless.dcm", lossless), LoadResult::loaded);
    EXPECT_TRUE(blank());
    EXPECT_EQ(t.host.last("image "), "8 x 8 Pixels,  8 Bit, 1 Frame, Jpeg  <JPEG frame cannot be decoded>");
    EXPECT_EQ(t.host.starting("message ").size(), 1u);
}

}  // namespace
}  // namespace vs
