// What the benchmarks share: test images made from the sample phantoms, a viewer loaded with
// one, and the memory-bound reference loop every figure is set beside.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/viewer.h"
#include "platform/decoder_bundle.h"
#include "samples/dicom_builder.h"

namespace vs::bench {

using testing::ImageRecipe;

// A 16-bit CT-like slice of size x size (Hounsfield units + 1024, window 40/400).
ImageRecipe ctImage(int size);
// A 16-bit radiograph-like image of size x size, unsigned, full 16-bit range.
ImageRecipe radiograph(int size);
// One-frame RLE images of 512 x 512: an 8-bit angiography frame, a 16-bit perfusion frame.
ImageRecipe rle8Image();
ImageRecipe rle16Image();
// An 8-bit RLE cine of 512 x 512: the angiography view through one beat every 25 frames.
ImageRecipe rle8Cine(uint32_t frames);
// One 512 x 512 baseline JPEG frame of an ultrasound scene.
ImageRecipe jpegImage();
// A 16-bit lossless JPEG cine of 512 x 512: perfusion through the frames.
ImageRecipe losslessCine(uint32_t frames);

// A file written once into the temporary folder and removed at exit.
class TempFile {
public:
    TempFile(const std::string& name, const std::vector<uint8_t>& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& folder() const { return folder_; }
    const std::string& name() const { return name_; }
    std::string path() const { return folder_ + name_; }

private:
    std::string folder_;
    std::string name_;
};

// A viewer with a host that does nothing and the platform's decoders.
struct LoadedViewer {
    NullHost host;
    std::unique_ptr<DecoderBundle> decoders;
    std::unique_ptr<Viewer> viewer = std::make_unique<Viewer>();
    std::unique_ptr<TempFile> file;

    // Writes the image to a file and loads it as the converter does (batch mode), reading every
    // compression when asked; aborts the program when the load fails.
    explicit LoadedViewer(const ImageRecipe& image, const std::string& name = "bench.dcm",
                          bool allCompressions = false);
    Viewer& v() { return *viewer; }
};

// The memory-bound limit: reads inBytes bytes as little-endian 16-bit words (or bytes, when
// wordSize is 1), maps each through a 65,536-entry table and writes outBytes bytes in rows of
// columns bytes spaced stride apart. Inputs shorter than the output are read again from the
// start; longer ones are read to the end and folded into the result.
uint64_t referencePass(const uint8_t* in, size_t inBytes, int wordSize, uint8_t* out, size_t outBytes,
                       uint32_t columns, uint32_t stride, const uint8_t* table);

// The table referencePass uses: a plain window ramp.
const uint8_t* referenceTable();

// Sets items_per_second (samples) and bytes_per_second for state's iterations.
void countSamples(benchmark::State& state, uint64_t samplesPerIteration, uint64_t bytesPerIteration);

}  // namespace vs::bench
