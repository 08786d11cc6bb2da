// Deciding whether the bytes of a file are an image we can show, and where its frames lie.
#pragma once

#include <cstdint>

#include "dicom/dicom_image.h"
#include "dicom/load_status.h"

namespace vs {

// Looks for the image elements in the first 240,000 bytes, in both byte orders, and fills the
// image record. statusLoaded when the file is accepted; else why not (the record is then
// partly filled and means nothing): statusUnsupported for files that are not greyscale images
// of a depth we read, statusUnsupportedEncoding for a transfer syntax (or JPEG of a depth)
// that is not read, statusTooBigDimensions for more frames than the frame table holds. With
// allCompressions the transfer syntaxes decoded to samples are accepted too (Decoders).
LoadStatus scanHeader(DicomImage& dicom, bool allCompressions = false);

// Fills the frame table for the pixel data the scan found; returns the number of frames.
uint32_t buildFrameOffsets(DicomImage& dicom);

// buildFrameOffsets into the image record's frame count; false when no frame was found. With
// allCompressions a JPEG file whose first frame is no 8-bit picture becomes one decoded to
// samples (lossless, or DCT samples), its frames found item by item.
bool locateFrames(DicomImage& dicom, bool allCompressions = false);

}  // namespace vs
