// vireoscan-convert as a user runs it: --info, and the report, refusals and usage errors of a
// conversion. Its lines and outputs for real files are compared with pydicom's reading by the
// corpus checks.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Runs the converter from a shell command line, standard input from /dev/null; returns the
// exit status and what it printed on both streams.
std::pair<int, std::string> convert(const std::string& arguments, const std::string& before = "") {
    FILE* pipe = popen((before + VIREOSCAN_CONVERT + " " + arguments + " </dev/null 2>&1").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(Converter, InfoOptionsOutputsAndExitStatus) {
    testing::TempDir dir;
    testing::ImageRecipe recipe;
    recipe.rows = 64;
    recipe.columns = 32;
    recipe.patientName = "Roe^Richard";
    recipe.studyDate = "20230101";
    recipe.pixelSpacing = "0.25\\0.25";
    const std::string image = dir.write("img", testing::makeImage(recipe));
    const std::string junk = dir.write("junk", Bytes(500, 'j'));
    // Three lossless JPEG frames, the middle one relabelled from baseline so that the decoder refuses it.
    const Bytes good = testing::encodeJpegGrey(Bytes(64, 77), 8, 8);
    testing::DicomBuilder b(testing::Syntax::explicitLittle);
    b.transferSyntax(testing::uidJpegLossless).text(0x0028, 0x0008, "IS", "3");
    b.us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 8);
    const std::string cine = dir.write("cine", b.encapsulated({good, testing::relabelAsLossless(good), good}).build());
    const std::string folder = dir.path().string(), out = (dir.path() / "out").string();
    fs::create_directories(dir.path() / "a");
    dir.write("a/one.dcm", testing::makeImage(recipe));

    const struct { std::string arguments, before; int status; std::string printed; } cases[] = {
        {"--info " + image, "", 0, image + "\n  Patient: Roe^Richard    \n  Date: 20230101 \n  Study: \n"
                                           "  Image: 32 x 64 Pixels,  16 Bit, 1 Frame\n  Pixsize: 0.2500\\0.2500 mm\n"
                                           "  Filesize: 4 KB\n"},
        {"--info " + junk + " " + folder + "/missing.dcm", "", 1, junk + "\n  Patient: <unsupported filetype>\n"
            "  Date: \n  Study: \n  Image: \n  Pixsize: \n  Filesize: 0 KB\n" + folder + "/missing.dcm\n"
            "  Patient: <no file access>\n  Date: \n  Study: \n  Image: \n  Pixsize: \n"},
        // Relative paths are read from the start folder, also after an absolute one; absolute
        // paths load from a start folder that no longer exists.
        {"--info a/one.dcm", "cd / && ", 1, ""},
        {"--info " + image + " a/one.dcm", "cd " + folder + " && ", 0, ""},
        {"--info " + folder + "/a/one.dcm", "mkdir " + folder + "/gone && cd " + folder + "/gone && rmdir ../gone && ", 0, ""},
        {"-f raw -o " + out + " " + image, "", 0, "Successfully processed 1 image(s) out of 1 file(s).\n"},
        {"--window=0:200 -n --format=bmp --output-dir " + out + " " + image, "", 0, ""},
        // A refused file produces nothing and makes the run unsuccessful.
        {"-q -o " + out + " " + junk + " " + image + " -y", "", 1, "vireoscan-convert: Error: File format of '" + junk + "' is unsupported!\n"
            "Successfully converted 1 image(s) out of 2 file(s).\nConversion of 1 image(s) was unsuccessful.\n"},
        // A frame that cannot be decoded gets no file; the message names the file, the frame and
        // the decoder's reason.
        {"-q -o " + out + " " + cine, "", 1, "vireoscan-convert: Error: Frame 2 of 3 in '" + cine + "' cannot be decoded!\n"
            "libjpeg-turbo: Unsupported JPEG process: SOF type 0xc3\nSuccessfully converted 2 image(s) out of 1 file(s).\n"
            "Conversion of 1 image(s) was unsuccessful.\n"},
        {"--info", "", 2, ""}, {"", "", 2, ""}, {"-f png " + image, "", 2, ""}, {"-p lungs " + image, "", 2, ""},
        {"-w 5 " + image, "", 2, ""}, {"-w 9:1 " + image, "", 2, ""}, {"--bogus " + image, "", 2, ""},
        {"-y --no-overwrite " + image, "", 2, ""}, {"-p bone -w 1:2 " + image, "", 2, ""},
    };
    for (const auto& c : cases) {
        const auto [status, printed] = convert(c.arguments, c.before);
        EXPECT_EQ(status, c.status) << c.arguments;
        if (!c.printed.empty()) {
            EXPECT_EQ(printed, c.printed) << c.arguments;
        }
    }
    for (const char* name : {"img.RAW", "img.BMP", "cine.0.TIF", "cine.2.TIF"}) EXPECT_TRUE(fs::exists(fs::path(out) / name)) << name;
    for (const char* name : {"junk.TIF", "cine.1.TIF"}) EXPECT_FALSE(fs::exists(fs::path(out) / name)) << name;
    EXPECT_NE(convert("--help").second.find("--output-dir"), std::string::npos);
}

}  // namespace
}  // namespace vs
