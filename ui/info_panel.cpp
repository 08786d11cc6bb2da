#include "ui/info_panel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <string>
#include <vector>

#include "core/contrast.h"
#include "core/image_sort.h"
#include "ui/boxes.h"
#include "ui/button_pictures.h"
#include "ui/core_text.h"
#include "ui/image_window.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/tooltips.h"

namespace vs::ui {

namespace {

struct LineEntry {
    int id;
    const char* label;
    const char* accessibleName;
    int top;  // dialog units
};
// The five description lines, top to bottom as shown.
constexpr LineEntry lineEntries[5] = {
    {panelPatientLine, "Patient :", "Patient", 5},
    {panelDateLine, "Date : ", "Date", 20},
    {panelStudyLine, "Study :", "Study", 35},
    {panelImageLine, "Image :", "Image", 50},
    {panelPixsizeLine, "Pixsize :", "Pixsize", 65},
};

constexpr const char* zoomEntries[] = {"25%", "50%", "100%", "200%", "300%", "400%"};
constexpr int zoomStartIndex = 2;  // "100%"

QString idName(int id) { return QString::number(id); }

// A check box with its text on the left keeps the right edge of its template place and
// grows to the left when its text needs more room than the template gave.
void placeRightAligned(QWidget* box, QRect r) {
    const int width = std::max(r.width(), box->sizeHint().width());
    box->setGeometry(r.right() + 1 - width, r.top(), width, r.height());
}

}  // namespace

InfoPanel::InfoPanel(App& app, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app) {
    setWindowTitle(QStringLiteral("Image Information"));
    setAccessibleName(QStringLiteral("Image Information"));
    setObjectName(QStringLiteral("infoPanel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    buildControls();
    place();
    app_.infoPanel = this;
    tooltipTimer_ = new QTimer(this);
    tooltipTimer_->setObjectName("tooltipTimer");
    connect(tooltipTimer_, &QTimer::timeout, this, [this] {
        if (app_.tooltips) app_.tooltips->tooltipHandler(this);
    });
    tooltipTimer_->start(tooltipPollMs);
}

InfoPanel::~InfoPanel() {
    if (app_.infoPanel == this) app_.infoPanel = nullptr;
}

void InfoPanel::buildControls() {
    buildDescriptionLines();
    buildButtonRowFrame();
    buildZoomList();
    buildSwitches();
    buildPictureButtons();
    buildFileSizeLine();
}

void InfoPanel::buildDescriptionLines() {
    for (int i = 0; i < 5; ++i) {
        const LineEntry& entry = lineEntries[i];
        auto* label = new QLabel(QString::fromLatin1(entry.label), this);
        // Each label stands level with its line.
        const QRect lineRect = dialogUnits(40, entry.top, 165, 13);
        label->setGeometry(dialogUnits(5, entry.top, 30, 13).left(), lineRect.top(), dialogUnits(0, 0, 30, 0).width(),
                           lineRect.height());
        auto* edit = new QLineEdit(this);
        edit->setObjectName(idName(entry.id));
        edit->setAccessibleName(QString::fromLatin1(entry.accessibleName));
        edit->setReadOnly(true);
        edit->setGeometry(lineRect);
        // Read-only, yet white like an editable line.
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, Qt::white);
        edit->setPalette(palette);
        label->setBuddy(edit);
        lines_[i] = edit;
    }
}

// The frame around the row of picture buttons, behind every other control.
void InfoPanel::buildButtonRowFrame() {
    auto* group = new QGroupBox(this);
    group->setGeometry(dialogUnits(0, 92, 277, 52));
    group->lower();
}

void InfoPanel::buildZoomList() {
    auto* zoomLabel = new QLabel(QStringLiteral("Zoom :"), this);
    zoomLabel->setGeometry(dialogUnits(5, 80, 30, 13));
    zoomList_ = new QComboBox(this);
    zoomList_->setObjectName(idName(panelZoomList));
    zoomList_->setAccessibleName(QStringLiteral("Zoom"));
    zoomList_->setGeometry(dialogUnits(40, 80, 45, 13));
    for (const char* entry : zoomEntries) zoomList_->addItem(QString::fromLatin1(entry));
    zoomList_->setCurrentIndex(zoomStartIndex);
    zoomLabel->setBuddy(zoomList_);
    connect(zoomList_, &QComboBox::activated, this, [this](int) { zoomChosen(); });
}

// A check box with its text left of the box; the arrow keys on it belong to the panel.
QCheckBox* InfoPanel::makeSwitch(int id, const char* text, QRect where) {
    auto* box = new QCheckBox(QString::fromLatin1(text), this);
    box->setObjectName(idName(id));
    box->setAccessibleName(QString::fromLatin1(text));
    box->setLayoutDirection(Qt::RightToLeft);
    placeRightAligned(box, where);
    box->installEventFilter(this);
    return box;
}

// "Sort Images" and "Auto Adjust", right of the zoom list.
void InfoPanel::buildSwitches() {
    sortImages_ = makeSwitch(panelSortImages, "Sort Images", dialogUnits(90, 80, 55, 12));
    sortImages_->setChecked(sortByNumber_);
    connect(sortImages_, &QCheckBox::clicked, this, [this] { sortImages(false); });

    autoAdjust_ = makeSwitch(panelAutoAdjust, "Auto Adjust", dialogUnits(145, 80, 60, 12));
    autoAdjust_->setChecked(app_.viewer.window.autoWindowing != 0);
    connect(autoAdjust_, &QCheckBox::clicked, this, [this](bool on) { autoAdjustChanged(on); });

    // The zoom list gives way to a "Sort Images" text wider than the template's font made it.
    QRect zoomRect = zoomList_->geometry();
    zoomRect.setRight(std::min(zoomRect.right(), sortImages_->geometry().left() - 4));
    zoomList_->setGeometry(zoomRect);
}

QPushButton* InfoPanel::makePictureButton(int id, int left, const char* name) {
    auto* b = new QPushButton(this);
    b->setObjectName(idName(id));
    b->setAccessibleName(QString::fromLatin1(name));
    b->setGeometry(dialogUnits(left, 100, 15, 15));
    b->installEventFilter(this);
    return b;
}

// Reset Contrast and the previous/next image buttons; two unused places stay hidden.
void InfoPanel::buildPictureButtons() {
    resetContrast_ = makePictureButton(panelResetContrast, 190, "Reset Contrast");
    previous_ = makePictureButton(panelPreviousImage, 40, "Previous Image");
    next_ = makePictureButton(panelNextImage, 55, "Next Image");
    makePictureButton(panelSpareButton1, 75, "Unused")->hide();
    makePictureButton(panelSpareButton2, 90, "Unused")->hide();
    setButtonPicture(previous_, picturePreviousGrey);
    setButtonPicture(next_, pictureNextGrey);
    setButtonPicture(resetContrast_, pictureFullRange);
    connect(resetContrast_, &QPushButton::clicked, this, [this] { resetContrast(app_.viewer); });
    connect(previous_, &QPushButton::clicked, this, [this] { stepFileList(false); });
    connect(next_, &QPushButton::clicked, this, [this] { stepFileList(true); });
}

void InfoPanel::buildFileSizeLine() {
    fileSize_ = new QLabel(QStringLiteral("Static"), this);
    fileSize_->setObjectName(idName(panelFileSizeLine));
    fileSize_->setAccessibleName(QStringLiteral("Filesize"));
    fileSize_->setGeometry(dialogUnits(85, 103, 95, 10));
}

void InfoPanel::place() {
    const int left = app_.screenWidth - panelRightMargin;
    OpenDialog::fitOuterSize(this, panelSize);
    move(left, panelTop);
}

bool InfoPanel::event(QEvent* event) {
    OpenDialog::keepOuterSize(this, event, panelSize);
    return QWidget::event(event);
}

QLineEdit* InfoPanel::line(int controlId) const {
    for (QLineEdit* edit : lines_)
        if (edit->objectName() == idName(controlId)) return edit;
    return nullptr;
}

QPushButton* InfoPanel::button(int controlId) const {
    return findChild<QPushButton*>(idName(controlId), Qt::FindDirectChildrenOnly);
}

void InfoPanel::setLineText(int controlId, const QString& text) {
    if (controlId == panelFileSizeLine) fileSize_->setText(text);
    else if (QLineEdit* edit = line(controlId)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

QString InfoPanel::lineText(int controlId) const {
    if (controlId == panelFileSizeLine) return fileSize_->text();
    const QLineEdit* edit = line(controlId);
    return edit ? edit->text() : QString();
}

void InfoPanel::setResetContrastPicture(bool fullRange) {
    setButtonPicture(resetContrast_, fullRange ? pictureFullRange : pictureWindowed);
}

void InfoPanel::selectZoomIndex(int index) {
    if (index >= 0 && index < zoomList_->count()) zoomList_->setCurrentIndex(index);
}

void InfoPanel::repaintNow() { repaint(); }

void InfoPanel::setPreviousPicture(bool available) {
    setButtonPicture(previous_, available ? picturePrevious : picturePreviousGrey);
}

void InfoPanel::setNextPicture(bool available) {
    setButtonPicture(next_, available ? pictureNext : pictureNextGrey);
}

void InfoPanel::zoomChosen() {
    if (app_.imageWindow) app_.imageWindow->setZoomFromList(zoomList_->currentIndex());
}

void InfoPanel::autoAdjustChanged(bool on) { setAutoWindowing(app_.viewer, on); }

void InfoPanel::stepFileList(bool down) {
    if (app_.openDialog) app_.openDialog->stepFile(down);
}

// Keys reaching the panel act as in the main window: up and down move the file list,
// left and right step the frames.
void InfoPanel::handleKey(QKeyEvent* event) {
    if (app_.mainWindow) {
        if (!app_.mainWindow->handleKey(event->key())) event->ignore();
        return;
    }
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
        stepFileList(event->key() == Qt::Key_Down);
    else
        event->ignore();
}

void InfoPanel::keyPressEvent(QKeyEvent* event) { handleKey(event); }

bool InfoPanel::eventFilter(QObject* watched, QEvent* event) {
    // Buttons and check boxes would take the arrow keys for moving the focus; here they
    // belong to the panel.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            handleKey(key);
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void InfoPanel::mouseMoveEvent(QMouseEvent* event) {
    const Viewer& v = app_.viewer;
    if (v.loadBusy) setCursor(v.middleDragging ? Qt::SizeVerCursor : Qt::WaitCursor);
    else if (!v.middleDragging) setCursor(Qt::ArrowCursor);
    if (app_.tooltips) app_.tooltips->removeTooltip();
    QWidget::mouseMoveEvent(event);
}

void InfoPanel::closeEvent(QCloseEvent* event) {
    // The panel is never closed by the user; a close request only hides it.
    if (app_.viewer.appState == appClosing) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
}

void InfoPanel::sortImages(bool autoSortRequest) {
    const bool checked = sortImages_->isChecked();
    if (checked == sortByNumber_ && !autoSortRequest) return;
    // A refilled list is already in name order: rebuilding it would only race a key press
    // that moved the selection meanwhile.
    if (autoSortRequest && !checked && !sortByNumber_) return;
    sortByNumber_ = checked;
    OpenDialog* dialog = app_.openDialog;
    if (!dialog) return;
    QListWidget* list = dialog->fileList();
    list->setUpdatesEnabled(false);

    std::vector<std::string> names;
    names.reserve(size_t(list->count()));
    for (int i = 0; i < list->count(); ++i) names.push_back(toCore(list->item(i)->text()));
    const QListWidgetItem* selected = list->currentRow() >= 0 ? list->item(list->currentRow()) : nullptr;
    const QString selectedName = selected && selected->isSelected() ? selected->text() : QString();

    if (sortByNumber_) {
        dialog->repaint();
        if (app_.viewer.host) app_.viewer.host->showStatusBox("Sorting files...");
        names = sortNamesByInstanceNumber(toCore(dialog->directory()), names);
    } else {
        sortTextsCaseInsensitive(names);
    }
    QStringList entries;
    entries.reserve(qsizetype(names.size()));
    for (const std::string& name : names) entries << fromCore(name);
    dialog->replaceEntries(entries, selectedName);
    if (sortByNumber_ && app_.viewer.host) app_.viewer.host->closeStatusBox();
    list->setUpdatesEnabled(true);
}

}  // namespace vs::ui
