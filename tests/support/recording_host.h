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

namespace vs {

// The panel's lines and the menu's commands as the recorder keys them (the desktop program's
// numbers, so that recorded effects read as before).
enum RecordedLine : int {
    controlPatientLine = 1009,
    controlDateLine = 1013,
    controlStudyLine = 1015,
    controlPixsizeLine = 1017,
    controlImageLine = 1018,
    controlFileSizeLine = 1113,
};
enum RecordedCommand : int {
    commandNegativeImage = 184,
    commandContrastStretch = 185,
    commandSaveImageAs = 186,
    commandStoredSettings = 188,
    commandCtLung = 189,
    commandCtBone = 190,
    commandCtChest = 192,
    commandCtSoftTissue = 193,
    commandCtBrain = 194,
};
inline constexpr int recordedPresetCommands[] = {commandContrastStretch, commandStoredSettings, commandCtLung,
                                                 commandCtBone, commandCtChest, commandCtSoftTissue, commandCtBrain};

}  // namespace vs

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

    void record(bool, std::string effect) { effects.push_back(std::move(effect)); }
    // Effects whose text starts with prefix.
    std::vector<std::string> effectsStartingWith(const std::string& prefix) const;

    void setLine(int line, std::string_view text) {
        lines[line] = std::string(text);
        effects.push_back("panel " + std::to_string(line) + " " + std::string(text));
    }
    void showDescription(const ImageDescription& d) override {
        setLine(controlImageLine, d.image);
        setLine(controlPixsizeLine, d.pixsize);
        setLine(controlDateLine, d.date);
        setLine(controlPatientLine, d.patient);
        setLine(controlStudyLine, d.study);
    }
    void showLoadStatus(std::string_view status) override {
        if (!status.empty()) setLine(controlPatientLine, status);
        for (int line : {controlDateLine, controlStudyLine, controlImageLine, controlPixsizeLine}) setLine(line, "");
    }
    void showLoadProgress(std::string_view text) override {
        setLine(controlPatientLine, text);
        effects.push_back("repaint " + std::to_string(controlPatientLine));
    }
    void showFileSize(std::string_view text) override { setLine(controlFileSizeLine, text); }
    void repaintPanel() override { effects.push_back("repaint panel"); }
    void showWindowAtDataRange(bool fullRange) override {
        resetPictureFullRange = fullRange;
        effects.push_back(fullRange ? "reset picture full" : "reset picture windowed");
    }
    void showImageWindow() override { record(imageVisible = true, "show image"); }
    void hideImageWindow() override { record(imageVisible = false, "hide image"); }
    bool imageWindowVisible() const override { return imageVisible; }
    void setImageWindowTitle(std::string_view title) override {
        imageTitle = std::string(title);
        effects.push_back("title " + imageTitle);
    }
    void repaintImageWindow() override {
        effects.push_back("repaint image");
        if (onRepaintImage) onRepaintImage();
    }
    void fitImageWindow() override { effects.push_back("fit"); }
    void selectZoomIndex(int index) override {
        zoomIndex = index;
        effects.push_back("zoom " + std::to_string(index));
    }
    void stopAnimationTimer() override { effects.push_back("stop animation timer"); }
    void hideAnimationControl() override { record(animationShown = false, "hide animation"); }
    void prepareAnimationControl(uint32_t frameCount, uint32_t currentFrame) override {
        record(animationShown = true, "animation " + std::to_string(frameCount) + " " + std::to_string(currentFrame));
    }
    void enableSaving(bool enabled) override {
        record(menuEnabled[commandSaveImageAs] = enabled,
               "menu " + std::to_string(commandSaveImageAs) + (enabled ? " on" : " off"));
    }
    void check(int command, bool checked) {
        record(menuChecked[command] = checked, "check " + std::to_string(command) + (checked ? " on" : " off"));
    }
    void showPreset(uint16_t preset) override {
        for (uint16_t p = 0; p < presetCount; ++p) check(recordedPresetCommands[p], p == preset);
    }
    void showNegative(bool on) override { check(commandNegativeImage, on); }
    void showAutomaticWindowing(bool checked) override {
        record(automaticWindowingChecked = checked, checked ? "auto windowing on" : "auto windowing off");
    }
    void setCursor(Cursor c) override;
    bool escapePressed() override { return ++escapePolls >= escapeFromPoll && escapeFromPoll > 0; }
    void selectInOpenDialog(std::string_view fileName) override {
        selectedInOpenDialog = std::string(fileName);
        effects.push_back("open dialog select " + selectedInOpenDialog);
    }
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
