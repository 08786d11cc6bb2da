#include "cli/info_command.h"

#include <cstdio>
#include <filesystem>

#include "cli/console_host.h"
#include "cli/load_path.h"
#include "core/loader.h"
#include "platform/jpeg_decoder.h"

namespace vs::cli {

int printInfo(const std::vector<std::string>& paths) {
    ConsoleHost host;
    TurboJpegDecoder decoder;
    auto viewer = std::make_unique<Viewer>();
    Viewer& v = *viewer;
    v.host = &host;
    v.pictureDecoder = &decoder;

    int status = 0;
    for (const std::string& path : paths) {
        host.clearLines();
        if (loadPath(v, path) == loadFailed) status = 1;
        std::printf("%s\n", path.c_str());
        static const struct {
            const char* label;
            ControlId id;
        } lines[] = {{"Patient", controlPatientLine},
                     {"Date", controlDateLine},
                     {"Study", controlStudyLine},
                     {"Image", controlImageLine},
                     {"Pixsize", controlPixsizeLine}};
        for (const auto& line : lines) std::printf("  %s: %s\n", line.label, host.line(line.id).c_str());
        const std::string& fileSize = host.line(controlFileSizeLine);
        if (!fileSize.empty()) std::printf("  %s\n", fileSize.c_str());
    }
    std::fflush(stdout);
    return status;
}

}  // namespace vs::cli
