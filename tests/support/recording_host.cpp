#include "tests/support/recording_host.h"

#include <fstream>
#include <random>
#include <stdexcept>

#include "core/loader.h"
#include "core/paths.h"
#include "platform/jpeg_decoder.h"

namespace vs::testing {

std::vector<std::string> RecordingHost::effectsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& e : effects)
        if (e.rfind(prefix, 0) == 0) found.push_back(e);
    return found;
}

void RecordingHost::setCursor(Cursor c) {
    cursor = c;
    static const char* const names[] = {"arrow", "wait", "sizens", "cross", "sizeall"};
    effects.push_back(std::string("cursor ") + names[int(c)]);
}

MessageAnswer RecordingHost::messageBox(std::string_view text, std::string_view caption, MessageButtons buttons,
                                        MessageIcon) {
    messages.push_back(std::string(text));
    effects.push_back("message " + std::string(caption) + ": " + std::string(text));
    if (!answers.empty()) {
        const MessageAnswer answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    return buttons == MessageButtons::yesNo || buttons == MessageButtons::yesNoCancel ? MessageAnswer::yes
                                                                                      : MessageAnswer::ok;
}

TempDir::TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("vireoscan-test-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file.string();
}

TestViewer::TestViewer() : viewer(std::make_unique<Viewer>()), decoder_(std::make_unique<TurboJpegDecoder>()) {
    viewer->host = &host;
    viewer->pictureDecoder = decoder_.get();
}

TestViewer::~TestViewer() = default;

uint16_t TestViewer::load(const std::string& path) {
    setPath(viewer->pathBuffer, path);
    splitPath(*viewer);
    return loadFile(*viewer, {host.hasSelection});
}

uint16_t TestViewer::load(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    return load(dir.write(name, bytes));
}

}  // namespace vs::testing
