#include "core/image_gestures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vs {

namespace {

// Truncation toward zero into 32 bits, as every double-to-integer step of the drag takes it.
int32_t truncated(double value) { return int32_t(value); }

}  // namespace

DisplayWindow dragWindow(DisplayWindow w, int dx, int dy, double scale, bool inverted) {
    const double a = double(int16_t(dx)) * scale;
    const double b = double(int16_t(dy)) * scale;
    const double shift = inverted ? a : -a;
    return {truncated(truncated(w.low + shift) + b), truncated(truncated(w.high + shift) - b)};
}

int32_t titleWindowValue(const ImageState& image, int32_t stored) {
    return truncated(double(stored) * image.rescaleSlope + image.rescaleIntercept);
}

std::string windowedTitle(const ImageState& image, DisplayWindow w) {
    char title[80];
    std::snprintf(title, sizeof title, "Dicom Image - Windowed %d to %d", titleWindowValue(image, w.low),
                  titleWindowValue(image, w.high));
    return title;
}

std::string frameTitle(uint32_t frameCount, uint32_t frame) {
    if (frameCount <= 1) return "Dicom Image";
    return "Dicom Image - Frame " + std::to_string(frame + 1);
}

PanPoint panUnits(int x, int y, int scrollX, int scrollY, double zoom) {
    if (zoom > 0.9) return {truncated(double(x + scrollX) / zoom), truncated(double(y + scrollY) / zoom)};
    return {x + scrollX, y + scrollY};
}

int panScrollPosition(int scroll, int point, int anchor, int range) {
    return std::clamp(scroll - point + anchor, 0, std::max(range, 0));
}

int16_t middleBrowseOffset(int pressY, int y) {
    const int16_t d = int16_t(y - pressY);
    if (std::abs(d) <= middleDeadZone) return 0;
    return int16_t(d < 0 ? d + middleDeadZone : d - middleDeadZone);
}

int middleBrowsePeriodMs(int16_t offset) {
    const int period = middleBrowseSlowestMs - std::abs(int(offset));
    return period < 1 ? 1 : period;
}

std::optional<Cursor> imageWindowCursor(GestureEvent event, bool loading, bool middleDragging) {
    if (loading) return middleDragging ? Cursor::sizeNorthSouth : Cursor::wait;
    if (middleDragging) return std::nullopt;
    switch (event) {
    case GestureEvent::contrast: return Cursor::cross;
    case GestureEvent::pan: return Cursor::sizeAll;
    case GestureEvent::other: return Cursor::arrow;
    }
    return Cursor::arrow;
}

}  // namespace vs
