#include "ui/qt_host.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include "ui/animation_control.h"
#include "ui/boxes.h"
#include "ui/image_window.h"
#include "ui/info_panel.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"

namespace vs::ui {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::Close:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool LoadInputFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        escapeSeen = true;
    if (isUserInput(event->type())) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QtHost::QtHost(App& app) : app_(app) {}

QtHost::~QtHost() {
    if (statusBox_) delete statusBox_.data();
    if (overrideCursor_) QGuiApplication::restoreOverrideCursor();
}

void QtHost::showDescription(const ImageDescription& d) {
    if (!app_.infoPanel) return;
    app_.infoPanel->setLineText(PanelLine::patient, fromCore(d.patient));
    app_.infoPanel->setLineText(PanelLine::date, fromCore(d.date));
    app_.infoPanel->setLineText(PanelLine::study, fromCore(d.study));
    app_.infoPanel->setLineText(PanelLine::image, fromCore(d.image));
    app_.infoPanel->setLineText(PanelLine::pixsize, fromCore(d.pixsize));
}

void QtHost::showLoadStatus(std::string_view status) {
    if (!app_.infoPanel) return;
    if (!status.empty()) app_.infoPanel->setLineText(PanelLine::patient, fromCore(status));
    for (PanelLine line : {PanelLine::date, PanelLine::study, PanelLine::image, PanelLine::pixsize})
        app_.infoPanel->setLineText(line, QString());
}

void QtHost::showLoadProgress(std::string_view text) {
    if (!app_.infoPanel) return;
    app_.infoPanel->setLineText(PanelLine::patient, fromCore(text));
    app_.infoPanel->line(PanelLine::patient)->repaint();
}

void QtHost::showFileSize(std::string_view text) {
    if (app_.infoPanel) app_.infoPanel->setLineText(PanelLine::fileSize, fromCore(text));
}

void QtHost::repaintPanel() {
    if (app_.infoPanel) app_.infoPanel->repaintNow();
}

void QtHost::showWindowAtDataRange(bool fullRange) {
    if (app_.infoPanel) app_.infoPanel->setResetContrastPicture(fullRange);
}

void QtHost::showImageWindow() {
    if (app_.imageWindow) app_.imageWindow->showWithoutActivating();
}

void QtHost::hideImageWindow() {
    if (app_.imageWindow) app_.imageWindow->hide();
}

bool QtHost::imageWindowVisible() const { return app_.imageWindow && app_.imageWindow->isVisible(); }

void QtHost::setImageWindowTitle(std::string_view title) {
    if (!app_.imageWindow) return;
    app_.imageWindow->setWindowTitle(fromCore(title));
    app_.imageWindow->setAccessibleName(fromCore(title));
}

void QtHost::repaintImageWindow() {
    if (app_.imageWindow && app_.imageWindow->isVisible()) app_.imageWindow->repaintNow();
}

void QtHost::fitImageWindow() {
    if (app_.imageWindow) app_.imageWindow->fitImageWindow();
}

void QtHost::selectZoomIndex(int index) {
    if (app_.infoPanel) app_.infoPanel->selectZoomIndex(index);
}

ViewArea QtHost::viewArea() const {
    ViewArea area{app_.screenWidth, app_.screenHeight};
    if (app_.imageWindow) area.roomWidth = app_.imageWindow->imageRoomWidth();
    return area;
}

void QtHost::stopAnimationTimer() {
    if (app_.animControl) app_.animControl->stopPlaying();
    app_.viewer.animationPlaying = 0;
}

void QtHost::hideAnimationControl() {
    if (app_.animControl) app_.animControl->hide();
}

void QtHost::prepareAnimationControl(uint32_t frameCount, uint32_t currentFrame) {
    if (app_.animControl) app_.animControl->prepare(frameCount, currentFrame);
}

void QtHost::enableSaving(bool enabled) {
    if (app_.mainWindow) app_.mainWindow->actions().saveImageAs->setEnabled(enabled);
}

void QtHost::showPreset(uint16_t preset) {
    if (!app_.mainWindow) return;
    for (uint16_t p = 0; p < presetCount; ++p) app_.mainWindow->actions().presets[p]->setChecked(p == preset);
}

void QtHost::showNegative(bool on) {
    if (app_.mainWindow) app_.mainWindow->actions().negativeImage->setChecked(on);
}

void QtHost::showAutomaticWindowing(bool on) {
    if (app_.mainWindow) app_.mainWindow->automaticWindowingMenu()->menuAction()->setChecked(on);
}

Qt::CursorShape cursorShape(Cursor cursor) {
    switch (cursor) {
        case Cursor::arrow: return Qt::ArrowCursor;
        case Cursor::wait: return Qt::WaitCursor;
        case Cursor::sizeNorthSouth: return Qt::SizeVerCursor;
        case Cursor::cross: return Qt::CrossCursor;
        case Cursor::sizeAll: return Qt::SizeAllCursor;
    }
    return Qt::ArrowCursor;
}

void QtHost::setCursor(Cursor cursor) {
    // During a load no mouse move is handled, so the cursor is set for the whole program.
    const Qt::CursorShape shape = cursorShape(cursor);
    if (cursor == Cursor::arrow) {
        if (overrideCursor_) QGuiApplication::restoreOverrideCursor();
        overrideCursor_ = false;
        return;
    }
    if (overrideCursor_) QGuiApplication::changeOverrideCursor(shape);
    else QGuiApplication::setOverrideCursor(shape);
    overrideCursor_ = true;
}

bool QtHost::escapePressed() {
    // Let the window system deliver what is queued, with user input swallowed (Escape noted)
    // and neither timers nor sockets served, so nothing but painting acts during a load.
    LoadInputFilter filter;
    qApp->installEventFilter(&filter);
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers);
    qApp->removeEventFilter(&filter);
    return filter.escapeSeen;
}

void QtHost::selectInOpenDialog(std::string_view fileName) {
    if (app_.openDialog) app_.openDialog->selectInOpenDialog(fromCore(fileName));
}


MessageAnswer QtHost::messageBox(std::string_view text, std::string_view caption, MessageButtons buttons,
                                 MessageIcon icon) {
    return showMessage(app_.mainWindow, {fromCore(text), fromCore(caption), buttons, icon});
}

void QtHost::showStatusBox(std::string_view text) {
    // At most one status box: a new one replaces the old.
    if (statusBox_) delete statusBox_.data();
    statusBox_ = new StatusBox(app_.mainWindow, fromCore(text));
}

void QtHost::closeStatusBox() {
    if (statusBox_) delete statusBox_.data();
    statusBox_ = nullptr;
}

}  // namespace vs::ui
