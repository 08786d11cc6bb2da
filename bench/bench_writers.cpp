// writeImageFile in each format for a 512 x 512 CT slice and a 4096 x 4096 image (whose 8-bit
// formats also with the rows windowed in bands on every core), to
// /dev/null (the writer's own cost) and to a new file each time (what a batch run pays),
// beside the reference loop writing the same bytes the same way. The PNG formats at the zlib
// level and row filter chosen against zlib's and libpng's defaults, with the file size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "convert/png_encoder.h"
#include "core/contrast.h"
#include "core/render.h"
#include "core/write_frame.h"
#include "platform/png_encoder.h"

namespace vs::bench {
namespace {

LoadedViewer& viewerFor(int size) {
    static std::map<int, std::unique_ptr<LoadedViewer>> viewers;
    auto& slot = viewers[size];
    if (!slot) {
        slot = std::make_unique<LoadedViewer>(size == 512 ? ctImage(512) : radiograph(size),
                                              "write_" + std::to_string(size) + ".dcm");
        Viewer& v = slot->v();
        v.window.windowPreset = presetContrastStretch;
        scanDataRange(v);
        applyWindowPreset(v);
    }
    return *slot;
}

uint64_t outputBytes(const ImageState& image, uint16_t format) {
    const uint64_t pixels = image.pixelsPerFrame;
    switch (format) {
        case formatTiff8: return tiffHeaderBytes + pixels;
        case formatTiff16: return tiffHeaderBytes + 2 * pixels;
        case formatBmp: return bmpPixelOffset + uint64_t(bmpRowLength(image.columns)) * image.rows;
        default: return 2 * pixels;
    }
}

std::string outputPath(const LoadedViewer& lv) { return lv.file->folder() + "bench_output.out"; }

void write(benchmark::State& state, bool toDisk) {
    LoadedViewer& lv = viewerFor(int(state.range(1)));
    Viewer& v = lv.v();
    v.outputFormat = uint16_t(state.range(0));
    std::FILE* sink = toDisk ? nullptr : std::fopen("/dev/null", "wb");
    for (auto _ : state) {
        std::FILE* out = toDisk ? std::fopen(outputPath(lv).c_str(), "wb") : sink;
        if (!writeImageFile(v, out)) state.SkipWithError("write failed");
        if (toDisk) std::fclose(out);
    }
    if (sink) std::fclose(sink);
    std::remove(outputPath(lv).c_str());
    countSamples(state, v.dicom.image.pixelsPerFrame, outputBytes(v.dicom.image, v.outputFormat));
}

// The same input read through the table into one block and written with one fwrite.
void reference(benchmark::State& state, bool toDisk) {
    LoadedViewer& lv = viewerFor(int(state.range(1)));
    Viewer& v = lv.v();
    const uint16_t format = uint16_t(state.range(0));
    const size_t bytes = outputBytes(v.dicom.image, format);
    std::vector<uint8_t> block(bytes);
    const size_t inBytes = 2 * size_t(v.dicom.image.pixelsPerFrame);
    std::FILE* sink = toDisk ? nullptr : std::fopen("/dev/null", "wb");
    for (auto _ : state) {
        if (format == formatTiff8 || format == formatBmp) {
            referencePass(v.dicom.pixelData(), inBytes, 2, block.data(), v.dicom.image.pixelsPerFrame, v.dicom.image.columns,
                          format == formatBmp ? bmpRowLength(v.dicom.image.columns) : v.dicom.image.columns, referenceTable());
        } else {
            std::copy(v.dicom.pixelData(), v.dicom.pixelData() + inBytes, block.data());
        }
        std::FILE* out = toDisk ? std::fopen(outputPath(lv).c_str(), "wb") : sink;
        std::fwrite(block.data(), 1, bytes, out);
        if (toDisk) std::fclose(out);
        else std::fflush(out);
    }
    if (sink) std::fclose(sink);
    std::remove(outputPath(lv).c_str());
    countSamples(state, v.dicom.image.pixelsPerFrame, bytes);
}

void BM_WriteImageFileToNull(benchmark::State& state) { write(state, false); }
// The 8-bit formats of the large image with its rows windowed in bands on a pool of one lane
// a core, as the converter writes them.
void BM_WriteImageFileBandedToNewFile(benchmark::State& state) {
    static BandPool pool(std::thread::hardware_concurrency());
    Viewer& v = viewerFor(int(state.range(1))).v();
    v.bands = &pool;
    v.source.reset();
    write(state, true);
    v.bands = nullptr;
    v.source.reset();
}
void BM_ReferenceWriteToNull(benchmark::State& state) { reference(state, false); }
void BM_WriteImageFileToNewFile(benchmark::State& state) { write(state, true); }
void BM_ReferenceWriteToNewFile(benchmark::State& state) { reference(state, true); }

// Arguments: format (0 TIFF8, 1 TIFF16, 2 BMP, 3 RAW), image size.
void formats(benchmark::internal::Benchmark* b) {
    b->ArgNames({"format", "size"})->Unit(benchmark::kMicrosecond);
    for (int size : {512, 4096})
        for (int format = formatTiff8; format <= formatRaw; ++format) b->Args({format, size});
}

// A counter that writes nothing: the encoder's own cost, and the file's size.
class CountingSink : public ByteSink {
public:
    bool write(const void*, size_t n) override {
        bytes += n;
        return true;
    }
    uint64_t bytes = 0;
};

// Arguments: format (4 PNG 8, 5 PNG 16), image size, zlib level (-1: zlib's default, 6),
// filters (PNG_FILTER_* bits: 0x10 Sub, 0xF8 all, libpng's default), zlib strategy (3 Z_RLE,
// -1 libpng's default).
void BM_WritePng(benchmark::State& state) {
    LoadedViewer& lv = viewerFor(int(state.range(1)));
    Viewer& v = lv.v();
    const LibpngEncoder png({int(state.range(2)), int(state.range(3)), int(state.range(4))});
    CountingSink sink;
    for (auto _ : state) {
        sink.bytes = 0;
        if (!writeFrame(frameSource(v), v.dicom.image, v.currentFrame, currentWindowMapping(v),
                        OutputFormat(state.range(0)), sink, &png))
            state.SkipWithError("write failed");
    }
    countSamples(state, v.dicom.image.pixelsPerFrame, sink.bytes);
    state.counters["file_bytes"] = double(sink.bytes);
}

void pngChoices(benchmark::internal::Benchmark* b) {
    b->ArgNames({"format", "size", "level", "filters", "strategy"})->Unit(benchmark::kMicrosecond);
    const PngCompression chosen;
    for (int size : {512, 4096})
        for (int format : {formatPng8, formatPng16}) {
            b->Args({format, size, chosen.level, chosen.filters, chosen.strategy});
            b->Args({format, size, 1, 0xF8, -1});   // level 1, libpng's filters and strategy
            b->Args({format, size, -1, 0xF8, -1});  // libpng's and zlib's defaults
        }
}

BENCHMARK(BM_WriteImageFileToNull)->Apply(formats);
BENCHMARK(BM_ReferenceWriteToNull)->Apply(formats);
BENCHMARK(BM_WriteImageFileToNewFile)->Apply(formats);
BENCHMARK(BM_ReferenceWriteToNewFile)->Apply(formats);
BENCHMARK(BM_WritePng)->Apply(pngChoices);
BENCHMARK(BM_WriteImageFileBandedToNewFile)
    ->ArgNames({"format", "size"})
    ->Args({formatTiff8, 4096})
    ->Args({formatBmp, 4096})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace
}  // namespace vs::bench

BENCHMARK_MAIN();
