#include "ui/save_image_as.h"

#include <QFileDialog>
#include <QFileInfo>
#include <cstdio>

#include "convert/conversion.h"
#include "convert/part_file.h"
#include "core/render.h"
#include "core/write_frame.h"
#include "ui/animation_control.h"
#include "ui/boxes.h"
#include "ui/button_pictures.h"
#include "ui/core_text.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"

namespace vs::ui {

namespace {

constexpr const char* defaultSuffix = "bmp";

QString askForFileName(App& app) {
    if (app.seams.saveDialog) return app.seams.saveDialog();
    QFileDialog dialog(app.openDialog ? static_cast<QWidget*>(app.openDialog) : nullptr, "Save Image As");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({"Windows Bitmap (*.bmp)", "TIFF (*.tif)"});
    dialog.setDefaultSuffix(defaultSuffix);
    // The overwrite question is ours, asked after the dialog has closed.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

MessageAnswer tell(App& app, const QString& text, MessageButtons buttons, MessageIcon icon) {
    return showMessage(app.mainWindow, {text, programCaption, buttons, icon});
}

void tellCannotCreate(App& app, const QString& path) {
    tell(app, fromCore(cannotCreateText(toCore(path))), MessageButtons::ok, MessageIcon::stop);
}

void repaintImage(App& app) {
    if (app.viewer.host->imageWindowVisible()) app.viewer.host->repaintImageWindow();
}

// Writes the file; the caller re-renders afterwards.
void writeChosenFile(App& app, const QString& path) {
    Viewer& v = app.viewer;
    // A frame that cannot be decoded is told of before anything is asked or written.
    if (const std::string reason = unwritableFrameReason(v); !reason.empty()) {
        const std::string text = unwritableFrameText(v, v.loadedPath, reason);
        tell(app, fromCore(text), MessageButtons::ok, MessageIcon::stop);
        repaintImage(app);
        return;
    }
    const std::string nativePath = toCore(path);
    const bool exists = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    if (exists) {
        const QString question =
            QString("Warning: File '%1' already exists!\nDo you want to overwrite this file?").arg(path);
        if (tell(app, question, MessageButtons::yesNo, MessageIcon::exclamation) != MessageAnswer::yes) {
            repaintImage(app);
            return;
        }
    }
    const std::optional<uint16_t> format = saveFormatOf(path);
    if (!format) {
        tell(app, "Error: No valid extension specified!", MessageButtons::ok, MessageIcon::stop);
        repaintImage(app);
        return;
    }
    v.outputFormat = *format;
    // Written under a temporary name and renamed once whole: a failed write leaves the old
    // file (or none), never a part of the new one.
    PartFile part(v.temporaries);
    std::FILE* out = part.open(nativePath);
    if (!out) {
        tellCannotCreate(app, path);
    } else {
        const bool written = writeImageFile(v, out) != 0;
        if (!part.finishWriting() || !written)
            tell(app, fromCore(cannotWriteText(nativePath)), MessageButtons::ok, MessageIcon::stop);
        else if (!part.moveIntoPlace(exists))
            tellCannotCreate(app, path);
    }
    repaintImage(app);
}

}  // namespace

std::optional<uint16_t> saveFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).fileName().section('.', -1).toLower();
    if (!QFileInfo(path).fileName().contains('.')) return std::nullopt;
    if (suffix == "tif" || suffix == "tiff") return formatTiff8;
    if (suffix == "bmp") return formatBmp;
    return std::nullopt;
}

void saveImageAs(App& app) {
    Viewer& v = app.viewer;
    v.host->stopAnimationTimer();
    if (app.animControl) app.animControl->stopPlaying();
    app.mainWindow->actions().saveImageAs->setEnabled(false);
    app.mainWindow->actions().batchConversion->setEnabled(false);

    QString path = askForFileName(app);
    if (!path.isEmpty() && v.host->imageWindowVisible()) {
        // A name typed without an extension gets the dialog's default one.
        if (!QFileInfo(path).fileName().contains('.')) path += QString(".") + defaultSuffix;
        writeChosenFile(app, path);
    }

    app.mainWindow->actions().batchConversion->setEnabled(true);
    app.mainWindow->actions().saveImageAs->setEnabled(v.host->imageWindowVisible());
}

}  // namespace vs::ui
