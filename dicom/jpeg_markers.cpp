#include "dicom/jpeg_markers.h"

namespace vs {
namespace {

constexpr uint8_t markerStartOfImage = 0xD8;
constexpr uint8_t markerEndOfImage = 0xD9;
constexpr uint8_t markerStartOfScan = 0xDA;
constexpr uint8_t markerJpegLsFrame = 0xF7;  // SOF55

// SOF0-3, 5-7, 9-11, 13-15: C4 (Huffman tables), C8 (reserved) and CC (arithmetic
// conditioning) share the range but are no frame headers.
bool isFrameHeader(uint8_t marker) {
    if (marker == markerJpegLsFrame) return true;
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool standsAlone(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

}  // namespace

std::optional<JpegFrameHeader> readJpegFrameHeader(const uint8_t* bytes, size_t size) {
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != markerStartOfImage) return std::nullopt;
    size_t at = 2;
    while (at + 4 <= size) {
        if (bytes[at] != 0xFF) return std::nullopt;
        const uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {  // a fill byte before the marker
            ++at;
            continue;
        }
        if (standsAlone(marker)) {
            at += 2;
            continue;
        }
        if (marker == markerStartOfScan || marker == markerEndOfImage) return std::nullopt;
        const size_t length = size_t(bytes[at + 2]) << 8 | bytes[at + 3];
        if (length < 2) return std::nullopt;
        if (isFrameHeader(marker)) {
            // Length, precision, rows, columns, component count: 8 bytes.
            if (length < 8 || at + 2 + 8 > size) return std::nullopt;
            const uint8_t* p = bytes + at + 4;
            JpegFrameHeader header;
            header.marker = marker;
            header.precision = p[0];
            header.rows = uint16_t(p[1] << 8 | p[2]);
            header.columns = uint16_t(p[3] << 8 | p[4]);
            header.components = p[5];
            return header;
        }
        at += 2 + length;
    }
    return std::nullopt;
}

}  // namespace vs
