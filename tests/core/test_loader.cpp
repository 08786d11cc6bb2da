// Loading files: the statuses a user reads, the window effects and their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/loader.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

using testing::ImageRecipe;
using testing::makeImage;

std::vector<uint8_t> smallImage() {
    ImageRecipe recipe;
    recipe.bitsAllocated = 8;
    recipe.rows = recipe.columns = 32;
    recipe.patientName = "Doe^Jane";
    return makeImage(recipe);
}

// An 8-bit image of about 5 MB: more than 70 chunks of 64 KiB.
std::vector<uint8_t> largeImage() {
    ImageRecipe recipe;
    recipe.bitsAllocated = 8;
    recipe.rows = recipe.columns = 2300;
    recipe.samples.assign(size_t(2300) * 2300, 5);
    return makeImage(recipe);
}

size_t count(const std::vector<std::string>& effects, const std::string& e) {
    return size_t(std::count(effects.begin(), effects.end(), e));
}

TEST(Loader, ShortFilesAndRepeatedChoices) {
    testing::TempDir dir;
    testing::TestViewer t;
    EXPECT_EQ(t.load(dir, "short.dcm", std::vector<uint8_t>(299, 0)), loadFailed);
    EXPECT_EQ(t.host.lines[controlPatientLine], "<unsupported filetype>");
    EXPECT_TRUE(t.v().loadedPath.empty());
    EXPECT_TRUE(t.host.effectsStartingWith("cursor").empty());  // refused before reading

    // 300 bytes are read and examined.
    EXPECT_EQ(t.load(dir, "junk.dcm", std::vector<uint8_t>(300, 'x')), loadFailed);
    EXPECT_EQ(t.host.lines[controlPatientLine], "<unsupported filetype>");
    EXPECT_EQ(t.host.lines[controlFileSizeLine], "Filesize: 0 KB");
    // The refused file stays the loaded path: choosing it again does nothing.
    EXPECT_EQ(t.v().loadedPath, (dir.path() / "junk.dcm").string());
    EXPECT_EQ(t.load((dir.path() / "junk.dcm").string()), loadAlreadyLoaded);

    ASSERT_EQ(t.load(dir, "ok.dcm", smallImage()), loadDone);
    EXPECT_EQ(t.load((dir.path() / "ok.dcm").string()), loadAlreadyLoaded);
}

TEST(Loader, SuccessShowsTheImage) {
    testing::TempDir dir;
    testing::TestViewer t;
    ASSERT_EQ(t.load(dir, "ok.dcm", smallImage()), loadDone);
    EXPECT_TRUE(t.host.imageVisible);
    EXPECT_TRUE(t.host.menuEnabled[commandSaveImageAs]);
    EXPECT_EQ(t.host.cursor, Cursor::arrow);
    EXPECT_EQ(t.host.lines[controlPatientLine], "Doe^Jane   ");
    EXPECT_EQ(t.host.selectedInOpenDialog, "ok.dcm");  // the first image is selected in the list

    // Order: busy cursor, size line, header, fit, render, then shown.
    const auto& e = t.host.effects;
    auto at = [&](const std::string& what) { return std::find(e.begin(), e.end(), what) - e.begin(); };
    EXPECT_LT(at("cursor wait"), at("stop animation timer"));
    EXPECT_LT(at("title Dicom Image"), at("fit"));
    EXPECT_LT(at("fit"), at("repaint image"));
    EXPECT_LT(at("repaint image"), at("cursor arrow"));
    EXPECT_LT(at("cursor arrow"), at("show image"));
    // The header was examined once (a small file is examined after reading).
    EXPECT_EQ(count(e, "stop animation timer"), 1u);
}

TEST(Loader, FilesThatCannotBeRead) {
    testing::TempDir dir;
    testing::TestViewer t;
    ASSERT_EQ(t.load(dir, "ok.dcm", smallImage()), loadDone);

    EXPECT_EQ(t.load((dir.path() / "missing.dcm").string()), loadFailed);
    EXPECT_EQ(t.host.lines[controlPatientLine], "<no file access>");
    EXPECT_EQ(t.host.lines[controlImageLine], "");
    EXPECT_FALSE(t.host.imageVisible);
    EXPECT_FALSE(t.host.menuEnabled[commandSaveImageAs]);

    // A folder is not a file.
    std::filesystem::create_directory(dir.path() / "folder.dcm");
    ASSERT_EQ(t.load(dir, "ok2.dcm", smallImage()), loadDone);
    EXPECT_EQ(t.load((dir.path() / "folder.dcm").string()), loadFailed);
    EXPECT_EQ(t.host.lines[controlPatientLine], "<no file access>");

    // Too large an image.
    ImageRecipe huge;
    huge.bitsAllocated = 8;
    huge.rows = huge.columns = 6000;
    huge.samples.assign(size_t(6000) * 6000, 0);
    EXPECT_EQ(t.load(dir, "huge.dcm", makeImage(huge)), loadFailed);
    EXPECT_EQ(t.host.lines[controlPatientLine], "<image dimensions too big>");
}

TEST(Loader, LargeFilesShowProgressAndCanBeAborted) {
    testing::TempDir dir;
    const std::string path = dir.write("large.dcm", largeImage());
    const uint32_t chunks = uint32_t(std::filesystem::file_size(path) >> 16) + 1;
    ASSERT_GT(chunks, 70u);

    testing::TestViewer t;
    ASSERT_EQ(t.load(path), loadDone);
    const auto patient = t.host.effectsStartingWith("panel 1009");
    ASSERT_GE(patient.size(), 3u);
    EXPECT_EQ(patient.front(), "panel 1009 <loading file, press escape to abort>");
    EXPECT_EQ(patient[1], "panel 1009 <loading file, press escape to abort (" + std::to_string(4 * 100 / chunks + 1) +
                              "%)>");
    EXPECT_EQ(patient[patient.size() - 2], "panel 1009 <examining file...>");
    // Examined after the fourth chunk, and not again.
    EXPECT_EQ(count(t.host.effects, "stop animation timer"), 1u);

    testing::TestViewer aborted;
    aborted.host.escapeFromPoll = 10;
    EXPECT_EQ(aborted.load(path), loadFailed);
    EXPECT_EQ(aborted.host.lines[controlPatientLine], "<loading aborted by user>");
    EXPECT_EQ(aborted.host.escapePolls, 10);
    EXPECT_EQ(aborted.v().loadedPath, path);  // kept: choosing it again does nothing until re-armed
    EXPECT_EQ(aborted.v().loadBusy, 0);
}

TEST(Loader, FileBufferIsReusedAndItsSpareRoomStaysZero) {
    testing::TempDir dir;
    testing::TestViewer t;
    ASSERT_EQ(t.load(dir, "large.dcm", largeImage()), loadDone);
    const std::vector<uint8_t> small = smallImage();
    ASSERT_EQ(t.load(dir, "small.dcm", small), loadDone);
    const FileBuffer& file = t.v().dicom.bytes;
    ASSERT_EQ(file.size(), small.size() + spareRoomBytes);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), file.data()));
    const uint8_t* spare = file.data() + small.size();
    EXPECT_TRUE(std::all_of(spare, spare + 6000000, [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace vs
