// vireoscan-convert as a user runs it: --info, and the options, outputs and exit status of a
// conversion. Its lines and outputs for real files are compared with pydicom's reading by the
// corpus checks.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Runs a shell command line with the given redirections (by default the error stream is
// dropped); returns the exit status and what it printed on the standard output.
std::pair<int, std::string> shell(const std::string& command, const std::string& redirections = " 2>/dev/null") {
    FILE* pipe = popen((command + redirections).c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(InfoCommand, PrintsThePanelLinesOfEachFile) {
    testing::TempDir dir;
    testing::ImageRecipe recipe;
    recipe.rows = 64;
    recipe.columns = 32;
    recipe.patientName = "Roe^Richard";
    recipe.studyDate = "20230101";
    recipe.pixelSpacing = "0.25\\0.25";
    dir.write("good.dcm", testing::makeImage(recipe));
    dir.write("bad.dcm", std::vector<uint8_t>(1000, 7));
    const std::string folder = dir.path().string();
    const std::string convert = std::string(VIREOSCAN_CONVERT);

    const auto good = shell(convert + " --info " + folder + "/good.dcm");
    EXPECT_EQ(good.first, 0);
    EXPECT_EQ(good.second, folder + "/good.dcm\n"
                                    "  Patient: Roe^Richard    \n"
                                    "  Date: 20230101 \n"
                                    "  Study: \n"
                                    "  Image: 32 x 64 Pixels,  16 Bit, 1 Frame\n"
                                    "  Pixsize: 0.2500\\0.2500 mm\n"
                                    "  Filesize: 4 KB\n");

    // A refused file and a missing one say why.
    const auto both = shell(convert + " --info " + folder + "/bad.dcm " + folder + "/missing.dcm");
    EXPECT_EQ(both.first, 1);
    EXPECT_NE(both.second.find("bad.dcm\n  Patient: <unsupported filetype>\n  Date: \n"), std::string::npos);
    EXPECT_NE(both.second.find("missing.dcm\n  Patient: <no file access>\n"), std::string::npos);
    EXPECT_EQ(shell(convert + " --info").first, 2);

    // Relative paths are read from the start folder, also after an absolute one, and
    // absolute paths load from a start folder that no longer exists.
    fs::create_directories(dir.path() / "a");
    dir.write("a/one.dcm", testing::makeImage(recipe));
    EXPECT_EQ(shell("cd / && " + convert + " --info a/one.dcm").first, 1);
    EXPECT_EQ(shell("cd " + folder + " && " + convert + " --info " + folder + "/good.dcm a/one.dcm").first, 0);
    EXPECT_EQ(shell("mkdir " + folder + "/gone && cd " + folder + "/gone && rmdir ../gone && " + convert +
                    " --info " + folder + "/a/one.dcm")
                  .first,
              0);
}

// Runs the converter, standard input from /dev/null; returns its exit status and fills out
// with what it printed on both streams.
int convert(const std::string& arguments, std::string& out) {
    int status;
    std::tie(status, out) = shell(std::string(VIREOSCAN_CONVERT) + " " + arguments, " </dev/null 2>&1");
    return status;
}

TEST(Converter, OptionsOutputsAndExitStatus) {
    // Windows, presets, negatives, names and overwriting are compared with pydicom's reading
    // of real files by the corpus checks; here the report, refusals and usage errors.
    testing::TempDir dir;
    testing::ImageRecipe recipe;
    recipe.rows = 4;
    recipe.columns = 5;
    const std::string image = dir.write("img", testing::makeImage(recipe));
    const std::string junk = dir.write("junk", Bytes(500, 'j'));
    const std::string outDir = (dir.path() / "out").string();
    std::string printed;

    EXPECT_EQ(convert("-f raw -o " + outDir + " " + image, printed), 0);
    EXPECT_EQ(printed, "Successfully processed 1 image(s) out of 1 file(s).\n");
    EXPECT_EQ(convert("--window=0:200 -n --format=bmp --output-dir " + outDir + " " + image, printed), 0);
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "img.BMP"));

    // A file that is refused produces nothing and makes the run unsuccessful.
    EXPECT_EQ(convert("-q -o " + outDir + " " + junk + " " + image + " -y", printed), 1);
    EXPECT_NE(printed.find("Error: File format of '" + junk + "' is unsupported!"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "junk.TIF"));

    // A frame that cannot be decoded gets no file; the message names the file, the frame and
    // the decoder's reason, and the run is unsuccessful.
    const Bytes good = testing::encodeJpegGrey(Bytes(64, 77), 8, 8);
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidJpegLossless);
    b.text(0x0028, 0x0008, "IS", "3").us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 8);
    const std::string cine = dir.write("cine", b.encapsulated({good, testing::relabelAsLossless(good), good}).build());
    EXPECT_EQ(convert("-q -o " + outDir + " " + cine, printed), 1);
    EXPECT_EQ(printed, "vireoscan-convert: Error: Frame 2 of 3 in '" + cine +
                           "' cannot be decoded!\nlibjpeg-turbo: Unsupported JPEG process: SOF type 0xc3\n"
                           "Successfully converted 2 image(s) out of 1 file(s).\nConversion of 1 image(s) was "
                           "unsuccessful.\n");
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "cine.0.TIF") && fs::exists(dir.path() / "out" / "cine.2.TIF"));
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "cine.1.TIF"));

    for (const char* wrong : {"-f png", "-p lungs", "-w 5", "-w 9:1", "--bogus", "-y --no-overwrite", "-p bone -w 1:2"})
        EXPECT_EQ(convert(std::string(wrong) + " " + image, printed), 2) << wrong;
    EXPECT_EQ(convert("", printed), 2);
    EXPECT_EQ(convert("--help", printed), 0);
    EXPECT_NE(printed.find("--output-dir"), std::string::npos);
}

}  // namespace
}  // namespace vs
