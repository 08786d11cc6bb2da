#include "cli/load_path.h"

#include <filesystem>
#include <system_error>

#include "core/loader.h"
#include "core/paths.h"

namespace vs::cli {

namespace {

// Empty when the folder the converter started in no longer exists.
const std::filesystem::path& startDirectory() {
    static const std::filesystem::path directory = [] {
        std::error_code error;
        std::filesystem::path path = std::filesystem::current_path(error);
        return error ? std::filesystem::path() : path;
    }();
    return directory;
}

}  // namespace

uint16_t loadPath(Viewer& v, const std::string& path) {
    // Taken before the first load moves the working directory.
    const std::filesystem::path& start = startDirectory();
    const std::filesystem::path absolute =
        std::filesystem::path(path).is_absolute() ? std::filesystem::path(path) : start / path;
    setPath(v.pathBuffer, absolute.lexically_normal().string());
    splitPath(v);
    v.loadedPath.clear();
    return loadFile(v);
}

}  // namespace vs::cli
