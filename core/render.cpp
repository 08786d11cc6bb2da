#include "core/render.h"

#include <algorithm>
#include <cstring>

namespace vs {

FrameSource& frameSource(Viewer& v) {
    if (!v.source || v.sourceGeneration != v.dicom.bytes.generation() ||
        v.sourceCompression != v.dicom.image.compression) {
        v.source = frameSourceFor(v.dicom, v.decoders);
        v.source->bandOn(v.bands);
        v.sourceGeneration = v.dicom.bytes.generation();
        v.sourceCompression = v.dicom.image.compression;
    }
    return *v.source;
}

void prepareWindowForRendering(Viewer& v) {
    WindowState& w = v.window;
    w.displayStride = displayStrideFor(v.dicom.image.columns);
    w.windowSpan = uint32_t(w.windowHigh) - uint32_t(w.windowLow);
    if (w.windowSpan == 0) w.windowSpan = 1;
}

WindowMapping currentWindowMapping(const Viewer& v) {
    return windowMapping(v.window.windowLow, v.window.windowHigh, picturesInverted(v));
}

void ensureDisplayCapacity(Viewer& v, size_t bytes) {
    if (v.display.size() < bytes) v.display.resize(bytes);
}

void renderFrame(Viewer& v) {
    prepareWindowForRendering(v);
    WindowState& w = v.window;
    const size_t bytes = size_t(v.dicom.image.rows) * w.displayStride;
    ensureDisplayCapacity(v, bytes);
    const WindowedFrame drawn = frameSource(v).windowRows(v.currentFrame, currentWindowMapping(v), 0,
                                                          v.dicom.image.rows, v.display.data(), w.displayStride);
    // A frame with nothing to draw (a JPEG frame that was not decoded, depths the picture
    // paths do not draw) paints blank rather than keeping the previous file's picture.
    if (!drawn.drawn) std::memset(v.display.data(), 0, bytes);
    if (drawn.seen && drawn.widens) {
        w.dataMin = std::min(w.dataMin, drawn.seen->low);
        w.dataMax = std::max(w.dataMax, drawn.seen->high);
    } else if (drawn.seen) {
        w.dataMin = drawn.seen->low;
        w.dataMax = drawn.seen->high;
    }

    if (!v.animationPlaying) v.host->showWindowAtDataRange(w.windowLow == w.dataMin && w.windowHigh == w.dataMax);
    v.host->repaintImageWindow();
}

}  // namespace vs
