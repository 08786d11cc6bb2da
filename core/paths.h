// Taking a path apart into its folder and file name.
#pragma once

#include "core/viewer.h"

namespace vs {

// Splits pathBuffer into currentDirectory (with its trailing separator) and currentFileName.
// A folder that does not exist is replaced by the working directory (with a trailing
// separator, so that folder + name is still a path). The working directory never changes.
void splitPath(Viewer& v);

// Copies text into a path, cut at pathCapacity - 1 characters.
void setPath(std::string& path, std::string_view text);

}  // namespace vs
