#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <chrono>

#include "core/contrast.h"
#include "core/paths.h"
#include "core/zoom.h"
#include "ui/animation_control.h"
#include "ui/batch_box.h"
#include "ui/boxes.h"
#include "ui/core_text.h"
#include "ui/dropped_paths.h"
#include "ui/image_window.h"
#include "ui/open_dialog.h"
#include "ui/save_image_as.h"

namespace vs::ui {

namespace {

enum MenuPlace { fileMenu, adjustmentsMenu, windowingMenu, helpMenu };
constexpr int separator = 0;

}  // namespace

struct MainWindow::Command {
    int id;  // separator for a separator line
    MenuPlace menu;
    const char* text;
    void (MainWindow::*handler)(int);
    bool checkable;
    bool checkedAtStart;
};

// Every item of the menu bar, in menu order. The "&Automatic Windowing" pop-up comes
// where its first item is listed.
const MainWindow::Command MainWindow::commandTable[] = {
    {commandSaveImageAs, fileMenu, "&Save Image As", &MainWindow::saveImage, false, false},
    {commandBatchConversion, fileMenu, "&Batch Conversion", &MainWindow::batchConversion, false, false},
    {separator, fileMenu, nullptr, nullptr, false, false},
    {commandExit, fileMenu, "E&xit Vireoscan", &MainWindow::exitProgram, false, false},
    {commandNegativeImage, adjustmentsMenu, "&Negative Image", &MainWindow::negativeImage, true, false},
    {commandContrastStretch, windowingMenu, "&Contrast Stretch", &MainWindow::preset, true, false},
    {commandCtBone, windowingMenu, "CT &Bone", &MainWindow::preset, true, false},
    {commandCtBrain, windowingMenu, "CT B&rain", &MainWindow::preset, true, false},
    {commandCtChest, windowingMenu, "CT C&hest", &MainWindow::preset, true, false},
    {commandCtLung, windowingMenu, "CT &Lung", &MainWindow::preset, true, false},
    {commandCtSoftTissue, windowingMenu, "CT Soft &Tissue", &MainWindow::preset, true, false},
    {commandStoredSettings, windowingMenu, "&Stored Settings", &MainWindow::preset, true, true},
    {commandAutomaticZoom, adjustmentsMenu, "Automatic &Zoom", &MainWindow::automaticZoom, true, true},
    {commandHelp, helpMenu, "&Vireoscan Help", &MainWindow::help, false, false},
    {commandDonate, helpMenu, "&Make a Donation", &MainWindow::donate, false, false},
    {commandVisitWebsite, helpMenu, "&Visit Website", &MainWindow::visitWebsite, false, false},
    {separator, helpMenu, nullptr, nullptr, false, false},
    {commandAbout, helpMenu, "&About Vireoscan", &MainWindow::about, false, false},
};

MainWindow::MainWindow(App& app) : app_(app) {
    setObjectName("mainWindow");
    setWindowTitle(mainTitle);
    setAccessibleName("Vireoscan");
    setWindowIcon(QIcon(":/vireoscan/icon.png"));
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);

    workArea_ = new QMdiArea(this);
    workArea_->setObjectName("workArea");
    workArea_->setBackground(Qt::white);
    workArea_->setAccessibleName("Work area");
    workArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    workArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    workArea_->setFocusPolicy(Qt::NoFocus);
    setCentralWidget(workArea_);
    takeKeysOf(workArea_);
    buildMenu();
}

void MainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("menuBar");
    bar->setAccessibleName("Main menu");
    QMenu* menus[4] = {bar->addMenu("&File"), bar->addMenu("&Adjustments"), nullptr, bar->addMenu("&Help")};
    menus[fileMenu]->setObjectName("fileMenu");
    menus[adjustmentsMenu]->setObjectName("adjustmentsMenu");
    menus[helpMenu]->setObjectName("helpMenu");
    for (const Command& command : commandTable) {
        if (command.menu == windowingMenu && !menus[windowingMenu]) {
            automaticWindowing_ = menus[adjustmentsMenu]->addMenu("&Automatic Windowing");
            automaticWindowing_->setObjectName("automaticWindowingMenu");
            automaticWindowing_->menuAction()->setCheckable(true);
            automaticWindowing_->menuAction()->setChecked(true);
            menus[windowingMenu] = automaticWindowing_;
        }
        QMenu* menu = menus[command.menu];
        if (command.id == separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(command.text);
        action->setObjectName(QString::number(command.id));
        action->setData(command.id);
        action->setCheckable(command.checkable);
        action->setChecked(command.checkedAtStart);
        const auto handler = command.handler;
        const int id = command.id;
        // A checkable item's own toggling is undone: the command sets the check mark itself.
        connect(action, &QAction::triggered, this, [this, action, handler, id] {
            if (action->isCheckable()) action->setChecked(!action->isChecked());
            (this->*handler)(id);
        });
        actions_.insert(command.id, action);
    }
}

void MainWindow::runCommand(int commandId) {
    for (const Command& command : commandTable) {
        if (command.id == commandId && command.id != separator) {
            if (QAction* action = actions_.value(commandId); action && !action->isEnabled()) return;
            (this->*command.handler)(commandId);
            return;
        }
    }
}

QString MainWindow::helpText() {
    const QStringList lines = {
        "Welcome to Vireoscan! Vireoscan is a small utility for",
        "viewing greyscale DICOM images.",
        "",
        "Vireoscan control keys:",
        "",
        "- Left mouse button: adjust contrast and image intensity",
        "- Right mouse button: pan the (zoomed) image window",
        "- Middle mouse button: hold it above or below the point where it was",
        "  pressed to step through the files of the folder, faster the further",
        "  it is moved",
        "- Mouse wheel: step through the files of the folder",
        "- Arrow keys/PageUp/PageDown: navigate the Open dialog",
        "- Left/Right arrow keys: step through the frames of a multi-frame image",
        "- Reset Contrast: apply the chosen contrast preset again",
        "- Auto Adjust: apply the chosen contrast preset to every new image",
        "",
        QString("For more help, visit %1").arg(websiteUrl),
    };
    return lines.join('\n');
}

void MainWindow::about(int) {
    AboutBox box(this);
    runModal(box, app_.seams.modal);
}

void MainWindow::exitProgram(int) { close(); }

void MainWindow::batchConversion(int) {
    if (app_.viewer.batchMode) return;
    if (!app_.batchBox) app_.batchBox = new BatchBox(app_, this);
    app_.batchBox->open();
}

void MainWindow::visitWebsite(int) { openWebPage(QUrl(websiteUrl), app_.seams.pages); }

void MainWindow::help(int) {
    showMessage(this, {helpText(), "Vireoscan Help", MessageButtons::ok, MessageIcon::information});
}

void MainWindow::donate(int) {
    DonationBox box(this, uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()), app_.seams.pages);
    runModal(box, app_.seams.modal);
}

void MainWindow::negativeImage(int) { negativeImageCommand(app_.viewer); }

void MainWindow::preset(int commandId) {
    for (uint16_t preset = 0; preset < presetCount; ++preset)
        if (presetCommands[preset] == commandId) choosePreset(app_.viewer, preset);
}

void MainWindow::enableCommand(int commandId, bool enabled) {
    if (QAction* action = actions_.value(commandId)) action->setEnabled(enabled);
}

void MainWindow::checkCommand(int commandId, bool checked) {
    if (QAction* action = actions_.value(commandId)) action->setChecked(checked);
}

void MainWindow::saveImage(int) { saveImageAs(app_); }

void MainWindow::automaticZoom(int) {
    Viewer& v = app_.viewer;
    v.autoZoom = !v.autoZoom;
    actions_.value(commandAutomaticZoom)->setChecked(v.autoZoom);
    if (v.autoZoom) {
        chooseAutomaticZoom(v, app_.screenWidth, app_.screenHeight);
        if (app_.imageWindow) app_.imageWindow->resizeForZoom();
    }
}

