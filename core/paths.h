// Taking a path apart into its folder and file name.
#pragma once

#include "core/viewer.h"

namespace vs {

inline constexpr char pathSeparator = '/';

// Splits pathBuffer into currentDirectory (with its trailing separator) and currentFileName,
// and makes the folder the working directory. A folder that does not exist is replaced by the
// working directory (with a trailing separator, so that folder + name is still a path).
void splitPath(Viewer& v);

// Copies text into a path, cut at pathCapacity - 1 characters.
void setPath(std::string& path, std::string_view text);

}  // namespace vs
