// Zoom arithmetic of the image window.
#pragma once

#include "core/viewer.h"

namespace vs {

double zoomOfIndex(int index);
int indexOfZoom(double zoom);

// The largest zoom of the list at which an image fits a screen (100 by 150 pixels kept free
// for the panels and the window's frame).
double automaticZoom(uint32_t columns, uint32_t rows, int screenWidth, int screenHeight);

// Sets the automatic zoom for the image and selects it in the zoom list.
void chooseAutomaticZoom(Viewer& v, int screenWidth, int screenHeight);

}  // namespace vs
