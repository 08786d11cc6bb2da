// Zoom arithmetic of the image window.
#pragma once

#include "core/viewer.h"

namespace vs {

double zoomOfIndex(int index);
int indexOfZoom(double zoom);

// Chooses the zoom that fits the image on the screen and selects it in the zoom list.
void chooseAutomaticZoom(Viewer& v);

}  // namespace vs
