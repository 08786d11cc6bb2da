#include "bench/bench_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/loader.h"
#include "samples/phantoms.h"

namespace vs::bench {

using testing::Syntax;

ImageRecipe ctImage(int size) {
    ImageRecipe s;
    s.syntax = Syntax::explicitLittle;
    s.rows = s.columns = uint16_t(size);
    s.bitsAllocated = 16;
    s.pixelRepresentation = 1;
    s.samples = samples::toSamples(samples::ctChest(size, 0.5, 11), 1024.0, -32768, 32767);
    s.rescaleIntercept = -1024.0;
    s.rescaleSlope = 1.0;
    s.windowCenter = "40";
    s.windowWidth = "400";
    s.modality = "CT";
    s.patientName = "PHANTOM^BENCH";
    return s;
}

ImageRecipe radiograph(int size) {
    ImageRecipe s;
    s.rows = s.columns = uint16_t(size);
    s.bitsAllocated = 16;
    s.pixelRepresentation = 0;
    s.samples = samples::toSamples(samples::xrayChest(size, size, 2000), 0.0, 0, 4095);
    for (int32_t& v : s.samples) v *= 16;
    s.modality = "DX";
    return s;
}

ImageRecipe rle8Image() {
    ImageRecipe s;
    s.rows = s.columns = 512;
    s.bitsAllocated = 8;
    s.pixelRepresentation = 0;
    s.encoding = ImageRecipe::Encoding::rle;
    s.samples = samples::toSamples(samples::beatingHeart(512, 0.3, 3000), 0.0, 0, 255);
    return s;
}

ImageRecipe rle8Cine(uint32_t frames) {
    ImageRecipe s = rle8Image();
    s.frames = frames;
    s.samples.clear();
    for (uint32_t f = 0; f < frames; ++f) {
        const std::vector<int32_t> frame = samples::toSamples(samples::beatingHeart(512, f / 25.0, 3000 + f), 0.0, 0, 255);
        s.samples.insert(s.samples.end(), frame.begin(), frame.end());
    }
    return s;
}

ImageRecipe losslessCine(uint32_t frames) {
    ImageRecipe s = rle16Image();
    s.encoding = ImageRecipe::Encoding::jpegLossless;
    s.frames = frames;
    s.samples.clear();
    for (uint32_t f = 0; f < frames; ++f) {
        const std::vector<int32_t> frame =
            samples::toSamples(samples::perfusion(512, f / 49.0, 4000 + f), 0.0, -32768, 32767);
        s.samples.insert(s.samples.end(), frame.begin(), frame.end());
    }
    return s;
}

ImageRecipe rle16Image() {
    ImageRecipe s;
    s.rows = s.columns = 512;
    s.bitsAllocated = 16;
    s.pixelRepresentation = 1;
    s.encoding = ImageRecipe::Encoding::rle;
    s.samples = samples::toSamples(samples::perfusion(512, 0.5, 4000), 0.0, -32768, 32767);
    s.rescaleIntercept = 0.0;
    s.rescaleSlope = 1.0;
    s.windowCenter = "60";
    s.windowWidth = "200";
    return s;
}

ImageRecipe jpegImage() {
    ImageRecipe s;
    s.rows = s.columns = 512;
    s.bitsAllocated = 8;
    s.pixelRepresentation = 0;
    s.encoding = ImageRecipe::Encoding::jpegBaseline;
    s.samples = samples::toSamples(samples::ultrasound(512, 0.2, 5000), 0.0, 0, 255);
    return s;
}

TempFile::TempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vireoscan-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    folder_ = folder.string() + "/";
    name_ = name;
    std::ofstream out(path(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TempFile::~TempFile() {
    std::error_code error;
    std::filesystem::remove(path(), error);
    std::filesystem::remove(folder_, error);  // only once it is empty
}

LoadedViewer::LoadedViewer(const ImageRecipe& image, const std::string& name, bool allCompressions)
    : decoders(makeDecoderBundle(allCompressions)) {
    file = std::make_unique<TempFile>(name, testing::makeImage(image));
    Viewer& v = *viewer;
    v.host = &host;
    v.decoders = decoders->decoders();
    v.batchMode = 1;
    v.appState = AppState::loaded;
    v.currentDirectory = file->folder();
    v.currentFileName = file->name();
    if (loadFile(v) != LoadResult::loaded) {
        std::fprintf(stderr, "bench: %s did not load\n", name.c_str());
        std::exit(1);
    }
}

const uint8_t* referenceTable() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(65536);
        for (uint32_t i = 0; i < t.size(); ++i) t[i] = uint8_t(std::min<uint32_t>(255, i / 7));
        return t;
    }();
    return table.data();
}

uint64_t referencePass(const uint8_t* in, size_t inBytes, int wordSize, uint8_t* out, size_t outBytes,
                       uint32_t columns, uint32_t stride, const uint8_t* table) {
    const size_t words = inBytes / size_t(wordSize);
    size_t w = 0;
    uint64_t fold = 0;
    uint32_t x = 0;
    uint8_t* row = out;
    for (size_t produced = 0; produced < outBytes;) {
        const size_t n = std::min({size_t(columns - x), outBytes - produced, words - w});
        uint8_t* o = row + x;
        if (wordSize == 2) {
            const uint8_t* p = in + 2 * w;
            for (size_t k = 0; k < n; ++k) o[k] = table[uint32_t(p[2 * k]) | uint32_t(p[2 * k + 1]) << 8];
        } else {
            const uint8_t* p = in + w;
            for (size_t k = 0; k < n; ++k) o[k] = table[p[k]];
        }
        produced += n;
        x += uint32_t(n);
        w += n;
        if (x == columns) {
            x = 0;
            row += stride;
        }
        if (w == words) w = 0;
    }
    // Input beyond what the output needed is still read.
    for (size_t k = std::min(outBytes, words) * size_t(wordSize); k < inBytes; ++k) fold += in[k];
    return fold;
}

void countSamples(benchmark::State& state, uint64_t samplesPerIteration, uint64_t bytesPerIteration) {
    state.SetItemsProcessed(int64_t(state.iterations() * samplesPerIteration));
    state.SetBytesProcessed(int64_t(state.iterations() * bytesPerIteration));
}

}  // namespace vs::bench
