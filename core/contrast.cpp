// Range scan, windowing presets and the contrast commands.
#include "core/contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/render.h"

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

}  // namespace

void scanDataRange(Viewer& v) {
    const SampleRange range = frameSource(v).sampleRange(v.currentFrame);
    v.window.dataMin = range.low;
    v.window.dataMax = range.high;
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
