// A Host for tests: records what the viewer shows as short texts in order ("status
// <unsupported filetype>", "repaint image"), answers questions from a list and reads Escape
// as pressed from a chosen poll on.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/loader.h"
#include "core/viewer.h"

namespace vs::testing {

class RecordingHost : public NullHost {
public:
    std::vector<std::string> effects;
    std::vector<std::string> messages;
    // Answers for message boxes, taken in turn; when none are left, the first button.
    std::vector<MessageAnswer> answers;
    // Escape reads as pressed from this poll on (counting from 1); 0: never.
    int escapeFromPoll = 0;
    int escapePolls = 0;

    // The effects whose text starts with prefix, in order.
    std::vector<std::string> starting(const std::string& prefix) const;
    // The text after prefix of the last such effect; empty when there is none.
    std::string last(const std::string& prefix) const;

    void showDescription(const ImageDescription& d) override { add("patient ", d.patient); add("image ", d.image); }
    void showLoadStatus(std::string_view status) override { add("status ", status); }
    void showLoadProgress(std::string_view text) override { add("progress ", text); }
    void showFileSize(std::string_view text) override { add("size ", text); }
    void showWindowAtDataRange(bool full) override { add("reset picture ", full ? "full" : "windowed"); }
    void showImageWindow() override { NullHost::showImageWindow(); add("show image", ""); }
    void setImageWindowTitle(std::string_view title) override { add("title ", title); }
    void repaintImageWindow() override { add("repaint image", ""); }
    void fitImageWindow() override { add("fit", ""); }
    void stopAnimationTimer() override { add("stop animation timer", ""); }
    void enableSaving(bool on) override { add("saving ", on ? "on" : "off"); }
    void showPreset(uint16_t preset) override { add("preset ", std::to_string(preset)); }
    void showAutomaticWindowing(bool on) override { add("auto windowing ", on ? "on" : "off"); }
    void setCursor(Cursor c) override { add("cursor ", c == Cursor::wait ? "wait" : c == Cursor::arrow ? "arrow" : "other"); }
    bool escapePressed() override { return ++escapePolls >= escapeFromPoll && escapeFromPoll > 0; }
    void selectInOpenDialog(std::string_view name) override { add("select ", name); }
    MessageAnswer messageBox(std::string_view text, std::string_view caption, MessageButtons buttons,
                             MessageIcon icon) override;
    void showStatusBox(std::string_view text) override { add("status box ", text); }

private:
    void add(std::string_view what, std::string_view text) { effects.push_back(std::string(what) + std::string(text)); }
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

// A viewer wired to a recording host and the platform's decoders (with every compression when
// asked), with a folder for files.
struct TestViewer {
    explicit TestViewer(bool allCompressions = false);
    TempDir dir;
    RecordingHost host;
    std::unique_ptr<DecoderBundle> decoders;
    Viewer v;
    // Loads path as the Open dialog would (folder and name set, then loadFile).
    LoadResult load(const std::string& path);
    // Writes bytes into the folder under name and loads them.
    LoadResult load(const std::string& name, const std::vector<uint8_t>& bytes) { return load(dir.write(name, bytes)); }
};

}  // namespace vs::testing
