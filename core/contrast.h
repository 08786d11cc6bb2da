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
void presetCommand(Viewer& v, int commandId);
void negativeImageCommand(Viewer& v);
void setAutoWindowing(Viewer& v, bool on);
void resetContrast(Viewer& v);

// The command id of a preset, and the preset of a command id (-1 when none).
int presetCommandId(uint16_t preset);
int presetOfCommand(int commandId);

}  // namespace vs
