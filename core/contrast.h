// Where the display window lies when nobody drags it: range scan, presets, negative image.
#pragma once

#include <cstdint>

#include "core/viewer.h"

namespace vs {

// Sets dataMin/dataMax for the current frame.
void scanDataRange(Viewer& v);

// Sets the window from windowPreset and, when the image window is visible, renders.
void applyWindowPreset(Viewer& v);

// Menu commands and panel controls.
void choosePreset(Viewer& v, uint16_t preset);
void negativeImageCommand(Viewer& v);
void setAutoWindowing(Viewer& v, bool on);
void resetContrast(Viewer& v);

}  // namespace vs
