// Every effect a core step has on windows, menus, the cursor or the keyboard goes through
// Host. The desktop program implements it with widgets, the converter with the console, the
// tests with a recorder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dicom/questions.h"

#include "vireoscan_version.h"

namespace vs {

// Identities of the controls and menu commands the core talks about.
enum ControlId : int {
    controlResetContrast = 1007,
    controlPatientLine = 1009,
    controlDateLine = 1013,
    controlStudyLine = 1015,
    controlPixsizeLine = 1017,
    controlImageLine = 1018,
    controlFileSizeLine = 1113,
};

enum CommandId : int {
    commandBatchConversion = 156,
    commandNegativeImage = 184,
    commandContrastStretch = 185,
    commandSaveImageAs = 186,
    commandStoredSettings = 188,
    commandCtLung = 189,
    commandCtBone = 190,
    commandAutomaticZoom = 191,
    commandCtChest = 192,
    commandCtSoftTissue = 193,
    commandCtBrain = 194,
};

enum class Cursor { arrow, wait, sizeNorthSouth, cross, sizeAll };


inline constexpr const char* programCaption = "Vireoscan v " VIREOSCAN_VERSION_SHORT;

class Host {
public:
    virtual ~Host() = default;

    // Information panel lines (1009, 1013, 1015, 1017, 1018, 1113).
    virtual void setPanelText(ControlId line, std::string_view text) = 0;
    // Forces the panel, or one of its controls, to show its new text now.
    virtual void repaintPanel() = 0;
    virtual void repaintControl(ControlId control) = 0;
    // The Reset Contrast button's picture: full range or windowed.
    virtual void setResetContrastPicture(bool fullRange) = 0;

    virtual void showImageWindow() = 0;  // without activating it
    virtual void hideImageWindow() = 0;
    virtual bool imageWindowVisible() const = 0;
    virtual void setImageWindowTitle(std::string_view title) = 0;
    // Invalidates the image window and paints it before returning.
    virtual void repaintImageWindow() = 0;
    // Sizes the image window to the zoomed image after a load (the window-system part of the fit).
    virtual void fitImageWindow() = 0;
    // Selects an entry of the panel's zoom list.
    virtual void selectZoomIndex(int index) = 0;

    // Animation control: stop its frame timer, hide it, or prepare it for a new multi-frame
    // image (play picture, slider range 0..frameCount-1 and position, shown without activation).
    virtual void stopAnimationTimer() = 0;
    virtual void hideAnimationControl() = 0;
    virtual void prepareAnimationControl(uint32_t frameCount, uint32_t currentFrame) = 0;

    virtual void enableMenuItem(CommandId command, bool enabled) = 0;
    virtual void checkMenuItem(CommandId command, bool checked) = 0;
    // The "&Automatic Windowing" popup's own check mark.
    virtual void checkAutomaticWindowingMenu(bool checked) = 0;

    virtual void setCursor(Cursor cursor) = 0;
    // True when Escape is (or was, since the last poll) held down during a load.
    virtual bool escapePressed() = 0;

    // The Open dialog: put a name in its file-name box and select it in its list when present.
    virtual void selectInOpenDialog(std::string_view fileName) = 0;

    // A message box; blocks until answered.
    virtual MessageAnswer messageBox(std::string_view text, std::string_view caption,
                                     MessageButtons buttons, MessageIcon icon) = 0;
    // The small status box ("Processing files..."): shown with a text, or closed.
    virtual void showStatusBox(std::string_view text) = 0;
    virtual void closeStatusBox() = 0;
    // Progress of a batch run, for hosts that show one (the converter's progress bar).
    virtual void batchProgress(uint32_t /*fileIndex*/, uint32_t /*fileCount*/) {}
    // Progress through the frames of the file being converted.
    virtual void batchFrameProgress(uint32_t /*frame*/, uint32_t /*frameCount*/) {}
};

// A host that does nothing: every effect is dropped, no key is ever pressed, every question
// is answered with its first button. Tools and benchmarks derive from it.
class NullHost : public Host {
public:
    void setPanelText(ControlId, std::string_view) override {}
    void repaintPanel() override {}
    void repaintControl(ControlId) override {}
    void setResetContrastPicture(bool) override {}
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
    void enableMenuItem(CommandId, bool) override {}
    void checkMenuItem(CommandId, bool) override {}
    void checkAutomaticWindowingMenu(bool) override {}
    void setCursor(Cursor) override {}
    bool escapePressed() override { return false; }
    void selectInOpenDialog(std::string_view) override {}
    MessageAnswer messageBox(std::string_view, std::string_view, MessageButtons buttons,
                             MessageIcon) override {
        return buttons == MessageButtons::yesNo || buttons == MessageButtons::yesNoCancel ? MessageAnswer::yes
                                                                                      : MessageAnswer::ok;
    }
    void showStatusBox(std::string_view) override {}
    void closeStatusBox() override {}

private:
    bool imageVisible_ = false;
};

}  // namespace vs
