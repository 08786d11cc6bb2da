#include "core/zoom.h"

namespace vs {

// Zoom list entries: 25%, 50%, 100%, 200%, 300%, 400%.
double zoomOfIndex(int index) {
    if (index == 0) return 0.25;
    if (index == 1) return 0.5;
    return index - 1;
}

int indexOfZoom(double zoom) {
    if (zoom == 0.25) return 0;
    if (zoom == 0.5) return 1;
    return int(zoom) + 1;
}

double automaticZoom(uint32_t columns, uint32_t rows, int screenWidth, int screenHeight) {
    const double byWidth = double(screenWidth - 100) / columns;
    const double byHeight = double(screenHeight - 150) / rows;
    const double z = byWidth < byHeight ? byWidth : byHeight;
    if (z < 0.5) return 0.25;
    if (z < 1.0) return 0.5;
    if (z <= 3.99999) return int(z);
    return 4;
}

void chooseAutomaticZoom(Viewer& v, int screenWidth, int screenHeight) {
    v.zoomFactor = automaticZoom(v.dicom.image.columns, v.dicom.image.rows, screenWidth, screenHeight);
    v.host->selectZoomIndex(indexOfZoom(v.zoomFactor));
}

}  // namespace vs
