// The viewer's display window, the frame's sample range, and the switches that choose them.
#pragma once

#include <cstdint>

#include "dicom/presets.h"
#include "dicom/windowing.h"

namespace vs {


struct WindowState {
    int32_t windowLow = 0;
    int32_t windowHigh = 255;
    uint32_t windowSpan = 255;
    int32_t dataMin = rangeStartMin;
    int32_t dataMax = rangeStartMax;
    bool negative = false;  // Negative Image: pictures inverted (again, for MONOCHROME1)
    uint32_t displayStride = 4;
    uint16_t windowPreset = presetStoredSettings;
    bool autoWindowing = true;
};

}  // namespace vs
