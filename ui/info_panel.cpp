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
#include <QStyleOption>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <string>
#include <vector>

#include "core/contrast.h"
#include "core/image_sort.h"
#include "core/zoom.h"
#include "ui/boxes.h"
#include "ui/button_pictures.h"
#include "ui/core_text.h"
#include "ui/image_window.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/tool_column.h"
#include "ui/tooltips.h"

namespace vs::ui {

namespace {

struct LineEntry {
    const char* name;
    const char* label;
    const char* accessibleName;
    int top;  // dialog units
};
// The five description lines, top to bottom as shown.
constexpr LineEntry lineEntries[descriptionLineCount] = {
    {"patientLine", "Patient :", "Patient", 5},
    {"dateLine", "Date : ", "Date", 20},
    {"studyLine", "Study :", "Study", 35},
    {"imageLine", "Image :", "Image", 50},
    {"pixsizeLine", "Pixsize :", "Pixsize", 65},
};
// The lines that show their text whole; the Pixsize line scrolls sideways instead.
constexpr PanelLine wholeLines[] = {PanelLine::patient, PanelLine::date, PanelLine::study, PanelLine::image};

constexpr int zoomListGap = 4;  // pixels between the zoom list and "Sort Images"
// QLineEdit keeps this many pixels between its frame and its text on each side, and one more
// for the cursor at the text's end.
constexpr int lineTextMargin = 2;
constexpr int cursorWidth = 1;

// A check box with its text on the left keeps the right edge of its layout place and grows to
// the left when its text needs more room than the layout gives.
void placeRightAligned(QWidget* box, QRect r) {
    const int width = std::max(r.width(), box->sizeHint().width());
    box->setGeometry(r.right() + 1 - width, r.top(), width, r.height());
}

}  // namespace

int DescriptionLine::widthToShow(const QString& text) const {
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QMargins around = textMargins() + contentsMargins();
    const int inner =
        fontMetrics().horizontalAdvance(text) + 2 * lineTextMargin + cursorWidth + around.left() + around.right();
    return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, height()), this).width();
}

