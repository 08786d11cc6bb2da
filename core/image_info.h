// The panel's Patient, Date, Study, Image and Pixsize lines, and the rescale and stored window.
#pragma once

#include "core/viewer.h"

namespace vs {

inline constexpr uint32_t infoSearchBytes = 9000;

// Reads the rescale and the stored window into the image record (no panel text).
void readRescaleAndWindow(Viewer& v);

// Reads the descriptive elements and writes the five panel lines; also reads the rescale
// and the stored window.
void fillImageInfo(Viewer& v);

}  // namespace vs
