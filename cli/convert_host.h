// The converter's Host: questions on the terminal, messages on the standard streams, and a
// progress bar on standard error when that is a terminal.
#pragma once

#include <cstdint>
#include <cstdio>

#include "cli/convert.h"
#include "core/host.h"

namespace vs::cli {

class ConvertHost : public NullHost {
public:
    ConvertHost(Overwrite overwrite, bool showProgress);

    MessageAnswer messageBox(std::string_view text, std::string_view caption, MessageButtons buttons,
                             MessageIcon icon) override;
    void batchProgress(uint32_t fileIndex, uint32_t fileCount) override;
    void batchFrameProgress(uint32_t frame, uint32_t frameCount) override;
    void closeStatusBox() override;

private:
    MessageAnswer askOverwrite(std::string_view text);
    void drawProgress();
    void clearProgress();

    Overwrite overwrite_;
    bool progress_;
    bool askOnTerminal_;
    bool barShown_ = false;
    uint32_t file_ = 0, files_ = 0, frame_ = 0, frames_ = 0;
};

}  // namespace vs::cli
