// The RLE decoders over an arbitrary frame. The first 12 input bytes choose the image (rows,
// columns, depth, sign, window, where the frame starts); the rest is the file buffer. The
// decoded samples are checked against a plain PackBits decoder written here, and the picture
// against the window table.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/contrast.h"
#include "core/render.h"
#include "core/render.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace vs;
using vs::fuzzing::fail;

constexpr size_t parameterBytes = 12;
// Sides up to 96 keep the run fast and still let runs cross rows and literals span several.
constexpr uint32_t largestSide = 96;

// Byte at pos of the buffer; zeros beyond it.
uint8_t byteAt(const uint8_t* data, size_t size, uint64_t pos) { return pos < size ? data[pos] : 0; }

uint32_t le32At(const uint8_t* data, size_t size, uint64_t pos) {
    return uint32_t(byteAt(data, size, pos)) | uint32_t(byteAt(data, size, pos + 1)) << 8 |
           uint32_t(byteAt(data, size, pos + 2)) << 16 | uint32_t(byteAt(data, size, pos + 3)) << 24;
}

// One PackBits segment from pos on, cut at count bytes (PS3.5 G.3.1).
std::vector<uint8_t> packBits(const uint8_t* data, size_t size, uint64_t pos, uint32_t count) {
    std::vector<uint8_t> out;
    out.reserve(count);
    while (out.size() < count) {
        const uint8_t n = byteAt(data, size, pos++);
        if (n < 128) {
            for (uint32_t k = 0; k <= n; ++k) out.push_back(byteAt(data, size, pos++));
        } else if (n > 128) {
            const uint8_t value = byteAt(data, size, pos++);
            out.insert(out.end(), 257u - n, value);
        }
    }
    out.resize(count);
    return out;
}

struct Session {
    NullHost host;
    Viewer viewer;
    Session() { viewer.host = &host; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < parameterBytes) return 0;
    static auto* session = new Session;
    Viewer& v = session->viewer;
    const uint8_t* p = data;
    const uint32_t rows = 1 + (uint32_t(p[0] | p[1] << 8) % largestSide);
    const uint32_t columns = 1 + (uint32_t(p[2] | p[3] << 8) % largestSide);
    const bool sixteen = p[4] & 1;
    const bool isSigned = p[4] & 2;
    const bool negative = p[4] & 4;
    const bool monochrome1 = p[4] & 8;
    const int32_t low = int16_t(p[5] | p[6] << 8);
    const int32_t high = low + (p[7] | p[8] << 8);
    const uint32_t frameStart = uint32_t(p[9] | p[10] << 8) & 0x3FFF;
    const uint8_t* fileBytes = data + parameterBytes;
    const size_t fileSize = size - parameterBytes;

    ImageState& image = v.dicom.image;
    image = ImageState{};
    image.rows = uint16_t(rows);
    image.columns = uint16_t(columns);
    image.bitsAllocated = sixteen ? 16 : 8;
    image.pixelsPerFrame = rows * columns;
    image.pixelMask = pixelMaskTable[image.bitsAllocated / 4];
    image.signBit = sixteen && isSigned ? 0x8000 : 0;
    image.monochrome1 = monochrome1;
    image.compression = compressionRle;
    image.fileLength = uint32_t(fileSize);
    v.window = WindowState{};
    v.window.windowLow = low;
    v.window.windowHigh = high;
    v.window.negative = negative;
    v.dicom.frameOffsets[0] = frameStart;
    v.dicom.frameOffsets[1] = uint32_t(fileSize);

    if (!v.dicom.bytes.prepare(fileSize)) fail("no memory for the file buffer");
    if (fileSize) std::memcpy(v.dicom.bytes.data(), fileBytes, fileSize);
    v.dicom.bytes.noteWritten(fileSize);
    image.pixelDataOffset = 0;
    vs::fuzzing::shrinkDisplay(v);

    const uint32_t samples = image.pixelsPerFrame;
    if (!sixteen) {
        renderFrame(v);
        const std::vector<uint8_t> want = packBits(fileBytes, fileSize, uint64_t(frameStart) + 64, samples);
        const uint32_t stride = v.window.displayStride;
        int32_t wantLow = rangeStartMin, wantHigh = rangeStartMax;
        for (uint32_t i = 0; i < samples; ++i) {
            const uint8_t expected = uint8_t(displayByte(currentWindowMapping(v), want[i]));
            if (v.display[size_t(i / columns) * stride + i % columns] != expected)
                fail("8-bit picture differs from the decoded samples");
            wantLow = std::min<int32_t>(wantLow, want[i]);
            wantHigh = std::max<int32_t>(wantHigh, want[i]);
        }
        if (v.window.dataMin != wantLow || v.window.dataMax != wantHigh) fail("8-bit range differs");
    } else {
        // The words alone, into a block of exactly their size that held something else.
        const uint32_t segments = le32At(fileBytes, fileSize, frameStart);
        std::unique_ptr<uint8_t[]> words(new uint8_t[2 * size_t(samples)]);
        std::memset(words.get(), 0xEE, 2 * size_t(samples));
        std::unique_ptr<uint8_t[]> planes(new uint8_t[2 * size_t(samples)]);
        const uint32_t decoded = decodeRleFrame16(v.dicom, v.currentFrame, words.get(), planes.get()) ? 1 : 0;
        if (decoded != (segments == 1 || segments == 2 ? 1u : 0u)) fail("segment count not judged as expected");
        if (decoded) {
            for (uint32_t k = 1; k <= segments; ++k) {
                const uint64_t at = uint64_t(frameStart) + le32At(fileBytes, fileSize, uint64_t(frameStart) + 4 * k);
                const std::vector<uint8_t> plane = packBits(fileBytes, fileSize, at, samples);
                const size_t half = k == 1 ? 1 : 0;  // segment 1: the high bytes
                for (uint32_t i = 0; i < samples; ++i)
                    if (words[2 * size_t(i) + half] != plane[i]) fail("16-bit plane differs");
            }
            for (uint32_t i = 0; i < samples && segments == 1; ++i)
                if (words[2 * size_t(i)] != 0) fail("low bytes of a one-segment frame are not zero");
        }
        scanDataRange(v);
        prepareWindowForRendering(v);
        renderFrame(v);
        if (decoded && samples > 0) {
            // The picture: each word through the window, rows of displayStride bytes.
            const uint32_t stride = v.window.displayStride;
            int32_t wantLow = rangeStartMin, wantHigh = rangeStartMax;
            for (uint32_t i = 0; i < samples; ++i) {
                const int32_t value = wordSampleValue(image, uint32_t(words[2 * i]) | uint32_t(words[2 * i + 1]) << 8);
                const uint8_t expected = uint8_t(displayByte(currentWindowMapping(v), value));
                if (v.display[size_t(i / columns) * stride + i % columns] != expected)
                    fail("16-bit picture differs from the decoded samples");
                wantLow = std::min(wantLow, value);
                wantHigh = std::max(wantHigh, value);
            }
            if (v.window.dataMin != wantLow || v.window.dataMax != wantHigh)
                fail("16-bit range differs");
        }
    }
    for (uint16_t format = formatTiff8; format <= formatRaw; ++format) vs::fuzzing::writeAndCheck(v, format);
    return 0;
}
