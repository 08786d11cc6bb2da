// --files-from: the names of the files to convert or describe, read from a file or from
// standard input, one a line or NUL-separated, so that any number of files needs no long
// command line.
#pragma once

#include <string>
#include <vector>

namespace vs::cli {

// Appends the names in source ("-": standard input), each ended by separator (the last may
// lack it); empty names are skipped. False, with why set, when source cannot be read.
bool readFileList(const std::string& source, char separator, std::vector<std::string>& names, std::string& why);

}  // namespace vs::cli
