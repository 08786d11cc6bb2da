// Loading a file for the viewer: the library reads it, and the viewer shows its progress, its
// lines, its picture or why it cannot be shown.
#pragma once

#include <cstdint>

#include "core/viewer.h"
#include "dicom/read_file.h"

namespace vs {

enum LoadResult : uint16_t { loadFailed = 0, loadDone = 1, loadAlreadyLoaded = 2 };

// Loads currentDirectory + currentFileName. See LoadResult.
uint16_t loadFile(Viewer& v, const LoadRequest& request = {});

// Shows a status text on the panel's Patient line and clears the other four lines.
void showLoadStatus(Viewer& v, int code);

}  // namespace vs
