// Loading one file named on the command line.
#pragma once

#include <string>

#include "core/viewer.h"

namespace vs::cli {

// Loads the file as the viewer does (through splitPath and loadFile), always afresh. A relative
// path is taken from the directory the converter started in, even though splitPath moves the
// working directory to each file's folder. Returns loadFile's result.
uint16_t loadPath(Viewer& v, const std::string& path);

}  // namespace vs::cli
