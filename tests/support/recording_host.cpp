#include "tests/support/recording_host.h"

#include <fstream>
#include <random>
#include <stdexcept>

#include "core/loader.h"
#include "core/paths.h"
#include "platform/jpeg_decoder.h"

namespace vs::testing {

namespace {

constexpr const char* cursorNames[] = {"arrow", "wait", "sizens", "cross", "sizeall"};

}  // namespace

std::vector<std::string> RecordingHost::starting(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& e : effects)
        if (e.rfind(prefix, 0) == 0) found.push_back(e);
    return found;
}

std::string RecordingHost::last(const std::string& prefix) const {
    const std::vector<std::string> found = starting(prefix);
    return found.empty() ? "" : found.back().substr(prefix.size());
}

void RecordingHost::showDescription(const ImageDescription& d) {
    add("patient ", d.patient);
    add("image ", d.image);
}

void RecordingHost::showImageWindow() {
    NullHost::showImageWindow();
    add("show image", "");
}

void RecordingHost::hideImageWindow() {
    NullHost::hideImageWindow();
    add("hide image", "");
}

void RecordingHost::setCursor(Cursor c) { add("cursor ", cursorNames[int(c)]); }

MessageAnswer RecordingHost::messageBox(std::string_view text, std::string_view caption, MessageButtons buttons,
                                        MessageIcon icon) {
    messages.push_back(std::string(text));
    add("message ", caption);
    if (answers.empty()) return NullHost::messageBox(text, caption, buttons, icon);
    const MessageAnswer answer = answers.front();
    answers.erase(answers.begin());
    return answer;
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

TestViewer::TestViewer() : decoder(std::make_unique<TurboJpegDecoder>()) {
    v.host = &host;
    v.pictureDecoder = decoder.get();
}

TestViewer::~TestViewer() = default;

uint16_t TestViewer::load(const std::string& path) {
    setPath(v.pathBuffer, path);
    splitPath(v);
    return loadFile(v);
}

}  // namespace vs::testing
