// The converter's side of a conversion: questions on the terminal, messages on the standard
// streams, and a progress bar on standard error when that is a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/convert.h"
#include "convert/conversion.h"

namespace vs::cli {

class TerminalDialogue : public ConversionDialogue {
public:
    // allDecoders: the run reads every compression (no use suggesting it for a refused one).
    TerminalDialogue(Overwrite overwrite, bool showProgress, bool allDecoders);

    MessageAnswer ask(const std::string& text, MessageButtons buttons, MessageIcon icon) override;
    // Names the file and why it was not read; a folder gets the command line that converts
    // the files in it.
    std::string notReadText(const std::string& path, LoadStatus why) const override;
    void fileStarted(uint32_t index, uint32_t count) override;
    void frameStarted(uint32_t frame, uint32_t count) override;
    // The report of the run, on standard output.
    void report(const std::string& text);

private:
    MessageAnswer askOverwrite(const std::string& text);
    void drawProgress();
    void clearProgress();

    Overwrite overwrite_;
    bool progress_;
    bool askOnTerminal_;
    bool allDecoders_;
    bool barShown_ = false;
    uint32_t file_ = 0, files_ = 0, frame_ = 0, frames_ = 0;
};

}  // namespace vs::cli
