// Damaged files: every pydicom test file and some of our own, cut short at many lengths and
// with bytes overwritten at fixed seeds, go through the viewer's load, every frame's range
// scan and rendering, and all four writers. Whatever the bytes, the program ends each load
// with a status text or a picture, and every file it writes is as long as its header says.
// (The sanitizer build runs this too, where a read outside a block stops it.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/contrast.h"
#include "core/jpeg_frame.h"
#include "core/loader.h"
#include "core/render.h"
#include "core/write_frame.h"
#include "platform/jpeg_decoder.h"
#include "tests/support/damaged_copies.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::damages;
using testing::pydicomTestFiles;
using testing::readFile;
using testing::truncations;
using testing::Variant;

// Frames are rendered and written while the samples they hold add up to at most this many.
constexpr uint64_t sampleBudget = uint64_t(1) << 20;

// Keeps what a user would see of a load: the Patient line, whether the image window shows,
// and how often it was painted. Questions get their first button.
class WatchingHost : public NullHost {
public:
    std::string patientLine;
    int imagePaints = 0;
    void showLoadStatus(std::string_view status) override {
        if (!status.empty()) patientLine.assign(status);
    }
    void showDescription(const ImageDescription& d) override { patientLine = d.patient; }
    void repaintImageWindow() override { ++imagePaints; }
};

// The length writeImageFile's header promises for the current frame.
uint64_t expectedOutputBytes(const ImageState& image, uint16_t format) {
    const uint64_t pixels = uint64_t(image.rows) * image.columns;
    switch (format) {
        case formatTiff8: return tiffHeaderBytes + pixels;
        case formatTiff16: return tiffHeaderBytes + 2 * pixels;
        case formatBmp: return bmpPixelOffset + uint64_t(bmpRowLength(image.columns)) * image.rows;
        default: return 2 * pixels;
    }
}

class DamagedFiles : public ::testing::Test {
protected:
    DamagedFiles() {
        viewer_ = std::make_unique<Viewer>();
        viewer_->host = &host_;
        viewer_->pictureDecoder = &decoder_;
    }

    // One damaged file through the viewer and the converter's steps.
    void check(const Variant& variant) {
        SCOPED_TRACE(variant.label);
        const std::string path = dir_.write("damaged.dcm", variant.bytes);
        Viewer& v = *viewer_;
        v.batchMode = 0;
        v.loadedPath.clear();
        v.currentDirectory = dir_.path().string() + "/";
        v.currentFileName = "damaged.dcm";
        host_.patientLine.clear();
        host_.imagePaints = 0;
        host_.hideImageWindow();

        const uint16_t result = loadFile(v);
        ASSERT_NE(result, loadAlreadyLoaded);
        if (result == loadFailed) {
            ++refused_;
            EXPECT_TRUE(knownStatus(host_.patientLine)) << "status text: '" << host_.patientLine << "'";
            EXPECT_FALSE(host_.imageWindowVisible());
            return;
        }
        ++loaded_;
        EXPECT_TRUE(host_.imageWindowVisible());
        EXPECT_GT(host_.imagePaints, 0);
        convertFrames(v);
    }

    void convertFrames(Viewer& v) {
        v.batchMode = 1;
        uint64_t spent = 0;
        for (uint32_t f = 0; f < v.dicom.image.frameCount; ++f) {
            spent += v.dicom.image.pixelsPerFrame;
            if (spent > sampleBudget && f > 0) break;
            SCOPED_TRACE("frame " + std::to_string(f));
            v.currentFrame = f;
            if (v.dicom.image.compression == compressionJpeg) decodeJpegFrame(v);
            scanDataRange(v);
            applyWindowPreset(v);
            renderFrame(v);
            for (uint16_t format = formatTiff8; format <= formatRaw; ++format) {
                if (f > 0 && format != f % 4) continue;
                char* buffer = nullptr;
                size_t length = 0;
                std::FILE* out = open_memstream(&buffer, &length);
                ASSERT_NE(out, nullptr);
                v.outputFormat = format;
                const uint32_t written = writeImageFile(v, out);
                std::fclose(out);
                std::free(buffer);
                if (written) {
                    EXPECT_EQ(length, expectedOutputBytes(v.dicom.image, format)) << "format " << format;
                }
            }
            if (spent > sampleBudget) break;
        }
    }

    static bool knownStatus(const std::string& text) {
        for (int code = statusNoFileSelected; code <= statusTooBig; ++code)
            if (text == loadStatusText(code)) return !text.empty();
        return false;
    }

    void checkAll(const Bytes& data, uint32_t seed) {
        for (const Variant& variant : truncations(data)) check(variant);
        for (const Variant& variant : damages(data, seed)) check(variant);
    }

    testing::TempDir dir_;
    WatchingHost host_;
    TurboJpegDecoder decoder_;
    std::unique_ptr<Viewer> viewer_;
    int loaded_ = 0;
    int refused_ = 0;
};

TEST_F(DamagedFiles, PydicomTestFilesCutAndOverwritten) {
    const std::vector<fs::path> files = pydicomTestFiles();
    if (files.empty()) GTEST_SKIP() << "pydicom's test files are not installed (scripts/setup)";
    uint32_t seed = 1;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        checkAll(readFile(file), seed++);
    }
    // Both outcomes must have been seen many times, or the damage tested nothing.
    EXPECT_GT(loaded_, 100);
    EXPECT_GT(refused_, 100);
}

TEST_F(DamagedFiles, OurOwnEncodingsCutAndOverwritten) {
    uint32_t seed = 1000;
    for (const testing::ImageRecipe& image : testing::encodingVariety()) {
        SCOPED_TRACE(testing::describe(image));
        const Bytes data = testing::makeImage(image);
        // The undamaged file loads; without that the damage would test only the refusal.
        const int loadedBefore = loaded_;
        check({"undamaged", data});
        EXPECT_EQ(loaded_, loadedBefore + 1);
        for (uint32_t round = 0; round < 3; ++round) checkAll(data, seed++);
    }
    EXPECT_GT(loaded_, 50);
    EXPECT_GT(refused_, 50);
}

// Inputs the fuzzers once stopped on stay here and are replayed through the same steps.
TEST_F(DamagedFiles, SavedFuzzFindings) {
    const fs::path folder = fs::path(VIREOSCAN_SOURCE_DIR) / "fuzz" / "regressions" / "load";
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    ASSERT_FALSE(error) << folder << ": " << error.message();
    int replayed = 0;
    for (const auto& entry : entries) {
        if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
        SCOPED_TRACE(entry.path().string());
        check({entry.path().filename().string(), readFile(entry.path())});
        ++replayed;
    }
    EXPECT_GT(replayed, 0) << "no saved inputs in " << folder;
}

}  // namespace
}  // namespace vs
