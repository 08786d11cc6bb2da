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
#include <functional>

#include "core/contrast.h"
#include "core/paths.h"
#include "core/zoom.h"
#include "ui/animation_control.h"
#include "ui/batch_box.h"
#include "ui/boxes.h"
#include "ui/decoding_switch.h"
#include "ui/core_text.h"
#include "ui/dropped_paths.h"
#include "ui/image_window.h"
#include "ui/open_dialog.h"
#include "ui/save_image_as.h"

namespace vs::ui {

namespace {

enum MenuPlace { fileMenu, adjustmentsMenu, windowingMenu, helpMenu };
constexpr int noPreset = -1;

}  // namespace

struct MainWindow::MenuItem {
    MenuPlace menu;
    const char* text;  // nullptr: a separator line
    const char* name;
    QAction* MenuActions::*action;       // where the action is kept, for all but the presets
    void (MainWindow::*handler)();       // what it does, for all but the presets
    int preset;                          // the preset it chooses, or noPreset
    bool checkable;
    bool checkedAtStart;
};

// Every item of the menu bar, in menu order. The "&Automatic Windowing" pop-up comes where its
// first item is listed.
const MainWindow::MenuItem MainWindow::menuItems[] = {
    {fileMenu, "&Save Image As", "saveImageAs", &MenuActions::saveImageAs, &MainWindow::saveImage, noPreset, false, false},
    {fileMenu, "&Batch Conversion", "batchConversion", &MenuActions::batchConversion, &MainWindow::batchConversion, noPreset, false, false},
    {fileMenu, nullptr, nullptr, nullptr, nullptr, noPreset, false, false},
    {fileMenu, "E&xit Vireoscan", "exit", &MenuActions::exit, &MainWindow::exitProgram, noPreset, false, false},
    {adjustmentsMenu, "&Negative Image", "negativeImage", &MenuActions::negativeImage, &MainWindow::negativeImage, noPreset, true, false},
    {windowingMenu, "&Contrast Stretch", "contrastStretch", nullptr, nullptr, presetContrastStretch, true, false},
    {windowingMenu, "CT &Bone", "ctBone", nullptr, nullptr, presetCtBone, true, false},
    {windowingMenu, "CT B&rain", "ctBrain", nullptr, nullptr, presetCtBrain, true, false},
    {windowingMenu, "CT C&hest", "ctChest", nullptr, nullptr, presetCtChest, true, false},
    {windowingMenu, "CT &Lung", "ctLung", nullptr, nullptr, presetCtLung, true, false},
    {windowingMenu, "CT Soft &Tissue", "ctSoftTissue", nullptr, nullptr, presetCtSoftTissue, true, false},
    {windowingMenu, "&Stored Settings", "storedSettings", nullptr, nullptr, presetStoredSettings, true, true},
    {adjustmentsMenu, "Automatic &Zoom", "automaticZoom", &MenuActions::automaticZoom, &MainWindow::automaticZoom, noPreset, true, true},
    {helpMenu, "&Vireoscan Help", "help", &MenuActions::help, &MainWindow::help, noPreset, false, false},
    {helpMenu, "&Make a Donation", "donate", &MenuActions::donate, &MainWindow::donate, noPreset, false, false},
    {helpMenu, "&Visit Website", "visitWebsite", &MenuActions::visitWebsite, &MainWindow::visitWebsite, noPreset, false, false},
    {helpMenu, nullptr, nullptr, nullptr, nullptr, noPreset, false, false},
    {helpMenu, "&About Vireoscan", "about", &MenuActions::about, &MainWindow::about, noPreset, false, false},
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
    for (const MenuItem& item : menuItems) {
        if (item.menu == windowingMenu && !menus[windowingMenu]) {
            automaticWindowing_ = menus[adjustmentsMenu]->addMenu("&Automatic Windowing");
            automaticWindowing_->setObjectName("automaticWindowingMenu");
            automaticWindowing_->menuAction()->setCheckable(true);
            automaticWindowing_->menuAction()->setChecked(true);
            menus[windowingMenu] = automaticWindowing_;
        }
        QMenu* menu = menus[item.menu];
        if (!item.text) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(item.text);
        action->setObjectName(QString::fromLatin1(item.name));
        action->setCheckable(item.checkable);
        action->setChecked(item.checkedAtStart);
        std::function<void()> handler;
        if (item.preset != noPreset) {
            actions_.presets[item.preset] = action;
            handler = [this, preset = uint16_t(item.preset)] { choosePreset(app_.viewer, preset); };
        } else {
            actions_.*item.action = action;
            handler = [this, run = item.handler] { (this->*run)(); };
        }
        // A checkable item's own toggling is undone: the command sets the check mark itself.
        connect(action, &QAction::triggered, this, [action, handler] {
            if (action->isCheckable()) action->setChecked(!action->isChecked());
            handler();
        });
    }
    addDecodeAllCompressionsItem(app_, menus[adjustmentsMenu]);
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
        "Adjustments > Decode All Compressions also shows files in lossless",
        "and 12-bit JPEG, JPEG-LS, JPEG 2000, HTJ2K and deflated transfer",
        "syntaxes; it is remembered for the next start.",
        "",
        QString("For more help, visit %1").arg(websiteUrl),
    };
    return lines.join('\n');
}

void MainWindow::about() {
    AboutBox box(this);
    runModal(box, app_.seams.modal);
}

void MainWindow::exitProgram() { close(); }

void MainWindow::batchConversion() {
    if (app_.viewer.batchMode) return;
    if (!app_.batchBox) app_.batchBox = new BatchBox(app_, this);
    app_.batchBox->open();
}

void MainWindow::visitWebsite() { openWebPage(QUrl(websiteUrl), app_.seams.pages); }

void MainWindow::help() {
    showMessage(this, {helpText(), "Vireoscan Help", MessageButtons::ok, MessageIcon::information});
}

void MainWindow::donate() {
    DonationBox box(this, uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()), app_.seams.pages);
    runModal(box, app_.seams.modal);
}

void MainWindow::negativeImage() { negativeImageCommand(app_.viewer); }

void MainWindow::saveImage() { saveImageAs(app_); }

void MainWindow::automaticZoom() {
    Viewer& v = app_.viewer;
    v.autoZoom = !v.autoZoom;
    actions_.automaticZoom->setChecked(v.autoZoom);
    if (v.autoZoom) {
        chooseAutomaticZoom(v, v.host->viewArea());
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
    v.loadOnOpen = LoadOnOpen::evenIfLoaded;
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
    // Handing over the file already shown does not load it again.
    splitPath(v);
    v.loadOnOpen = LoadOnOpen::unlessLoaded;
    restartOpenDialog();
}

void MainWindow::showOpenDialog() {
    if (app_.viewer.appState == AppState::closing || app_.openDialog) return;
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
    if (app_.viewer.appState == AppState::closing || openDialogQueued_) return;
    openDialogQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        openDialogQueued_ = false;
        showOpenDialog();
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    app_.viewer.appState = AppState::closing;
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
