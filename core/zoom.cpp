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

void chooseAutomaticZoom(Viewer& v) {
    const double byWidth = double(v.screenWidth - 100) / v.dicom.image.columns;
    const double byHeight = double(v.screenHeight - 150) / v.dicom.image.rows;
    const double z = byWidth < byHeight ? byWidth : byHeight;
    double zoom;
    if (z < 0.5) zoom = 0.25;
    else if (z < 1.0) zoom = 0.5;
    else if (z <= 3.99999) zoom = int(z);
    else zoom = 4;
    v.zoomFactor = zoom;
    v.host->selectZoomIndex(indexOfZoom(zoom));
}

}  // namespace vs
