// The batch run over real files: output names, questions answered through a recording host,
// counts and report texts, the window each file is written with.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/batch.h"
#include "core/loader.h"
#include "tests/support/damaged_copies.h"
#include "samples/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ImageRecipe;
using testing::makeImage;

Bytes framesImage(uint32_t frames) { return makeImage({.rows = 4, .columns = 5, .frames = frames}); }

Bytes tiffPixels(const fs::path& path) {
    const Bytes tiff = testing::readFile(path);
    return tiff.size() < 140 ? Bytes{} : Bytes(tiff.begin() + 140, tiff.end());
}

TEST(Batch, OutputNames) {
    EXPECT_EQ(batchOutputPath("/img/", "scan.dcm", 1, 0, formatTiff8), "/img/scan.dcm.TIF");
    EXPECT_EQ(batchOutputPath("/d/", "x", 9, 8, formatRaw), "/d/x.8.RAW");
    EXPECT_EQ(batchOutputPath("/d/", "x", 10, 9, formatBmp), "/d/x.09.BMP");
    EXPECT_EQ(batchOutputPath("/d/", "x", 100, 7, formatTiff16), "/d/x.007.TIF");
    EXPECT_EQ(batchOutputPath("/d/", std::string(3000, 'n'), 1, 0, formatTiff8).size(), pathCapacity - 1);
}

TEST(Batch, CountsReportsAndQuestions) {
    testing::TempDir dir;
    const std::string ten = dir.write("ten.dcm", framesImage(10));
    const std::string text = dir.write("notes.txt", Bytes(1000, 'x'));
    const std::string nine = dir.write("nine", framesImage(9));
    const std::string a = dir.write("a", framesImage(1));
    const std::string one = dir.write("one", framesImage(1));
    const std::string missing = (dir.path() / "missing").string();
    const struct {
        std::vector<std::string> files;
        uint16_t format;
        std::vector<MessageAnswer> answers;
        std::string outputDirectory;
        BatchResult result;
        size_t filesRead;
        std::vector<std::string> messages;  // the first ones and the report
    } runs[] = {
        // A file that does not load counts once; OK goes on with the next.
        {{ten, text, nine}, formatBmp, {}, "", {3, 19, 1, false}, 3,
         {"Error: File format of '" + text + "' is unsupported!",
          "Successfully converted 19 image(s) out of 3 file(s).\nConversion of 1 image(s) was unsuccessful."}},
        // Whatever the reason, the box says the format is unsupported.
        {{missing, dir.path().string()}, formatBmp, {}, "", {2, 0, 2, false}, 0,
         {"Error: File format of '" + missing + "' is unsupported!",
          "Error: File format of '" + dir.path().string() + "' is unsupported!"}},
        // No to every overwrite question: nothing converted, each frame unsuccessful.
        {{nine}, formatBmp, std::vector(9, MessageAnswer::no), "", {1, 0, 9, false}, 1,
         {"Warning: File '" + dir.path().string() + "/nine.0.BMP' already exists!\nDo you want to overwrite the file?"}},
        // Yes overwrites; Cancel at the next question ends the run.
        {{nine, ten, a}, formatBmp, {MessageAnswer::yes, MessageAnswer::cancel}, "", {3, 1, 0, true}, 1,
         {"Warning: File '" + dir.path().string() + "/nine.0.BMP' already exists!\nDo you want to overwrite the file?"}},
        // Cancel on file 2 of 3: the third is never read.
        {{one, nine, ten}, formatBmp, {MessageAnswer::cancel}, "", {3, 1, 0, true}, 2,
         {"Warning: File '" + dir.path().string() + "/nine.0.BMP' already exists!\nDo you want to overwrite the file?"}},
        // An output that cannot be created: one failure per frame; Cancel ends the run.
        {{ten}, formatRaw, {MessageAnswer::ok, MessageAnswer::cancel}, (dir.path() / "missing").string(), {1, 0, 2, true}, 1,
         {"Error: Can't create file '" + (dir.path() / "missing" / "ten.dcm.00.RAW").string() +
          "'!\nMake sure the disk is not write protected."}},
    };
    for (const auto& run : runs) {
        testing::TestViewer t;
        t.v.outputFormat = run.format;
        t.host.answers = run.answers;
        const BatchResult r = runBatch(t.v, run.files, {run.outputDirectory});
        EXPECT_EQ(t.host.effects.front(), "status box Processing files...");
        EXPECT_EQ(t.host.starting("size ").size(), run.filesRead);
        EXPECT_EQ(std::vector<uint32_t>({r.files, r.converted, r.failed, r.cancelled}),
                  std::vector<uint32_t>({run.result.files, run.result.converted, run.result.failed, run.result.cancelled}));
        ASSERT_GE(t.host.messages.size(), run.messages.size());
        for (size_t k = 0; k < run.messages.size(); ++k)
            EXPECT_EQ(t.host.messages[k], run.messages[k]);
        EXPECT_EQ(t.host.messages.back(), batchReportText(r));
        EXPECT_EQ(t.v.batchMode, 0);
    }
    EXPECT_TRUE(fs::exists(dir.path() / "ten.dcm.09.BMP"));
    EXPECT_FALSE(fs::exists(dir.path() / "a.BMP"));
    EXPECT_EQ(batchReportText({3, 1, 0, true}), "Successfully processed 1 image(s) out of 3 file(s).");
}

