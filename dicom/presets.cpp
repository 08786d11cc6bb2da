#include "dicom/presets.h"

#include <cmath>
#include <utility>

namespace vs {
namespace {

// CT windows in rescaled units (Hounsfield units), by preset 2..6.
struct CtWindow {
    double low;
    double high;
};
inline constexpr CtWindow ctWindows[presetCount] = {
    {0, 0}, {0, 0}, {-1100, 150}, {-700, 1800}, {-135, 225}, {-100, 250}, {0, 90},
};

}  // namespace

int32_t storedFromRescaled(const ImageState& image, double value) {
    const double stored = std::trunc((value - image.rescaleIntercept) / image.rescaleSlope);
    if (std::isnan(stored)) return 0;
    if (stored <= double(INT32_MIN)) return INT32_MIN;
    if (stored >= double(INT32_MAX)) return INT32_MAX;
    return int32_t(stored);
}

DisplayWindow presetWindow(const ImageState& image, const SampleRange& range, uint16_t preset, DisplayWindow w) {
    const bool stored = image.storedWindowCenter && image.storedWindowWidth;
    if (preset == presetContrastStretch || (preset == presetStoredSettings && !stored)) {
        w = {range.low, range.high};
    } else if (preset == presetStoredSettings) {
        const double half = double(*image.storedWindowWidth) * 0.5;
        w.low = storedFromRescaled(image, double(*image.storedWindowCenter) - half);
        w.high = storedFromRescaled(image, double(*image.storedWindowCenter) + half);
    } else if (preset < presetCount) {
        w.low = storedFromRescaled(image, ctWindows[preset].low);
        w.high = storedFromRescaled(image, ctWindows[preset].high);
    }
    if (w.high < w.low) std::swap(w.low, w.high);
    return w;
}

}  // namespace vs
