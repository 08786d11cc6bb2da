// Arbitrary bytes as a file: loaded as the converter loads it, then as the viewer does (with
// the panel text and the first picture), then every frame's range scan, preset, rendering and
// all four writers, and for the first frame the PNG writers and the thumbnail. Frames of any
// size are windowed and ranged in row bands on a pool of three lanes, as large ones are. Checks that a
// refused file always says why and that every written file is as long as its header says.
// Built twice: fuzz_load reads as by default, fuzz_load_all with every compression
// (VIREOSCAN_FUZZ_ALL_COMPRESSIONS), so that every decoder is reached.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/contrast.h"
#include "dicom/deflated.h"
#include "dicom/header.h"
#include "core/coded_frame.h"
#include "core/loader.h"
#include "convert/thumbnail.h"
#include "core/render.h"
#include "fuzz/fuzz_support.h"
#include "platform/decoder_bundle.h"
#include "platform/png_encoder.h"

namespace {

using namespace vs;
using namespace vs::fuzzing;

// Work per input is bounded so that the run stays fast: frames are done while the samples
// they hold add up to at most this many, and at most framesPerInput of them (every rendering
// of a 16-bit image fills a 65,536-entry table, whatever the frame's size).
constexpr uint64_t sampleBudget = uint64_t(1) << 16;
constexpr uint32_t framesPerInput = 4;
constexpr bool allCompressions = VIREOSCAN_FUZZ_ALL_COMPRESSIONS;

struct Session {
    PatientLineHost host;
    std::unique_ptr<DecoderBundle> decoders = makeDecoderBundle(allCompressions);
    BandPool bands{3};
    MemoryFile file;
    Viewer viewer;

    Session() {
        viewer.host = &host;
        viewer.bands = &bands;
        viewer.decoders = decoders->decoders();
        viewer.currentDirectory = file.folder();
        viewer.currentFileName = file.name();
    }
};

// A fresh start for each input, except for the blocks the viewer keeps between files.
void resetViewer(Session& s) {
    Viewer& v = s.viewer;
    std::memset(v.dicom.frameOffsets.data(), 0, v.dicom.frameOffsets.size() * sizeof(uint32_t));
    v.dicom.image = ImageState{};
    v.window = WindowState{};
    v.source.reset();
    v.loadedPath.clear();
    v.currentDirectory = s.file.folder();
    v.currentFileName = s.file.name();
    v.appState = AppState::starting;
    v.animationPlaying = v.middleDragging = v.leftDragging = 0;
    s.host.hideImageWindow();
    s.host.patientLine.clear();
    shrinkDisplay(v);
}

// Loads the file; a refused file must leave a status text on the Patient line.
LoadResult load(Session& s, bool batch) {
    Viewer& v = s.viewer;
    v.batchMode = batch ? 1 : 0;
    v.loadedPath.clear();
    s.host.patientLine.clear();
    const LoadResult result = loadFile(v);
    if (result == LoadResult::failed && s.host.patientLine.empty()) fail("a refused file shows no status text");
    if (result == LoadResult::alreadyLoaded) fail("a fresh load counted as already loaded");
    return result;
}

// Takes what a writer gives and keeps nothing.
class DiscardingSink : public ByteSink {
public:
    bool write(const void*, size_t) override { return true; }
};

// The PNG writers on the current frame and a thumbnail of the file, through libpng.
void writePngs(Viewer& v) {
    const LibpngEncoder png;
    DiscardingSink sink;
    for (OutputFormat format : {formatPng8, formatPng16})
        writeFrame(frameSource(v), v.dicom.image, v.currentFrame, currentWindowMapping(v), format, sink, &png);
    writeThumbnail(frameSource(v), v.dicom.image, 37, png, sink);
}

// The viewer's source windows every frame in bands, however small.
void bandEveryFrame(Session& s) { frameSource(s.viewer).bandOn(&s.bands, 0); }

void convertFrames(Session& s) {
    Viewer& v = s.viewer;
    v.batchMode = 1;
    const uint32_t frames = v.dicom.image.frameCount;
    uint64_t spent = 0;
    for (uint32_t k = 0; k < std::min(frames, framesPerInput); ++k) {
        // The first frames, then the last one, which the file's end may cut short.
        const uint32_t f = k + 1 < framesPerInput ? k : frames - 1;
        spent += v.dicom.image.pixelsPerFrame;
        if (spent > sampleBudget) break;
        v.currentFrame = f;
        if (framesAreCoded(v)) decodeCodedFrame(v);
        bandEveryFrame(s);
        scanDataRange(v);
        if (v.window.dataMin > v.window.dataMax && v.dicom.image.compression != compressionJpeg)
            fail("range scan left an empty range");
        applyWindowPreset(v);
        renderFrame(v);
        // Every format for the first frame, one each for the others.
        if (f == 0) {
            for (uint16_t format = formatTiff8; format <= formatRaw; ++format) writeAndCheck(v, format);
            writePngs(v);
        } else {
            writeAndCheck(v, uint16_t(f % 4));
        }
    }
}

// Whether the header's first look finds an image small enough for the budget. A damaged
// header can declare frames of many millions of samples that lie in the buffer's zeroed spare
// room; loading such a file only repeats the range scan's loop over zeros, so it is left out.
// So is a deflated data set that inflates to more than inflatedBudget bytes.
bool smallEnough(Session& s, const uint8_t* data, size_t size) {
    constexpr uint64_t inflatedBudget = uint64_t(16) << 20;
    Viewer& v = s.viewer;
    if (!v.dicom.bytes.prepare(size)) fail("no memory for the file buffer");
    if (size) std::memcpy(v.dicom.bytes.data(), data, size);
    v.dicom.bytes.noteWritten(size);
    v.dicom.image.fileLength = uint32_t(size);
    if (const std::optional<uint32_t> start = allCompressions ? deflatedDataSetStart(v.dicom) : std::nullopt) {
        ReadObserver quiet;
        const LoadStatus inflated = inflateDataSet(v.dicom, *start, *s.decoders->decoders().inflater, quiet, false,
                                                   inflatedBudget);
        if (inflated == statusTooBig) {
            resetViewer(s);
            return false;
        }
    }
    const bool accepted = scanHeader(v.dicom, allCompressions) == statusLoaded;
    const bool small = !accepted || uint64_t(v.dicom.image.pixelsPerFrame) <= sampleBudget;
    resetViewer(s);
    return small;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* session = new Session;
    Session& s = *session;
    resetViewer(s);
    if (!smallEnough(s, data, size)) return 0;
    s.file.assign(data, size);

    if (load(s, true) != LoadResult::loaded) return 0;
    if (uint64_t(s.viewer.dicom.image.pixelsPerFrame) > sampleBudget) return 0;

    // As the viewer shows it: panel lines, range, preset, fitted first picture.
    resetViewer(s);
    if (load(s, false) != LoadResult::loaded) fail("the viewer refused a file the converter loaded");
    // Every preset's window (drawn once, at the end, to keep the run fast).
    s.host.hideImageWindow();
    for (uint16_t preset = presetContrastStretch; preset <= presetCtBrain; ++preset) {
        s.viewer.window.windowPreset = preset;
        applyWindowPreset(s.viewer);
    }
    s.host.showImageWindow();
    s.viewer.window.negative = true;
    bandEveryFrame(s);
    renderFrame(s.viewer);
    convertFrames(s);
    return 0;
}
