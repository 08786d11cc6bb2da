#include "tests/support/recording_host.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "core/loader.h"
#include "core/paths.h"
#include "platform/decoder_bundle.h"

namespace vs::testing {

std::vector<std::string> RecordingHost::starting(const std::string& prefix) const {
    std::vector<std::string> found;
    std::copy_if(effects.begin(), effects.end(), std::back_inserter(found), [&](auto& e) { return e.starts_with(prefix); });
    return found;
}

std::string RecordingHost::last(const std::string& prefix) const {
    const std::vector<std::string> found = starting(prefix);
    return found.empty() ? "" : found.back().substr(prefix.size());
}

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

TestViewer::TestViewer(bool allCompressions) : decoders(makeDecoderBundle(allCompressions)) {
    v.host = &host;
    v.decoders = decoders->decoders();
}

LoadResult TestViewer::load(const std::string& path) {
    setPath(v.pathBuffer, path);
    splitPath(v);
    return loadFile(v);
}

}  // namespace vs::testing
