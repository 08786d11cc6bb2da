// The display window and the frame's sample range.
#pragma once

#include <cstdint>

namespace vs {

inline constexpr int32_t rangeStartMin = 2000000000;
inline constexpr int32_t rangeStartMax = -2000000000;

enum WindowPreset : uint16_t {
    presetContrastStretch = 0,
    presetStoredSettings = 1,
    presetCtLung = 2,
    presetCtBone = 3,
    presetCtChest = 4,
    presetCtSoftTissue = 5,
    presetCtBrain = 6,
};

struct WindowState {
    int32_t windowLow = 0;
    int32_t windowHigh = 255;
    uint32_t windowSpan = 255;
    int32_t dataMin = rangeStartMin;
    int32_t dataMax = rangeStartMax;
    uint32_t negativeMask = 0;
    uint32_t outputXorMask = 0;
    uint32_t displayStride = 4;
    uint16_t windowPreset = presetStoredSettings;
    uint16_t autoWindowing = 1;
};

}  // namespace vs
