#include "ui/open_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <string>
#include <vector>

#include "core/image_sort.h"
#include "core/loader.h"
#include "core/paths.h"
#include "ui/core_text.h"
#include "ui/info_panel.h"
#include "ui/main_window.h"
#include "ui/tool_column.h"

namespace vs::ui {

namespace {

QString withSeparator(QString folder) {
    if (!folder.endsWith(QLatin1Char(pathSeparator))) folder += QLatin1Char(pathSeparator);
    return folder;
}

// Names in the core's case-insensitive order, as the core's text.
std::vector<std::string> sortedNames(const QStringList& names) {
    std::vector<std::string> list;
    list.reserve(size_t(names.size()));
    for (const QString& n : names) list.push_back(toCore(n));
    sortTextsCaseInsensitive(list);
    return list;
}

// A control with its object name, its accessible name and its place.
template <class Control>
Control* named(Control* control, const char* name, const char* accessibleName, QRect where) {
    control->setObjectName(QString::fromLatin1(name));
    control->setAccessibleName(QString::fromLatin1(accessibleName));
    control->setGeometry(where);
    return control;
}

QLabel* addLabel(QWidget* dialog, const char* name, const char* text, QRect where) {
    auto* label = new QLabel(QString::fromLatin1(text), dialog);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(where);
    return label;
}

// An up or down arrow for one of the dialog's own controls.
void pressArrow(QWidget* control, bool down) {
    QKeyEvent press(QEvent::KeyPress, down ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
    QCoreApplication::sendEvent(control, &press);
}

// The widget with the keyboard focus as the wheel turns over watched: the program's focus,
// else the focus in watched's window, else watched itself.
QWidget* focusForWheel(QObject* watched) {
    if (QWidget* focus = QApplication::focusWidget()) return focus;
    if (auto* window = qobject_cast<QWindow*>(watched)) return qobject_cast<QWidget*>(window->focusObject());
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return nullptr;
    QWidget* windowFocus = widget->window()->focusWidget();
    return windowFocus ? windowFocus : widget;
}

// What an arrow key does to a closed combo box: the neighbouring entry, chosen as by the user.
void chooseNeighbour(QComboBox* box, bool down) {
    const int index = box->currentIndex() + (down ? 1 : -1);
    if (index < 0 || index >= box->count()) return;
    box->setCurrentIndex(index);
    emit box->activated(index);
}

}  // namespace

OpenDialog::OpenDialog(App& app, QWidget* owner)
    : QWidget(owner ? owner : static_cast<QWidget*>(app.mainWindow),
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      app_(app) {
    Viewer& v = app_.viewer;
    app_.openDialog = this;
    setObjectName(QStringLiteral("openDialog"));
    setWindowTitle(QStringLiteral("Open Dicom Image"));
    setAccessibleName(QStringLiteral("Open Dicom Image"));
    const DialogUnits units = DialogUnits::of(this);
    buildControls(units);

    // The folder of the last path taken apart, or the working directory.
    QString start = fromCore(v.currentDirectory);
    if (start.isEmpty() || !QFileInfo(start).isDir()) start = QDir::currentPath();
    setDirectory(start);
    place(units);

    // The name of the last path taken apart is selected when the folder lists it.
    fileName_->setText(fromCore(v.currentFileName));

    // The file list has the keyboard focus after every start, and one preview follows.
    fileList_->setFocus(Qt::OtherFocusReason);
    requestPreview(0);

    const LoadOnOpen load = v.loadOnOpen;
    fileName_->setText(load != LoadOnOpen::nothing ? fromCore(v.currentFileName) : QString());
    if (load != LoadOnOpen::nothing)
        loadFile(v, {.dialogHasSelection = hasSelection(), .evenIfLoaded = load == LoadOnOpen::evenIfLoaded});
    v.loadOnOpen = LoadOnOpen::nothing;
    // The wheel, drags in the file list and clicks after an aborted load are watched in the
    // whole program from the first turn of the event loop on.
    QMetaObject::invokeMethod(this, [this] { installProgramFilter(); }, Qt::QueuedConnection);
}

OpenDialog::~OpenDialog() {
    if (programFilterInstalled_) qApp->removeEventFilter(this);
    app_.openDialogPlace = frameGeometry();
    if (app_.openDialog == this) app_.openDialog = nullptr;
}

// The controls' places are given in pixels at the reference font and grow with the font.
void OpenDialog::buildControls(const DialogUnits& units) {
    buildFileNameBox(units);
    buildFileList(units);
    buildFolderList(units);
    buildFileTypeList(units);
    buildDriveList(units);
}

void OpenDialog::buildFileNameBox(const DialogUnits& u) {
    auto* nameLabel = addLabel(this, "fileNameLabel", "Filename:", u.pixels(QRect(6, 2, 150, 16)));
    fileName_ = named(new QLineEdit(this), "fileNameBox", "File name", u.pixels(QRect(6, 18, 150, 22)));
    nameLabel->setBuddy(fileName_);
    connect(fileName_, &QLineEdit::textChanged, this, [this](const QString& t) { fileNameEdited(t); });
}

void OpenDialog::buildFileList(const DialogUnits& u) {
    fileList_ = named(new QListWidget(this), "fileList", "Files", u.pixels(QRect(6, 44, 150, 118)));
    fileList_->setSelectionMode(QAbstractItemView::SingleSelection);
    fileList_->setUniformItemSizes(true);
    // Every change of the list by the user puts the chosen name into the name field, as a
    // file dialog does, and asks for a preview.
    auto listEvent = [this] {
        const int row = selectedRow();
        if (row >= 0) fileName_->setText(fileList_->item(row)->text());
        requestPreview(0);
    };
    connect(fileList_, &QListWidget::currentRowChanged, this, listEvent);
    connect(fileList_, &QListWidget::itemClicked, this, listEvent);
    connect(fileList_, &QListWidget::itemDoubleClicked, this, listEvent);
}

// The folder list, and the hidden label that holds the whole current folder.
void OpenDialog::buildFolderList(const DialogUnits& u) {
    auto* folderLabel = addLabel(this, "foldersLabel", "Folders:", u.pixels(QRect(166, 2, 146, 16)));
    currentFolder_ = new QLabel(this);
    currentFolder_->setObjectName("currentFolder");
    currentFolder_->hide();
    folderList_ = named(new QListWidget(this), "folderList", "Folders", u.pixels(QRect(166, 26, 146, 136)));
    folderLabel->setBuddy(folderList_);
    connect(folderList_, &QListWidget::currentRowChanged, this, [this] { requestPreview(0); });
    connect(folderList_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        setDirectory(item->data(Qt::UserRole).toString());
        requestPreview(0);
    });
}

void OpenDialog::buildFileTypeList(const DialogUnits& u) {
    auto* typeLabel = addLabel(this, "fileTypeLabel", "Filetype:", u.pixels(QRect(6, 166, 150, 16)));
    fileType_ = named(new QComboBox(this), "fileTypeList", "File type", u.pixels(QRect(6, 182, 150, 24)));
    for (const FileFilter& f : fileFilters)
        fileType_->addItem(QString::fromLatin1(f.label), QString::fromLatin1(f.patterns));
    typeLabel->setBuddy(fileType_);
    connect(fileType_, &QComboBox::activated, this, [this](int) {
        fillFiles();
        requestPreview(1);
    });
}

void OpenDialog::buildDriveList(const DialogUnits& u) {
    auto* drivesLabel = addLabel(this, "drivesLabel", "Drives:", u.pixels(QRect(166, 166, 146, 16)));
    drives_ = named(new QComboBox(this), "driveList", "Drives", u.pixels(QRect(166, 182, 146, 24)));
    drivesLabel->setBuddy(drives_);
    connect(drives_, &QComboBox::activated, this, [this](int index) {
        setDirectory(drives_->itemData(index).toString());
        requestPreview(0);
    });
}

void OpenDialog::place(const DialogUnits& units) {
    // The first dialog goes below the panel at the screen's right edge, every later one where
    // the last was.
    outerSize_ = units.pixels(dialogReferenceSize);
    const QPoint topLeft = app_.openDialogPlace ? app_.openDialogPlace->topLeft()
                                                : QPoint(columnLeft(app_.screenWidth, outerSize_.width()),
                                                         columnTops(units).dialog);
    fitOuterSize(this, outerSize_);
    move(topLeft);
}

bool OpenDialog::event(QEvent* event) {
    keepOuterSize(this, event, outerSize_);
    return QWidget::event(event);
}

// ---- folders, drives and files ------------------------------------------------------------

QString OpenDialog::directory() const { return withSeparator(currentFolder_->text()); }

void OpenDialog::setDirectory(const QString& path) {
    QString folder = QDir::cleanPath(QDir(path).absolutePath());
    if (!QFileInfo(folder).isDir()) return;
    folder_ = folder;
    currentFolder_->setText(QDir::toNativeSeparators(folder_));
    fillDrives();
    fillFolders();
    fillFiles();
}

void OpenDialog::fillDrives() {
    const QSignalBlocker quiet(drives_);
    drives_->clear();
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = volume.rootPath();
        if (QFileInfo(root).isDir() && !roots.contains(root)) roots << root;
    }
    std::sort(roots.begin(), roots.end());
    int best = -1;
    qsizetype bestLength = -1;
    for (const QString& root : roots) {
        drives_->addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), QDir::toNativeSeparators(root), root);
        const QString prefix = withSeparator(root);
        if ((withSeparator(folder_).startsWith(prefix)) && root.size() > bestLength) {
            best = drives_->count() - 1;
            bestLength = root.size();
        }
    }
    drives_->setCurrentIndex(best);
}

