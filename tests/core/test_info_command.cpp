// The converter's --info command as a user runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

struct CommandRun {
    int status;
    std::string out;
};

CommandRun run(const std::string& arguments) {
    const std::string command = std::string(VIREOSCAN_CONVERT) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(InfoCommand, PrintsThePanelLinesOfEachFile) {
    testing::TempDir dir;
    testing::ImageSpec spec;
    spec.rows = 64;
    spec.columns = 32;
    spec.patientName = "Roe^Richard";
    spec.studyDate = "20230101";
    spec.studyTime = "080000";
    spec.pixelSpacing = "0.25\\0.25";
    spec.samples.assign(64 * 32, 100);
    dir.write("good.dcm", testing::makeImage(spec));
    dir.write("bad.dcm", std::vector<uint8_t>(1000, 7));
    const std::string folder = dir.path().string();

    const CommandRun good = run("--info " + folder + "/good.dcm");
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, folder + "/good.dcm\n"
                                 "  Patient: Roe^Richard    \n"
                                 "  Date: 20230101 080000\n"
                                 "  Study: \n"
                                 "  Image: 32 x 64 Pixels,  16 Bit, 1 Frame\n"
                                 "  Pixsize: 0.2500\\0.2500 mm\n"
                                 "  Filesize: 4 KB\n");

    // A refused file and a missing one say why.
    const CommandRun both = run("--info " + folder + "/bad.dcm " + folder + "/missing.dcm");
    EXPECT_EQ(both.status, 1);
    EXPECT_NE(both.out.find("bad.dcm\n  Patient: <unsupported filetype>\n  Date: \n"), std::string::npos);
    EXPECT_NE(both.out.find("missing.dcm\n  Patient: <no file access>\n"), std::string::npos);

    EXPECT_EQ(run("--info").status, 2);
    EXPECT_EQ(run("--bogus x.dcm").status, 2);
    EXPECT_EQ(run("--help").status, 0);
}

TEST(InfoCommand, RelativePathsStayRelativeToTheStartFolder) {
    testing::TempDir dir;
    testing::ImageSpec spec;
    std::filesystem::create_directories(dir.path() / "a");
    std::filesystem::create_directories(dir.path() / "b");
    dir.write("a/one.dcm", testing::makeImage(spec));
    dir.write("b/two.dcm", testing::makeImage(spec));
    auto statusFrom = [](const std::string& folder) {
        const std::string command = "cd " + folder + " && " + VIREOSCAN_CONVERT + " --info a/one.dcm b/two.dcm >/dev/null";
        return WEXITSTATUS(std::system(command.c_str()));
    };
    EXPECT_EQ(statusFrom("/"), 1);
    EXPECT_EQ(statusFrom(dir.path().string()), 0);
    // A relative path after an absolute one is still read from the start folder.
    const std::string mixed = "cd " + dir.path().string() + " && " + VIREOSCAN_CONVERT + " --info " +
                              dir.path().string() + "/a/one.dcm b/two.dcm >/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(mixed.c_str())), 0);
    // Started from a folder that no longer exists: absolute paths still load.
    const std::string gone = "mkdir -p " + dir.path().string() + "/gone && cd " + dir.path().string() +
                             "/gone && rmdir ../gone && " + VIREOSCAN_CONVERT + " --info " + dir.path().string() +
                             "/a/one.dcm >/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(gone.c_str())), 0);
}

}  // namespace
}  // namespace vs
