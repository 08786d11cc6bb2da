// vireoscan-convert as a user runs it: --info, and the report, refusals and usage errors of a
// conversion. Its lines and outputs for real files are compared with pydicom's reading by the
// corpus checks.
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

#include "convert/writers.h"
#include "samples/dicom_builder.h"
#include "tests/support/lossless_cine.h"
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

// Every file in folder (hidden temporaries included) with its bytes.
std::map<std::string, std::string> folderContents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream file(entry.path(), std::ios::binary);
        contents[entry.path().filename().string()] = std::string(std::istreambuf_iterator<char>(file), {});
    }
    return contents;
}

TEST(Converter, InfoOptionsOutputsAndExitStatus) {
    testing::TempDir dir;
    testing::ImageRecipe recipe{.rows = 64, .columns = 32, .patientName = "Roe^Richard", .studyDate = "20230101",
                                .pixelSpacing = "0.25\\0.25"};
    const std::string image = dir.write("img", testing::makeImage(recipe));
    const std::string junk = dir.write("junk", Bytes(500, 'j'));
    const std::string cine = dir.write("cine", testing::losslessCine({true, false, true}));
    const std::string folder = dir.path().string(), out = (dir.path() / "out").string();
    const std::string small = (dir.path() / "small").string();
    fs::create_directories(dir.path() / "a");
    dir.write("a/one.dcm", testing::makeImage(recipe));
    // Not UTF-8, a control character and a quote in a name; the rescale and stored window.
    recipe.patientName = "Ren\xe9^\x01" "A\"";
    recipe.windowCenter = "40";
    recipe.windowWidth = "400";
    recipe.rescaleIntercept = -1024;
    recipe.rescaleSlope = 1;
    const std::string latin = dir.write("latin", testing::makeImage(recipe));
    // A write that fails (a file size limit, as a full disk would) keeps the old output.
    recipe.rows = recipe.columns = 256;
    const std::string big = dir.write("big", testing::makeImage(recipe));
    fs::create_directories(dir.path() / "out");
    dir.write("out/big.TIF", Bytes{'o', 'l', 'd'});
    // Names one a line, for --files-from.
    dir.write("list", Bytes{'i', 'm', 'g', '\n', '\n', 'j', 'u', 'n', 'k', '\n'});

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
        {"-f png8 -o " + out + " " + image, "", 0, ""},
        {"-f bmp --no-overwrite -o " + out + " " + image, "", 1, ""},  // img.BMP exists: kept
        {"-w 7:7 -o " + out + " " + image, "", 0, ""},  // a window of one value
        // A refused file produces nothing and makes the run unsuccessful.
        {"-q -o " + out + " " + junk + " " + image + " -y", "", 1, "vireoscan-convert: Error: Can't convert '" + junk +
            "': unsupported filetype, not a greyscale DICOM image!\n"
            "Successfully converted 1 image(s) out of 2 file(s).\nConversion of 1 image(s) was unsuccessful.\n"},
        // A frame that cannot be decoded gets no file; the message names the file, the frame and
        // the decoder's reason.
        {"-q -o " + out + " " + cine, "", 1, "vireoscan-convert: Error: Frame 2 of 3 in '" + cine + "' cannot be decoded!\n"
            "libjpeg-turbo: Unsupported JPEG process: SOF type 0xc3\nSuccessfully converted 2 image(s) out of 1 file(s).\n"
            "Conversion of 1 image(s) was unsuccessful.\n"},
        // JSON Lines; the corpus checks parse every line and compare the values with pydicom's.
        {"--info --json " + latin + " " + folder + "/missing.dcm", "", 1, "{\"path\":\"" + latin + "\",\"status\":\"ok\","
            "\"lines\":{\"patient\":\"Ren\\u00e9^\\u0001A\\\"   \",\"date\":\"20230101 \",\"study\":\"\",\"image\":\"32 x "
            "64 Pixels,  16 Bit, 1 Frame\",\"pixsize\":\"0.2500\\\\0.2500 mm\"},\"file_size\":4716,\"patient\":{\"name\":"
            "\"Ren\\u00e9^\\u0001A\\\"\"},\"date\":\"20230101\",\"rows\":64,\"columns\":32,\"bits\":16,\"frames\":1,"
            "\"compression\":\"none\",\"pixel_spacing\":[0.25,0.25],\"rescale\":{\"slope\":1,\"intercept\":-1024},"
            "\"window\":{\"center\":40,\"width\":400}}\n{\"path\":\"" + folder + "/missing.dcm\",\"status\":\"no-access\","
            "\"reason\":\"no file access\",\"lines\":{\"patient\":\"<no file access>\",\"date\":\"\",\"study\":\"\",\"image\":"
            "\"\",\"pixsize\":\"\"}}\n"},
        {"--info --files-from /dev/fd/3", "cd " + folder + " && exec 3<list && ", 1, ""},
        {"-q -y -o " + out + " " + big + " " + image, "trap '' XFSZ; ulimit -f 32; ", 1, "vireoscan-convert: Error: Can't "
            "write to file '" + out + "/big.TIF'!\nMake sure the disk contains enough free space.\n"
            "Successfully converted 1 image(s) out of 2 file(s).\nConversion of 1 image(s) was unsuccessful.\n"},
        // A small output fails only when flushed or closed, and leaves nothing.
        {"-q -o " + small + " " + image, "mkdir " + small + " && trap '' XFSZ; ulimit -f 0; ", 1, "vireoscan-convert: "
            "Error: Can't write to file '" + small + "/img.TIF'!\nMake sure the disk contains enough free space.\n"
            "Successfully converted 0 image(s) out of 1 file(s).\nConversion of 1 image(s) was unsuccessful.\n"},
        // The PNG encoder stops at the failed write.
        {"-q -y -f png16 -o " + out + " " + big, "trap '' XFSZ; ulimit -f 32; ", 1, "vireoscan-convert: Error: Can't "
            "write to file '" + out + "/big.PNG'!\nMake sure the disk contains enough free space.\n"
            "Successfully converted 0 image(s) out of 1 file(s).\nConversion of 1 image(s) was unsuccessful.\n"},
        {"--info", "", 2, ""}, {"", "", 2, ""}, {"-f png " + image, "", 2, ""}, {"-p lungs " + image, "", 2, ""},
        {"-w 5 " + image, "", 2, ""}, {"-w 9:1 " + image, "", 2, ""}, {"--bogus " + image, "", 2, ""},
        {"-y --no-overwrite " + image, "", 2, ""}, {"-p bone -w 1:2 " + image, "", 2, ""},
        {"-j 0 " + image, "", 2, ""}, {"--jobs -3 " + image, "", 2, ""}, {"--jobs x " + image, "", 2, ""},
        {"-j 257 " + image, "", 2, ""}, {"--jobs 4294967297 " + image, "", 2, ""}, {"--json " + image, "", 2, ""},
        {"--files-from /no/list", "", 2, ""},
    };
    for (const auto& c : cases) {
        const auto [status, printed] = convert(c.arguments, c.before);
        EXPECT_EQ(status, c.status) << c.arguments;
        if (!c.printed.empty()) {
            EXPECT_EQ(printed, c.printed) << c.arguments;
        }
    }
    for (const char* name : {"img.RAW", "img.BMP", "img.PNG", "cine.0.TIF", "cine.2.TIF"}) EXPECT_TRUE(fs::exists(fs::path(out) / name)) << name;
    EXPECT_TRUE(folderContents(small).empty());
    for (const char* name : {"junk.TIF", "cine.1.TIF"}) EXPECT_FALSE(fs::exists(fs::path(out) / name)) << name;
    const auto written = folderContents(out);
    EXPECT_EQ(written.at("big.TIF"), "old");
    EXPECT_TRUE(std::none_of(written.begin(), written.end(), [](const auto& f) { return f.first[0] == '.'; }));
    EXPECT_NE(convert("--help").second.find("--output-dir"), std::string::npos);
}

