#include "dicom/image_description.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "dicom/element_search.h"

namespace vs {

namespace {

// The elements the lines show, searched in the first 9,000 bytes of the file.
class InfoReader {
public:
    explicit InfoReader(const DicomImage& dicom)
        : elements_(dicom.bytes.data(), dicom.bytes.size(), infoSearchBytes, dicom.image.bigEndian) {}

    ElementValue value(uint16_t group, uint16_t element, const char (&vr)[3], uint16_t mostBytes = largestValueRead) const {
        return elements_.value(tagOf(group, element), vr, mostBytes);
    }
    std::string text(uint16_t group, uint16_t element, const char (&vr)[3], uint16_t mostBytes = largestValueRead) const {
        return value(group, element, vr, mostBytes).text;
    }

private:
    ElementReader elements_;
};

std::string skipLeadingSpaces(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

// A window value keeps only the characters of a number: a second value after a backslash and
// trailing letters are dropped.
std::string numberPart(const std::string& text) {
    size_t end = 0;
    while (end < text.size() && std::strchr("0123456789 +-Ee.,", text[end]) && text[end]) ++end;
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
std::optional<Rescale> rescaleOf(const InfoReader& in) {
    const std::string intercept = in.text(0x0028, 0x1052, "DS");
    const std::string slope = in.text(0x0028, 0x1053, "DS");
    if (intercept.empty() || slope.empty()) return std::nullopt;
    return Rescale{std::atof(slope.c_str()), std::atof(intercept.c_str())};
}

// The numbers of a multi-valued DS, up to the first that does not parse.
std::vector<double> decimalNumbers(const std::string& text) {
    std::vector<double> numbers;
    const char* at = text.c_str();
    for (;;) {
        char* end = nullptr;
        const double value = std::strtod(at, &end);
        if (end == at) break;
        numbers.push_back(value);
        if (*end != '\\') break;
        at = end + 1;
    }
    return numbers;
}

std::optional<double> decimalNumber(const std::string& text) {
    const std::vector<double> numbers = decimalNumbers(text);
    if (numbers.empty()) return std::nullopt;
    return numbers.front();
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
    constexpr const char* suffixes[] = {"",       ", Jpeg",     ", Lossless Jpeg", ", Rle",    ", Jpeg",
                                        ", Jpeg-LS", ", Jpeg 2000", ", HTJ2K",         ", Deflate"};
    const char* suffix = image.compression < std::size(suffixes) ? suffixes[image.compression] : "";
    if (image.frameCount > 1)
        return format("%d x %d Pixels,  %d Bit,  %d Frames%s", image.columns, image.rows, image.bitsAllocated,
                      int(image.frameCount), suffix);
    return format("%d x %d Pixels,  %d Bit, 1 Frame%s", image.columns, image.rows, image.bitsAllocated, suffix);
}

// The pixel spacing, else the imager pixel spacing, else the spatial resolution, else
// (0018,1403).
ElementValue pixelSpacing(const InfoReader& in) {
    ElementValue spacing = in.value(0x0028, 0x0030, "DS");
    if (!spacing.found) spacing = in.value(0x0018, 0x1164, "DS");
    if (!spacing.found) spacing = in.value(0x0018, 0x1050, "DS");
    if (!spacing.found) spacing = in.value(0x0018, 0x1403, "DS");
    return spacing;
}

std::string pixsizeLine(const ElementValue& spacing, float sliceThickness, float sliceSpacing,
                        const std::string& sliceLocation) {
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

// HHMMSS.FFFFFF shows as HHMMSS: fractional seconds are dropped.
std::string timeWithoutFraction(std::string time) {
    for (size_t i = 6; i <= 9 && i < time.size(); ++i) {
        if (time[i] == '.') {
            time.resize(i);
            break;
        }
    }
    return time;
}

// The study date and time, else the acquisition ones.
void readDateAndTime(const InfoReader& in, DescribedValues& values) {
    values.studyDate = in.text(0x0008, 0x0020, "DA", 11);
    if (values.studyDate.empty()) values.studyDate = in.text(0x0008, 0x0022, "DA", 11);
    std::string time = in.text(0x0008, 0x0030, "TM", 10);
    if (time.empty()) time = in.text(0x0008, 0x0032, "TM", 10);
    values.studyTime = timeWithoutFraction(time);
}

std::string dateLine(const DescribedValues& values) {
    const std::string line = values.studyDate + " " + values.studyTime;
    return values.instanceNumber.empty() ? line : line + " Slice#:" + values.instanceNumber;
}

// Study description, else body part examined, else scan options (both CS in DICOM).
std::string studyDescription(const InfoReader& in) {
    std::string study = in.text(0x0008, 0x1030, "LO");
    if (study.empty()) study = in.text(0x0018, 0x0015, "CS");
    if (study.empty()) study = in.text(0x0018, 0x0022, "CS");
    return study;
}

}  // namespace

std::string undecodableFrameNoteOf(const char* codec) { return std::string("<") + codec + " frame cannot be decoded>"; }

std::string fileSizeLine(uint64_t length) {
    return format("Filesize: %llu KB", static_cast<unsigned long long>(length >> 10));
}

std::optional<Rescale> readRescale(const DicomImage& dicom) { return rescaleOf(InfoReader(dicom)); }

void readRescaleAndWindow(DicomImage& dicom) {
    const InfoReader in(dicom);
    ImageState& image = dicom.image;
    const Rescale rescale = rescaleOf(in).value_or(Rescale{});
    image.rescaleSlope = rescale.slope;
    image.rescaleIntercept = rescale.intercept;
    image.storedWindowCenter = storedFloat(in, 0x1050);
    image.storedWindowWidth = storedFloat(in, 0x1051);
}

ImageDescription describeImage(const DicomImage& dicom, FrameSource& frames, uint32_t frameShown) {
    const InfoReader in(dicom);
    ImageDescription d;
    DescribedValues& v = d.values;
    const std::string sliceLocation = in.text(0x0020, 0x1041, "DS");
    v.sliceLocation = decimalNumber(sliceLocation);
    v.instanceNumber = in.text(0x0020, 0x0013, "IS", 10);
    v.patientName = in.text(0x0010, 0x0010, "PN");
    v.birthDate = in.text(0x0010, 0x0030, "DA", 11);
    v.patientId = in.text(0x0010, 0x0020, "LO");
    v.studyDescription = studyDescription(in);
    v.protocol = in.text(0x0018, 0x1030, "LO");
    readDateAndTime(in, v);
    const ElementValue spacing = pixelSpacing(in);
    v.pixelSpacing = decimalNumbers(spacing.text);
    v.rescale = rescaleOf(in);

    d.sliceThickness = floatOrZero(in.text(0x0018, 0x0050, "DS"));
    d.sliceSpacing = floatOrZero(in.text(0x0018, 0x0088, "DS"));
    d.patient = skipLeadingSpaces(v.patientName + "  " + v.birthDate + " " + v.patientId);
    d.date = skipLeadingSpaces(dateLine(v));
    d.study = skipLeadingSpaces(v.studyDescription + " " + v.protocol);
    d.image = skipLeadingSpaces(imageLine(dicom.image));
    if (const char* codec = codecOf(dicom.image.compression); codec && !frames.unreadableReason(frameShown).empty())
        d.image += "  " + undecodableFrameNoteOf(codec);
    d.pixsize = skipLeadingSpaces(pixsizeLine(spacing, d.sliceThickness, d.sliceSpacing, sliceLocation));
    return d;
}

}  // namespace vs
