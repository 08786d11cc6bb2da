// Encapsulated pixel data read item by item (PS3.5 A.4): the basic offset table, then the
// fragments up to the sequence delimiter, each frame in one fragment or in several. This is
// how the frames of the encodings decoded to samples are found; baseline JPEG and RLE keep
// the frame search of the header walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "dicom/dicom_image.h"

namespace vs {

// Item and delimiter tags, read little-endian.
inline constexpr uint32_t itemTag = 0xE000FFFE;
inline constexpr uint32_t sequenceDelimiterTag = 0xE0DDFFFE;
inline constexpr uint32_t itemDelimiterTag = 0xE00DFFFE;
inline constexpr uint32_t itemHeaderBytes = 8;

// Fills the frame table with the value offset of each frame's first fragment, and the entry
// after the last frame with where the fragments end (the sequence delimiter, or the file's
// end); returns the number of frames. The frames are those of the basic offset table when it
// holds a usable one; else one a fragment when there are as many fragments as declaredFrames;
// else a frame starts at every fragment that begins a codestream (JPEG and JPEG-LS FF D8,
// JPEG 2000 FF 4F FF 51, a JP2 file), which no codestream holds inside.
uint32_t findFrameItems(DicomImage& dicom, uint32_t declaredFrames);

// The bytes of the file a frame's items span: from its first fragment's value to the next
// frame's first item, or to where the fragments end; nothing for a frame the table does not
// locate.
struct FrameSpan {
    uint32_t start = 0;
    uint32_t end = 0;
};
std::optional<FrameSpan> frameSpan(const DicomImage& dicom, uint32_t frame);

// The bytes of one frame's codestream: its single fragment where it lies, or its fragments
// joined into joined. Empty when the frame has no bytes in the file.
struct FrameBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
};
FrameBytes frameCodestream(const DicomImage& dicom, uint32_t frame, std::vector<uint8_t>& joined);

}  // namespace vs