void OpenDialog::fillFolders() {
    const QSignalBlocker quiet(folderList_);
    folderList_->clear();
    // The way down from the root to the current folder, then its sub-folders.
    QStringList chain;
    for (QDir d(folder_);; ) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp()) break;
    }
    int depth = 0;
    for (const QString& path : chain) {
        const QString name = depth == 0 ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
        auto* item = new QListWidgetItem(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                         QString(depth, QLatin1Char(' ')) + name, folderList_);
        item->setData(Qt::UserRole, path);
        item->setData(Qt::AccessibleTextRole, name);
        ++depth;
    }
    folderList_->setCurrentRow(folderList_->count() - 1);
    QStringList subfolders = QDir(folder_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QStringList ordered;
    for (const std::string& n : sortedNames(subfolders)) ordered << fromCore(n);
    for (const QString& name : ordered) {
        auto* item = new QListWidgetItem(style()->standardIcon(QStyle::SP_DirIcon),
                                         QString(depth, QLatin1Char(' ')) + name, folderList_);
        item->setData(Qt::UserRole, QDir(folder_).filePath(name));
        item->setData(Qt::AccessibleTextRole, name);
    }
}

bool OpenDialog::matchesFilter(const QString& name, const QString& patterns) {
    for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (pattern == QLatin1String("*.*")) return true;
        if (pattern == QLatin1String("*.")) {
            if (!name.contains(QLatin1Char('.'))) return true;
            continue;
        }
        const QRegularExpression glob(QRegularExpression::wildcardToRegularExpression(pattern),
                                      QRegularExpression::CaseInsensitiveOption);
        if (glob.match(name).hasMatch()) return true;
    }
    return false;
}

