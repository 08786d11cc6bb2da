// Loading a file into the file buffer and showing it.
#pragma once

#include <cstdint>

#include "core/viewer.h"

namespace vs {

enum LoadStatus : int {
    statusNoFileSelected = 1,
    statusUnsupported = 2,
    statusTooBigDimensions = 3,
    statusNoAccess = 4,
    statusReadError = 5,
    statusBatchMode = 6,
    statusTooShort = 7,
    statusAborted = 8,
    statusLoading = 9,
    statusExamining = 10,
    statusTooBig = 11,
};

inline constexpr uint32_t loadChunkBytes = 65536;
inline constexpr uint32_t progressChunkThreshold = 70;

enum LoadResult : uint16_t { loadFailed = 0, loadDone = 1, loadAlreadyLoaded = 2 };

// Loads currentDirectory + currentFileName. See LoadResult.
uint16_t loadFile(Viewer& v);

// Shows a status text on the panel's Patient line and clears the other four lines.
void showLoadStatus(Viewer& v, int code);

// The text a status code shows (empty for codes without one).
const char* loadStatusText(int code);

}  // namespace vs
