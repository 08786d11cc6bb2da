// The converter's Host: panel lines are kept for printing, questions go to the terminal.
#pragma once

#include <map>
#include <string>

#include "core/host.h"

namespace vs::cli {

class ConsoleHost : public NullHost {
public:
    void setPanelText(ControlId line, std::string_view text) override { lines_[line] = std::string(text); }
    const std::string& line(ControlId id) { return lines_[id]; }
    void clearLines() { lines_.clear(); }

private:
    std::map<int, std::string> lines_;
};

}  // namespace vs::cli
