// A file stream that is closed on every path out of its owner's scope.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace vs {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// fopen's stream (null when it cannot be opened) in a FileHandle.
inline FileHandle openFile(const std::string& path, const char* mode) { return FileHandle(std::fopen(path.c_str(), mode)); }

}  // namespace vs
