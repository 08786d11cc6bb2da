// Range scan, windowing presets and the contrast commands.
#include "core/contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/render.h"
#include "core/rle.h"

namespace vs {
namespace {

inline constexpr int presetCount = 7;
inline constexpr int presetCommands[presetCount] = {
    commandContrastStretch, commandStoredSettings, commandCtLung,  commandCtBone,
    commandCtChest,         commandCtSoftTissue,   commandCtBrain,
};

// CT windows in rescaled units (Hounsfield units), by preset 2..6.
struct CtWindow {
    double low;
    double high;
};
inline constexpr CtWindow ctWindows[presetCount] = {
    {0, 0}, {0, 0}, {-1100, 150}, {-700, 1800}, {-135, 225}, {-100, 250}, {0, 90},
};

inline constexpr uint32_t rescaleValid = 3;
inline constexpr uint16_t fileWindowValid = 3;

// The range a sample of this depth can take: what is known of a frame whose samples are not
// read (compressed data that is not decoded here).
void nominalRange(Viewer& v) {
    const ImageState& image = v.dicom.image;
    if (image.signBit) {
        v.window.dataMin = -int32_t(image.signBit);
        v.window.dataMax = int32_t(image.signBit) - 1;
    } else {
        v.window.dataMin = 0;
        v.window.dataMax = int32_t(image.pixelMask);
    }
}

void widenBySamples(Viewer& v) {
    const ImageState& image = v.dicom.image;
    const uint32_t first = v.dicom.frameStart(v.currentFrame);
    int32_t low = rangeStartMin;
    int32_t high = rangeStartMax;
    const uint8_t* begin = v.dicom.bytes.data();
    const uint8_t* p = image.pixelData;
    const uint64_t readable = (begin && p && p >= begin && uint64_t(p - begin) < v.dicom.bytes.size())
                                  ? v.dicom.bytes.size() - uint64_t(p - begin)
                                  : 0;
    const uint64_t bytesNeeded = (uint64_t(image.bitsAllocated) * (uint64_t(first) + image.pixelsPerFrame) + 7) / 8;
    const bool inside = bytesNeeded <= readable;

    if (inside && image.bitsAllocated == 8) {
        uint8_t seen[256] = {};
        const uint8_t* s = p + first;
        for (uint32_t i = 0; i < image.pixelsPerFrame; ++i) seen[s[i]] = 1;
        for (int value = 0; value < 256; ++value) {
            if (!seen[value]) continue;
            const int32_t sample = int32_t(uint32_t(value) & image.pixelMask);
            low = std::min(low, sample);
            high = std::max(high, sample);
        }
    } else if (inside && image.bitsAllocated == 16 && !image.bigEndian) {
        widenByWords(image, p + 2 * size_t(first), image.pixelsPerFrame, low, high);
    } else {
        for (uint32_t i = 0; i < image.pixelsPerFrame; ++i) {
            const int32_t sample = sampleValue(v, first + i);
            low = std::min(low, sample);
            high = std::max(high, sample);
        }
    }
    v.window.dataMin = low;
    v.window.dataMax = high;
}

void widenByRle16(Viewer& v) {
    const uint8_t* words = decodedRleFrame16(v);
    if (words == nullptr) {
        nominalRange(v);
        return;
    }
    int32_t low = rangeStartMin;
    int32_t high = rangeStartMax;
    widenByWords(v.dicom.image, words, v.dicom.image.pixelsPerFrame, low, high);
    v.window.dataMin = low;
    v.window.dataMax = high;
}

}  // namespace

void scanDataRange(Viewer& v) {
    const ImageState& image = v.dicom.image;
    const bool compressed = image.compression == compressionRle || image.compression == compressionJpeg;
    if (compressed && image.bitsAllocated == 8) {
        v.window.dataMin = 0;
        v.window.dataMax = 255;
        return;
    }
    v.window.dataMin = rangeStartMin;
    v.window.dataMax = rangeStartMax;
    if (image.compression == compressionRle && image.bitsAllocated > 8) {
        widenByRle16(v);
    } else if (compressed) {
        // JPEG of other depths, or RLE below 8 bits: the data are not samples.
        nominalRange(v);
    } else {
        widenBySamples(v);
    }
}

int32_t storedFromRescaled(const ImageState& image, double value) {
    const double stored = std::trunc((value - image.rescaleIntercept) / image.rescaleSlope);
    if (std::isnan(stored)) return 0;
    if (stored <= double(INT32_MIN)) return INT32_MIN;
    if (stored >= double(INT32_MAX)) return INT32_MAX;
    return int32_t(stored);
}

void applyWindowPreset(Viewer& v) {
    const ImageState& image = v.dicom.image;
    WindowState& w = v.window;
    const uint16_t preset = w.windowPreset;
    const bool rescaleOk = image.rescaleFlags == rescaleValid;
    if (preset == presetContrastStretch ||
        (preset == presetStoredSettings && !(image.fileWindowFlags == fileWindowValid && rescaleOk))) {
        w.windowLow = w.dataMin;
        w.windowHigh = w.dataMax;
    } else if (preset == presetStoredSettings) {
        const double half = double(image.fileWindowWidth) * 0.5;
        w.windowLow = storedFromRescaled(image, double(image.fileWindowCenter) - half);
        w.windowHigh = storedFromRescaled(image, double(image.fileWindowCenter) + half);
    } else if (preset < presetCount && rescaleOk) {
        w.windowLow = storedFromRescaled(image, ctWindows[preset].low);
        w.windowHigh = storedFromRescaled(image, ctWindows[preset].high);
    }
    if (w.windowHigh < w.windowLow) std::swap(w.windowLow, w.windowHigh);  // a negative slope
    if (v.host->imageWindowVisible()) renderFrame(v);
}

void presetCommand(Viewer& v, int commandId) {
    const int preset = presetOfCommand(commandId);
    if (preset < 0) return;
    v.window.windowPreset = uint16_t(preset);
    for (int command : presetCommands) v.host->checkMenuItem(CommandId(command), false);
    v.host->checkMenuItem(CommandId(commandId), true);
    if (v.window.autoWindowing) applyWindowPreset(v);
}

void negativeImageCommand(Viewer& v) {
    v.window.negativeMask ^= 255;
    v.host->checkMenuItem(commandNegativeImage, v.window.negativeMask == 255);
    if (v.host->imageWindowVisible()) renderFrame(v);
}

void setAutoWindowing(Viewer& v, bool on) {
    v.window.autoWindowing = on ? 1 : 0;
    v.host->checkAutomaticWindowingMenu(on);
    if (on) applyWindowPreset(v);
}

void resetContrast(Viewer& v) { applyWindowPreset(v); }

int presetCommandId(uint16_t preset) { return preset < presetCount ? presetCommands[preset] : -1; }

int presetOfCommand(int commandId) {
    for (int preset = 0; preset < presetCount; ++preset)
        if (presetCommands[preset] == commandId) return preset;
    return -1;
}

}  // namespace vs
