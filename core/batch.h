// Batch conversion: every frame of a list of files written as picture files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/viewer.h"

namespace vs {

inline constexpr const char* processingFilesText = "Processing files...";

struct BatchOptions {
    // Empty: each output goes beside its source. Otherwise the folder outputs go into
    // (named from each source's file name), with or without a trailing separator.
    std::string outputDirectory;
};

struct BatchResult {
    uint32_t files = 0;      // files given, also when the run was ended early
    uint32_t converted = 0;  // images written
    uint32_t failed = 0;     // files that did not load, and images not written
    bool cancelled = false;  // a question or message was answered with Cancel
};

// The output path of frame frame of a file with frameCount frames: folder + name + suffix, the
// suffix ".TIF", ".BMP" or ".RAW", preceded by the frame number zero-padded to as many digits
// as frameCount has when there is more than one frame. Cut at the path capacity.
std::string batchOutputPath(const std::string& folder, const std::string& name, uint32_t frameCount,
                            uint32_t frame, uint16_t format);

// The report shown at the end of a run.
std::string batchReportText(const BatchResult& result);

// Loads each file in batch mode and writes all of its frames in v.outputFormat, asking before
// overwriting; every question and message goes through the host, captioned "Vireoscan v 1.2".
// Afterwards the current image is the last file that loaded, at its last frame written.
BatchResult runBatch(Viewer& v, const std::vector<std::string>& paths, const BatchOptions& options = {});

}  // namespace vs
