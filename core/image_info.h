// The panel's Patient, Date, Study, Image and Pixsize lines, and the rescale and stored window.
#pragma once

#include "core/viewer.h"

namespace vs {

inline constexpr uint32_t infoSearchBytes = 9000;
// Appended to the Image line when the shown JPEG frame could not be decoded.
inline constexpr const char* undecodableFrameNote = "<JPEG frame cannot be decoded>";

// Reads the rescale and the stored window into the image record (no panel text).
void readRescaleAndWindow(Viewer& v);

// Reads the descriptive elements and writes the five panel lines; also reads the rescale
// and the stored window.
void fillImageInfo(Viewer& v);

}  // namespace vs
