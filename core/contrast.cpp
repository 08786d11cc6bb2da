// Range scan, windowing presets and the contrast commands.
#include "core/contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/render.h"

namespace vs {
namespace {

inline constexpr int presetCommands[presetCount] = {
    commandContrastStretch, commandStoredSettings, commandCtLung,  commandCtBone,
    commandCtChest,         commandCtSoftTissue,   commandCtBrain,
};

}  // namespace

void scanDataRange(Viewer& v) {
    const SampleRange range = frameSource(v).sampleRange(v.currentFrame);
    v.window.dataMin = range.low;
    v.window.dataMax = range.high;
}

void applyWindowPreset(Viewer& v) {
    WindowState& w = v.window;
    const DisplayWindow chosen = presetWindow(v.dicom.image, {w.dataMin, w.dataMax}, w.windowPreset,
                                              {w.windowLow, w.windowHigh});
    w.windowLow = chosen.low;
    w.windowHigh = chosen.high;
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
