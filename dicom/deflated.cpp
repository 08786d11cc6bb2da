#include "dicom/deflated.h"

#include <algorithm>
#include <cstring>

#include "dicom/byte_reader.h"

namespace vs {
namespace {

inline constexpr uint32_t preambleBytes = 128;
inline constexpr uint32_t metaStart = preambleBytes + 4;  // after "DICM"
inline constexpr char deflatedSyntax[] = "1.2.840.10008.1.2.1.99";
// Input is fed and output written a chunk at a time, so that the abort is asked often.
inline constexpr size_t inflateChunkBytes = size_t(1) << 20;

// Explicit VRs with a 2-byte reserved field and a 4-byte length (PS3.5 7.1.2).
bool hasLongLength(uint8_t c0, uint8_t c1) {
    static constexpr const char* vrs[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ", "SV", "UC", "UN", "UR", "UT", "UV"};
    for (const char* vr : vrs)
        if (c0 == uint8_t(vr[0]) && c1 == uint8_t(vr[1])) return true;
    return false;
}

bool namesDeflatedSyntax(const ByteReader& in, uint64_t value, uint32_t length) {
    const uint32_t name = sizeof deflatedSyntax - 1;
    if (length < name || length > name + 1) return false;
    for (uint32_t i = 0; i < name; ++i)
        if (in.byte(value + i) != uint8_t(deflatedSyntax[i])) return false;
    const uint8_t pad = in.byte(value + name);
    return length == name || pad == 0 || pad == ' ';
}

}  // namespace

std::optional<uint32_t> deflatedDataSetStart(const DicomImage& dicom) {
    const uint32_t fileLength = dicom.image.fileLength;
    const ByteReader in(dicom.bytes.data(), std::min<uint64_t>(fileLength, dicom.bytes.size()));
    if (in.le32(preambleBytes) != 0x4D434944) return std::nullopt;  // "DICM"
    bool deflated = false;
    uint64_t at = metaStart;
    // The meta group is explicit VR little endian whatever the data set's syntax (PS3.10 7.1).
    while (at + 8 <= fileLength && in.le16(at) == 0x0002) {
        const uint16_t element = in.le16(at + 2);
        const bool longLength = hasLongLength(in.byte(at + 4), in.byte(at + 5));
        const uint64_t value = at + (longLength ? 12 : 8);
        const uint32_t length = longLength ? in.le32(at + 8) : in.le16(at + 6);
        if (element == 0x0010) deflated = namesDeflatedSyntax(in, value, length);
        at = value + length;
    }
    if (!deflated || at > fileLength) return std::nullopt;
    return uint32_t(at);
}

LoadStatus inflateDataSet(DicomImage& dicom, uint32_t start, Inflater& inflater, ReadObserver& observer, bool large,
                          uint64_t mostBytes) {
    const uint64_t inputEnd = dicom.image.fileLength;
    if (start > inputEnd || mostBytes <= start) return statusUnsupported;
    FileBuffer inflated;
    if (!inflated.reserve(mostBytes)) return statusTooBig;
    std::memcpy(inflated.data(), dicom.bytes.data(), start);
    inflater.restart();
    uint64_t in = start;
    uint64_t out = start;
    int lastPercent = -1;
    for (;;) {
        const size_t inSize = size_t(std::min<uint64_t>(inflateChunkBytes, inputEnd - in));
        const size_t outSize = size_t(std::min<uint64_t>(inflateChunkBytes, mostBytes - out));
        const InflateStep step = inflater.inflate(dicom.bytes.data() + in, inSize, inflated.data() + out, outSize);
        in += step.consumed;
        out += step.produced;
        if (step.finished) break;
        if (!step.whyNot.empty()) return statusUnsupported;
        if (out >= mostBytes) return statusTooBig;
        // The input ran out before the stream's last block, or nothing moved.
        if (in >= inputEnd || (step.consumed == 0 && step.produced == 0)) return statusUnsupported;
        if (large) {
            const int percent = int((in - start) * 100 / (inputEnd - start + 1) + 1);
            if (percent != lastPercent) observer.progress(percent);
            lastPercent = percent;
        }
        if (observer.abortRequested()) return statusAborted;
    }
    if (out >= mostBytes) return statusTooBig;
    inflated.noteWritten(out);
    inflated.fit(out);
    dicom.bytes.swap(inflated);
    dicom.image.fileLength = uint32_t(out);
    return statusLoaded;
}

}  // namespace vs
