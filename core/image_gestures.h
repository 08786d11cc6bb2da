// The arithmetic of the image window's mouse gestures, as functions of values: the contrast
// drag, panning, the middle-button browse, the window's titles and its cursor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/host.h"
#include "dicom/image_state.h"
#include "dicom/windowing.h"

namespace vs {

// Sample units per pixel of mouse movement before any image is loaded; each load sets it to
// the frame's data range / 768, so a 768-pixel drag moves the window by the whole range.
inline constexpr double startContrastDragScale = 2.0;

// The window after a left drag of (dx, dy) pixels. Right moves the window down (a brighter
// picture), down narrows it from both ends (more contrast). On an inverted picture the shift
// goes the other way, so moving right still brightens. There are no limits: narrowing past
// zero leaves low above high, which renders as a hard threshold at low.
DisplayWindow dragWindow(DisplayWindow w, int dx, int dy, double scale, bool inverted);

// A window value as the title shows it: in rescaled units, truncated toward zero.
int32_t titleWindowValue(const ImageState& image, int32_t stored);

// "Dicom Image - Windowed %d to %d" during a contrast drag.
std::string windowedTitle(const ImageState& image, DisplayWindow w);
// "Dicom Image - Frame %d" for images of more than one frame, else "Dicom Image".
std::string frameTitle(uint32_t frameCount, uint32_t frame);

// A client point in pan units: image pixels above zoom 0.9, display pixels at 0.25 and 0.5.
struct PanPoint {
    int x = 0;
    int y = 0;
};
PanPoint panUnits(int x, int y, int scrollX, int scrollY, double zoom);

// The new scroll position of one direction during a pan: scroll - point + anchor, kept within
// 0..range.
int panScrollPosition(int scroll, int point, int anchor, int range);

// Vertical distance of the middle drag beyond its 5-pixel dead zone (0 inside it).
inline constexpr int middleDeadZone = 5;
int16_t middleBrowseOffset(int pressY, int y);
// Milliseconds until the next browse step: 180 - |offset|, at least 1.
inline constexpr int middleBrowseSlowestMs = 180;
int middleBrowsePeriodMs(int16_t offset);

// What the image window's cursor becomes for a mouse event, or nothing (unchanged): the
// cross for a left press or contrast drag, the four-way arrow for a right press or pan, the
// arrow for anything else; the wait cursor while a file loads (the north-south arrow when a
// middle drag is under way), and no change during a middle drag.
enum class GestureEvent { contrast, pan, other };
std::optional<Cursor> imageWindowCursor(GestureEvent event, bool loading, bool middleDragging);

}  // namespace vs
