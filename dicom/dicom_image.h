// One DICOM file in memory: its bytes (followed by spare room that reads as zeros), what the
// header walk found in them, and where each frame starts.
#pragma once

#include <cstdint>
#include <vector>

#include "dicom/file_buffer.h"
#include "dicom/image_state.h"

namespace vs {

struct DicomImage {
    FileBuffer bytes;
    ImageState image;
    // Where each frame starts: in samples from the pixel data for uncompressed data, in bytes
    // of the buffer for RLE and JPEG fragments; the entry after the last frame ends it.
    std::vector<uint32_t> frameOffsets = std::vector<uint32_t>(frameTableEntries, 0);

    const uint8_t* pixelData() const { return bytes.data() ? bytes.data() + image.pixelDataOffset : nullptr; }

    // The frame's entry of the frame table (0 past its end).
    uint32_t frameStart(uint32_t frame) const { return frame < frameOffsets.size() ? frameOffsets[frame] : 0; }
};

}  // namespace vs
