// What the viewer shows goes through Host: the controller says what the user sees (a load's
// status, a picture's title, a question), and the desktop program shows it with its widgets;
// the tests record it.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/questions.h"
#include "dicom/image_description.h"
#include "vireoscan_version.h"

namespace vs {

enum class Cursor { arrow, wait, sizeNorthSouth, cross, sizeAll };

// The caption of the program's windows and questions.
inline constexpr const char* programCaption = "Vireoscan v " VIREOSCAN_VERSION_SHORT;

// The desktop an image window is fitted to: the screen, and the widest zoomed image (display
// pixels) that fits to the left of the panels at the screen's right edge.
struct ViewArea {
    int screenWidth = 1280;
    int screenHeight = 1024;
    int roomWidth = INT_MAX;
};

class Host {
public:
    virtual ~Host() = default;

    // The information panel: the five lines of the file shown; a status such as
    // "<unsupported filetype>" in the Patient line with the other four lines empty; a load's
    // progress in the Patient line, painted at once; the file size line ("" empties it).
    virtual void showDescription(const ImageDescription& description) = 0;
    virtual void showLoadStatus(std::string_view status) = 0;
    virtual void showLoadProgress(std::string_view text) = 0;
    virtual void showFileSize(std::string_view text) = 0;
    // Paints the panel now, for texts written while a load keeps the event loop waiting.
    virtual void repaintPanel() = 0;
    // Whether the window spans the frame's data range (Reset Contrast shows it).
    virtual void showWindowAtDataRange(bool fullRange) = 0;

    virtual void showImageWindow() = 0;  // without activating it
    virtual void hideImageWindow() = 0;
    virtual bool imageWindowVisible() const = 0;
    virtual void setImageWindowTitle(std::string_view title) = 0;
    // Invalidates the image window and paints it before returning.
    virtual void repaintImageWindow() = 0;
    // Sizes the image window to the zoomed image after a load.
    virtual void fitImageWindow() = 0;
    // Shows the zoom in percent of the zoom list's entry index (25% .. 400%).
    virtual void selectZoomIndex(int index) = 0;
    // Where the image window is fitted, asked when it is fitted (the panels may have grown).
    virtual ViewArea viewArea() const { return {}; }

    // Animation control: stop its frame timer, hide it, or prepare it for a new multi-frame
    // image (play picture, slider range 0..frameCount-1 and position, shown without activation).
    virtual void stopAnimationTimer() = 0;
    virtual void hideAnimationControl() = 0;
    virtual void prepareAnimationControl(uint32_t frameCount, uint32_t currentFrame) = 0;

    // The menu: whether Save Image As can be chosen; which preset, whether the negative
    // picture and whether automatic windowing are on.
    virtual void enableSaving(bool enabled) = 0;
    virtual void showPreset(uint16_t preset) = 0;
    virtual void showNegative(bool on) = 0;
    virtual void showAutomaticWindowing(bool on) = 0;

    virtual void setCursor(Cursor cursor) = 0;
    // True when Escape is (or was, since the last poll) held down during a load.
    virtual bool escapePressed() = 0;

    // The Open dialog: put a name in its file-name box and select it in its list when present.
    virtual void selectInOpenDialog(std::string_view fileName) = 0;

    // A message box; blocks until answered.
    virtual MessageAnswer messageBox(std::string_view text, std::string_view caption, MessageButtons buttons,
                                     MessageIcon icon) = 0;
    // The small status box ("Processing files..."): shown with a text, or closed.
    virtual void showStatusBox(std::string_view text) = 0;
    virtual void closeStatusBox() = 0;
    // Progress of a batch run, for hosts that show one.
    virtual void batchProgress(uint32_t /*fileIndex*/, uint32_t /*fileCount*/) {}
    virtual void batchFrameProgress(uint32_t /*frame*/, uint32_t /*frameCount*/) {}
};

// A host that does nothing: every effect is dropped, no key is ever pressed, every question
// is answered with its first button. Benchmarks and fuzzers derive from it.
class NullHost : public Host {
public:
    void showDescription(const ImageDescription&) override {}
    void showLoadStatus(std::string_view) override {}
    void showLoadProgress(std::string_view) override {}
    void showFileSize(std::string_view) override {}
    void repaintPanel() override {}
    void showWindowAtDataRange(bool) override {}
    void showImageWindow() override { imageVisible_ = true; }
    void hideImageWindow() override { imageVisible_ = false; }
    bool imageWindowVisible() const override { return imageVisible_; }
    void setImageWindowTitle(std::string_view) override {}
    void repaintImageWindow() override {}
    void fitImageWindow() override {}
    void selectZoomIndex(int) override {}
    void stopAnimationTimer() override {}
    void hideAnimationControl() override {}
    void prepareAnimationControl(uint32_t, uint32_t) override {}
    void enableSaving(bool) override {}
    void showPreset(uint16_t) override {}
    void showNegative(bool) override {}
    void showAutomaticWindowing(bool) override {}
    void setCursor(Cursor) override {}
    bool escapePressed() override { return false; }
    void selectInOpenDialog(std::string_view) override {}
    MessageAnswer messageBox(std::string_view, std::string_view, MessageButtons buttons, MessageIcon) override {
        return buttons == MessageButtons::yesNo || buttons == MessageButtons::yesNoCancel ? MessageAnswer::yes
                                                                                      : MessageAnswer::ok;
    }
    void showStatusBox(std::string_view) override {}
    void closeStatusBox() override {}

private:
    bool imageVisible_ = false;
};

}  // namespace vs
