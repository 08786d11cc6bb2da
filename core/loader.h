// Loading a file for the viewer: the library reads it, and the viewer shows its progress, its
// lines, its picture or why it cannot be shown.
#pragma once

#include <cstdint>

#include "core/viewer.h"
#include "dicom/read_file.h"

namespace vs {

// A load's outcome: not loaded (a status text says why), loaded and shown, or nothing done
// because the path is the file already loaded.
enum class LoadResult { failed, loaded, alreadyLoaded };

// Loads currentDirectory + currentFileName.
LoadResult loadFile(Viewer& v, const LoadRequest& request = {});

// Shows a status text on the panel's Patient line and clears the other four lines.
void showLoadStatus(Viewer& v, LoadStatus status);

}  // namespace vs