InfoPanel::InfoPanel(App& app, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app) {
    setWindowTitle(QStringLiteral("Image Information"));
    setAccessibleName(QStringLiteral("Image Information"));
    setObjectName(QStringLiteral("infoPanel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    units_ = DialogUnits::of(this);
    buildControls();
    layOut();
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
    // The frame around the row of picture buttons, behind every other control.
    buttonRow_ = new QGroupBox(this);
    buttonRow_->setObjectName("buttonRow");
    for (int i = 0; i < descriptionLineCount; ++i) {
        const LineEntry& entry = lineEntries[i];
        labels_[i] = new QLabel(QString::fromLatin1(entry.label), this);
        auto* line = new DescriptionLine(this);
        line->setObjectName(QString::fromLatin1(entry.name));
        line->setAccessibleName(QString::fromLatin1(entry.accessibleName));
        line->setReadOnly(true);
        // Read-only, yet white like an editable line.
        QPalette palette = line->palette();
        palette.setColor(QPalette::Base, Qt::white);
        line->setPalette(palette);
        labels_[i]->setBuddy(line);
        lines_[i] = line;
    }

    zoomLabel_ = new QLabel(QStringLiteral("Zoom :"), this);
    zoomList_ = new QComboBox(this);
    zoomList_->setObjectName("zoomList");
    zoomList_->setAccessibleName(QStringLiteral("Zoom"));
    for (const ZoomStep& step : zoomSteps) zoomList_->addItem(QString::fromLatin1(step.text));
    zoomList_->setCurrentIndex(zoomStartIndex);
    zoomLabel_->setBuddy(zoomList_);
    connect(zoomList_, &QComboBox::activated, this, [this](int) { zoomChosen(); });

    sortImages_ = makeSwitch("sortImages", "Sort Images");
    sortImages_->setChecked(sortByNumber_);
    connect(sortImages_, &QCheckBox::clicked, this, [this] { sortImages(false); });
    autoAdjust_ = makeSwitch("autoAdjust", "Auto Adjust");
    autoAdjust_->setChecked(app_.viewer.window.autoWindowing);
    connect(autoAdjust_, &QCheckBox::clicked, this, [this](bool on) { autoAdjustChanged(on); });

    resetContrast_ = makePictureButton("resetContrast", "Reset Contrast");
    previous_ = makePictureButton("previousImage", "Previous Image");
    next_ = makePictureButton("nextImage", "Next Image");
    setButtonPicture(previous_, ButtonPicture::previousGrey);
    setButtonPicture(next_, ButtonPicture::nextGrey);
    setButtonPicture(resetContrast_, ButtonPicture::fullRange);
    connect(resetContrast_, &QPushButton::clicked, this, [this] { resetContrast(app_.viewer); });
    connect(previous_, &QPushButton::clicked, this, [this] { stepFileList(false); });
    connect(next_, &QPushButton::clicked, this, [this] { stepFileList(true); });

    fileSize_ = new QLabel(QStringLiteral("Static"), this);
    fileSize_->setObjectName("fileSizeLine");
    fileSize_->setAccessibleName(QStringLiteral("Filesize"));
}

// A check box with its text left of the box; the arrow keys on it belong to the panel.
QCheckBox* InfoPanel::makeSwitch(const char* name, const char* text) {
    auto* box = new QCheckBox(QString::fromLatin1(text), this);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(QString::fromLatin1(text));
    box->setLayoutDirection(Qt::RightToLeft);
    box->installEventFilter(this);
    return box;
}

QPushButton* InfoPanel::makePictureButton(const char* name, const char* accessibleName) {
    auto* b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(QString::fromLatin1(accessibleName));
    b->installEventFilter(this);
    return b;
}

// Every control at its place in dialog units; what stands right of the description lines
// moves right by as much as they are widened.
void InfoPanel::layOut() {
    const DialogUnits& u = units_;
    const int widened = linesWidened_;
    for (int i = 0; i < descriptionLineCount; ++i) {
        const QRect line = u.rect(40, lineEntries[i].top, 165, 13).adjusted(0, 0, widened, 0);
        // Each label stands level with its line.
        labels_[i]->setGeometry(u.x(5), line.top(), u.x(30), line.height());
        lines_[i]->setGeometry(line);
    }
    buttonRow_->setGeometry(u.rect(0, 92, 277, 52).adjusted(0, 0, widened, 0));
    buttonRow_->lower();
    zoomLabel_->setGeometry(u.rect(5, 80, 30, 13));
    placeRightAligned(sortImages_, u.rect(90, 80, 55, 12).translated(widened, 0));
    placeRightAligned(autoAdjust_, u.rect(145, 80, 60, 12).translated(widened, 0));
    // The zoom list gives way to a "Sort Images" text wider than the layout's font made it.
    QRect zoom = u.rect(40, 80, 45, 13);
    zoom.setRight(std::min(zoom.right(), sortImages_->geometry().left() - zoomListGap));
    zoomList_->setGeometry(zoom);
    previous_->setGeometry(u.rect(40, 100, 15, 15));
    next_->setGeometry(u.rect(55, 100, 15, 15));
    resetContrast_->setGeometry(u.rect(190, 100, 15, 15).translated(widened, 0));
    fileSize_->setGeometry(u.rect(85, 103, 95, 10));
}

QSize InfoPanel::outerSize() const { return units_.pixels(panelReferenceSize) + QSize(linesWidened_, 0); }

void InfoPanel::place() {
    fitOuterSize(this, outerSize());
    move(columnLeft(app_.screenWidth, outerSize().width()), columnTops(units_).panel);
}

// The lines widen to the widest text they show whole, as far as the screen allows, and
// narrow again with their texts.
void InfoPanel::widenForTexts() {
    int needed = 0;
    for (PanelLine l : wholeLines) needed = std::max(needed, lines_[int(l)]->widthToShow(lineText(l)));
    const int room = app_.screenWidth - columnRightMargin - units_.pixels(panelReferenceSize).width();
    const int widened = std::clamp(needed - units_.x(165), 0, std::max(room, 0));
    if (widened == linesWidened_) return;
    linesWidened_ = widened;
    layOut();
    place();
}

bool InfoPanel::event(QEvent* event) {
    keepOuterSize(this, event, outerSize());
    return QWidget::event(event);
}

QLineEdit* InfoPanel::line(PanelLine which) const {
    return which == PanelLine::fileSize ? nullptr : lines_[int(which)];
}

void InfoPanel::setLineText(PanelLine which, const QString& text) {
    if (which == PanelLine::fileSize) {
        fileSize_->setText(text);
        return;
    }
    QLineEdit* edit = lines_[int(which)];
    edit->setText(text);
    edit->setCursorPosition(0);
    if (which != PanelLine::pixsize) widenForTexts();
}

QString InfoPanel::lineText(PanelLine which) const {
    return which == PanelLine::fileSize ? fileSize_->text() : lines_[int(which)]->text();
}

void InfoPanel::setResetContrastPicture(bool fullRange) {
    setButtonPicture(resetContrast_, fullRange ? ButtonPicture::fullRange : ButtonPicture::windowed);
}

void InfoPanel::selectZoomIndex(int index) {
    if (index >= 0 && index < zoomList_->count()) zoomList_->setCurrentIndex(index);
}

void InfoPanel::repaintNow() { repaint(); }

void InfoPanel::setPreviousPicture(bool available) {
    setButtonPicture(previous_, available ? ButtonPicture::previous : ButtonPicture::previousGrey);
}

void InfoPanel::setNextPicture(bool available) {
    setButtonPicture(next_, available ? ButtonPicture::next : ButtonPicture::nextGrey);
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
    if (app_.viewer.appState == AppState::closing) {
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