void OpenDialog::fillFiles() {
    const QString patterns = fileType_->currentData().toString();
    QStringList names;
    for (const QString& name : QDir(folder_).entryList(QDir::Files))
        if (matchesFilter(name, patterns)) names << name;
    QStringList ordered;
    for (const std::string& n : sortedNames(names)) ordered << fromCore(n);
    replaceEntries(ordered, QString());
    // A list seen empty and refilled is put into the panel's order at the next chance.
    fileListWasEmpty_ = true;
    requestSortAfterRefill();
}

void OpenDialog::replaceEntries(const QStringList& names, const QString& selectName) {
    {
        const QSignalBlocker quiet(fileList_);
        fileList_->clear();
        fileList_->addItems(names);
    }
    if (!selectName.isEmpty()) selectRowSilently(findExact(selectName));
}

void OpenDialog::requestSortAfterRefill() {
    if (sortQueued_) return;
    sortQueued_ = true;
    // Two hops, so the sort comes after whatever the event that refilled the list queued
    // (its preview above all), as a repaint would.
    QMetaObject::invokeMethod(this, [this] {
        QMetaObject::invokeMethod(this, [this] {
            sortQueued_ = false;
            if (!fileListWasEmpty_) return;
            fileListWasEmpty_ = false;
            if (app_.infoPanel) app_.infoPanel->sortImages(true);
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

// ---- selection --------------------------------------------------------------------------

int OpenDialog::findExact(const QString& name) const {
    if (name.isEmpty()) return -1;
    for (int i = 0; i < fileList_->count(); ++i)
        if (fileList_->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int OpenDialog::selectedRow() const {
    const QList<QListWidgetItem*> selected = fileList_->selectedItems();
    return selected.isEmpty() ? -1 : fileList_->row(selected.first());
}

bool OpenDialog::hasSelection() const { return selectedRow() >= 0; }

void OpenDialog::stepFile(bool down) { pressArrow(fileList_, down); }

void OpenDialog::selectRowLater(int row) {
    if (row >= 0) QMetaObject::invokeMethod(this, [this, row] { selectRowSilently(row); }, Qt::QueuedConnection);
}

void OpenDialog::selectRowSilently(int row) {
    if (row < 0) return;
    const QSignalBlocker quiet(fileList_);
    fileList_->setCurrentRow(row);
}

void OpenDialog::fileNameEdited(const QString& text) {
    if (text.isEmpty()) return;
    QString name = text;
    if (name.endsWith(QLatin1Char('.'))) name.chop(1);
    selectRowSilently(findExact(name));
}

void OpenDialog::selectInOpenDialog(const QString& name) {
    fileName_->setText(name);
    selectRowLater(findExact(name));
}

// ---- preview ----------------------------------------------------------------------------

void OpenDialog::requestPreview(int fromFileType) {
    if (previewPending_) return;
    previewPending_ = true;
    QMetaObject::invokeMethod(this, [this, fromFileType] { previewRequest(fromFileType); },
                              Qt::QueuedConnection);
}

void OpenDialog::previewRequest(int fromFileType) {
    setPath(app_.viewer.currentDirectory, toCore(directory()));
    reselectTypedName();
    const int row = selectedRow();
    if (row < 0) {
        showNoSelection(fromFileType);
        showNeighbourPictures(false, fileList_->count() > 0);
    } else {
        takeSelectedName(row);
        if (selectedFileShown()) {
            previewPending_ = false;  // already shown: nothing to do
            return;
        }
        showNeighbourPictures(row != 0, row != fileList_->count() - 1);
    }
    loadPreview();
}

void OpenDialog::reselectTypedName() { selectRowLater(findExact(fileName_->text())); }

// Without a selection the image window goes, the panel's lines say so and the file size line
// is emptied; a file type change forgets the current name too.
void OpenDialog::showNoSelection(int fromFileType) {
    Viewer& v = app_.viewer;
    if (v.host) v.host->hideImageWindow();
    if (fromFileType == 1) v.currentFileName.clear();
    showLoadStatus(v, statusNoFileSelected);
    v.loadedPath.clear();
    if (app_.infoPanel) app_.infoPanel->setLineText(PanelLine::fileSize, QString());
}

// The panel's previous/next buttons are grey where there is no file that way.
void OpenDialog::showNeighbourPictures(bool previous, bool next) {
    InfoPanel* panel = app_.infoPanel;
    if (!panel) return;
    panel->setPreviousPicture(previous);
    panel->setNextPicture(next);
}

// The selected name becomes the current file name and fills the name box, quietly.
void OpenDialog::takeSelectedName(int row) {
    const QString name = fileList_->item(row)->text();
    setPath(app_.viewer.currentFileName, toCore(name));
    const QSignalBlocker quiet(fileName_);
    fileName_->setText(name);
}

bool OpenDialog::selectedFileShown() const {
    const Viewer& v = app_.viewer;
    return v.currentDirectory + v.currentFileName == v.loadedPath;
}

void OpenDialog::loadPreview() {
    loadFile(app_.viewer, {.dialogHasSelection = hasSelection()});
    previewPending_ = false;
}

// ---- the application-wide filter --------------------------------------------------------

void OpenDialog::installProgramFilter() {
    if (programFilterInstalled_) return;
    qApp->installEventFilter(this);
    programFilterInstalled_ = true;
}

bool OpenDialog::filterWheel(QObject* watched, QEvent* event) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta == 0) return false;
    const bool down = delta < 0;
    // A notch of the wheel anywhere in the program is an up or down arrow for the control with
    // the keyboard focus: this dialog's own controls get the key; in the main window and the
    // panel the arrows step the file list, and so does the notch; a combo box of another
    // window takes its neighbouring entry.
    QWidget* focus = focusForWheel(watched);
    if (!focus) return true;
    const QWidget* window = focus->window();
    if (window == this) pressArrow(focus, down);
    else if (auto* box = qobject_cast<QComboBox*>(focus)) chooseNeighbour(box, down);
    else if (window == app_.mainWindow || window == app_.infoPanel) stepFile(down);
    return true;
}

void OpenDialog::followDrag(QPoint viewportPos) {
    if (fileList_->count() == 0) return;
    // Over the entries, not over the scroll bar.
    if (viewportPos.x() < fileList_->visualItemRect(fileList_->item(0)).right()) requestPreview(0);
}

bool OpenDialog::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Wheel:
        return filterWheel(watched, event);
    case QEvent::MouseMove:
        if (watched == fileList_->viewport()) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->buttons() & Qt::LeftButton) followDrag(mouse->position().toPoint());
        }
        break;
    case QEvent::Timer:
        // The list scrolls itself by timer while a drag is held beyond its edge.
        if ((watched == fileList_ || watched == fileList_->viewport()) &&
            (QGuiApplication::mouseButtons() & Qt::LeftButton))
            followDrag(fileList_->viewport()->mapFromGlobal(QCursor::pos()));
        break;
    case QEvent::MouseButtonPress:
        // After a load aborted with Escape, a click in the list lets the same file load again.
        if (watched == fileList_->viewport() && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            app_.viewer.loadProgressState == loadAborted) {
            app_.viewer.loadedPath.clear();
            app_.viewer.loadProgressState = loadIdle;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- the dialog never ends by itself ------------------------------------------------------

void OpenDialog::closeEvent(QCloseEvent* event) { event->ignore(); }

void OpenDialog::keyPressEvent(QKeyEvent* event) { event->accept(); }

}  // namespace vs::ui
