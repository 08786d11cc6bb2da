// vireoscan-convert: the headless converter and information printer.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/convert.h"
#include "cli/info_command.h"
#include "vireoscan_version.h"

namespace {

constexpr const char* usageText =
    "Usage: vireoscan-convert [OPTIONS] FILE...\n"
    "Converts every frame of greyscale DICOM files to TIFF, BMP or RAW files,\n"
    "or prints what the viewer's information panel shows for each file.\n"
    "Outputs are named after their source: FILE.TIF, or FILE.00.TIF ... for several frames.\n"
    "\n"
    "  -f, --format tiff8|tiff16|bmp|raw   output format (default tiff8)\n"
    "  -p, --preset stretch|stored|lung|bone|chest|soft-tissue|brain\n"
    "                                      automatic windowing preset (default stored)\n"
    "  -w, --window=LOW:HIGH               fixed display window in stored sample values;\n"
    "                                      automatic windowing off\n"
    "  -n, --negative                      inverted 8-bit outputs\n"
    "  -o, --output-dir DIR                write the outputs into DIR instead of beside\n"
    "                                      each source\n"
    "  -y, --overwrite                     overwrite existing outputs without asking\n"
    "      --no-overwrite                  never overwrite (the output counts as unsuccessful)\n"
    "  -i, --info                          print the information lines of each file\n"
    "  -q, --quiet                         no progress display\n"
    "  -h, --help                          show this help and exit\n"
    "      --version                       show the version and exit\n"
    "\n"
    "Without -y or --no-overwrite an existing output is asked about on the terminal, and\n"
    "kept when standard input is not a terminal.\n"
    "Exit status: 0 when every file succeeded, 1 when one did not, 2 on a usage error.\n";

int usageError(const char* message, const char* argument) {
    if (argument) std::fprintf(stderr, "vireoscan-convert: %s '%s'\n", message, argument);
    else std::fprintf(stderr, "vireoscan-convert: %s\n", message);
    std::fprintf(stderr, "Try 'vireoscan-convert --help' for more information.\n");
    return 2;
}

// Matches "-s VALUE", "--long VALUE" and "--long=VALUE"; value is then set (or null when the
// option's value is missing).
bool optionWithValue(int argc, char** argv, int& i, const char* shortName, const char* longName,
                     const char*& value) {
    const char* arg = argv[i];
    const size_t longLength = std::strlen(longName);
    if (std::strncmp(arg, longName, longLength) == 0 && arg[longLength] == '=') {
        value = arg + longLength + 1;
        return true;
    }
    if (std::strcmp(arg, shortName) != 0 && std::strcmp(arg, longName) != 0) return false;
    value = i + 1 < argc ? argv[++i] : nullptr;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool info = false;
    bool optionsEnded = false;
    bool presetGiven = false;
    bool overwriteGiven = false;
    vs::cli::ConvertOptions options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = nullptr;
        if (optionsEnded || arg[0] != '-' || std::strcmp(arg, "-") == 0) {
            files.emplace_back(arg);
        } else if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(arg, "-i") == 0 || std::strcmp(arg, "--info") == 0) {
            info = true;
        } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            std::fputs(usageText, stdout);
            return 0;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::puts("vireoscan-convert " VIREOSCAN_VERSION);
            return 0;
        } else if (optionWithValue(argc, argv, i, "-f", "--format", value)) {
            if (!value || !vs::cli::parseFormat(value, options.format))
                return usageError("unknown format", value ? value : "");
        } else if (optionWithValue(argc, argv, i, "-p", "--preset", value)) {
            if (!value || !vs::cli::parsePreset(value, options.preset))
                return usageError("unknown preset", value ? value : "");
            presetGiven = true;
        } else if (optionWithValue(argc, argv, i, "-w", "--window", value)) {
            int32_t low = 0, high = 0;
            if (!value || !vs::cli::parseWindow(value, low, high))
                return usageError("the window must be LOW:HIGH with LOW <= HIGH, not", value ? value : "");
            options.windowLow = low;
            options.windowHigh = high;
        } else if (optionWithValue(argc, argv, i, "-o", "--output-dir", value)) {
            if (!value || !*value) return usageError("missing folder after", arg);
            options.outputDirectory = value;
        } else if (std::strcmp(arg, "-n") == 0 || std::strcmp(arg, "--negative") == 0) {
            options.negative = true;
        } else if (std::strcmp(arg, "-y") == 0 || std::strcmp(arg, "--overwrite") == 0) {
            if (overwriteGiven && options.overwrite != vs::cli::Overwrite::yes)
                return usageError("--overwrite and --no-overwrite exclude each other", nullptr);
            options.overwrite = vs::cli::Overwrite::yes;
            overwriteGiven = true;
        } else if (std::strcmp(arg, "--no-overwrite") == 0) {
            if (overwriteGiven && options.overwrite != vs::cli::Overwrite::no)
                return usageError("--overwrite and --no-overwrite exclude each other", nullptr);
            options.overwrite = vs::cli::Overwrite::no;
            overwriteGiven = true;
        } else if (std::strcmp(arg, "-q") == 0 || std::strcmp(arg, "--quiet") == 0) {
            options.quiet = true;
        } else {
            return usageError("unknown option", arg);
        }
    }
    if (presetGiven && options.windowLow)
        return usageError("--preset and --window exclude each other", nullptr);
    if (files.empty()) return usageError("no input files", nullptr);
    if (info) return vs::cli::printInfo(files);
    return vs::cli::runConvert(options, files);
}