// A path quoted for the shell.
std::string quoted(const std::string& path) {
    std::string text = "'";
    for (const char c : path) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

TEST(Converter, SaysWhyAFileWasNotConverted) {
    testing::TempDir dir;
    const std::string missing = (dir.path() / "missing.dcm").string();
    const std::string folder = (dir.path() / "scans of Jo's").string();
    fs::create_directories(folder);
    const std::string tiny = dir.write("tiny", Bytes(299, 0));
    const std::string huge = dir.write("huge", Bytes{});
    fs::resize_file(huge, 3000000000);  // sparse: nothing is read of it
    const std::string lossless = dir.write("lossless", testing::makeImage({.encoding = testing::ImageRecipe::Encoding::jpegLossless}));
    const std::string mpeg = dir.write("mpeg", testing::encapsulatedImage("1.2.840.10008.1.2.4.100", 2, 2, 8, {{0, 0, 1, 0xB3}}));
    testing::DicomBuilder cine(testing::Syntax::explicitLittle);
    cine.text(0x0028, 0x0008, "IS", "70000").us(0x0028, 0x0010, 1).us(0x0028, 0x0011, 1).us(0x0028, 0x0100, 8);
    const std::string frames = dir.write("frames", cine.pixelData(Bytes(70000, 0), "OB").build());
    const struct { std::string options, file, message; } cases[] = {
        {"", missing, "Can't convert '" + missing + "': no file access (No such file or directory)!"},
        {"", folder, "'" + folder + "' is a folder!\nTo convert the files in it: find " + quoted(folder) +
                         " -type f -print0 | vireoscan-convert -0 --files-from - [OPTION]..."},
        {"", "/dev/null", "Can't convert '/dev/null': no file access (not a regular file)!"},
        {"", tiny, "Can't convert '" + tiny + "': file is too short (300 bytes at least)!"},
        {"", huge, "Can't convert '" + huge + "': file is too big (3000000000 bytes or more, or no memory to hold it)!"},
        {"", lossless, "Can't convert '" + lossless + "': unsupported encoding (--all-decoders reads more)!"},
        {"--all-decoders ", mpeg, "Can't convert '" + mpeg + "': unsupported encoding!"},
        {"", frames, "Can't convert '" + frames + "': image dimensions too big (at most 35999999 pixels a frame and "
                     "65535 frames)!"},
    };
    for (const auto& c : cases) {
        const auto [status, printed] = convert("-q " + c.options + "-o " + dir.path().string() + " " + quoted(c.file));
        EXPECT_EQ(status, 1) << c.file;
        EXPECT_EQ(printed, "vireoscan-convert: Error: " + c.message + "\nSuccessfully converted 0 image(s) out of 1 "
                           "file(s).\nConversion of 1 image(s) was unsuccessful.\n");
    }
}

// The width and height a PNG file's header states, or nothing when it is not a PNG.
std::optional<std::pair<uint32_t, uint32_t>> pngSize(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return std::nullopt;
    const auto number = [&](size_t at) {
        uint32_t n = 0;
        for (size_t i = 0; i < 4; ++i) n = n << 8 | uint8_t(bytes[at + i]);
        return n;
    };
    return std::pair{number(16), number(20)};
}

TEST(Converter, ThumbnailSizesAndRefusals) {
    // A thumbnail fits SIZE x SIZE, is never scaled up and shows the middle frame; anything
    // else is a usage error (2) or, for an input or output that fails, 1 with nothing left.
    testing::TempDir dir;
    const std::string image = dir.write("img", testing::makeImage({.rows = 64, .columns = 32}));
    const std::string junk = dir.write("junk", Bytes(500, 'j'));
    const std::string middleBad = dir.write("bad", testing::losslessCine({true, false, true}));
    const std::string middleGood = dir.write("good", testing::losslessCine({false, true}));
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    dir.write("out/old.png", Bytes{'o', 'l', 'd'});
    const std::string png = (out / "t.png").string();
    using Size = std::optional<std::pair<uint32_t, uint32_t>>;
    const struct { std::string arguments; int status; Size size; std::string printed; } cases[] = {
        {"--thumbnail 16 " + image + " " + png, 0, std::pair{8u, 16u}, ""},
        {"--thumbnail=31 " + image + " " + png, 0, std::pair{16u, 31u}, ""},
        {"--thumbnail 4096 " + image + " " + png, 0, std::pair{32u, 64u}, ""},
        {"--thumbnail 1 " + image + " " + (out / "old.png").string(), 0, std::pair{1u, 1u}, ""},
        {"--thumbnail 5 " + middleGood + " " + png, 0, std::pair{5u, 5u}, ""},
        {"--thumbnail 5 " + middleBad + " " + png, 1, {}, ""},
        {"--thumbnail 16 " + junk + " " + png, 1, {}, "vireoscan-convert: no thumbnail of '" + junk + "': <unsupported filetype>\n"},
        {"--thumbnail 16 " + image + " " + (out / "missing" / "t.png").string(), 1, {},
         "vireoscan-convert: cannot create '" + (out / "missing" / "t.png").string() + "': No such file or directory\n"},
        {"--thumbnail 0 " + image + " " + png, 2, {}, ""}, {"--thumbnail -5 " + image + " " + png, 2, {}, ""},
        {"--thumbnail 4097 " + image + " " + png, 2, {}, ""}, {"--thumbnail 12x " + image + " " + png, 2, {}, ""},
        {"--thumbnail", 2, {}, ""}, {"--thumbnail 16 " + image, 2, {}, ""},
        {"--thumbnail 16 " + image + " " + png + " " + png, 2, {}, ""}, {"-q --thumbnail 16 " + image + " " + png, 2, {}, ""},
    };
    for (const auto& c : cases) {
        fs::remove(png);
        const auto [status, printed] = convert(c.arguments);
        EXPECT_EQ(status, c.status) << c.arguments;
        if (!c.printed.empty()) {
            EXPECT_EQ(printed, c.printed) << c.arguments;
        }
        if (c.size) {
            EXPECT_EQ(pngSize(c.arguments.find("old.png") != std::string::npos ? out / "old.png" : fs::path(png)), c.size) << c.arguments;
        } else {
            EXPECT_FALSE(fs::exists(png)) << c.arguments;
        }
    }
    EXPECT_EQ(folderContents(out).size(), 1u);  // old.png replaced; no temporary left
}

// Files for the runs below: several multi-frame images (RLE too), a refused file, two inputs of
// the same name from different folders, and frames that cannot be decoded among good ones; the
// names are listed in order in dir/list, NUL-separated.
std::string makeInputs(const testing::TempDir& dir, uint16_t side) {
    std::string list;
    const auto add = [&](const std::string& name, const Bytes& bytes) { list += dir.write(name, bytes) + '\0'; };
    testing::ImageRecipe recipe;
    recipe.rows = recipe.columns = side;
    for (uint32_t i = 0; i < 8; ++i) {
        recipe.frames = 1 + i % 3;
        recipe.windowCenter = std::to_string(100 * i);
        recipe.windowWidth = "500";
        add("img" + std::to_string(i), testing::makeImage(recipe));
        if (i == 2) add("junk", Bytes(500, 'j'));
    }
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    add("a/same", testing::makeImage(recipe));
    recipe.windowCenter = "7";
    add("b/same", testing::makeImage(recipe));
    add("cine", testing::losslessCine({true, false, true}));
    recipe.frames = 7;
    recipe.encoding = testing::ImageRecipe::Encoding::rle;
    add("rle", testing::makeImage(recipe));
    add("long", testing::losslessCine({true, true, false, true, false, false, true, true, true, false, true, true}));
    dir.write("list", Bytes(list.begin(), list.end()));
    return (dir.path() / "list").string();
}

TEST(Converter, SeveralJobsRunAsOneDoes) {
    // Outputs byte for byte, messages, report and exit status are those of -j 1, also for two
    // inputs of one name into one folder (the first is kept, the second asked about), outputs
    // that exist beforehand (of a file's one frame, of a middle frame of another) and frames of
    // one file written by several workers. The workers share one PNG encoder.
    testing::TempDir dir;
    const std::string list = makeInputs(dir, 16);
    std::map<std::string, std::string> firstContents;
    std::string firstPrinted;
    for (const char* jobs : {"1", "2", "3", "8"}) {
        const fs::path out = dir.path() / (std::string("out") + jobs);
        fs::create_directories(out);
        dir.write(std::string("out") + jobs + "/img3.PNG", Bytes{1, 2, 3});
        dir.write(std::string("out") + jobs + "/rle.3.PNG", Bytes{4, 5});
        auto [status, printed] = convert("-q -f png16 -j " + std::string(jobs) + " -o " + out.string() + " -0 --files-from " + list);
        EXPECT_EQ(status, 1);
        for (size_t at; (at = printed.find(out.string())) != std::string::npos;) printed.replace(at, out.string().size(), "OUT");
        if (firstPrinted.empty()) {
            firstPrinted = printed;
            firstContents = folderContents(out);
            EXPECT_NE(printed.find("File 'OUT/same.0.PNG' already exists!"), std::string::npos) << printed;
            EXPECT_EQ(firstContents.size(), 34u);
            EXPECT_EQ(firstContents["img3.PNG"], "\1\2\3");
            EXPECT_EQ(firstContents["rle.3.PNG"], "\4\5");
        }
        EXPECT_EQ(printed, firstPrinted) << jobs;
        EXPECT_EQ(folderContents(out), firstContents) << jobs;
    }
}

// Reads the terminal until text shows; false when the program's side closed first.
bool readUntil(int terminal, const std::string& text) {
    std::string seen;
    char buffer[512];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) {
        seen.append(buffer, size_t(n));
        if (seen.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST(Converter, AnInterruptedRunLeavesNoPartialOutput) {
    // Two jobs on a terminal, stopped at the first question (a.dcm's output exists): with
    // Cancel, with Ctrl-C, and with the output folder removed before the Yes. Whatever the
    // workers had written ahead is removed; the existing output is kept; nothing half-written
    // or hidden is left.
    testing::TempDir dir;
    const testing::ImageRecipe recipe{.rows = 512, .columns = 512, .frames = 4};
    std::vector<std::string> arguments = {VIREOSCAN_CONVERT, "-q", "-j", "2", "-f", "tiff16", "-o", "OUT"};
    for (const char* name : {"first.dcm", "a.dcm", "b.dcm", "c.dcm", "d.dcm", "e.dcm"})
        arguments.push_back(dir.write(name, testing::makeImage(recipe)));
    const std::map<std::string, std::string> kept = {{"first.dcm.0.TIF", "whole"}, {"first.dcm.1.TIF", "whole"},
                                                     {"first.dcm.2.TIF", "whole"}, {"first.dcm.3.TIF", "whole"},
                                                     {"a.dcm.0.TIF", "old"}};
    // Exit status (or minus the signal) and the files left.
    const struct { const char* what; int status; std::map<std::string, std::string> left; } cases[] = {
        {"cancel", 1, kept}, {"interrupt", -SIGINT, kept}, {"vanish", 1, {}}};
    for (const auto& c : cases) {
        const fs::path out = dir.path() / c.what;
        fs::create_directories(out);
        dir.write(std::string(c.what) + "/a.dcm.0.TIF", Bytes{'o', 'l', 'd'});
        arguments[7] = out.string();
        int terminal = -1;
        const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) {
            std::vector<char*> argv;
            for (std::string& a : arguments) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        ASSERT_TRUE(readUntil(terminal, "[c]ancel: ")) << c.what;
        const std::string what = c.what;
        if (what == "interrupt") kill(pid, SIGINT);
        // The workers may still be writing into the folder meanwhile.
        if (what == "vanish") for (std::error_code error; fs::exists(out);) fs::remove_all(out, error);
        if (what != "interrupt") {
            EXPECT_EQ(write(terminal, what == "cancel" ? "c\n" : "y\n", 2), 2);
        }
        // After a vanished folder a's output and every later one cannot be made; the folder is not made again.
        if (what == "vanish") {
            EXPECT_TRUE(readUntil(terminal, "Can't create file '" + out.string() + "/e.dcm.3.TIF'"));
        }
        readUntil(terminal, "the program's end");
        int status = 0;
        waitpid(pid, &status, 0);
        close(terminal);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), c.status) << c.what;
        std::map<std::string, std::string> left;
        if (fs::exists(out)) left = folderContents(out);
        for (auto& [name, bytes] : left) {
            if (bytes.size() == tiffHeaderBytes + 512 * 512 * 2) bytes = "whole";
            else if (bytes != "old") bytes = "partial";
        }
        EXPECT_EQ(left, c.left) << c.what;
    }
}

}  // namespace
}  // namespace vs
