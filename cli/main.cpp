// vireoscan-convert: the headless converter and information printer.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/convert.h"
#include "cli/file_list.h"
#include "cli/info_command.h"
#include "cli/thumbnail_command.h"
#include "vireoscan_version.h"

namespace {

constexpr const char* usageText =
    "Usage: vireoscan-convert [OPTIONS] FILE...\n"
    "       vireoscan-convert --thumbnail SIZE INPUT OUTPUT.png\n"
    "Converts every frame of greyscale DICOM files to TIFF, BMP, RAW or PNG files,\n"
    "or prints what the viewer's information panel shows for each file.\n"
    "Outputs are named after their source: FILE.TIF, or FILE.00.TIF ... for several frames.\n"
    "\n"
    "  -f, --format tiff8|tiff16|bmp|raw|png8|png16\n"
    "                                      output format (default tiff8); png8 holds what\n"
    "                                      tiff8 does, png16 what tiff16 does\n"
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
    "      --json                          with --info: one JSON object a line per file (bytes\n"
    "                                      that are not UTF-8 are written as \\u00XX)\n"
    "      --files-from LIST               also the files named in LIST, one a line (-: read\n"
    "                                      the names from standard input)\n"
    "  -0, --null                          the names in LIST end with NUL, not a new line\n"
    "  -j, --jobs N                        use N cores: N files, frames or bands of a large\n"
    "                                      frame at once, 1 to 256 (default: the number of\n"
    "                                      cores, at most 4)\n"
    "      --all-decoders                  also read lossless and 12-bit JPEG, JPEG-LS,\n"
    "                                      JPEG 2000, HTJ2K and deflated files\n"
    "  -q, --quiet                         no progress display\n"
    "      --thumbnail SIZE INPUT OUTPUT   write a thumbnail of INPUT, at most SIZE x SIZE\n"
    "                                      (1 to 4096), as the 8-bit PNG file OUTPUT: the\n"
    "                                      middle frame through the stored window (else a\n"
    "                                      contrast stretch); for file managers\n"
    "  -h, --help                          show this help and exit\n"
    "      --version                       show the version and exit\n"
    "\n"
    "Without -y or --no-overwrite an existing output is asked about on the terminal, and\n"
    "kept when standard input is not a terminal.\n"
    "Each output is written as a hidden .NAME.XXXXXX.part file beside it and renamed once\n"
    "complete, so Ctrl-C or a full disk never leaves a partly written output.\n"
    "Exit status: 0 when every file succeeded, 1 when one did not, 2 on a usage error.\n";

int usageError(const char* message, const char* argument) {
    if (argument) std::fprintf(stderr, "vireoscan-convert: %s '%s'\n", message, argument);
    else std::fprintf(stderr, "vireoscan-convert: %s\n", message);
    std::fprintf(stderr, "Try 'vireoscan-convert --help' for more information.\n");
    return 2;
}

// A value that did not parse, or none at all when the option came last.
int badValue(const char* message, const char* value) { return usageError(message, value ? value : ""); }

// What the command line asks for, gathered option by option.
struct CommandLine {
    vs::cli::ConvertOptions options;
    std::vector<std::string> files;
    bool info = false;
    bool json = false;
    std::vector<std::string> fileLists;
    char listSeparator = '\n';
    bool presetGiven = false;
    bool overwriteGiven = false;
    std::optional<uint32_t> thumbnailSide;
    int optionsGiven = 0;
};

// What an option does. arg is the option as typed, value its value (null for an option
// without one, or when the value is missing). Returns the exit status when the program ends
// here, nothing when it goes on.
using OptionEffect = std::optional<int> (*)(CommandLine& line, const char* arg, const char* value);

std::optional<int> showHelp(CommandLine&, const char*, const char*) {
    std::fputs(usageText, stdout);
    return 0;
}

std::optional<int> showVersion(CommandLine&, const char*, const char*) {
    std::puts("vireoscan-convert " VIREOSCAN_VERSION);
    return 0;
}

std::optional<int> askInfo(CommandLine& line, const char*, const char*) {
    line.info = true;
    return std::nullopt;
}

std::optional<int> askJson(CommandLine& line, const char*, const char*) {
    line.json = true;
    return std::nullopt;
}

std::optional<int> addFileList(CommandLine& line, const char* arg, const char* value) {
    if (!value || !*value) return usageError("missing file list after", arg);
    line.fileLists.emplace_back(value);
    return std::nullopt;
}

std::optional<int> separateByNul(CommandLine& line, const char*, const char*) {
    line.listSeparator = '\0';
    return std::nullopt;
}

std::optional<int> setFormat(CommandLine& line, const char*, const char* value) {
    if (!value || !vs::cli::parseFormat(value, line.options.format)) return badValue("unknown format", value);
    return std::nullopt;
}

std::optional<int> setPreset(CommandLine& line, const char*, const char* value) {
    if (!value || !vs::cli::parsePreset(value, line.options.preset)) return badValue("unknown preset", value);
    line.presetGiven = true;
    return std::nullopt;
}

std::optional<int> setWindow(CommandLine& line, const char*, const char* value) {
    int32_t low = 0, high = 0;
    if (!value || !vs::cli::parseWindow(value, low, high))
        return badValue("the window must be LOW:HIGH with LOW <= HIGH, not", value);
    line.options.windowLow = low;
    line.options.windowHigh = high;
    return std::nullopt;
}

std::optional<int> setOutputDirectory(CommandLine& line, const char* arg, const char* value) {
    if (!value || !*value) return usageError("missing folder after", arg);
    line.options.outputDirectory = value;
    return std::nullopt;
}

std::optional<int> setNegative(CommandLine& line, const char*, const char*) {
    line.options.negative = true;
    return std::nullopt;
}

// --overwrite and --no-overwrite may each be repeated, but not both given.
std::optional<int> chooseOverwrite(CommandLine& line, vs::cli::Overwrite choice) {
    if (line.overwriteGiven && line.options.overwrite != choice)
        return usageError("--overwrite and --no-overwrite exclude each other", nullptr);
    line.options.overwrite = choice;
    line.overwriteGiven = true;
    return std::nullopt;
}

std::optional<int> setOverwrite(CommandLine& line, const char*, const char*) {
    return chooseOverwrite(line, vs::cli::Overwrite::yes);
}

std::optional<int> setNoOverwrite(CommandLine& line, const char*, const char*) {
    return chooseOverwrite(line, vs::cli::Overwrite::no);
}

std::optional<int> setJobs(CommandLine& line, const char*, const char* value) {
    if (!value || !vs::cli::parseJobs(value, line.options.jobs))
        return badValue("the number of jobs must be 1 to 256, not", value);
    return std::nullopt;
}

std::optional<int> useAllDecoders(CommandLine& line, const char*, const char*) {
    line.options.allDecoders = true;
    return std::nullopt;
}

std::optional<int> setQuiet(CommandLine& line, const char*, const char*) {
    line.options.quiet = true;
    return std::nullopt;
}

std::optional<int> askThumbnail(CommandLine& line, const char*, const char* value) {
    uint32_t side = 0;
    if (!value || !vs::cli::parseThumbnailSide(value, side))
        return badValue("the thumbnail size must be 1 to 4096, not", value);
    line.thumbnailSide = side;
    return std::nullopt;
}

struct Option {
    const char* shortName;  // null: the long name only
    const char* longName;
    bool takesValue;        // "-s VALUE", "--long VALUE" or "--long=VALUE"
    OptionEffect effect;
};

constexpr Option optionTable[] = {
    {"-i", "--info", false, askInfo},
    {nullptr, "--json", false, askJson},
    {nullptr, "--files-from", true, addFileList},
    {"-0", "--null", false, separateByNul},
    {"-h", "--help", false, showHelp},
    {nullptr, "--version", false, showVersion},
    {"-f", "--format", true, setFormat},
    {"-p", "--preset", true, setPreset},
    {"-w", "--window", true, setWindow},
    {"-o", "--output-dir", true, setOutputDirectory},
    {"-n", "--negative", false, setNegative},
    {"-y", "--overwrite", false, setOverwrite},
    {nullptr, "--no-overwrite", false, setNoOverwrite},
    {"-j", "--jobs", true, setJobs},
    {nullptr, "--all-decoders", false, useAllDecoders},
    {"-q", "--quiet", false, setQuiet},
    {nullptr, "--thumbnail", true, askThumbnail},
};

bool namesOption(const Option& option, const char* arg) {
    return (option.shortName && std::strcmp(arg, option.shortName) == 0) || std::strcmp(arg, option.longName) == 0;
}

// The value of "--long=VALUE", or null when arg is not that option so written.
const char* attachedValue(const Option& option, const char* arg) {
    const size_t longLength = std::strlen(option.longName);
    if (std::strncmp(arg, option.longName, longLength) != 0 || arg[longLength] != '=') return nullptr;
    return arg + longLength + 1;
}

// The option argv[i] names, or null. An option with a value sets value, taking the next
// argument (and moving i past it) unless the value is attached.
const Option* findOption(int argc, char** argv, int& i, const char*& value) {
    const char* arg = argv[i];
    for (const Option& option : optionTable) {
        if (!option.takesValue) {
            if (namesOption(option, arg)) return &option;
        } else if (const char* attached = attachedValue(option, arg)) {
            value = attached;
            return &option;
        } else if (namesOption(option, arg)) {
            value = i + 1 < argc ? argv[++i] : nullptr;
            return &option;
        }
    }
    return nullptr;
}

// Walks the arguments: "-" and every argument after "--" are files, as is anything not
// starting with '-'. Returns the exit status when the program ends here.
std::optional<int> readCommandLine(int argc, char** argv, CommandLine& line) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded || arg[0] != '-' || std::strcmp(arg, "-") == 0) {
            line.files.emplace_back(arg);
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        const char* value = nullptr;
        const Option* option = findOption(argc, argv, i, value);
        if (!option) return usageError("unknown option", arg);
        ++line.optionsGiven;
        if (std::optional<int> status = option->effect(line, arg, value)) return status;
    }
    return std::nullopt;
}

