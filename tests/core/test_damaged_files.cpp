// Damaged files: every pydicom test file and some of our own, cut short at many lengths and
// with bytes overwritten at fixed seeds, are read, described, range-scanned, windowed and
// written in all four formats. Whatever the bytes, a file is either refused with a status a
// user can read or gives pictures and files as long as their headers say, and nothing is
// written past a frame. What the many copies catch beyond the other tests is a read outside a
// block, which only the sanitizers see: the sanitizer build runs them, the others skip them.
#include <gtest/gtest.h>

#include <filesystem>

#include "dicom/image_description.h"
#include "dicom/presets.h"
#include "tests/support/damaged_copies.h"
#include "tests/support/read_image.h"

namespace vs {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

#ifdef VIREOSCAN_SANITIZED_BUILD
constexpr bool sanitizedBuild = true;
#else
constexpr bool sanitizedBuild = false;
#endif
using testing::Variant;

// The length writeFrame's header promises for a frame.
uint64_t expectedOutputBytes(const ImageState& image, OutputFormat format) {
    const uint64_t pixels = uint64_t(image.rows) * image.columns;
    if (format == formatTiff8) return tiffHeaderBytes + pixels;
    if (format == formatTiff16) return tiffHeaderBytes + 2 * pixels;
    if (format == formatBmp) return bmpPixelOffset + uint64_t(bmpRowLength(image.columns)) * image.rows;
    return 2 * pixels;
}

struct Outcomes {
    testing::TempDir folder;
    bool allCompressions = false;  // read as Decoders::allCompressions does
    int loaded = 0;
    int refused = 0;
};

// One damaged file through the reading, the picture and the writers, frames up to a budget of
// 2^20 samples.
void check(const Variant& variant, Outcomes& seen) {
    SCOPED_TRACE(variant.label);
    const auto r = testing::readImage(variant.bytes, seen.folder, seen.allCompressions);
    if (r->status != statusLoaded) {
        ++seen.refused;
        EXPECT_STRNE(loadStatusText(r->status), "");
        return;
    }
    ++seen.loaded;
    const ImageState& image = r->dicom.image;
    describeImage(r->dicom, *r->source);
    uint64_t spent = 0;
    for (uint32_t f = 0; f < image.frameCount && (f == 0 || spent + image.pixelsPerFrame <= (1u << 20)); ++f) {
        spent += image.pixelsPerFrame;
        const DisplayWindow w = presetWindow(image, r->source->sampleRange(f), presetContrastStretch, {});
        r->picture(f, w.low, w.high, 0, displayStrideFor(image.columns));
        for (OutputFormat format : {formatTiff8, formatTiff16, formatBmp, formatRaw}) {
            if (f > 0 && format != f % 4) continue;
            if (const auto written = r->written(f, w.low, w.high, format)) {
                EXPECT_EQ(written->size(), expectedOutputBytes(image, format)) << "frame " << f << " format " << format;
            }
        }
    }
}

void checkDamaged(const Bytes& data, uint32_t seed, Outcomes& seen) {
    for (const Variant& variant : testing::truncations(data)) check(variant, seen);
    for (const Variant& variant : testing::damages(data, seed)) check(variant, seen);
}

TEST(DamagedFiles, PydicomTestFilesAndOurOwnEncodingsCutAndOverwritten) {
    if (!sanitizedBuild) GTEST_SKIP() << "run by the sanitizer build";
    Outcomes seen;
    uint32_t seed = 1;
    for (const fs::path& file : testing::pydicomTestFiles()) {
        SCOPED_TRACE(file.string());
        checkDamaged(testing::readFile(file), seed++, seen);
    }
    for (const testing::ImageRecipe& image : testing::encodingVariety()) {
        SCOPED_TRACE(testing::describe(image));
        const Bytes data = testing::makeImage(image);
        const int loadedBefore = seen.loaded;
        check({"undamaged", data}, seen);
        EXPECT_EQ(seen.loaded, loadedBefore + 1);  // or the damage would test only the refusal
        for (uint32_t round = 0; round < 3; ++round) checkDamaged(data, seed++, seen);
    }
    // Both outcomes must have been seen many times, or the damage tested nothing.
    EXPECT_GT(seen.loaded, 50);
    EXPECT_GT(seen.refused, 50);
}

// The saved inputs of a fuzz harness (fuzz/regressions/<harness>).
std::vector<Variant> savedInputs(const std::string& harness) {
    const fs::path folder = fs::path(VIREOSCAN_SOURCE_DIR) / "fuzz" / "regressions" / harness;
    std::error_code error;
    std::vector<Variant> saved;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            saved.push_back({entry.path().filename().string(), testing::readFile(entry.path())});
    EXPECT_FALSE(error) << folder << ": " << error.message();
    EXPECT_FALSE(saved.empty()) << "no saved inputs in " << folder;
    return saved;
}

// Inputs the fuzzers once stopped on stay here and are replayed through the same steps.
TEST(DamagedFiles, SavedFuzzFindings) {
    Outcomes seen;
    for (const Variant& saved : savedInputs("load")) check(saved, seen);
    Outcomes every;
    every.allCompressions = true;
    for (const Variant& saved : savedInputs("load_all")) check(saved, every);
}

// With every compression: the compressed files of pydicom and the fuzzer's saved inputs in
// every encoding, cut and overwritten. Damaged frames are refused one by one (never a partial
// picture or file), whatever the decoder meets.
TEST(DamagedFiles, EveryCompressionCutAndOverwritten) {
    if (!sanitizedBuild) GTEST_SKIP() << "run by the sanitizer build";
    Outcomes seen;
    seen.allCompressions = true;
    uint32_t seed = 7;
    for (const fs::path& file : testing::pydicomTestFiles()) {
        const std::string name = file.filename().string();
        if (name.find("J2K") == std::string::npos && name.find("jp") == std::string::npos &&
            name.find("JPEG") == std::string::npos && name.find("JPG") == std::string::npos && name != "image_dfl.dcm")
            continue;
        SCOPED_TRACE(name);
        checkDamaged(testing::readFile(file), seed++, seen);
    }
    for (const Variant& saved : savedInputs("load_all")) {
        SCOPED_TRACE(saved.label);  // each undamaged: SavedFuzzFindings
        checkDamaged(saved.bytes, seed++, seen);
    }
    EXPECT_GT(seen.loaded, 50);
    EXPECT_GT(seen.refused, 50);
}

}  // namespace
}  // namespace vs
