// A Host for tests: keeps the panel lines and window state a user would see, and records
// every effect in order as a short text, so tests can assert both.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/viewer.h"

namespace vs::testing {

class RecordingHost : public Host {
public:
    std::vector<std::string> effects;
    std::map<int, std::string> lines;
    std::map<int, bool> menuEnabled;
    std::map<int, bool> menuChecked;
    bool automaticWindowingChecked = true;
    bool imageVisible = false;
    bool animationShown = false;
    bool resetPictureFullRange = true;
    std::string imageTitle;
    Cursor cursor = Cursor::arrow;
    int zoomIndex = 2;
    bool hasSelection = true;
    std::string selectedInOpenDialog;
    // Escape reads as pressed from this poll on (counting from 1); 0: never.
    int escapeFromPoll = 0;
    int escapePolls = 0;
    // Answers for message boxes, taken in turn; when empty, the first button.
    std::vector<MessageAnswer> answers;
    std::vector<std::string> messages;
    std::function<void()> onRepaintImage;

    // Effects whose text starts with prefix.
    std::vector<std::string> effectsStartingWith(const std::string& prefix) const;

    void setPanelText(ControlId line, std::string_view text) override;
    void repaintPanel() override { effects.push_back("repaint panel"); }
    void repaintControl(ControlId control) override { effects.push_back("repaint " + std::to_string(control)); }
    void setResetContrastPicture(bool fullRange) override;
    void showImageWindow() override;
    void hideImageWindow() override;
    bool imageWindowVisible() const override { return imageVisible; }
    void setImageWindowTitle(std::string_view title) override;
    void repaintImageWindow() override;
    void fitImageWindow() override { effects.push_back("fit"); }
    void selectZoomIndex(int index) override;
    void stopAnimationTimer() override { effects.push_back("stop animation timer"); }
    void hideAnimationControl() override;
    void prepareAnimationControl(uint32_t frameCount, uint32_t currentFrame) override;
    void enableMenuItem(CommandId command, bool enabled) override;
    void checkMenuItem(CommandId command, bool checked) override;
    void checkAutomaticWindowingMenu(bool checked) override;
    void setCursor(Cursor c) override;
    bool escapePressed() override;
    void selectInOpenDialog(std::string_view fileName) override;
    bool openDialogHasSelection() const override { return hasSelection; }
    MessageAnswer messageBox(std::string_view text, std::string_view caption, MessageButtons buttons,
                             MessageIcon icon) override;
    void showStatusBox(std::string_view text) override { effects.push_back("status box " + std::string(text)); }
    void closeStatusBox() override { effects.push_back("close status box"); }
};

// A folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Writes bytes to a file in the folder and returns its full path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

// A viewer wired to a recording host (and the platform JPEG decoder).
struct TestViewer {
    TestViewer();
    ~TestViewer();
    RecordingHost host;
    std::unique_ptr<Viewer> viewer;
    Viewer& v() { return *viewer; }
    // Loads path as the Open dialog would (folder and name set, then loadFile).
    uint16_t load(const std::string& path);
    // Writes bytes into dir under name and loads them.
    uint16_t load(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes);

private:
    std::unique_ptr<PictureDecoder> decoder_;
};

}  // namespace vs::testing
