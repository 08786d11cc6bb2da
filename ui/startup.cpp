#include "ui/startup.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>
#include <thread>

#include "core/paths.h"
#include "platform/signal_cleanup.h"
#include "ui/animation_control.h"
#include "ui/batch_box.h"
#include "ui/boxes.h"
#include "ui/decoding_switch.h"
#include "ui/help_and_version.h"
#include "ui/image_window.h"
#include "ui/info_panel.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/qt_host.h"
#include "ui/single_instance.h"
#include "ui/tooltips.h"

// Resources of a static library are registered by hand, at every start: Qt registers the
// same data only once. Outside any namespace, as the macro's declaration needs.
static void initResources() { Q_INIT_RESOURCE(vireoscan); }

namespace vs::ui {

namespace {

constexpr uint64_t donationStartMask = 3;
constexpr uint64_t donationStartBits = 1;

// One lane a core, as many as the converter's jobs by default.
constexpr unsigned mostBandLanes = 4;

unsigned bandLanes() { return std::clamp(std::thread::hardware_concurrency(), 1u, mostBandLanes); }

uint64_t clockCounter() { return uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()); }

}  // namespace

std::string commandLinePath(const std::vector<std::string>& arguments) {
    std::string joined;
    for (const std::string& argument : arguments) {
        if (!joined.empty()) joined += ' ';
        joined += argument;
    }
    std::error_code error;
    if (joined.empty() || std::filesystem::exists(joined, error)) return joined;
    for (const std::string& argument : arguments)
        if (std::filesystem::exists(argument, error)) return argument;
    return joined;
}

std::vector<std::string> programArguments(int argc, const char* const* argv) {
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

bool donationDueAtStart(uint64_t counter) { return (counter & donationStartMask) == donationStartBits; }

std::unique_ptr<Program> Program::start(const StartOptions& options) {
    initResources();
    const std::string path = commandLinePath(options.arguments);
    const QString channel = options.channel.isEmpty() ? SingleInstance::defaultChannel() : options.channel;
    // A running instance takes the path and this start ends.
    if (SingleInstance::handOff(channel, QByteArray::fromStdString(path))) return nullptr;

    std::unique_ptr<Program> program(new Program);
    if (!program->makeState(options)) return nullptr;
    program->listenForLaterStarts(channel);
    program->measureScreen();
    program->makeServices();
    program->buildWindows();
    program->takeStartPath(path);
    program->showWindows();
    program->showStartBoxes(options.counter);
    program->buildPanels();
    program->app_->mainWindow->showOpenDialog();
    return program;
}

bool Program::makeState(const StartOptions& options) {
    try {
        app_ = options.makeApp ? options.makeApp() : std::make_unique<App>();
        if (!app_) throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
        showFatalError("Exit - Not enough free memory.", options.seams.message);
        return false;
    }
    app_->seams = options.seams;
    app_->viewer.temporaries = options.temporaries;
    return true;
}

void Program::listenForLaterStarts(const QString& channel) {
    channel_ = std::make_unique<SingleInstance>();
    channel_->listen(channel);
}

void Program::measureScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect desktop = screen->geometry();
    app_->screenWidth = desktop.right() + 1;
    app_->screenHeight = desktop.bottom() + 1;
}

// The decoders and the window-system host the core reaches through its interfaces.
void Program::makeServices() {
    useDecoders(*app_, decodeAllCompressionsSetting());
    app_->bands = std::make_unique<BandPool>(bandLanes());
    app_->viewer.bands = app_->bands.get();
    host_ = std::make_unique<QtHost>(*app_);
    app_->host = host_.get();
    app_->viewer.host = app_->host;
}

void Program::buildWindows() {
    auto* main = new MainWindow(*app_);
    app_->mainWindow = main;
    app_->imageWindow = new ImageWindow(*app_, main->workArea());
    main->takeKeysOf(app_->imageWindow);
    // Paths handed over by later starts go to the main window.
    QObject::connect(channel_.get(), &SingleInstance::pathReceived, main, &MainWindow::handOff);
}

void Program::takeStartPath(const std::string& path) {
    setPath(app_->viewer.pathBuffer, path);
    splitPath(app_->viewer);
}

// The main window fills the screen; the image window waits for a first image.
void Program::showWindows() {
    app_->mainWindow->showMaximized();
    app_->imageWindow->hide();
    app_->mainWindow->actions().saveImageAs->setEnabled(false);
    app_->imageWindow->measureFrameExtra();
}

// The About box; and the donation box at one start in four.
void Program::showStartBoxes(std::optional<uint64_t> counterReading) {
    MainWindow* main = app_->mainWindow;
    {
        AboutBox about(main);
        runModal(about, app_->seams.modal);
    }
    // The clock is read once the About box is gone, so the user's pause chooses too.
    const uint64_t counter = counterReading ? *counterReading : clockCounter();
    if (donationDueAtStart(counter)) {
        DonationBox donation(main, counter, app_->seams.pages);
        runModal(donation, app_->seams.modal);
    }
}

void Program::buildPanels() {
    MainWindow* main = app_->mainWindow;
    app_->tooltips = new Tooltips(*app_, main);
    app_->infoPanel = new InfoPanel(*app_, main);
    app_->infoPanel->show();
    app_->animControl = new AnimationControl(*app_, main);
}

Program::~Program() {
    if (!app_) return;
    if (app_->mainWindow) {
        app_->viewer.appState = AppState::closing;
        MainWindow* main = app_->mainWindow;
        app_->mainWindow = nullptr;
        delete main;
    }
    app_->openDialog = nullptr;
    app_->infoPanel = nullptr;
    app_->animControl = nullptr;
    app_->imageWindow = nullptr;
    app_->batchBox = nullptr;
    app_->tooltips = nullptr;
}

int runProgram(int argc, char** argv) {
    if (answerHelpOrVersion(argc, argv, stdout)) return 0;
    // Before any thread starts, so that every thread leaves these signals to the cleanup.
    TemporaryFiles temporaries;
    const SignalCleanup cleanup(temporaries);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vireoscan");
    // Lets a Wayland compositor match the window to vireoscan.desktop and its icon.
    QGuiApplication::setDesktopFileName("vireoscan");
    QApplication::setWindowIcon(QIcon(":/vireoscan/icon.png"));

    StartOptions options;
    options.arguments = programArguments(argc, argv);
    options.temporaries = &temporaries;
    std::unique_ptr<Program> program = Program::start(options);
    if (!program) return 0;
    QApplication::exec();
    return 0;
}

}  // namespace vs::ui
