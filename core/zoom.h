// Zoom arithmetic of the image window, over the one table of zoom steps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/viewer.h"

namespace vs {

// The zoom list, in its order: display pixels per image pixel and the entry's text.
struct ZoomStep {
    double factor;
    const char* text;
};
inline constexpr ZoomStep zoomSteps[] = {{0.25, "25%"}, {0.5, "50%"}, {1, "100%"}, {2, "200%"}, {3, "300%"}, {4, "400%"}};
inline constexpr int zoomStepCount = int(std::size(zoomSteps));
inline constexpr int zoomStartIndex = 2;  // "100%"

// The factor of a list entry (the first for an index below the list, the last above it), and
// the entry of a factor (the nearest step at or below it).
double zoomOfIndex(int index);
int indexOfZoom(double zoom);

// The largest zoom of the list at which an image fits: 100 by 150 pixels of the screen are
// kept free for the window's frame and the desktop, and the width stays within the room.
double automaticZoom(uint32_t columns, uint32_t rows, const ViewArea& area);

// Sets the automatic zoom for the image and selects it in the zoom list.
void chooseAutomaticZoom(Viewer& v, const ViewArea& area);

}  // namespace vs
