// Damaged files: every pydicom test file and some of our own, cut short at many lengths and
// with bytes overwritten at fixed seeds, go through the viewer's load, every frame's range
// scan and rendering, and all four writers. Whatever the bytes, the program ends each load
// with a status text or a picture, and every file it writes is as long as its header says.
// (The sanitizer build runs this too, where a read outside a block stops it.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/contrast.h"
#include "core/jpeg_frame.h"
#include "core/loader.h"
#include "core/render.h"
#include "core/writers.h"
#include "platform/jpeg_decoder.h"
#include "tests/support/dicom_builder.h"
#include "tests/support/recording_host.h"

namespace vs {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const fs::path pydicomFiles = "/usr/lib/python3/dist-packages/pydicom/data/test_files";

// Frames are rendered and written while the samples they hold add up to at most this many.
constexpr uint64_t sampleBudget = uint64_t(1) << 20;

// Keeps what a user would see of a load: the Patient line, whether the image window shows,
// and how often it was painted. Questions get their first button.
class WatchingHost : public NullHost {
public:
    std::string patientLine;
    int imagePaints = 0;
    void setPanelText(ControlId line, std::string_view text) override {
        if (line == controlPatientLine) patientLine.assign(text);
    }
    void repaintImageWindow() override { ++imagePaints; }
};

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Where the last (7FE0,0010) pattern starts, in either byte order: the damage that matters
// most is near it.
size_t pixelDataOffset(const Bytes& data) {
    static const uint8_t little[] = {0xE0, 0x7F, 0x10, 0x00};
    static const uint8_t big[] = {0x7F, 0xE0, 0x00, 0x10};
    size_t found = 132;
    for (const uint8_t* pattern : {little, big}) {
        auto it = std::find_end(data.begin(), data.end(), pattern, pattern + 4);
        if (it != data.end()) found = std::max(found, size_t(it - data.begin()));
    }
    return found;
}

struct Variant {
    std::string label;
    Bytes bytes;
};

std::vector<Variant> truncations(const Bytes& data) {
    const size_t n = data.size();
    const size_t pix = pixelDataOffset(data);
    std::set<size_t> cuts = {0,       1,       127,     128,     132,     133,       299,
                             300,     301,     pix,     pix + 2, pix + 4, pix + 8,   pix + 10,
                             pix + 12, pix + 16, pix + 64, n / 3,   n / 2,   n - n / 8, n - 2,
                             n - 1};
    for (size_t k = 1; k < 8; ++k) cuts.insert(pix + (n - std::min(pix, n)) * k / 8);
    std::vector<Variant> out;
    for (size_t cut : cuts)
        if (cut < n) out.push_back({"cut at " + std::to_string(cut), Bytes(data.begin(), data.begin() + long(cut))});
    return out;
}

std::vector<Variant> damages(const Bytes& data, uint32_t seed) {
    std::vector<Variant> out;
    const size_t n = data.size();
    if (n == 0) return out;
    std::mt19937 random(seed);
    auto below = [&random](size_t bound) { return size_t(random() % bound); };
    const size_t pix = std::min(pixelDataOffset(data), n - 1);
    // Scattered single bytes, anywhere and in the header.
    for (int round = 0; round < 4; ++round) {
        Bytes d = data;
        const size_t span = round % 2 ? n : std::min(n, pix + 16);
        for (int k = 0; k < 1 << (2 * round % 6); ++k) d[below(span)] = uint8_t(random());
        out.push_back({"bytes changed, round " + std::to_string(round), std::move(d)});
    }
    // Lengths, counts and offsets replaced by extreme numbers at even offsets before the pixels.
    static const uint32_t extremes[] = {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFF, 0x8000, 0, 1, 2};
    for (int round = 0; round < 4; ++round) {
        Bytes d = data;
        const size_t at = below(std::max<size_t>(1, std::min(n, pix + 24) - std::min<size_t>(n, 4))) & ~size_t(1);
        const uint32_t value = extremes[below(std::size(extremes))];
        for (size_t k = 0; k < 4 && at + k < n; ++k) d[at + k] = uint8_t(value >> (8 * k));
        out.push_back({"number " + std::to_string(value) + " at " + std::to_string(at), std::move(d)});
    }
    // The pixel data (and any fragment headers in it) overwritten by a run of one value.
    for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x80)}) {
        Bytes d = data;
        const size_t start = pix + below(n - pix);
        std::fill(d.begin() + long(start), d.begin() + long(std::min(n, start + 96)), fill);
        out.push_back({"run of " + std::to_string(fill) + " from " + std::to_string(start), std::move(d)});
    }
    return out;
}

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
        for (uint32_t f = 0; f < v.image.frameCount; ++f) {
            spent += v.image.pixelsPerFrame;
            if (spent > sampleBudget && f > 0) break;
            SCOPED_TRACE("frame " + std::to_string(f));
            v.image.currentFrame = f;
            if (v.image.compression == compressionJpeg) decodeJpegFrame(v);
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
                    EXPECT_EQ(length, expectedOutputBytes(v.image, format)) << "format " << format;
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

std::vector<fs::path> pydicomTestFiles() {
    std::vector<fs::path> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(pydicomFiles, error); !error && it != fs::end(it);
         it.increment(error)) {
        if (it->is_regular_file() && it->file_size() < 1000000) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

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
    using testing::ImageSpec;
    using testing::Syntax;
    std::vector<ImageSpec> images;
    for (Syntax syntax : {Syntax::implicitLittle, Syntax::explicitBig}) {
        for (uint16_t bits : {8, 12, 16}) {
            ImageSpec s;
            s.syntax = syntax;
            s.rows = 40;
            s.columns = 33;
            s.bitsAllocated = bits;
            s.frames = 2;
            s.rescaleIntercept = -1024;
            s.rescaleSlope = 1;
            s.windowCenter = "40";
            s.windowWidth = "400";
            images.push_back(s);
        }
    }
    for (auto encoding : {ImageSpec::Encoding::rle, ImageSpec::Encoding::jpegBaseline}) {
        for (uint16_t bits : {8, 16}) {
            if (encoding == ImageSpec::Encoding::jpegBaseline && bits == 16) continue;
            ImageSpec s;
            s.rows = 48;
            s.columns = 37;
            s.bitsAllocated = bits;
            s.pixelRepresentation = bits == 16 ? 1 : 0;
            s.frames = 3;
            s.encoding = encoding;
            images.push_back(s);
        }
    }
    uint32_t seed = 1000;
    for (const ImageSpec& image : images) {
        SCOPED_TRACE("bits " + std::to_string(image.bitsAllocated) + ", encoding " +
                     std::to_string(int(image.encoding)) + ", syntax " + std::to_string(int(image.syntax)));
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
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
        SCOPED_TRACE(entry.path().string());
        check({entry.path().filename().string(), readFile(entry.path())});
    }
}

}  // namespace
}  // namespace vs
