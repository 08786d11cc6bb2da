#include "cli/file_list.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vs::cli {

bool readFileList(const std::string& source, char separator, std::vector<std::string>& names, std::string& why) {
    const bool fromInput = source == "-";
    std::FILE* in = fromInput ? stdin : std::fopen(source.c_str(), "rb");
    if (!in) {
        why = std::strerror(errno);
        return false;
    }
    std::string name;
    for (int c; (c = std::getc(in)) != EOF;) {
        if (c != separator) {
            name += char(c);
        } else if (!name.empty()) {
            names.push_back(std::move(name));
            name.clear();
        }
    }
    if (!name.empty()) names.push_back(std::move(name));
    const bool failed = std::ferror(in) != 0;
    if (failed) why = std::strerror(errno);
    if (!fromInput) std::fclose(in);
    return !failed;
}

}  // namespace vs::cli
