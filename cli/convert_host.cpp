#include "cli/convert_host.h"

#include <unistd.h>

#include <iostream>
#include <string>

namespace vs::cli {
namespace {

inline constexpr int barWidth = 30;

}  // namespace

ConvertHost::ConvertHost(Overwrite overwrite, bool showProgress)
    : overwrite_(overwrite),
      progress_(showProgress && isatty(STDERR_FILENO)),
      askOnTerminal_(isatty(STDIN_FILENO)) {}

MessageAnswer ConvertHost::messageBox(std::string_view text, std::string_view /*caption*/, MessageButtons buttons,
                                      MessageIcon icon) {
    clearProgress();
    if (buttons == MessageButtons::yesNoCancel) return askOverwrite(text);
    if (icon == MessageIcon::information) {
        std::fprintf(stdout, "%.*s\n", int(text.size()), text.data());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "vireoscan-convert: %.*s\n", int(text.size()), text.data());
    }
    return MessageAnswer::ok;
}

MessageAnswer ConvertHost::askOverwrite(std::string_view text) {
    if (overwrite_ == Overwrite::yes) return MessageAnswer::yes;
    if (overwrite_ == Overwrite::no || !askOnTerminal_) {
        std::fprintf(stderr, "vireoscan-convert: %.*s No.\n", int(text.size()), text.data());
        return MessageAnswer::no;
    }
    for (;;) {
        std::fprintf(stderr, "%.*s [y]es, [n]o, [c]ancel: ", int(text.size()), text.data());
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::fputc('\n', stderr);
            return MessageAnswer::no;
        }
        const char c = answer.empty() ? '\0' : char(answer[0] | 0x20);
        if (c == 'y') return MessageAnswer::yes;
        if (c == 'n') return MessageAnswer::no;
        if (c == 'c') return MessageAnswer::cancel;
    }
}

void ConvertHost::batchProgress(uint32_t fileIndex, uint32_t fileCount) {
    file_ = fileIndex;
    files_ = fileCount;
    frame_ = frames_ = 0;
    drawProgress();
}

void ConvertHost::batchFrameProgress(uint32_t frame, uint32_t frameCount) {
    frame_ = frame;
    frames_ = frameCount;
    // Redraw about a hundred times per file at most.
    if (frameCount < 100 || frame % (frameCount / 100) == 0) drawProgress();
}

void ConvertHost::closeStatusBox() { clearProgress(); }

void ConvertHost::drawProgress() {
    // A bar only for runs of several files or frames.
    if (!progress_ || (files_ < 2 && frames_ < 2) || file_ >= files_) return;
    double done = double(file_) / files_;
    if (frames_ > 0) done += double(frame_) / frames_ / files_;
    const int filled = int(done * barWidth);
    std::fprintf(stderr, "\r[%s%s] file %u of %u", std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(barWidth - filled), ' ').c_str(), file_ + 1, files_);
    if (frames_ > 1) std::fprintf(stderr, ", frame %u of %u", frame_ + 1, frames_);
    std::fputs("\033[K", stderr);
    std::fflush(stderr);
    barShown_ = true;
}

void ConvertHost::clearProgress() {
    if (!barShown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    barShown_ = false;
}

}  // namespace vs::cli
