// All process-wide state of the viewer in one record. The program has one; tests make many.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "convert/conversion.h"
#include "convert/writers.h"
#include "core/host.h"
#include "core/image_gestures.h"
#include "core/window_state.h"
#include "dicom/band_pool.h"
#include "dicom/dicom_image.h"
#include "dicom/frame_source.h"
#include "dicom/decoders.h"

namespace vs {

// The display buffer's nominal size: bytes below it that no rendering wrote read as zero.
inline constexpr size_t displayBufferBytes = 34000300;
// What the display buffer starts with; renderings grow it (ensureDisplayCapacity) as needed.
inline constexpr size_t displayStartBytes = size_t(1) << 20;

enum LoadProgress : uint32_t { loadIdle = 0, loadReading = 1, loadAborted = 2 };
// The program's course: nothing loaded yet, an image loaded once, the windows closing.
enum class AppState { starting, loaded, closing };
// What the next Open dialog does with currentDirectory + currentFileName: nothing, load it
// unless it is the file already loaded (a second start's hand-off), or load it even then (a
// drop, which reads the file anew).
enum class LoadOnOpen { nothing, unlessLoaded, evenIfLoaded };

struct Viewer {
    Host* host = nullptr;
    // What reads the files: the picture decoder, and with every compression the others.
    Decoders decoders;
    // The threads that large frames are windowed and painted on in row bands (null: the
    // calling thread alone). Only the pixel loops run there; this record is used on one thread.
    BandPool* bands = nullptr;

    DicomImage dicom;
    // The frame shown, from 0.
    uint32_t currentFrame = 0;
    WindowState window;
    // 8-bit pixels, rows of window.displayStride bytes. Starts at displayStartBytes and grows
    // (never shrinks, new bytes zero) before every write that needs more.
    std::vector<uint8_t> display = std::vector<uint8_t>(displayStartBytes, 0);
    // Reads the frames of the file in memory (made for it by frameSource, core/render.h).
    std::unique_ptr<FrameSource> source;
    uint64_t sourceGeneration = 0;
    uint16_t sourceCompression = compressionNone;

    // Paths: the one to open next, its folder (with the trailing separator) and name, and
    // the file now in memory.
    std::string pathBuffer;
    std::string currentDirectory;
    std::string currentFileName;
    std::string loadedPath;

    bool loadBusy = false;  // a load is running
    uint32_t loadProgressState = loadIdle;
    AppState appState = AppState::starting;
    bool batchMode = false;  // the batch box is open
    bool animationPlaying = false;
    bool leftDragging = false;
    bool rightDragging = false;
    bool middleDragging = false;
    LoadOnOpen loadOnOpen = LoadOnOpen::nothing;
    uint16_t outputFormat = formatTiff8;
    // Where the outputs being written are listed, so that an interrupted program removes them
    // (none: each output keeps its own list).
    TemporaryFiles* temporaries = nullptr;

    // Display pixels per image pixel: 0.25, 0.5, 1, 2, 3 or 4; chosen at each load when
    // autoZoom is on.
    double zoomFactor = 1.0;
    bool autoZoom = true;

    // Contrast drag: sample values per pixel of mouse movement.
    double contrastDragScale = startContrastDragScale;
};

// How a load is asked for: whether the Open dialog's list has a selected line (a file that
// cannot be opened is reported only then), and whether the file is read even when it is the
// one already loaded.
struct LoadRequest {
    bool dialogHasSelection = true;
    bool evenIfLoaded = false;
};

}  // namespace vs
