// `vireoscan-convert --info`: the information panel's lines for each file.
#pragma once

#include <string>
#include <vector>

namespace vs::cli {

// Prints each file's path and its panel lines to standard output, or with json one JSON object
// a line per file: its path, its status, the lines, and the values behind them; returns the
// exit status (0 when every file loaded, 1 otherwise). allDecoders reads every compression.
int printInfo(const std::vector<std::string>& paths, bool json, bool allDecoders);

}  // namespace vs::cli
