#include "dicom/image_description.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dicom/element_search.h"

namespace vs {

namespace {

// One element's value as text, searched in the first 9,000 bytes of the file.
class InfoReader {
public:
    explicit InfoReader(const DicomImage& dicom) : dicom_(dicom) {}

    std::string text(uint16_t group, uint16_t element, const char (&vr)[3], uint16_t outSize = 256) const {
        return read(group, element, vr, outSize).text;
    }

    struct Value {
        uint8_t result;
        std::string text;
    };
    Value read(uint16_t group, uint16_t element, const char (&vr)[3], uint16_t outSize = 256) const {
        char out[257];
        out[outSize] = 0;
        const uint8_t result = findElement(tagOf(group, element), vrOf(vr), dicom_.bytes.data(), infoSearchBytes, out,
                                           outSize, dicom_.image.bigEndian != 0, dicom_.bytes.size());
        return {result, std::string(out)};
    }

private:
    const DicomImage& dicom_;
};

std::string skipLeadingSpaces(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

// A window value keeps only the characters of a number: a second value after a backslash and
// trailing letters are dropped.
std::string numberPart(const std::string& text) {
    size_t end = 0;
    while (end < text.size() && end < 256 && std::strchr("0123456789 +-Ee.,", text[end]) && text[end]) ++end;
    return text.substr(0, end);
}

bool readFloat(const std::string& rawText, float& out) {
    const std::string text = numberPart(rawText);
    if (text.empty()) return false;
    const std::string number = skipLeadingSpaces(text);
    return std::sscanf(number.c_str(), "%e", &out) == 1 || std::sscanf(number.c_str(), "%g", &out) == 1;
}

// A slice thickness or spacing that gives no number counts as none.
float floatOrZero(const std::string& text) {
    float value = 0.0f;
    if (std::sscanf(text.c_str(), "%g", &value) != 1) value = 0.0f;
    return value;
}

// Both the intercept and the slope, or neither: one of the two alone is ignored.
void readRescale(ImageState& image, const InfoReader& in) {
    const std::string intercept = in.text(0x0028, 0x1052, "DS");
    const std::string slope = in.text(0x0028, 0x1053, "DS");
    const bool both = !intercept.empty() && !slope.empty();
    image.rescaleIntercept = both ? std::atof(intercept.c_str()) : 0.0;
    image.rescaleSlope = both ? std::atof(slope.c_str()) : 1.0;
}

std::optional<float> storedFloat(const InfoReader& in, uint16_t element) {
    float value = 0.0f;
    if (!readFloat(in.text(0x0028, element, "DS"), value)) return std::nullopt;
    return value;
}

std::string format(const char* pattern, auto... args) {
    char text[2048];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

std::string imageLine(const ImageState& image) {
    static const char* const suffixes[] = {"", ", Jpeg", ", Lossless Jpeg", ", Rle"};
    const char* suffix = image.compression < 4 ? suffixes[image.compression] : "";
    if (image.frameCount > 1)
        return format("%d x %d Pixels,  %d Bit,  %d Frames%s", image.columns, image.rows, image.bitsAllocated,
                      int(image.frameCount), suffix);
    return format("%d x %d Pixels,  %d Bit, 1 Frame%s", image.columns, image.rows, image.bitsAllocated, suffix);
}

std::string pixsizeLine(const InfoReader& in, float sliceThickness, float sliceSpacing, const std::string& sliceLocation) {
    InfoReader::Value spacing = in.read(0x0028, 0x0030, "DS");
    if (!spacing.result) spacing = in.read(0x0018, 0x1164, "DS");  // imager pixel spacing
    if (!spacing.result) spacing = in.read(0x0018, 0x1050, "DS");  // spatial resolution
    if (!spacing.result) spacing = in.read(0x0018, 0x1403, "DS");
    if (spacing.text.empty()) return "";

    float spacing1 = 0.0f, spacing2 = 0.0f;
    const int numbers = std::sscanf(spacing.text.c_str(), "%g\\%g", &spacing1, &spacing2);
    if (numbers == 1) return format("%.4f mm", double(spacing1));
    if (numbers != 2) return "";

    const double thickness = sliceThickness, between = sliceSpacing;
    std::string line;
    if (thickness != 0 && between != 0)
        line = format("%.4f\\%.4f\\%.2f\\%.2f mm", double(spacing1), double(spacing2), thickness, between);
    else if (thickness != 0 || between != 0)
        line = format("%.4f\\%.4f\\%.2f mm", double(spacing1), double(spacing2), thickness != 0 ? thickness : between);
    else if (spacing2 != 0)
        line = format("%.4f\\%.4f mm", double(spacing1), double(spacing2));
    else
        line = format("%.4f mm", double(spacing1));
    if (!sliceLocation.empty()) line += "  Pos:" + sliceLocation;
    return line;
}

std::string dateLine(const InfoReader& in, const std::string& instanceNumber) {
    std::string date = in.text(0x0008, 0x0020, "DA", 11);
    if (date.empty()) date = in.text(0x0008, 0x0022, "DA", 11);  // acquisition date
    std::string time = in.text(0x0008, 0x0030, "TM", 10);
    if (time.empty()) time = in.text(0x0008, 0x0032, "TM", 10);  // acquisition time
    // Fractional seconds are dropped: HHMMSS.FFFFFF shows as HHMMSS.
    for (size_t i = 6; i <= 9 && i < time.size(); ++i) {
        if (time[i] == '.') {
            time.resize(i);
            break;
        }
    }
    if (!instanceNumber.empty()) return date + " " + time + " Slice#:" + instanceNumber;
    return date + " " + time;
}

}  // namespace

std::string fileSizeLine(uint64_t length) {
    return format("Filesize: %llu KB", static_cast<unsigned long long>(length >> 10));
}

void readRescaleAndWindow(DicomImage& dicom) {
    const InfoReader in(dicom);
    ImageState& image = dicom.image;
    readRescale(image, in);
    image.storedWindowCenter = storedFloat(in, 0x1050);
    image.storedWindowWidth = storedFloat(in, 0x1051);
}

ImageDescription describeImage(const DicomImage& dicom, FrameSource& frames, uint32_t frameShown) {
    const InfoReader in(dicom);
    const std::string sliceLocation = in.text(0x0020, 0x1041, "DS");
    const std::string instanceNumber = in.text(0x0020, 0x0013, "IS", 10);
    std::string patient = in.text(0x0010, 0x0010, "PN");
    const std::string birthDate = in.text(0x0010, 0x0030, "DA", 11);
    const std::string patientId = in.text(0x0010, 0x0020, "LO");
    patient += "  " + birthDate + " " + patientId;

    // Study description, else body part examined, else scan options (both CS in DICOM).
    std::string study = in.text(0x0008, 0x1030, "LO");
    if (study.empty()) study = in.text(0x0018, 0x0015, "CS");
    if (study.empty()) study = in.text(0x0018, 0x0022, "CS");
    const std::string protocol = in.text(0x0018, 0x1030, "LO");

    ImageDescription d;
    d.sliceThickness = floatOrZero(in.text(0x0018, 0x0050, "DS"));
    d.sliceSpacing = floatOrZero(in.text(0x0018, 0x0088, "DS"));
    d.patient = skipLeadingSpaces(patient);
    d.date = skipLeadingSpaces(dateLine(in, instanceNumber));
    d.study = skipLeadingSpaces(study + " " + protocol);
    d.image = skipLeadingSpaces(imageLine(dicom.image));
    if (dicom.image.compression == compressionJpeg && !frames.unreadableReason(frameShown).empty())
        d.image += std::string("  ") + undecodableFrameNote;
    d.pixsize = skipLeadingSpaces(pixsizeLine(in, d.sliceThickness, d.sliceSpacing, sliceLocation));
    return d;
}

}  // namespace vs
