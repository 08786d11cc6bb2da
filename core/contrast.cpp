// Range scan, windowing presets and the contrast commands.
#include "core/contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/render.h"

namespace vs {

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

void choosePreset(Viewer& v, uint16_t preset) {
    if (preset >= presetCount) return;
    v.window.windowPreset = preset;
    v.host->showPreset(preset);
    if (v.window.autoWindowing) applyWindowPreset(v);
}

void negativeImageCommand(Viewer& v) {
    v.window.negative = !v.window.negative;
    v.host->showNegative(v.window.negative);
    if (v.host->imageWindowVisible()) renderFrame(v);
}

void setAutoWindowing(Viewer& v, bool on) {
    v.window.autoWindowing = on ? 1 : 0;
    v.host->showAutomaticWindowing(on);
    if (on) applyWindowPreset(v);
}

void resetContrast(Viewer& v) { applyWindowPreset(v); }

}  // namespace vs
