#include "cli/terminal_dialogue.h"

#include <unistd.h>

#include <iostream>
#include <string>

namespace vs::cli {
namespace {

inline constexpr int barWidth = 30;

}  // namespace

TerminalDialogue::TerminalDialogue(Overwrite overwrite, bool showProgress)
    : overwrite_(overwrite),
      progress_(showProgress && isatty(STDERR_FILENO)),
      askOnTerminal_(isatty(STDIN_FILENO)) {}

MessageAnswer TerminalDialogue::ask(const std::string& text, MessageButtons buttons, MessageIcon) {
    clearProgress();
    if (buttons == MessageButtons::yesNoCancel) return askOverwrite(text);
    std::fprintf(stderr, "vireoscan-convert: %s\n", text.c_str());
    return MessageAnswer::ok;
}

void TerminalDialogue::report(const std::string& text) {
    clearProgress();
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
}

MessageAnswer TerminalDialogue::askOverwrite(const std::string& text) {
    if (overwrite_ == Overwrite::yes) return MessageAnswer::yes;
    if (overwrite_ == Overwrite::no || !askOnTerminal_) {
        std::fprintf(stderr, "vireoscan-convert: %s No.\n", text.c_str());
        return MessageAnswer::no;
    }
    for (;;) {
        std::fprintf(stderr, "%s [y]es, [n]o, [c]ancel: ", text.c_str());
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

void TerminalDialogue::fileStarted(uint32_t index, uint32_t count) {
    file_ = index;
    files_ = count;
    frame_ = frames_ = 0;
    drawProgress();
}

void TerminalDialogue::frameStarted(uint32_t frame, uint32_t count) {
    frame_ = frame;
    frames_ = count;
    // Redraw about a hundred times per file at most.
    if (count < 100 || frame % (count / 100) == 0) drawProgress();
}

void TerminalDialogue::drawProgress() {
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

void TerminalDialogue::clearProgress() {
    if (!barShown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    barShown_ = false;
}

}  // namespace vs::cli
