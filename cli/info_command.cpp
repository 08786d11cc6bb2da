#include "cli/info_command.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "dicom/frame_source.h"
#include "dicom/image_description.h"
#include "dicom/read_file.h"
#include "platform/jpeg_decoder.h"

namespace vs::cli {
namespace {

// The file size line shows once the file has opened and is long enough to be an image.
class SizeOfReading : public ReadObserver {
public:
    void opened(uint64_t length, bool) override { kilobytes = length >> 10; }
    std::optional<uint64_t> kilobytes;
};

void printLine(const char* label, const std::string& text) { std::printf("  %s: %s\n", label, text.c_str()); }

}  // namespace

int printInfo(const std::vector<std::string>& paths) {
    TurboJpegDecoder decoder;
    int status = 0;
    for (const std::string& path : paths) {
        auto dicom = std::make_unique<DicomImage>();
        SizeOfReading reading;
        const LoadStatus loaded = readDicomFile(path, *dicom, reading);
        ImageDescription d;
        if (loaded == statusLoaded) {
            d = describeImage(*dicom, *frameSourceFor(*dicom, &decoder));
        } else {
            status = 1;
            d.patient = loadStatusText(loaded);
        }
        std::printf("%s\n", path.c_str());
        printLine("Patient", d.patient);
        printLine("Date", d.date);
        printLine("Study", d.study);
        printLine("Image", d.image);
        printLine("Pixsize", d.pixsize);
        if (reading.kilobytes) std::printf("  Filesize: %llu KB\n", static_cast<unsigned long long>(*reading.kilobytes));
    }
    std::fflush(stdout);
    return status;
}

}  // namespace vs::cli
