// The viewer's batch run: the files dropped while the batch box is open, converted by the
// library with the viewer's format and window, its questions in message boxes.
#pragma once

#include <string>
#include <vector>

#include "convert/conversion.h"
#include "core/viewer.h"

namespace vs {

inline constexpr const char* processingFilesText = "Processing files...";

struct BatchOptions {
    // Empty: each output goes beside its source; else the folder the outputs go into.
    std::string outputDirectory;
};

// The conversion settings of the viewer's format, preset, automatic windowing, window and
// negative picture.
ConversionSettings conversionSettingsOf(const Viewer& v);

// Converts every frame of each file in v.outputFormat, asking before overwriting; every
// question and message is a box captioned with the program's caption, and the report ends the
// run. The image the viewer shows stays in memory, untouched.
BatchResult runBatch(Viewer& v, const std::vector<std::string>& paths, const BatchOptions& options = {});

}  // namespace vs
