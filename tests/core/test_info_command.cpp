// The converter's --info command as a user runs it. Its lines for real files are compared
// with pydicom's reading by the corpus checks.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

// Runs a shell command line; returns the exit status and what it printed.
std::pair<int, std::string> shell(const std::string& command) {
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(InfoCommand, PrintsThePanelLinesOfEachFile) {
    testing::TempDir dir;
    testing::ImageSpec recipe;
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
    std::filesystem::create_directories(dir.path() / "a");
    dir.write("a/one.dcm", testing::makeImage(recipe));
    EXPECT_EQ(shell("cd / && " + convert + " --info a/one.dcm").first, 1);
    EXPECT_EQ(shell("cd " + folder + " && " + convert + " --info " + folder + "/good.dcm a/one.dcm").first, 0);
    EXPECT_EQ(shell("mkdir " + folder + "/gone && cd " + folder + "/gone && rmdir ../gone && " + convert +
                    " --info " + folder + "/a/one.dcm")
                  .first,
              0);
}

}  // namespace
}  // namespace vs
