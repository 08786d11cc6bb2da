// Deciding whether the bytes of a file are an image we can show, and where its frames lie.
#pragma once

#include <cstdint>

#include "dicom/dicom_image.h"

namespace vs {

// Looks for the image elements in the first 240,000 bytes, in both byte orders, and fills the
// image record. True when the file is accepted; false for files that are not greyscale images
// of a depth and encoding we read (the record is then partly filled and means nothing).
bool scanHeader(DicomImage& dicom);

// Fills the frame table for the pixel data the scan found; returns the number of frames.
uint32_t buildFrameOffsets(DicomImage& dicom);

// buildFrameOffsets into the image record's frame count; false when no frame was found.
bool locateFrames(DicomImage& dicom);

}  // namespace vs
