#include "cli/info_command.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "cli/json_text.h"
#include "dicom/frame_source.h"
#include "dicom/image_description.h"
#include "dicom/read_file.h"
#include "platform/decoder_bundle.h"

namespace vs::cli {
namespace {

// The file size shows once the file has opened and is long enough to be an image.
class SizeOfReading : public ReadObserver {
public:
    void opened(uint64_t length, bool) override { bytes = length; }
    std::optional<uint64_t> bytes;
};

// What --info learns of one file.
struct FileInfo {
    LoadStatus status = statusLoaded;
    ImageDescription description;
    std::optional<uint64_t> bytes;
    std::unique_ptr<DicomImage> dicom;
};

FileInfo readInfo(const std::string& path, const Decoders& decoders) {
    FileInfo info;
    info.dicom = std::make_unique<DicomImage>();
    SizeOfReading reading;
    info.status = readDicomFile(path, *info.dicom, reading, decoders);
    info.bytes = reading.bytes;
    if (info.status == statusLoaded) {
        readRescaleAndWindow(*info.dicom);
        info.description = describeImage(*info.dicom, *frameSourceFor(*info.dicom, decoders));
    } else {
        info.description.patient = loadStatusText(info.status);
    }
    return info;
}

void printLine(const char* label, const std::string& text) { std::printf("  %s: %s\n", label, text.c_str()); }

void printLines(const std::string& path, const FileInfo& info) {
    const ImageDescription& d = info.description;
    std::printf("%s\n", path.c_str());
    printLine("Patient", d.patient);
    printLine("Date", d.date);
    printLine("Study", d.study);
    printLine("Image", d.image);
    printLine("Pixsize", d.pixsize);
    if (info.bytes) std::printf("  Filesize: %llu KB\n", static_cast<unsigned long long>(*info.bytes >> 10));
}

// A stable name for each reason a file is not shown.
const char* statusName(LoadStatus status) {
    switch (status) {
        case statusLoaded: return "ok";
        case statusUnsupported:
        case statusUnsupportedEncoding: return "unsupported";
        case statusTooShort: return "too-short";
        case statusTooBigDimensions: return "dimensions-too-big";
        case statusNoAccess: return "no-access";
        case statusReadError: return "read-error";
        case statusAborted: return "aborted";
        case statusTooBig: return "too-big";
        default: return "not-shown";
    }
}

const char* compressionName(uint16_t compression) {
    switch (compression) {
        case compressionJpeg:
        case compressionJpegSamples: return "jpeg";
        case compressionLosslessJpeg: return "jpeg-lossless";
        case compressionRle: return "rle";
        case compressionJpegLs: return "jpeg-ls";
        case compressionJpeg2000: return "jpeg2000";
        case compressionHtj2k: return "htj2k";
        case compressionDeflate: return "deflate";
        default: return "none";
    }
}

// "<unsupported filetype>" as "unsupported filetype".
std::string withoutBrackets(const std::string& text) {
    return text.size() >= 2 && text.front() == '<' && text.back() == '>' ? text.substr(1, text.size() - 2) : text;
}

std::string linesObject(const ImageDescription& d) {
    return JsonObject()
        .text("patient", d.patient)
        .text("date", d.date)
        .text("study", d.study)
        .text("image", d.image)
        .text("pixsize", d.pixsize)
        .str();
}

std::string numberArray(const std::vector<double>& numbers) {
    std::string json = "[";
    for (size_t i = 0; i < numbers.size(); ++i) json += (i ? "," : "") + jsonNumber(numbers[i]);
    return json + "]";
}

// DICOM pads values with trailing spaces to an even length; the values go without.
std::string withoutPadding(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

JsonObject& addText(JsonObject& json, const char* name, const std::string& value) {
    return json.textIfGiven(name, withoutPadding(value));
}

// Adds an object field only when it has fields.
void addObject(JsonObject& to, const char* name, const JsonObject& object) {
    if (!object.empty()) to.raw(name, object.str());
}

// The values a loaded file gives, each when present.
void addValues(JsonObject& json, const FileInfo& info) {
    const DescribedValues& v = info.description.values;
    const ImageState& image = info.dicom->image;
    JsonObject patient;
    addText(addText(addText(patient, "name", v.patientName), "birth_date", v.birthDate), "id", v.patientId);
    addObject(json, "patient", patient);
    addText(addText(addText(json, "date", v.studyDate), "time", v.studyTime), "instance_number", v.instanceNumber);
    JsonObject study;
    addText(addText(study, "description", v.studyDescription), "protocol", v.protocol);
    addObject(json, "study", study);
    json.number("rows", image.rows).number("columns", image.columns).number("bits", image.bitsAllocated);
    json.number("frames", image.frameCount).text("compression", compressionName(image.compression));
    if (!v.pixelSpacing.empty()) json.raw("pixel_spacing", numberArray(v.pixelSpacing));
    if (info.description.sliceThickness != 0) json.number("slice_thickness", info.description.sliceThickness);
    if (info.description.sliceSpacing != 0) json.number("slice_spacing", info.description.sliceSpacing);
    if (v.sliceLocation) json.number("position", *v.sliceLocation);
    if (v.rescale)
        json.raw("rescale", JsonObject().number("slope", v.rescale->slope).number("intercept", v.rescale->intercept).str());
    JsonObject window;
    if (image.storedWindowCenter) window.number("center", *image.storedWindowCenter);
    if (image.storedWindowWidth) window.number("width", *image.storedWindowWidth);
    addObject(json, "window", window);
}

void printJson(const std::string& path, const FileInfo& info) {
    JsonObject json;
    json.text("path", path).text("status", statusName(info.status));
    if (info.status != statusLoaded) json.text("reason", withoutBrackets(loadStatusText(info.status)));
    json.raw("lines", linesObject(info.description));
    if (info.bytes) json.number("file_size", double(*info.bytes));
    if (info.status == statusLoaded) addValues(json, info);
    std::printf("%s\n", json.str().c_str());
}

}  // namespace

int printInfo(const std::vector<std::string>& paths, bool json, bool allDecoders) {
    const std::unique_ptr<DecoderBundle> bundle = makeDecoderBundle(allDecoders);
    int status = 0;
    for (const std::string& path : paths) {
        const FileInfo info = readInfo(path, bundle->decoders());
        if (info.status != statusLoaded) status = 1;
        if (json) printJson(path, info);
        else printLines(path, info);
    }
    std::fflush(stdout);
    return status;
}

}  // namespace vs::cli
