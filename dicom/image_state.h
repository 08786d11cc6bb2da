// The one record of the image now in memory, and the limits that guard it.
#pragma once

#include <cstdint>
#include <optional>

namespace vs {

// How the frames are stored. By default only the first four occur, and lossless JPEG only
// during the header scan, which refuses it; the others come with every compression read
// (Decoders::allCompressions), each decoded to stored samples.
enum CompressionKind : uint16_t {
    compressionNone = 0,
    compressionJpeg = 1,          // baseline/extended JPEG, decoded by the platform as a picture
    compressionLosslessJpeg = 2,  // lossless JPEG (process 14)
    compressionRle = 3,
    compressionJpegSamples = 4,   // a DCT JPEG stream decoded to samples (12-bit, or not 8 allocated)
    compressionJpegLs = 5,
    compressionJpeg2000 = 6,
    compressionHtj2k = 7,
    compressionDeflate = 8,       // deflated explicit VR little endian, inflated when read
};

// The codec that decodes a kind's frames, as messages name it ("JPEG", "JPEG-LS", "JPEG 2000",
// "HTJ2K"); null for kinds whose frames need none.
const char* codecOf(uint16_t compression);

inline constexpr uint32_t smallestFileBytes = 300;
inline constexpr int64_t largestFileBytes = 3000000000LL;
inline constexpr uint32_t largestPixelsPerFrame = 36000000;  // a frame must have fewer samples
inline constexpr uint32_t headerScanBytes = 240000;
inline constexpr uint32_t headerScanGiveUp = 80000;  // offsets in a row without an accepted element
inline constexpr uint32_t spareRoomBytes = 20000000;  // zero bytes behind every loaded file
inline constexpr uint32_t frameTableEntries = 65536;
inline constexpr uint32_t mostFrames = frameTableEntries - 1;  // the entry after the last frame ends it
inline constexpr uint32_t pixelDataAllowance = 1024;  // extra bytes some writers leave after the frames

struct ImageState {
    uint32_t frameCount = 1;
    uint16_t bitsAllocated = 8;
    uint16_t columns = 1;
    uint16_t rows = 1;
    uint32_t pixelsPerFrame = 0;
    uint32_t pixelMask = 0;
    uint32_t signBit = 0;
    // (0028,0004) MONOCHROME1: the lowest value is white, so every picture is inverted.
    bool monochrome1 = false;
    bool bigEndian = false;
    uint16_t compression = compressionNone;
    uint32_t pixelDataOffset = 0;
    uint32_t fileLength = 0;
    // Stored values v stand for v * rescaleSlope + rescaleIntercept (CT: Hounsfield units).
    double rescaleIntercept = 0.0;
    double rescaleSlope = 1.0;
    // (0028,1050) and (0028,1051), when the file gives them.
    std::optional<float> storedWindowCenter;
    std::optional<float> storedWindowWidth;
    // (0028,0103): 0 unsigned, 1 signed, -1 when the file does not say.
    int16_t pixelRepresentation = -1;
    // (0028,0101), 0 when the file does not say. Only decoded samples are read by it.
    uint16_t bitsStored = 0;
};

// pixelMask by bitsAllocated / 4; depths of 24 bits and more are refused by the header scan.
inline constexpr uint32_t pixelMaskTable[6] = {0x0, 0xF, 0xFF, 0xFFF, 0xFFFF, 0xFFFFF};

}  // namespace vs
