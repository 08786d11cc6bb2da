#include "convert/conversion.h"

#include <cstdio>

#include "convert/conversion_steps.h"

namespace vs {
namespace {

const char* extensionOf(uint16_t format) {
    if (format == formatBmp) return "BMP";
    if (format == formatRaw) return "RAW";
    if (format == formatPng8 || format == formatPng16) return "PNG";
    return "TIF";
}

uint32_t decimalDigits(uint32_t n) {
    uint32_t digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

}  // namespace

std::string cutToPath(std::string path) {
    if (path.size() > pathCapacity - 1) path.resize(pathCapacity - 1);
    return path;
}

BatchResult convertFiles(const std::vector<std::string>& paths, const ConversionSettings& settings,
                         const Decoders& decoders, ConversionDialogue& dialogue) {
    BatchResult result;
    result.files = uint32_t(paths.size());
    FileConverter converter(settings, decoders);
    Committer committer(dialogue, result);
    for (size_t i = 0; i < paths.size() && !result.cancelled; ++i) {
        dialogue.fileStarted(uint32_t(i), uint32_t(paths.size()));
        FileOutcome outcome = converter.convert(paths[i], dialogue, &dialogue, nullptr);
        committer.commit(outcome);
    }
    dialogue.fileStarted(uint32_t(paths.size()), uint32_t(paths.size()));
    return result;
}

std::string batchOutputPath(const std::string& folder, const std::string& name, uint32_t frameCount,
                            uint32_t frame, uint16_t format) {
    char suffix[32];
    if (frameCount <= 1) {
        std::snprintf(suffix, sizeof suffix, ".%s", extensionOf(format));
    } else {
        std::snprintf(suffix, sizeof suffix, ".%0*u.%s", int(decimalDigits(frameCount)), frame,
                      extensionOf(format));
    }
    return cutToPath(folder + name + suffix);
}

std::string batchReportText(const BatchResult& r) {
    char text[256];
    if (r.failed == 0) {
        std::snprintf(text, sizeof text, "Successfully processed %u image(s) out of %u file(s).", r.converted,
                      r.files);
    } else {
        std::snprintf(text, sizeof text,
                      "Successfully converted %u image(s) out of %u file(s).\nConversion of %u image(s) was "
                      "unsuccessful.",
                      r.converted, r.files, r.failed);
    }
    return text;
}

}  // namespace vs
