// `vireoscan-convert --info`: the information panel's lines for each file.
#pragma once

#include <string>
#include <vector>

namespace vs::cli {

// Prints each file's path and its panel lines to standard output; returns the exit status
// (0 when every file loaded, 1 otherwise).
int printInfo(const std::vector<std::string>& paths);

}  // namespace vs::cli
