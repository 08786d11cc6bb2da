// What a file says of its patient, study and image, as the five lines the viewer shows and
// the converter prints; and the rescale and the stored window that the presets use.
#pragma once

#include <string>

#include "dicom/dicom_image.h"
#include "dicom/frame_source.h"

namespace vs {

// The elements are searched in the file's first 9,000 bytes.
inline constexpr uint32_t infoSearchBytes = 9000;

struct ImageDescription {
    std::string patient;  // name, birth date and ID
    std::string date;     // study date and time, and the instance number
    std::string study;    // description (or body part, or scan options) and protocol
    std::string image;    // columns x rows, bits, frames and compression
    std::string pixsize;  // pixel spacing, slice thickness and spacing, and slice location
    float sliceThickness = 0.0f;  // 0 when the file gives no number
    float sliceSpacing = 0.0f;
};

// Appended to the Image line when the JPEG frame shown cannot be decoded.
inline constexpr const char* undecodableFrameNote = "<JPEG frame cannot be decoded>";

// The lines of the file; frames reads it, to tell on the Image line when the JPEG frame shown
// cannot be decoded.
ImageDescription describeImage(const DicomImage& dicom, FrameSource& frames, uint32_t frameShown = 0);

// The file size line: "Filesize: %d KB".
std::string fileSizeLine(uint64_t length);

// Reads the rescale (both values, or slope 1 and intercept 0) and the stored window center
// and width into the image record.
void readRescaleAndWindow(DicomImage& dicom);

}  // namespace vs
