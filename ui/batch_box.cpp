#include "ui/batch_box.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <string>
#include <vector>

#include "core/batch.h"
#include "core/loader.h"
#include "ui/animation_control.h"
#include "ui/core_text.h"
#include "ui/dropped_paths.h"
#include "ui/image_window.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/tool_column.h"

namespace vs::ui {

namespace {

const char* const formatEntries[] = {"TIFF (8 Bits)", "TIFF (16 Bits)", "BITMAP (8 Bits)", "RAW (16 Bits)"};

QLabel* note(QWidget* parent, const QString& text, QRect place) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(place);
    label->setWordWrap(true);
    return label;
}

}  // namespace

QString batchCaption(int format) {
    switch (format) {
        case formatBmp: return "Convert Dicom to Windows Bitmap";
        case formatRaw: return "Convert Dicom to RAW";
        default: return "Convert Dicom to TIFF";
    }
}

BatchBox::BatchBox(App& app, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app) {
    setObjectName("batchBox");
    setWindowTitle(batchCaption(formatTiff8));
    setAccessibleName("Batch conversion");
    setAcceptDrops(true);
    // The box takes the Open dialog's place, at its size.
    const DialogUnits units = DialogUnits::of(this);
    outerSize_ = units.pixels(dialogReferenceSize);
    fitOuterSize(this, outerSize_);

    auto* group = new QGroupBox(this);
    group->setGeometry(units.rect(5, 5, 200, 40));
    QLabel* hint = note(this, "Drag DICOM files from the file manager and drop them here to convert the images.",
                        units.rect(11, 17, 189, 23));
    hint->setObjectName("dropHint");
    hint->setAccessibleName("Drop files here");
    note(this, "NOTE:", units.rect(5, 50, 25, 8).adjusted(0, 0, 0, 4));
    // One wrapped paragraph, so that a font wider than the box was drawn for wraps the lines
    // instead of overlapping them.
    note(this,
         "- For 8-bit images current contrast settings are used\n"
         "- The converted images will be saved in the same folder as the original files, so "
         "copy images on a read-only disc to a writable folder first.",
         units.rect(30, 50, 181, 57))
        ->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    formats_ = new QComboBox(this);
    formats_->setObjectName("formatList");
    formats_->setAccessibleName("Output format");
    formats_->setGeometry(units.rect(35, 110, 90, 12).adjusted(0, -2, 0, 4));
    for (const char* entry : formatEntries) formats_->addItem(entry);

    done_ = new QPushButton("Done", this);
    done_->setObjectName("doneButton");
    done_->setAccessibleName("Done");
    done_->setGeometry(units.rect(130, 110, 75, 12).adjusted(0, -2, 0, 4));

    connect(formats_, &QComboBox::activated, this, &BatchBox::formatChosen);
    connect(formats_, &QComboBox::currentIndexChanged, this, &BatchBox::formatChosen);
    connect(done_, &QPushButton::clicked, this, &BatchBox::done);
}

void BatchBox::formatChosen(int index) {
    if (index < 0 || index > formatRaw) return;
    app_.viewer.outputFormat = uint16_t(index);
    setWindowTitle(batchCaption(index));
}

void BatchBox::open() {
    Viewer& v = app_.viewer;
    if (v.batchMode) return;
    showLoadStatus(v, statusBatchMode);
    v.batchMode = 1;
    // The box takes the Open dialog's place.
    if (app_.openDialog) move(app_.openDialog->pos());
    show();
    if (app_.openDialog) app_.openDialog->hide();
    v.host->hideImageWindow();
    v.host->stopAnimationTimer();
    v.host->hideAnimationControl();
    app_.mainWindow->actions().saveImageAs->setEnabled(false);
    app_.mainWindow->actions().batchConversion->setEnabled(false);
    {
        QSignalBlocker quiet(formats_);
        formats_->setCurrentIndex(v.outputFormat <= formatRaw ? v.outputFormat : 0);
    }
    formatChosen(formats_->currentIndex());
}

void BatchBox::done() {
    Viewer& v = app_.viewer;
    if (running_) return;
    app_.openDialogPlace = frameGeometry();
    if (app_.openDialog) {
        app_.openDialog->move(pos());
        app_.openDialog->show();
    }
    hide();
    if (v.dicom.image.frameCount > 1) v.host->prepareAnimationControl(v.dicom.image.frameCount, v.currentFrame);
    app_.mainWindow->actions().saveImageAs->setEnabled(true);
    app_.mainWindow->actions().batchConversion->setEnabled(true);
    v.batchMode = 0;
    // The panel said "<batch conversion mode>" meanwhile: the file is shown again when chosen.
    v.loadedPath.clear();
}

void BatchBox::convertFiles(const QStringList& paths) {
    Viewer& v = app_.viewer;
    if (running_ || !v.batchMode || paths.isEmpty()) return;
    running_ = true;
    std::vector<std::string> files;
    files.reserve(size_t(paths.size()));
    for (const QString& path : paths) files.push_back(toCore(path));
    runBatch(v, files);
    running_ = false;
}

void BatchBox::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void BatchBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void BatchBox::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedPaths(event->mimeData());
    if (paths.isEmpty() || !app_.mainWindow) return;
    event->acceptProposedAction();
    MainWindow* main = app_.mainWindow;
    QTimer::singleShot(0, main, [main, paths] { main->dropPaths(paths); });
}

bool BatchBox::event(QEvent* event) {
    // The box is sized by its outer frame, as the Open dialog whose place it takes.
    keepOuterSize(this, event, outerSize_);
    return QWidget::event(event);
}

void BatchBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void BatchBox::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace vs::ui
