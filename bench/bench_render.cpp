// renderFrame: 16-bit frames of 512, 2048 and 4096 squared (the large ones also in row bands
// on every core), 8- and 16-bit RLE frames, a
// baseline JPEG frame and a 16-bit lossless JPEG frame (every compression read), each beside
// the reference loop over the same input and output bytes.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <thread>

#include "bench/bench_support.h"
#include "core/contrast.h"
#include "core/coded_frame.h"
#include "core/render.h"

namespace vs::bench {
namespace {

enum Kind { native16, rle8, rle16, jpeg, losslessJpeg };

LoadedViewer& viewerFor(Kind kind, int size) {
    static std::map<std::pair<int, int>, std::unique_ptr<LoadedViewer>> viewers;
    auto& slot = viewers[{kind, size}];
    if (!slot) {
        ImageRecipe image = kind == rle8    ? rle8Image()
                         : kind == rle16 ? rle16Image()
                         : kind == jpeg  ? jpegImage()
                         : size == 512   ? ctImage(512)
                                         : radiograph(size);
        if (kind == losslessJpeg) image.encoding = ImageRecipe::Encoding::jpegLossless;
        slot = std::make_unique<LoadedViewer>(image, "render_" + std::to_string(kind) + "_" + std::to_string(size) + ".dcm",
                                              kind == losslessJpeg);
        Viewer& v = slot->v();
        v.window.windowPreset = presetContrastStretch;
        scanDataRange(v);
        applyWindowPreset(v);
        // A window inside the range, so that the division path of the table is used as well.
        const int32_t span = v.window.dataMax - v.window.dataMin;
        v.window.windowLow = v.window.dataMin + span / 4;
        v.window.windowHigh = v.window.dataMax - span / 4;
        renderFrame(v);
    }
    return *slot;
}

// Bytes of the current frame as stored: the uncompressed samples or the fragment.
size_t frameBytes(const Viewer& v) {
    if (v.dicom.image.compression == compressionNone) return size_t(v.dicom.image.pixelsPerFrame) * (v.dicom.image.bitsAllocated / 8);
    return size_t(v.dicom.frameOffsets[1] - v.dicom.frameOffsets[0]);
}
const uint8_t* frameData(const Viewer& v) {
    if (v.dicom.image.compression == compressionNone) return v.dicom.pixelData();
    return v.dicom.bytes.data() + v.dicom.frameOffsets[0];
}

// A frame as the viewer shows it: a new frame (decoded first) or, with redraw, the same frame
// again after a contrast change.
void render(benchmark::State& state, Kind kind, bool redraw = false) {
    LoadedViewer& lv = viewerFor(kind, int(state.range(0)));
    Viewer& v = lv.v();
    for (auto _ : state) {
        if (kind == jpeg) decodeCodedFrame(v);
        if (!redraw) v.source.reset();  // not decoded yet
        renderFrame(v);
        benchmark::DoNotOptimize(v.display.data());
        benchmark::ClobberMemory();
    }
    countSamples(state, v.dicom.image.pixelsPerFrame, frameBytes(v) + size_t(v.dicom.image.rows) * v.window.displayStride);
}

void reference(benchmark::State& state, Kind kind) {
    LoadedViewer& lv = viewerFor(kind, int(state.range(0)));
    Viewer& v = lv.v();
    const int wordSize = kind == native16 ? 2 : 1;
    const size_t outBytes = v.dicom.image.pixelsPerFrame;
    for (auto _ : state) {
        benchmark::DoNotOptimize(referencePass(frameData(v), frameBytes(v), wordSize, v.display.data(), outBytes,
                                               v.dicom.image.columns, v.window.displayStride, referenceTable()));
        benchmark::ClobberMemory();
    }
    countSamples(state, v.dicom.image.pixelsPerFrame, frameBytes(v) + size_t(v.dicom.image.rows) * v.window.displayStride);
}

void BM_RenderFrame16(benchmark::State& state) { render(state, native16); }
// The same with the rows in bands on a pool of one lane a core, as the viewer renders.
void BM_RenderFrame16Banded(benchmark::State& state) {
    static BandPool pool(std::thread::hardware_concurrency());
    Viewer& v = viewerFor(native16, int(state.range(0))).v();
    v.bands = &pool;
    render(state, native16);
    v.bands = nullptr;
    v.source.reset();
}
void BM_Reference16(benchmark::State& state) { reference(state, native16); }
void BM_RenderRle8(benchmark::State& state) { render(state, rle8); }
void BM_ReferenceRle8(benchmark::State& state) { reference(state, rle8); }
void BM_RenderRle16(benchmark::State& state) { render(state, rle16); }
void BM_ReferenceRle16(benchmark::State& state) { reference(state, rle16); }
void BM_RedrawRle8(benchmark::State& state) { render(state, rle8, true); }
void BM_RedrawRle16(benchmark::State& state) { render(state, rle16, true); }
// A JPEG frame as the viewer shows a new frame: decode, then window.
void BM_DecodeAndRenderJpeg(benchmark::State& state) { render(state, jpeg); }
void BM_ReferenceJpeg(benchmark::State& state) { reference(state, jpeg); }
// A 16-bit lossless JPEG frame (a CT slice) as the viewer shows a new frame: decoded to
// samples, ranged by the preset, windowed.
void BM_DecodeAndRenderLosslessJpeg(benchmark::State& state) { render(state, losslessJpeg); }

BENCHMARK(BM_RenderFrame16)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderFrame16Banded)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Reference16)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderRle8)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceRle8)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderRle16)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceRle16)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedrawRle8)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedrawRle16)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeAndRenderJpeg)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceJpeg)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeAndRenderLosslessJpeg)->Arg(512)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vs::bench

BENCHMARK_MAIN();
