// loadFile of a 512 x 512 CT slice and of a 4096 x 4096 image, as the converter loads (batch
// mode) and as the viewer does (panel text, range, window, first picture), beside reading
// the same file into reused memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "core/contrast.h"
#include "dicom/header.h"
#include "core/loader.h"

namespace vs::bench {
namespace {

LoadedViewer& viewerFor(int size) {
    static std::map<int, std::unique_ptr<LoadedViewer>> viewers;
    auto& slot = viewers[size];
    if (!slot) slot = std::make_unique<LoadedViewer>(size == 512 ? ctImage(512) : radiograph(size),
                                                     "load_" + std::to_string(size) + ".dcm");
    return *slot;
}

void load(benchmark::State& state, bool batch) {
    LoadedViewer& lv = viewerFor(int(state.range(0)));
    Viewer& v = lv.v();
    v.batchMode = batch ? 1 : 0;
    for (auto _ : state) {
        // Afresh every time, as a new file would be.
        if (loadFile(v, {.evenIfLoaded = true}) != LoadResult::loaded) state.SkipWithError("load failed");
    }
    v.batchMode = 1;
    countSamples(state, v.dicom.image.pixelsPerFrame, v.dicom.image.fileLength);
}

void BM_LoadFileConverter(benchmark::State& state) { load(state, true); }
void BM_LoadFileViewer(benchmark::State& state) { load(state, false); }

// Reading the same file into a block that is reused: what any loader pays at least.
void BM_ReferenceRead(benchmark::State& state) {
    LoadedViewer& lv = viewerFor(int(state.range(0)));
    const std::string path = lv.file->path();
    std::vector<uint8_t> block(lv.v().dicom.image.fileLength);
    for (auto _ : state) {
        const int fd = open(path.c_str(), O_RDONLY);
        size_t done = 0;
        while (done < block.size()) {
            const ssize_t n = read(fd, block.data() + done, block.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        close(fd);
        benchmark::DoNotOptimize(block.data());
    }
    countSamples(state, lv.v().dicom.image.pixelsPerFrame, block.size());
}

// The header scan alone, over a file already in memory.
void BM_HeaderScan(benchmark::State& state) {
    LoadedViewer& lv = viewerFor(int(state.range(0)));
    Viewer& v = lv.v();
    for (auto _ : state) benchmark::DoNotOptimize(scanHeader(v.dicom));
    countSamples(state, v.dicom.image.pixelsPerFrame, headerScanBytes);
}

// The range scan of the loaded frame.
void BM_ScanDataRange(benchmark::State& state) {
    LoadedViewer& lv = viewerFor(int(state.range(0)));
    Viewer& v = lv.v();
    for (auto _ : state) {
        scanDataRange(v);
        benchmark::DoNotOptimize(v.window.dataMax);
    }
    countSamples(state, v.dicom.image.pixelsPerFrame, 2 * uint64_t(v.dicom.image.pixelsPerFrame));
}

// What every converter process pays once before its first file: a new viewer record.
void BM_NewViewer(benchmark::State& state) {
    for (auto _ : state) {
        auto v = std::make_unique<Viewer>();
        benchmark::DoNotOptimize(v->display.data());
    }
}

BENCHMARK(BM_HeaderScan)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanDataRange)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewViewer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadFileConverter)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadFileViewer)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceRead)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vs::bench

BENCHMARK_MAIN();
