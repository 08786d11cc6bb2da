// The two command lines the viewer answers without a display: --help and --version.
#pragma once

#include <cstdio>

namespace vs::ui {

// When the whole command line is "--help" or "--version", prints the answer to out and
// returns true: the program then ends with code 0 before any window system is touched. Any
// other command line is a path to open and gives false.
bool answerHelpOrVersion(int argc, const char* const* argv, std::FILE* out);

}  // namespace vs::ui
