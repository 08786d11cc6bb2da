// Windowing stored samples into the 8-bit display picture.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/viewer.h"

namespace vs {

// Bytes per row of the display picture: columns + 4 with the two low bits cleared, so 1 to 4
// bytes more than the width and always a multiple of 4.
inline constexpr uint32_t displayStrideFor(uint32_t columns) { return (columns + 4) & ~3u; }

// The value of stored sample number s of the uncompressed pixel data (counted from
// image.pixelData). Reads that would fall outside the file buffer read zeros.
int32_t sampleValue(const Viewer& v, uint32_t s);

// The value of a sample held as one 16-bit word (the 16-bit RLE decode): masked and signed by
// the same rule as sampleValue, so the range scan and the picture read it alike.
inline int32_t wordSampleValue(const ImageState& image, uint32_t word) {
    const uint32_t value = word & image.pixelMask;
    if (value & image.signBit) return int32_t(value) - int32_t(image.pixelMask + 1);
    return int32_t(value);
}

// Widens low and high to take in the values of count little-endian words, each read as
// wordSampleValue reads it.
void widenByWords(const ImageState& image, const uint8_t* words, uint32_t count, int32_t& low, int32_t& high);

// The 8-bit output of sample value sample through the window, before the XOR mask. The
// windowSpan of the current rendering must be set (prepareWindowForRendering).
uint32_t mapThroughWindow(const WindowState& w, int32_t sample);

// Recomputes outputXorMask, displayStride and windowSpan for a rendering.
void prepareWindowForRendering(Viewer& v);

// Makes sure the display buffer holds at least bytes bytes.
void ensureDisplayCapacity(Viewer& v, size_t bytes);

// Renders the current frame into the display buffer, updates the Reset Contrast picture and
// repaints the image window.
void renderFrame(Viewer& v);

// The JPEG path: windows the first byte of each pixel of the current picture; false (nothing
// drawn) when there is no picture of the current frame.
bool renderPictureFrame(Viewer& v);

// Clears the current frame's rows of the display buffer, so the frame paints blank.
void blankDisplay(Viewer& v);

// Maps every sample of the current uncompressed frame through the window into dest, rows of
// stride bytes (stride >= columns). The window must be prepared. Bytes between columns and
// stride are left alone.
void mapUncompressedFrame(const Viewer& v, uint8_t* dest, size_t stride);

// The window table of the current image and prepared window (one entry per masked stored
// word), or an empty one for depths beyond 16 bits, whose samples are mapped one by one.
std::vector<uint8_t> windowTableOfFrame(const Viewer& v);

// As mapUncompressedFrame, for rowCount rows from firstRow on (cut at the frame's last row),
// through table (windowTableOfFrame), so that a frame mapped in slices builds it once.
void mapUncompressedRows(const Viewer& v, const std::vector<uint8_t>& table, uint32_t firstRow, uint32_t rowCount,
                         uint8_t* dest, size_t stride);

// The current uncompressed frame's samples where they lie in the file buffer, when they are
// already the little-endian words storedWordsOfFrame gives (16 bits, little endian, inside
// the buffer); else nullptr.
const uint8_t* storedWordsInPlace(const Viewer& v);

// The low 16 bits of every sample value of the current uncompressed frame, as little-endian
// words, packed, into dest (2 * pixelsPerFrame bytes).
void storedWordsOfFrame(const Viewer& v, uint8_t* dest);

// Grey palette of the display picture: entry i is red = green = blue = i (as 0xAARRGGBB).
std::array<uint32_t, 256> greyPalette();

}  // namespace vs
