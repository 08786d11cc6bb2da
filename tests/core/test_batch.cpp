// The batch run over real files: output names, questions answered through a recording host,
// counts and report texts, the window each file is written with.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/batch.h"
#include "core/write_frame.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

namespace fs = std::filesystem;
using testing::ImageRecipe;
using testing::makeImage;
using Bytes = std::vector<uint8_t>;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes tiffPixels(const fs::path& path) {
    const Bytes tiff = readFile(path);
    return tiff.size() < 140 ? Bytes{} : Bytes(tiff.begin() + 140, tiff.end());
}

Bytes framesImage(uint32_t frames) {
    ImageRecipe recipe;
    recipe.rows = 4;
    recipe.columns = 5;
    recipe.frames = frames;
    return makeImage(recipe);
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

    // A file that does not load counts once; OK goes on with the next.
    {
        testing::TestViewer t;
        t.v().outputFormat = formatBmp;
        const BatchResult r = runBatch(t.v(), {ten, text, nine});
        EXPECT_EQ(r.converted, 19u);
        EXPECT_EQ(r.failed, 1u);
        EXPECT_EQ(t.host.effects.front(), "status box Processing files...");
        EXPECT_EQ(t.host.messages,
                  (std::vector<std::string>{"Error: File format of '" + text + "' is unsupported!",
                                            "Successfully converted 19 image(s) out of 3 file(s).\n"
                                            "Conversion of 1 image(s) was unsuccessful."}));
        EXPECT_TRUE(fs::exists(dir.path() / "ten.dcm.09.BMP"));
        EXPECT_TRUE(fs::exists(dir.path() / "nine.8.BMP"));
        EXPECT_EQ(t.v().batchMode, 0);
    }

    // No to every overwrite question: nothing converted, each frame unsuccessful, files kept.
    {
        testing::TestViewer t;
        t.v().outputFormat = formatBmp;
        const fs::path first = dir.path() / "nine.0.BMP";
        fs::resize_file(first, 10);
        t.host.answers.assign(9, MessageAnswer::no);
        const BatchResult r = runBatch(t.v(), {nine});
        EXPECT_EQ(r.converted, 0u);
        EXPECT_EQ(r.failed, 9u);
        EXPECT_EQ(t.host.messages.front(),
                  "Warning: File '" + first.string() + "' already exists!\nDo you want to overwrite the file?");
        EXPECT_EQ(fs::file_size(first), 10u);
    }

    // Yes overwrites; Cancel at the next question ends the run and still names every file.
    {
        testing::TestViewer t;
        t.v().outputFormat = formatBmp;
        t.host.answers = {MessageAnswer::yes, MessageAnswer::cancel};
        const BatchResult r = runBatch(t.v(), {nine, ten, a});
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(r.converted, 1u);
        EXPECT_EQ(t.host.messages.back(), "Successfully processed 1 image(s) out of 3 file(s).");
        EXPECT_GT(fs::file_size(dir.path() / "nine.0.BMP"), 10u);
        EXPECT_FALSE(fs::exists(dir.path() / "a.BMP"));
    }

    // An output that cannot be created: one failure per frame, Cancel ends the run.
    {
        testing::TestViewer t;
        t.v().outputFormat = formatRaw;
        t.host.answers = {MessageAnswer::ok, MessageAnswer::cancel};
        BatchOptions options;
        options.outputDirectory = (dir.path() / "missing").string();
        const BatchResult r = runBatch(t.v(), {ten}, options);
        EXPECT_EQ(r.failed, 2u);
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(t.host.messages.front(), "Error: Can't create file '" +
                                               (dir.path() / "missing" / "ten.dcm.00.RAW").string() +
                                               "'!\nMake sure the disk is not write protected.");
    }
}

TEST(Batch, EachFileIsWindowedWithItsOwnValues) {
    testing::TempDir dir;
    fs::create_directories(dir.path() / "out");
    ImageRecipe ct;
    ct.rows = 1;
    ct.columns = 4;
    ct.samples = {0, 1024, 1069, 1114};
    ct.rescaleIntercept = -1024;
    ct.rescaleSlope = 1;
    const std::string first = dir.write("ct1", makeImage(ct));
    ct.rescaleIntercept = 0;
    ct.samples = {-1, 0, 45, 90};
    const std::string second = dir.write("ct2", makeImage(ct));
    ct.rescaleIntercept = 5000;
    const std::string viewed = dir.write("viewed", makeImage(ct));

    testing::TestViewer t;
    ASSERT_EQ(t.load(viewed), 1);  // an image shown before the run, with its own rescale
    t.v().window.windowPreset = presetCtBrain;
    t.v().outputFormat = formatTiff8;
    BatchOptions options;
    options.outputDirectory = (dir.path() / "out").string();
    EXPECT_EQ(runBatch(t.v(), {first, second}, options).converted, 2u);
    EXPECT_EQ(tiffPixels(dir.path() / "out" / "ct1.TIF"), (Bytes{0, 0, 127, 255}));
    EXPECT_EQ(tiffPixels(dir.path() / "out" / "ct2.TIF"), (Bytes{0, 0, 127, 255}));

    // Automatic windowing off: the window the user left is used, whatever the file says.
    t.v().window.autoWindowing = 0;
    t.v().window.windowLow = 0;
    t.v().window.windowHigh = 45;
    t.host.answers.assign(1, MessageAnswer::yes);
    runBatch(t.v(), {second}, options);
    EXPECT_EQ(tiffPixels(dir.path() / "out" / "ct2.TIF"), (Bytes{0, 0, 255, 255}));
}

TEST(Batch, RelativePathsAreTakenFromWhereTheRunStarts) {
    testing::TempDir dir;
    fs::create_directories(dir.path() / "x");
    fs::create_directories(dir.path() / "y");
    dir.write("x/one", framesImage(1));
    dir.write("y/two", framesImage(1));
    fs::current_path(dir.path());
    testing::TestViewer t;
    const BatchResult r = runBatch(t.v(), {"x/one", "y/two"});
    fs::current_path(fs::temp_directory_path());
    EXPECT_EQ(r.converted, 2u);
    EXPECT_TRUE(fs::exists(dir.path() / "x" / "one.TIF"));
    EXPECT_TRUE(fs::exists(dir.path() / "y" / "two.TIF"));
}

}  // namespace
}  // namespace vs
