// Why a file cannot be shown, and the texts of the states a load passes through.
#pragma once

namespace vs {

// The panel shows each as a text; some share one (loadStatusText).
enum LoadStatus : int {
    statusLoaded = 0,
    statusNoFileSelected = 1,
    statusUnsupported = 2,
    statusTooBigDimensions = 3,  // a frame of 36,000,000 samples or more, or more than 65,535 frames
    statusNoAccess = 4,
    statusReadError = 5,
    statusBatchMode = 6,
    statusTooShort = 7,
    statusAborted = 8,
    statusLoading = 9,
    statusExamining = 10,
    statusTooBig = 11,
    statusUnsupportedEncoding = 12,  // an image in a transfer syntax or depth no decoder here reads
};

// The text a status shows in the Patient line ("<unsupported filetype>" ...); empty for none.
// A file too short and one of an unsupported encoding show "<unsupported filetype>".
const char* loadStatusText(LoadStatus status);

}  // namespace vs
