#include "ui/startup.h"

#include <QApplication>
#include <QScreen>
#include <chrono>
#include <new>

#include "core/paths.h"
#include "platform/jpeg_decoder.h"
#include "ui/animation_control.h"
#include "ui/batch_box.h"
#include "ui/boxes.h"
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

uint64_t clockCounter() { return uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()); }

}  // namespace

std::string commandLineToPath(std::string_view text) {
    std::string_view rest = text.substr(0, pathCapacity - 1);
    const size_t start = rest.find_first_not_of(' ');
    rest = start == std::string_view::npos ? std::string_view() : rest.substr(start);
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        const size_t close = rest.find('"');
        if (close != std::string_view::npos) rest = rest.substr(0, close);
    }
    return std::string(rest);
}

std::string argumentText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

bool donationDueAtStart(uint64_t counter) { return (counter & donationStartMask) == donationStartBits; }

std::unique_ptr<Program> Program::start(const StartOptions& options) {
    initResources();
    const std::string path = commandLineToPath(options.commandText);

    // A running instance takes the path and this start ends.
    const QString channel = options.channel.isEmpty() ? SingleInstance::defaultChannel() : options.channel;
    if (SingleInstance::handOff(channel, QByteArray::fromStdString(path))) return nullptr;

    std::unique_ptr<Program> program(new Program);
    try {
        program->app_ = options.makeApp ? options.makeApp() : std::make_unique<App>();
        if (!program->app_) throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
        showFatalError("Exit - Not enough free memory.", options.seams.message);
        return nullptr;
    }
    App& app = *program->app_;
    app.seams = options.seams;
    Viewer& v = app.viewer;

    program->channel_ = std::make_unique<SingleInstance>();
    program->channel_->listen(channel);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->geometry();
        v.screenWidth = int16_t(desktop.right() + 1);
        v.screenHeight = int16_t(desktop.bottom() + 1);
    }
    program->decoder_ = std::make_unique<TurboJpegDecoder>();
    v.pictureDecoder = program->decoder_.get();
    program->host_ = std::make_unique<QtHost>(app);
    app.host = program->host_.get();
    v.host = app.host;

    auto* main = new MainWindow(app);
    app.mainWindow = main;
    app.imageWindow = new ImageWindow(app, main->workArea());
    main->takeKeysOf(app.imageWindow);
    QObject::connect(program->channel_.get(), &SingleInstance::pathReceived, main, &MainWindow::handOff);

    setPath(v.pathBuffer, path);
    splitPath(v);

    main->showMaximized();
    app.imageWindow->hide();
    main->enableCommand(commandSaveImageAs, false);
    app.imageWindow->measureFrameExtra();

    // The About box; and the donation box at one start in four.
    {
        AboutBox about(main);
        runModal(about, app.seams.modal);
    }
    const uint64_t counter = options.counter ? *options.counter : clockCounter();
    if (donationDueAtStart(counter)) {
        DonationBox donation(main, counter, app.seams.pages);
        runModal(donation, app.seams.modal);
    }

    app.tooltips = new Tooltips(app, main);
    app.infoPanel = new InfoPanel(app, main);
    app.infoPanel->show();
    app.animControl = new AnimationControl(app, main);
    main->showOpenDialog();
    return program;
}

Program::~Program() {
    if (!app_) return;
    if (app_->mainWindow) {
        app_->viewer.appState = appClosing;
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
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vireoscan");
    // Lets a Wayland compositor match the window to vireoscan.desktop and its icon.
    QGuiApplication::setDesktopFileName("vireoscan");
    QApplication::setWindowIcon(QIcon(":/vireoscan/icon.png"));

    StartOptions options;
    options.commandText = argumentText(argc, argv);
    std::unique_ptr<Program> program = Program::start(options);
    if (!program) return 0;
    QApplication::exec();
    return 0;
}

}  // namespace vs::ui
