#include "cli/terminal_dialogue.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

namespace vs::cli {
namespace {

inline constexpr int barWidth = 30;

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The path in single quotes, for a command line to copy.
std::string shellQuoted(const std::string& path) {
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Why a file cannot be opened for reading, as the system says it.
std::string whyNoAccess(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    return S_ISREG(info.st_mode) ? std::string() : "not a regular file";
}

// Why a file was not read, in the words of the panel's status texts, and what they stand for.
std::string reasonNotRead(const std::string& path, LoadStatus why, bool allDecoders) {
    switch (why) {
        case statusNoAccess: {
            const std::string detail = whyNoAccess(path);
            return detail.empty() ? "no file access" : "no file access (" + detail + ")";
        }
        case statusUnsupported: return "unsupported filetype, not a greyscale DICOM image";
        case statusUnsupportedEncoding:
            return allDecoders ? "unsupported encoding" : "unsupported encoding (--all-decoders reads more)";
        case statusTooShort: return "file is too short (" + std::to_string(smallestFileBytes) + " bytes at least)";
        case statusTooBig:
            return "file is too big (" + std::to_string(largestFileBytes) + " bytes or more, or no memory to hold it)";
        case statusTooBigDimensions:
            return "image dimensions too big (at most " + std::to_string(largestPixelsPerFrame - 1) +
                   " pixels a frame and " + std::to_string(mostFrames) + " frames)";
        case statusReadError: return "file read error";
        case statusAborted: return "loading aborted";
        default: return loadStatusText(why);
    }
}

}  // namespace

TerminalDialogue::TerminalDialogue(Overwrite overwrite, bool showProgress, bool allDecoders)
    : overwrite_(overwrite),
      progress_(showProgress && isatty(STDERR_FILENO)),
      askOnTerminal_(isatty(STDIN_FILENO)),
      allDecoders_(allDecoders) {}

std::string TerminalDialogue::notReadText(const std::string& path, LoadStatus why) const {
    if (why == statusNoAccess && isFolder(path))
        return "Error: '" + path + "' is a folder!\nTo convert the files in it: find " + shellQuoted(path) +
               " -type f -print0 | vireoscan-convert -0 --files-from - [OPTION]...";
    return "Error: Can't convert '" + path + "': " + reasonNotRead(path, why, allDecoders_) + "!";
}

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
