// The display windows the presets choose: the frame's whole range, the window the file stores,
// or a CT window given in Hounsfield units.
#pragma once

#include <cstdint>

#include "dicom/image_state.h"
#include "dicom/windowing.h"

namespace vs {

enum WindowPreset : uint16_t {
    presetContrastStretch = 0,
    presetStoredSettings = 1,
    presetCtLung = 2,
    presetCtBone = 3,
    presetCtChest = 4,
    presetCtSoftTissue = 5,
    presetCtBrain = 6,
};
inline constexpr int presetCount = 7;

// Stored sample value of a value in rescaled units: (value - intercept) / slope, truncated
// toward zero, held inside the 32-bit range.
int32_t storedFromRescaled(const ImageState& image, double value);

// The window preset gives for a frame whose samples span range; current stays for a preset
// that is none of them. Stored settings without both a center and a width stretch the range.
// Low never ends above high (a negative slope turns a window round).
DisplayWindow presetWindow(const ImageState& image, const SampleRange& range, uint16_t preset, DisplayWindow current);

}  // namespace vs
