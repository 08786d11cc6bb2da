// What a file says of its patient, study and image, as the five lines the viewer shows and
// the converter prints; and the rescale and the stored window that the presets use.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dicom/dicom_image.h"
#include "dicom/frame_source.h"

namespace vs {

// The elements are searched in the file's first 9,000 bytes.
inline constexpr uint32_t infoSearchBytes = 9000;

// Rescale slope and intercept: stored values v stand for v * slope + intercept.
struct Rescale {
    double slope = 1.0;
    double intercept = 0.0;
};

// The element values behind the lines, as the file gives them: empty texts and absent
// numbers where it does not.
struct DescribedValues {
    std::string patientName, birthDate, patientId;
    std::string studyDate, studyTime;  // the time without fractional seconds
    std::string instanceNumber;
    std::string studyDescription, protocol;  // description: else body part, else scan options
    std::vector<double> pixelSpacing;        // the numbers of the element the Pixsize line shows
    std::optional<double> sliceLocation;
    std::optional<Rescale> rescale;          // both elements, or none
};

struct ImageDescription {
    std::string patient;  // name, birth date and ID
    std::string date;     // study date and time, and the instance number
    std::string study;    // description (or body part, or scan options) and protocol
    std::string image;    // columns x rows, bits, frames and compression
    std::string pixsize;  // pixel spacing, slice thickness and spacing, and slice location
    float sliceThickness = 0.0f;  // 0 when the file gives no number
    float sliceSpacing = 0.0f;
    DescribedValues values;
};

// Appended to the Image line when the frame shown, of codec (codecOf), cannot be decoded:
// "<JPEG frame cannot be decoded>", "<JPEG-LS frame cannot be decoded>".
std::string undecodableFrameNoteOf(const char* codec);

// The lines of the file; frames reads it, to tell on the Image line when the frame shown
// cannot be decoded.
ImageDescription describeImage(const DicomImage& dicom, FrameSource& frames, uint32_t frameShown = 0);

// The file size line: "Filesize: %d KB".
std::string fileSizeLine(uint64_t length);

// The rescale when the file gives both of its elements.
std::optional<Rescale> readRescale(const DicomImage& dicom);

// Reads the rescale (both values, or slope 1 and intercept 0) and the stored window center
// and width into the image record.
void readRescaleAndWindow(DicomImage& dicom);

}  // namespace vs