TEST(Batch, EachFileIsWindowedWithItsOwnValues) {
    testing::TestViewer t;
    fs::create_directories(t.dir.path() / "out");
    ImageRecipe ct{.rows = 1, .samples = {0, 1024, 1069, 1114}, .rescaleIntercept = -1024, .rescaleSlope = 1};
    const std::string first = t.dir.write("ct1", makeImage(ct));
    ct.rescaleIntercept = 0;
    ct.samples = {-1, 0, 45, 90};
    const std::string second = t.dir.write("ct2", makeImage(ct));
    ct.rescaleIntercept = 5000;
    ASSERT_EQ(t.load("viewed", makeImage(ct)), LoadResult::loaded);  // an image shown before the run, with its own rescale
    t.v.window.windowPreset = presetCtBrain;
    t.v.outputFormat = formatTiff8;
    const BatchOptions options{(t.dir.path() / "out").string()};
    EXPECT_EQ(runBatch(t.v, {first, second}, options).converted, 2u);
    EXPECT_EQ(tiffPixels(t.dir.path() / "out" / "ct1.TIF"), (Bytes{0, 0, 127, 255}));
    EXPECT_EQ(tiffPixels(t.dir.path() / "out" / "ct2.TIF"), (Bytes{0, 0, 127, 255}));

    // Automatic windowing off: the window the user left is used, whatever the file says.
    t.v.window.autoWindowing = 0;
    t.v.window.windowLow = 0;
    t.v.window.windowHigh = 45;
    runBatch(t.v, {second}, options);
    EXPECT_EQ(tiffPixels(t.dir.path() / "out" / "ct2.TIF"), (Bytes{0, 0, 255, 255}));
    // MONOCHROME1 is inverted; a negative picture of it is not.
    ct.photometric = "MONOCHROME1";
    const std::string inverted = t.dir.write("ct3", makeImage(ct));
    for (const bool negative : {false, true}) {
        t.v.window.negative = negative;
        runBatch(t.v, {inverted}, {(t.dir.path() / "out").string()});
        EXPECT_EQ(tiffPixels(t.dir.path() / "out" / "ct3.TIF"), negative ? Bytes({0, 0, 255, 255}) : Bytes({255, 255, 0, 0}));
    }

    // Relative paths are taken from where the run starts.
    fs::create_directories(t.dir.path() / "x");
    t.dir.write("x/one", framesImage(1));
    fs::current_path(t.dir.path());
    const BatchResult r = runBatch(t.v, {"x/one", "ct1"});
    fs::current_path(fs::temp_directory_path());
    EXPECT_EQ(r.converted, 2u);
    EXPECT_TRUE(fs::exists(t.dir.path() / "x" / "one.TIF") && fs::exists(t.dir.path() / "ct1.TIF"));
}

}  // namespace
}  // namespace vs
