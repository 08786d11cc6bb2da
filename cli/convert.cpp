#include "cli/convert.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <thread>

#include "cli/terminal_dialogue.h"
#include "convert/conversion.h"
#include "platform/decoder_bundle.h"
#include "platform/png_encoder.h"
#include "platform/signal_cleanup.h"

namespace vs::cli {
namespace {

bool parseInt32(const std::string& text, int32_t& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return false;
    out = int32_t(value);
    return true;
}

}  // namespace

bool parseFormat(const std::string& name, uint16_t& format) {
    // In OutputFormat's order.
    constexpr const char* names[] = {"tiff8", "tiff16", "bmp", "raw", "png8", "png16"};
    for (uint16_t i = 0; i < std::size(names); ++i) {
        if (name == names[i]) {
            format = i;
            return true;
        }
    }
    return false;
}

bool parsePreset(const std::string& name, uint16_t& preset) {
    constexpr const char* names[] = {"stretch", "stored", "lung", "bone", "chest", "soft-tissue", "brain"};
    for (uint16_t i = 0; i < 7; ++i) {
        if (name == names[i]) {
            preset = i;
            return true;
        }
    }
    return false;
}

bool parseWindow(const std::string& text, int32_t& low, int32_t& high) {
    const size_t colon = text.find(':', 1);  // a leading minus sign is not the separator
    if (colon == std::string::npos) return false;
    return parseInt32(text.substr(0, colon), low) && parseInt32(text.substr(colon + 1), high) && low <= high;
}

unsigned defaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : std::min(cores, mostDefaultJobs);
}

bool parseJobs(const std::string& text, unsigned& jobs) {
    int32_t value = 0;
    if (!parseInt32(text, value) || value < 1 || value > int32_t(mostJobs)) return false;
    jobs = unsigned(value);
    return true;
}

int runConvert(const ConvertOptions& options, const std::vector<std::string>& paths) {
    if (!options.outputDirectory.empty()) {
        // A missing output folder is made, as for an archive's target.
        std::error_code error;
        std::filesystem::create_directories(options.outputDirectory, error);
        if (!std::filesystem::is_directory(options.outputDirectory, error)) {
            std::fprintf(stderr, "vireoscan-convert: cannot write into '%s': not a folder\n",
                         options.outputDirectory.c_str());
            return 1;
        }
    }
    ConversionSettings settings;
    settings.format = OutputFormat(options.format);
    settings.preset = options.preset;
    if (options.windowLow && options.windowHigh) {
        settings.automaticWindowing = false;
        settings.window = {*options.windowLow, *options.windowHigh};
    }
    settings.negative = options.negative;
    settings.outputDirectory = options.outputDirectory;
    const LibpngEncoder png;
    settings.png = &png;
    TemporaryFiles temporaries;
    settings.temporaries = &temporaries;
    const SignalCleanup cleanup(temporaries);
    // N jobs use N cores: N files at once, the frames of one file on N workers, or the rows of
    // one large frame in bands on N threads (which start after the signals are blocked).
    BandPool bands(options.jobs);
    settings.bands = &bands;
    TerminalDialogue dialogue(options.overwrite, !options.quiet, options.allDecoders);
    BatchResult result;
    const bool all = options.allDecoders;
    if (options.jobs == 1) {
        const std::unique_ptr<DecoderBundle> bundle = makeDecoderBundle(all);
        result = convertFiles(paths, settings, bundle->decoders(), dialogue);
    } else {
        const DecoderMaker makeDecoders = [all] { return makeDecoderBundle(all); };
        result = convertFilesInParallel(paths, settings, options.jobs, makeDecoders, dialogue);
    }
    dialogue.report(batchReportText(result));
    return result.failed == 0 && !result.cancelled ? 0 : 1;
}

}  // namespace vs::cli
