#include "core/zoom.h"

#include <algorithm>

namespace vs {

namespace {

constexpr int screenKeptFreeX = 100;
constexpr int screenKeptFreeY = 150;
// Fits within a hair of 4 take the largest step, so that rounding cannot cost a whole step.
constexpr double largestStepFrom = 3.99999;

}  // namespace

double zoomOfIndex(int index) { return zoomSteps[std::clamp(index, 0, zoomStepCount - 1)].factor; }

int indexOfZoom(double zoom) {
    int index = 0;
    while (index + 1 < zoomStepCount && zoomSteps[index + 1].factor <= zoom) ++index;
    return index;
}

double automaticZoom(uint32_t columns, uint32_t rows, const ViewArea& area) {
    const double width = std::min(double(area.screenWidth - screenKeptFreeX), double(area.roomWidth));
    const double byWidth = width / columns;
    const double byHeight = double(area.screenHeight - screenKeptFreeY) / rows;
    const double z = std::min(byWidth, byHeight);
    if (z > largestStepFrom) return zoomSteps[zoomStepCount - 1].factor;
    return zoomOfIndex(indexOfZoom(z));
}

void chooseAutomaticZoom(Viewer& v, const ViewArea& area) {
    v.zoomFactor = automaticZoom(v.dicom.image.columns, v.dicom.image.rows, area);
    v.host->selectZoomIndex(indexOfZoom(v.zoomFactor));
}

}  // namespace vs
