#include "ui/help_and_version.h"

#include <cstring>

#include "vireoscan_version.h"

namespace vs::ui {

namespace {

constexpr const char* helpText =
    "Usage: vireoscan [FILE]...\n"
    "Shows greyscale DICOM images. FILE opens at start; a viewer already running on the same\n"
    "display takes it over instead. The arguments joined by blanks are the path when they name\n"
    "a file or folder, else the first argument that names one.\n"
    "\n"
    "Left drag: contrast and brightness. Right drag: pan a zoomed image. Middle button held\n"
    "above or below its press point: step through the folder's files.\n"
    "Up/Down arrows or mouse wheel: previous/next file. Left/Right arrows: previous/next frame.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

}  // namespace

bool answerHelpOrVersion(int argc, const char* const* argv, std::FILE* out) {
    if (argc != 2) return false;
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(helpText, out);
        return true;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs("vireoscan " VIREOSCAN_VERSION "\n", out);
        return true;
    }
    return false;
}

}  // namespace vs::ui
