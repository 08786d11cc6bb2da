#include "core/loader.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "core/contrast.h"
#include "core/header.h"
#include "core/image_info.h"
#include "core/render.h"
#include "core/zoom.h"

namespace vs {

namespace {

// A name no file can have, so that no later name comparison matches it.
constexpr const char* impossibleFileName = "*#$^&%";

// Closes the file on every path out of the loader.
class InputFile {
public:
    explicit InputFile(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    std::FILE* get() const { return file_; }
    void close() {
        if (file_) std::fclose(file_);
        file_ = nullptr;
    }

private:
    std::FILE* file_;
};

// The length of an open file, or -1 when it is not a regular file (a folder opens for reading
// on this platform but holds no bytes to show).
int64_t regularFileLength(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return int64_t(info.st_size);
}

void giveUp(Viewer& v) {
    v.animationPlaying = 0;
    v.host->stopAnimationTimer();
    v.host->hideAnimationControl();
    v.host->hideImageWindow();
    v.host->enableMenuItem(commandSaveImageAs, false);
}

void restoreCursor(Viewer& v) {
    if (!v.middleDragging) v.host->setCursor(Cursor::arrow);
}

// Ends a load that stopped while reading: the status text, the flags, the cursor.
uint16_t stopReading(Viewer& v, InputFile& file, int status) {
    showLoadStatus(v, status);
    file.close();
    v.loadBusy = 0;
    restoreCursor(v);
    giveUp(v);
    return loadFailed;
}

uint16_t refuseTooBig(Viewer& v, InputFile& file) {
    v.host->hideImageWindow();
    file.close();
    showLoadStatus(v, statusTooBig);
    v.host->repaintPanel();
    v.loadedPath.clear();
    v.animationPlaying = 0;
    v.host->stopAnimationTimer();
    v.host->hideAnimationControl();
    v.host->enableMenuItem(commandSaveImageAs, false);
    v.currentFileName = impossibleFileName;
    v.loadBusy = 0;
    restoreCursor(v);
    return loadFailed;
}

void showProgress(Viewer& v, uint32_t chunk, uint32_t chunks, int& lastPercent) {
    const int percent = int(uint64_t(chunk) * 100 / chunks + 1);
    if (percent == lastPercent) return;
    lastPercent = percent;
    if (!v.batchMode) {
        char text[64];
        std::snprintf(text, sizeof text, "<loading file, press escape to abort (%d%%)>", percent);
        v.host->setPanelText(controlPatientLine, text);
    }
    v.host->repaintControl(controlPatientLine);
}

// The image window's part of a load: zoom, fit, render.
void showLoadedImage(Viewer& v) {
    if (v.autoZoom) chooseAutomaticZoom(v);
    v.fitInProgress = 1;
    v.host->fitImageWindow();
    renderFrame(v);
    v.fitInProgress = 0;
}

// Contrast after a load: range, drag scale, and the preset when it is to be applied.
void setContrastAfterLoad(Viewer& v) {
    scanDataRange(v);
    v.contrastDragScale = (double(v.window.dataMax) - double(v.window.dataMin)) * 0.0013020833333333333;
    if (v.appState == appStarting || v.window.autoWindowing) {
        if (v.appState != appLoaded) v.host->selectInOpenDialog(v.currentFileName);
        applyWindowPreset(v);
        v.appState = appLoaded;
    }
}

}  // namespace

const char* loadStatusText(int code) {
    switch (code) {
        case statusNoFileSelected: return "<no file selected>";
        case statusUnsupported:
        case statusTooShort: return "<unsupported filetype>";
        case statusTooBigDimensions: return "<image dimensions too big>";
        case statusNoAccess: return "<no file access>";
        case statusReadError: return "<file read error>";
        case statusBatchMode: return "<batch conversion mode>";
        case statusAborted: return "<loading aborted by user>";
        case statusLoading: return "<loading file, press escape to abort>";
        case statusExamining: return "<examining file...>";
        case statusTooBig: return "<file is too big>";
        default: return "";
    }
}

void showLoadStatus(Viewer& v, int code) {
    if (v.batchMode) code = statusBatchMode;
    const char* text = loadStatusText(code);
    if (*text) v.host->setPanelText(controlPatientLine, text);
    for (ControlId line : {controlDateLine, controlStudyLine, controlImageLine, controlPixsizeLine})
        v.host->setPanelText(line, "");
    v.host->setResetContrastPicture(true);
}

uint16_t loadFile(Viewer& v) {
    Host& host = *v.host;
    std::string path = v.currentDirectory + v.currentFileName;
    if (path.size() >= pathCapacity) path.resize(pathCapacity - 1);
    if (path == v.loadedPath) return loadAlreadyLoaded;

    // 2. Open the file.
    InputFile file(path);
    const int64_t length = file.get() ? regularFileLength(file.get()) : -1;
    if (length < 0) {
        file.close();
        if (host.openDialogHasSelection()) {
            if (!v.currentFileName.empty()) showLoadStatus(v, statusNoAccess);
            host.setPanelText(controlFileSizeLine, "");
            v.loadedPath.clear();
        }
        giveUp(v);
        return loadFailed;
    }

    // 3. Too short to be an image.
    v.fileLength64 = length;
    if (length < int64_t(smallestFileBytes)) {
        file.close();
        showLoadStatus(v, statusTooShort);
        v.loadedPath.clear();
        giveUp(v);
        return loadFailed;
    }

    // 4. Busy from here on.
    v.loadBusy = 1;
    host.setCursor(v.middleDragging ? Cursor::sizeNorthSouth : Cursor::wait);
    v.dicom.image.fileLength = uint32_t(length);

    // 5. The previous image is gone from here on, whatever happens; so is its frame source with
    // its decoded frame, which for a large image is tens of megabytes.
    v.source.reset();

    // 6. The block for the file and its spare room.
    if (length >= largestFileBytes || !v.dicom.bytes.prepare(uint64_t(length))) {
        v.dicom.bytes.release();
        return refuseTooBig(v, file);
    }

    // 7.
    v.loadedPath = path;

    // 8. Large files show progress.
    const uint32_t chunks = (v.dicom.image.fileLength >> 16) + 1;
    const bool large = chunks > progressChunkThreshold;
    if (large) {
        showLoadStatus(v, statusLoading);
        host.hideImageWindow();
        host.enableMenuItem(commandSaveImageAs, false);
    }

    // 9.
    char sizeText[64];
    std::snprintf(sizeText, sizeof sizeText, "Filesize: %lld KB", static_cast<long long>(v.fileLength64 >> 10));
    host.setPanelText(controlFileSizeLine, sizeText);
    host.repaintPanel();

    // 10. Read the chunks; the header is examined once the first four are in.
    v.loadProgressState = loadReading;
    uint64_t total = 0;
    int lastPercent = -1;
    for (uint32_t chunk = 0; chunk < chunks; ++chunk) {
        const size_t got = std::fread(v.dicom.bytes.data() + uint64_t(chunk) * loadChunkBytes, 1, loadChunkBytes, file.get());
        total += got;
        v.dicom.bytes.noteWritten(uint64_t(chunk) * loadChunkBytes + got);
        if (chunk == 3 && !interpretHeader(v, headerScan)) {
            v.loadProgressState = loadIdle;
            return stopReading(v, file, statusUnsupported);
        }
        if (large && chunk > 3) showProgress(v, chunk, chunks, lastPercent);
        if (host.escapePressed()) {
            v.loadProgressState = loadAborted;
            return stopReading(v, file, statusAborted);
        }
    }

    // 11.
    v.loadProgressState = loadIdle;
    if (large) {
        showLoadStatus(v, statusExamining);
        host.repaintPanel();
    }

    uint16_t result = loadFailed;
    if (total != uint64_t(v.dicom.image.fileLength)) {
        showLoadStatus(v, statusReadError);  // 12.
    } else if (chunks < 4 && !interpretHeader(v, headerScan)) {
        return stopReading(v, file, statusUnsupported);  // 13.
    } else if (!interpretHeader(v, headerFinish)) {
        showLoadStatus(v, statusUnsupported);  // 14.
    } else if (v.dicom.image.pixelsPerFrame >= largestPixelsPerFrame) {
        showLoadStatus(v, statusTooBigDimensions);
    } else {
        // 15, 16.
        result = loadDone;
        if (!v.batchMode) fillImageInfo(v);
        else readRescaleAndWindow(v);  // each file of a batch is windowed with its own values
        setContrastAfterLoad(v);
        if (!v.batchMode) showLoadedImage(v);
    }

    // 17.
    file.close();
    v.loadBusy = 0;
    restoreCursor(v);
    if (result == loadFailed) {
        giveUp(v);
        return loadFailed;
    }
    if (!v.batchMode) {
        host.showImageWindow();
        host.enableMenuItem(commandSaveImageAs, true);
    }
    return loadDone;
}

}  // namespace vs
