#include "core/paths.h"

#include <filesystem>
#include <system_error>

namespace vs {

void setPath(std::string& path, std::string_view text) {
    path.assign(text.substr(0, pathCapacity - 1));
}

void splitPath(Viewer& v) {
    const size_t cut = v.pathBuffer.rfind(pathSeparator);
    const size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    setPath(v.currentFileName, std::string_view(v.pathBuffer).substr(nameStart));
    setPath(v.currentDirectory, std::string_view(v.pathBuffer).substr(0, nameStart));

    std::error_code error;
    if (!v.currentDirectory.empty() && std::filesystem::exists(v.currentDirectory, error)) return;
    // The folder part is missing or gone: the working directory stands in. It keeps a
    // trailing separator so that folder and name still make a path.
    std::string working = std::filesystem::current_path(error).string();
    if (working.empty() || working.back() != pathSeparator) working += pathSeparator;
    setPath(v.currentDirectory, working);
}

}  // namespace vs
