// Files in deflated explicit VR little endian (PS3.5 A.5): the meta group as usual, then the
// data set compressed with raw deflate. Reading one inflates its data set behind its meta
// group, so that the header walk and every later reading see an uncompressed file.
#pragma once

#include <cstdint>
#include <optional>

#include "dicom/dicom_image.h"
#include "dicom/inflater.h"
#include "dicom/read_file.h"

namespace vs {

// Where the deflated data set starts: right after the meta group, when the meta group (in its
// place after the preamble and "DICM") names the deflated transfer syntax.
std::optional<uint32_t> deflatedDataSetStart(const DicomImage& dicom);

// Replaces the buffer's file (dicom.image.fileLength bytes, whose data set starts at start)
// by its meta group followed by the inflated data set, telling its progress when large and
// stopping when the observer asks. statusLoaded, or statusAborted, statusTooBig when the file
// would grow to mostBytes or more, statusUnsupported when the stream is damaged or cut short.
LoadStatus inflateDataSet(DicomImage& dicom, uint32_t start, Inflater& inflater, ReadObserver& observer, bool large,
                          uint64_t mostBytes = uint64_t(largestFileBytes));

}  // namespace vs
