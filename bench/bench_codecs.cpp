// The sample decoders on one 512 x 512 16-bit CT slice: JPEG-LS (lossless and near-lossless),
// JPEG 2000 (reversible and irreversible) and HTJ2K (reversible), a frame a decode. The frames
// are encoded once at start: JPEG-LS by CharLS, JPEG 2000 by opj_compress, HTJ2K by
// ojph_compress. A 25 frames-a-second cine leaves 40 ms a frame for decoding and drawing.
#include <benchmark/benchmark.h>

#include <charls/charls.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "bench/bench_support.h"
#include "platform/jpeg2000_decoder.h"
#include "platform/jpegls_decoder.h"

namespace vs::bench {
namespace {

constexpr uint16_t side = 512;

enum Encoding { jpegLs, jpegLsNear, jpeg2000, jpeg2000Lossy, htj2k };

// The slice's values (Hounsfield units + 1024), as unsigned 16-bit samples.
const std::vector<uint16_t>& slice() {
    static const std::vector<uint16_t> words = [] {
        std::vector<uint16_t> w;
        for (int32_t v : ctImage(side).samples) w.push_back(uint16_t(std::clamp(v, 0, 65535)));
        return w;
    }();
    return words;
}

// The slice encoded by an encoder program from a 16-bit PGM; aborts when it fails.
std::vector<uint8_t> encodedByProgram(const std::string& command, const std::string& output) {
    std::vector<uint8_t> pgm;
    const std::string header = "P5\n512 512\n65535\n";
    pgm.assign(header.begin(), header.end());
    for (uint16_t w : slice()) {
        pgm.push_back(uint8_t(w >> 8));
        pgm.push_back(uint8_t(w));
    }
    TempFile input("slice.pgm", pgm);
    const std::string outputPath = input.folder() + output;
    if (std::system(("cd " + input.folder() + " && " + command + " -o " + output + " >/dev/null 2>&1").c_str()) != 0) {
        std::fprintf(stderr, "bench_codecs: '%s' failed\n", command.c_str());
        std::exit(1);
    }
    std::ifstream in(outputPath, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(outputPath.c_str());
    return bytes;
}

std::vector<uint8_t> encodedByCharLs(int near) {
    charls::jpegls_encoder encoder;
    encoder.frame_info({side, side, 16, 1}).near_lossless(near);
    std::vector<uint8_t> bytes(encoder.estimated_destination_size());
    encoder.destination(bytes);
    bytes.resize(encoder.encode(slice()));
    return bytes;
}

const std::vector<uint8_t>& frame(Encoding encoding) {
    static std::map<Encoding, std::vector<uint8_t>> frames;
    auto& bytes = frames[encoding];
    if (bytes.empty()) {
        switch (encoding) {
            case jpegLs: bytes = encodedByCharLs(0); break;
            case jpegLsNear: bytes = encodedByCharLs(2); break;
            case jpeg2000: bytes = encodedByProgram("opj_compress -i slice.pgm", "slice.j2k"); break;
            case jpeg2000Lossy: bytes = encodedByProgram("opj_compress -I -r 10 -i slice.pgm", "slice.j2k"); break;
            case htj2k: bytes = encodedByProgram("ojph_compress -reversible true -i slice.pgm", "slice.j2c"); break;
        }
    }
    return bytes;
}

void decode(benchmark::State& state, Encoding encoding) {
    const std::vector<uint8_t>& bytes = frame(encoding);
    const auto decoder = encoding == jpegLs || encoding == jpegLsNear ? makeJpegLsDecoder() : makeJpeg2000Decoder();
    const FrameLayout layout{side, side, 16, 16, false};
    std::vector<uint8_t> out;
    std::string whyNot;
    for (auto _ : state) {
        if (!decoder->decode(bytes.data(), bytes.size(), layout, out, whyNot)) {
            state.SkipWithError(whyNot.c_str());
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    // A lossless frame must come back as it was encoded.
    if (encoding == jpegLs || encoding == jpeg2000 || encoding == htj2k) {
        for (size_t i = 0; i < slice().size(); ++i)
            if (uint16_t(out[2 * i] | out[2 * i + 1] << 8) != slice()[i]) state.SkipWithError("decoded frame differs");
    }
    state.counters["frame_KiB"] = double(bytes.size()) / 1024.0;
    countSamples(state, uint64_t(side) * side, bytes.size());
}

void BM_DecodeJpegLs(benchmark::State& state) { decode(state, jpegLs); }
void BM_DecodeJpegLsNear2(benchmark::State& state) { decode(state, jpegLsNear); }
void BM_DecodeJpeg2000(benchmark::State& state) { decode(state, jpeg2000); }
void BM_DecodeJpeg2000Lossy(benchmark::State& state) { decode(state, jpeg2000Lossy); }
void BM_DecodeHtj2k(benchmark::State& state) { decode(state, htj2k); }

BENCHMARK(BM_DecodeJpegLs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeJpegLsNear2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeJpeg2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeJpeg2000Lossy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeHtj2k)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vs::bench

BENCHMARK_MAIN();
