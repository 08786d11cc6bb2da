#include "core/loader.h"

#include <cstdio>
#include <string>

#include "core/contrast.h"
#include "core/coded_frame.h"
#include "core/render.h"
#include "core/zoom.h"
#include "dicom/image_description.h"

namespace vs {
namespace {

void giveUp(Viewer& v) {
    v.animationPlaying = false;
    v.host->stopAnimationTimer();
    v.host->hideAnimationControl();
    v.host->hideImageWindow();
    v.host->enableSaving(false);
}

void restoreCursor(Viewer& v) {
    if (!v.middleDragging) v.host->setCursor(Cursor::arrow);
}

// What the viewer shows while the library reads a file.
class ViewerReading : public ReadObserver {
public:
    ViewerReading(Viewer& v, std::string path) : v_(v), path_(std::move(path)) {}

    // Busy from here on; the previous image is gone, whatever happens, and so is its frame
    // source with its decoded frame, which for a large image is tens of megabytes. Playing
    // stops and the animation control hides until the new file says it has frames.
    void started() override {
        v_.loadBusy = true;
        v_.host->setCursor(v_.middleDragging ? Cursor::sizeNorthSouth : Cursor::wait);
        v_.source.reset();
    }

    void opened(uint64_t length, bool large) override {
        v_.loadedPath = path_;
        if (large) {
            showLoadStatus(v_, statusLoading);
            v_.host->hideImageWindow();
            v_.host->enableSaving(false);
        }
        v_.host->showFileSize(fileSizeLine(length));
        v_.host->repaintPanel();
        v_.loadProgressState = loadReading;
        stopAnimation();
    }

    void progress(int percent) override {
        char text[64];
        std::snprintf(text, sizeof text, "<loading file, press escape to abort (%d%%)>", percent);
        v_.host->showLoadProgress(text);
    }

    bool abortRequested() override { return v_.host->escapePressed(); }

    void examining() override {
        showLoadStatus(v_, statusExamining);
        v_.host->repaintPanel();
    }

private:
    void stopAnimation() {
        v_.animationPlaying = false;
        v_.host->stopAnimationTimer();
        v_.host->hideAnimationControl();
    }

    Viewer& v_;
    std::string path_;
};

void refuseTooBig(Viewer& v) {
    v.host->hideImageWindow();
    showLoadStatus(v, statusTooBig);
    v.host->repaintPanel();
    v.loadedPath.clear();
    giveUp(v);
    // The name is forgotten, so that nothing reads the file again until a name is chosen anew.
    v.currentFileName.clear();
    v.loadBusy = false;
    restoreCursor(v);
}

// The frames of an accepted file: the first frame decoded where a decoder reads it (or a box
// says why not), the title, the animation control.
void showFrames(Viewer& v) {
    const ImageState& image = v.dicom.image;
    v.currentFrame = 0;
    if (framesAreCoded(v)) decodeCodedFrame(v);
    v.host->setImageWindowTitle(frameTitle(image.frameCount, v.currentFrame));
    if (image.frameCount > 1) v.host->prepareAnimationControl(image.frameCount, v.currentFrame);
}

// The five lines of the panel.
void showDescription(Viewer& v) {
    v.host->showDescription(describeImage(v.dicom, frameSource(v), v.currentFrame));
}

// The image window's part of a load: zoom, fit, render.
void showLoadedImage(Viewer& v) {
    if (v.autoZoom) chooseAutomaticZoom(v, v.host->viewArea());
    v.host->fitImageWindow();
    renderFrame(v);
}

// Contrast after a load: range, drag scale, and the preset when it is to be applied.
void setContrastAfterLoad(Viewer& v) {
    scanDataRange(v);
    v.contrastDragScale = (double(v.window.dataMax) - double(v.window.dataMin)) * 0.0013020833333333333;
    if (v.appState == AppState::starting || v.window.autoWindowing) {
        if (v.appState != AppState::loaded) v.host->selectInOpenDialog(v.currentFileName);
        applyWindowPreset(v);
        v.appState = AppState::loaded;
    }
}

}  // namespace

void showLoadStatus(Viewer& v, LoadStatus status) {
    v.host->showLoadStatus(loadStatusText(status));
    v.host->showWindowAtDataRange(true);
}

LoadResult loadFile(Viewer& v, const LoadRequest& request) {
    std::string path = v.currentDirectory + v.currentFileName;
    if (path.size() >= pathCapacity) path.resize(pathCapacity - 1);
    if (path == v.loadedPath && !request.evenIfLoaded) return LoadResult::alreadyLoaded;

    ViewerReading reading(v, path);
    const LoadStatus status = readDicomFile(path, v.dicom, reading, v.decoders);
    v.loadProgressState = status == statusAborted ? loadAborted : loadIdle;
    switch (status) {
    case statusLoaded: break;
    case statusNoAccess:
        if (request.dialogHasSelection) {
            if (!v.currentFileName.empty()) showLoadStatus(v, statusNoAccess);
            v.host->showFileSize("");
            v.loadedPath.clear();
        }
        giveUp(v);
        return LoadResult::failed;
    case statusTooShort:
        showLoadStatus(v, statusTooShort);
        v.loadedPath.clear();
        giveUp(v);
        return LoadResult::failed;
    case statusTooBig:
        refuseTooBig(v);
        return LoadResult::failed;
    default:
        showLoadStatus(v, status);
        v.loadBusy = false;
        restoreCursor(v);
        giveUp(v);
        return LoadResult::failed;
    }

    showFrames(v);
    readRescaleAndWindow(v.dicom);
    showDescription(v);
    setContrastAfterLoad(v);
    showLoadedImage(v);
    v.loadBusy = false;
    restoreCursor(v);
    v.host->showImageWindow();
    v.host->enableSaving(true);
    return LoadResult::loaded;
}

}  // namespace vs
