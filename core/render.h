// The viewer's picture: the current frame windowed into the display buffer through the
// viewer's window, by the frame source of the file in memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/viewer.h"
#include "dicom/frame_source.h"
#include "dicom/windowing.h"

namespace vs {

// The source of the file in memory, made when first asked for after a load.
FrameSource& frameSource(Viewer& v);

// Recomputes displayStride and windowSpan for a rendering.
void prepareWindowForRendering(Viewer& v);

// Whether pictures show inverted: for a MONOCHROME1 image or a negative picture, not both.
inline bool picturesInverted(const Viewer& v) { return v.dicom.image.monochrome1 != v.window.negative; }

// The viewer's window as a rendering applies it (MONOCHROME1 and the negative picture invert).
WindowMapping currentWindowMapping(const Viewer& v);

// Makes sure the display buffer holds at least bytes bytes.
void ensureDisplayCapacity(Viewer& v, size_t bytes);

// Renders the current frame into the display buffer, updates the Reset Contrast picture and
// repaints the image window. A frame with nothing to draw paints blank. Where drawing tells
// the range of the frame's samples (RLE, JPEG), dataMin and dataMax follow it.
void renderFrame(Viewer& v);

}  // namespace vs
