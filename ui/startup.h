// The program's start: the command line to a path, the hand-off to a running instance, and
// everything the first instance builds before the user takes over.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/part_file.h"
#include "ui/app.h"

namespace vs::ui {

class SingleInstance;

// The path to open, from the arguments after the program's name as the shell or the file
// manager split them: all of them joined by single blanks when that names a file or folder
// (an unquoted path with blanks), else the first argument that names one ("vireoscan *.dcm"
// opens the first file), else the joined text as it stands.
std::string commandLinePath(const std::vector<std::string>& arguments);

// The arguments after the program's name.
std::vector<std::string> programArguments(int argc, const char* const* argv);

// The donation box shows at one start in four: when the counter's low two bits are 01.
bool donationDueAtStart(uint64_t counter);

struct StartOptions {
    std::vector<std::string> arguments;
    // The counter reading that chooses the donation box and its button order; by default
    // the clock's.
    std::optional<uint64_t> counter;
    // The single-instance channel; empty: the per-user default.
    QString channel;
    // Makes the program's state; tests make it fail to follow the out-of-memory path.
    std::function<std::unique_ptr<App>()> makeApp;
    // What answers the boxes and opens web pages; empty: the user and the desktop. The
    // program keeps them in App::seams.
    Seams seams;
    // Where the outputs being written are listed for the signal cleanup (none: not listed).
    TemporaryFiles* temporaries = nullptr;
};

class Program {
public:
    // Starts the viewer. Returns nothing when this start only handed its path to a running
    // instance, or when there was not enough memory; the process then ends with code 0.
    static std::unique_ptr<Program> start(const StartOptions& options);
    ~Program();

    App& app() { return *app_; }
    SingleInstance& channel() { return *channel_; }

private:
    Program() = default;

    // The start's steps, in this order. makeState is false when there was not enough memory.
    bool makeState(const StartOptions& options);
    void listenForLaterStarts(const QString& channel);
    void measureScreen();
    void makeServices();
    void buildWindows();
    void takeStartPath(const std::string& path);
    void showWindows();
    void showStartBoxes(std::optional<uint64_t> counterReading);
    void buildPanels();

    std::unique_ptr<App> app_;
    std::unique_ptr<QtHost> host_;
    std::unique_ptr<SingleInstance> channel_;
};

// The whole program: start, the event loop, the end. Returns the exit code (always 0).
int runProgram(int argc, char** argv);

}  // namespace vs::ui
