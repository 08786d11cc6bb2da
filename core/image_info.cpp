#include "core/image_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/render.h"
#include "dicom/element_search.h"

namespace vs {

namespace {

// One element's value as text, searched in the first 9,000 bytes of the file.
class InfoReader {
public:
    explicit InfoReader(const Viewer& v) : v_(v) {}

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
        const uint8_t result = findElement(tagOf(group, element), vrOf(vr), v_.dicom.bytes.data(), infoSearchBytes, out,
                                           outSize, v_.dicom.image.bigEndian != 0, v_.dicom.bytes.size());
        return {result, std::string(out)};
    }

private:
    const Viewer& v_;
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

void readRescale(Viewer& v, const InfoReader& in) {
    ImageState& image = v.dicom.image;
    image.rescaleFlags = 0;
    const std::string intercept = in.text(0x0028, 0x1052, "DS");
    const std::string slope = in.text(0x0028, 0x1053, "DS");
    if (!intercept.empty()) {
        image.rescaleIntercept = std::atof(intercept.c_str());
        image.rescaleFlags |= 1;
    }
    if (!slope.empty()) {
        image.rescaleSlope = std::atof(slope.c_str());
        image.rescaleFlags |= 2;
    }
    // One of the two alone is ignored.
    if (image.rescaleFlags != 3) {
        image.rescaleSlope = 1.0;
        image.rescaleIntercept = 0.0;
        image.rescaleFlags = 3;
    }
}

void readStoredWindow(Viewer& v, const InfoReader& in) {
    ImageState& image = v.dicom.image;
    image.fileWindowFlags = 0;
    if (readFloat(in.text(0x0028, 0x1050, "DS"), image.fileWindowCenter)) image.fileWindowFlags |= 1;
    if (readFloat(in.text(0x0028, 0x1051, "DS"), image.fileWindowWidth)) image.fileWindowFlags |= 2;
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

std::string pixsizeLine(const Viewer& v, const InfoReader& in, const std::string& sliceLocation) {
    InfoReader::Value spacing = in.read(0x0028, 0x0030, "DS");
    if (!spacing.result) spacing = in.read(0x0018, 0x1164, "DS");  // imager pixel spacing
    if (!spacing.result) spacing = in.read(0x0018, 0x1050, "DS");  // spatial resolution
    if (!spacing.result) spacing = in.read(0x0018, 0x1403, "DS");
    if (spacing.text.empty()) return "";

    float spacing1 = 0.0f, spacing2 = 0.0f;
    const int numbers = std::sscanf(spacing.text.c_str(), "%g\\%g", &spacing1, &spacing2);
    if (numbers == 1) return format("%.4f mm", double(spacing1));
    if (numbers != 2) return "";

    const double thickness = v.sliceThickness, between = v.sliceSpacing;
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

void readRescaleAndWindow(Viewer& v) {
    const InfoReader in(v);
    readRescale(v, in);
    readStoredWindow(v, in);
}

void fillImageInfo(Viewer& v) {
    const InfoReader in(v);
    readRescale(v, in);

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

    v.sliceThickness = floatOrZero(in.text(0x0018, 0x0050, "DS"));
    v.sliceSpacing = floatOrZero(in.text(0x0018, 0x0088, "DS"));
    readStoredWindow(v, in);

    Host& host = *v.host;
    std::string image = imageLine(v.dicom.image);
    if (v.dicom.image.compression == compressionJpeg && !frameSource(v).unreadableReason(v.currentFrame).empty())
        image += std::string("  ") + undecodableFrameNote;
    host.setPanelText(controlImageLine, skipLeadingSpaces(image));
    host.setPanelText(controlPixsizeLine, skipLeadingSpaces(pixsizeLine(v, in, sliceLocation)));
    host.setPanelText(controlDateLine, skipLeadingSpaces(dateLine(in, instanceNumber)));
    host.setPanelText(controlPatientLine, skipLeadingSpaces(patient));
    host.setPanelText(controlStudyLine, skipLeadingSpaces(study + " " + protocol));
}

}  // namespace vs