// Adds the names of every --files-from list to the files; the exit status when one cannot be
// read.
std::optional<int> readFileLists(CommandLine& line) {
    for (const std::string& list : line.fileLists) {
        std::string why;
        if (!vs::cli::readFileList(list, line.listSeparator, line.files, why)) {
            std::fprintf(stderr, "vireoscan-convert: cannot read the file list '%s': %s\n", list.c_str(), why.c_str());
            return 2;
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    line.options.jobs = vs::cli::defaultJobs();
    if (std::optional<int> status = readCommandLine(argc, argv, line)) return *status;
    if (line.presetGiven && line.options.windowLow)
        return usageError("--preset and --window exclude each other", nullptr);
    if (line.json && !line.info) return usageError("--json goes with --info", nullptr);
    if (line.thumbnailSide) {
        if (line.optionsGiven != 1 || line.files.size() != 2)
            return usageError("--thumbnail takes SIZE INPUT OUTPUT and no other option", nullptr);
        return vs::cli::writeThumbnailFile(*line.thumbnailSide, line.files[0], line.files[1]);
    }
    if (std::optional<int> status = readFileLists(line)) return *status;
    if (line.files.empty()) return usageError("no input files", nullptr);
    if (line.info) return vs::cli::printInfo(line.files, line.json, line.options.allDecoders);
    return vs::cli::runConvert(line.options, line.files);
}