bool MainWindow::handleKey(int key) {
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && app_.openDialog) app_.openDialog->stepFile(key == Qt::Key_Down);
    const ImageState& image = app_.viewer.dicom.image;
    if (image.frameCount < 2 || !app_.animControl) return key == Qt::Key_Up || key == Qt::Key_Down;
    if (key == Qt::Key_Right) app_.animControl->stepForward();
    else if (key == Qt::Key_Left) app_.animControl->stepBack();
    else return key == Qt::Key_Up || key == Qt::Key_Down;
    return true;
}

void MainWindow::takeKeysOf(QWidget* w) {
    w->installEventFilter(this);
    for (QWidget* child : w->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
        if (arrow) {
            handleKey(key);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event->key())) QMainWindow::keyPressEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedPaths(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    // Handled once the drop has finished, so the source is not kept waiting by a load or a run.
    QTimer::singleShot(0, this, [this, paths] { dropPaths(paths); });
}

void MainWindow::dropPaths(const QStringList& paths) {
    Viewer& v = app_.viewer;
    if (paths.isEmpty()) return;
    v.pathBuffer.clear();
    if (v.batchMode) {
        if (app_.batchBox) app_.batchBox->convertFiles(paths);
        return;
    }
    // Only the first file counts; it loads again even when it is the file shown.
    setPath(v.pathBuffer, toCore(paths.first()));
    splitPath(v);
    v.loadedPath.clear();
    v.loadOnOpen = 1;
    restartOpenDialog();
}

void MainWindow::handOff(const QByteArray& path) {
    if (isMinimized()) showMaximized();
    raise();
    activateWindow();
    if (path.isEmpty()) return;
    // The path travels through the title, as the user briefly sees, and is opened from there.
    setWindowTitle(fromCore(path.toStdString()));
    QTimer::singleShot(0, this, [this, path] { openHandedPath(path); });
}

void MainWindow::openHandedPath(const QByteArray& path) {
    Viewer& v = app_.viewer;
    setPath(v.pathBuffer, path.toStdString());
    setWindowTitle(mainTitle);
    if (v.batchMode) return;
    // loadedPath stays: handing over the file already shown does not load it again.
    splitPath(v);
    v.loadOnOpen = 1;
    restartOpenDialog();
}

void MainWindow::showOpenDialog() {
    if (app_.viewer.appState == appClosing || app_.openDialog) return;
    auto* dialog = new OpenDialog(app_, this);
    app_.openDialog = dialog;
    if (!app_.viewer.batchMode && !minimized_) dialog->show();
}

void MainWindow::restartOpenDialog() {
    if (app_.openDialog) {
        OpenDialog* old = app_.openDialog;
        app_.openDialog = nullptr;
        delete old;
    }
    if (app_.viewer.appState == appClosing || openDialogQueued_) return;
    openDialogQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        openDialogQueued_ = false;
        showOpenDialog();
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    app_.viewer.appState = appClosing;
    event->accept();
    cleanUp();
}

void MainWindow::cleanUp() {
    Viewer& v = app_.viewer;
    if (app_.openDialog) {
        OpenDialog* dialog = app_.openDialog;
        app_.openDialog = nullptr;
        delete dialog;
    }
    v.source.reset();
    v.dicom.bytes.release();
    QCoreApplication::exit(0);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized()) {
        minimized_ = true;
        if (app_.openDialog) app_.openDialog->hide();
        return;
    }
    const bool wasMinimized = minimized_;
    minimized_ = false;
    if (app_.openDialog && !app_.viewer.batchMode) app_.openDialog->show();
    // The window stays maximized: a restore only brings it back from the task bar.
    if (!isMaximized() && !isFullScreen() && (change->oldState() & Qt::WindowMaximized) && !wasMinimized)
        QTimer::singleShot(0, this, [this] { showMaximized(); });
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    const Viewer& v = app_.viewer;
    if (!v.loadBusy && !v.middleDragging) unsetCursor();
    QMainWindow::mouseMoveEvent(event);
}

}  // namespace vs::ui
