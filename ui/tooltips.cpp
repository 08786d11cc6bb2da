#include "ui/tooltips.h"

#include <QCursor>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QTimer>

#include "ui/animation_control.h"
#include "ui/dialog_units.h"
#include "ui/info_panel.h"
#include "ui/main_window.h"

namespace vs::ui {

namespace {

constexpr int borderWidth = 1;
// Room beside and above the text, in dialog units of the tooltip's font.
constexpr int textPaddingX = 2;
constexpr int textPaddingY = 1;

}  // namespace

int tooltipLeft(int cursorX, int width, int screenWidth) {
    int left = cursorX - width / 2;
    if (cursorX + width / 2 > screenWidth) left = screenWidth - width;
    return left < 0 ? 0 : left;
}

TooltipWindow::TooltipWindow(QWidget* owner)
    : QFrame(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName("tooltip");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(borderWidth);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    setAutoFillBackground(true);
    label_ = new QLabel(this);
    label_->setAlignment(Qt::AlignCenter);
    label_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(borderWidth, borderWidth, borderWidth, borderWidth);
    layout->addWidget(label_);
}

void TooltipWindow::setText(const QString& text, bool resize) {
    label_->setText(text);
    setAccessibleName(text);
    if (!resize) return;
    // Measured in the label's own font, so the text always fits the box drawn round it.
    const QFontMetrics metrics(label_->font());
    const DialogUnits units = DialogUnits::of(label_);
    setFixedSize(metrics.horizontalAdvance(text) + 2 * (borderWidth + units.x(textPaddingX)),
                 metrics.height() + 2 * (borderWidth + units.y(textPaddingY)));
}

Tooltips::Tooltips(App& app, QObject* parent) : QObject(parent), app_(app) {
    cursorPosition = [] { return QCursor::pos(); };
    lifetime_ = new QTimer(this);
    lifetime_->setSingleShot(true);
    lifetime_->setInterval(tooltipLifetimeMs);
    connect(lifetime_, &QTimer::timeout, this, &Tooltips::expire);
}

Tooltips::~Tooltips() {
    hide();
    if (app_.tooltips == this) app_.tooltips = nullptr;
}

QString Tooltips::textFor(const QWidget* control) const {
    const Viewer& v = app_.viewer;
    if (const InfoPanel* panel = app_.infoPanel) {
        if (control == panel->autoAdjustBox()) return QStringLiteral("Automatic contrast adjustment");
        if (control == panel->resetContrastButton()) return QStringLiteral("Reset contrast settings");
        if (control == panel->previousImageButton()) return QStringLiteral("Previous image");
        if (control == panel->nextImageButton()) return QStringLiteral("Next image");
        if (control == panel->sortImagesBox()) return QStringLiteral("Sort image numbers");
        if (control == panel->zoomList()) return QStringLiteral("Zoom factor");
    }
    if (const AnimationControl* animation = app_.animControl) {
        if (control == animation->playButton())
            return v.animationPlaying ? QStringLiteral("Pause") : QStringLiteral("Play");
        if (control == animation->previousFrameButton()) return QStringLiteral("Previous frame");
        if (control == animation->nextFrameButton()) return QStringLiteral("Next frame");
        if (control == animation->frameSlider())
            return QStringLiteral("Frame %1 of %2").arg(v.currentFrame + 1).arg(v.dicom.image.frameCount);
        if (control == animation->speedSlider())
            return QStringLiteral("Animation speed %1 fps")
                .arg(v.animationPlaying ? animation->stepRate() : 1000 / animation->framePeriod());
    }
    return {};
}

// The control of window under the screen point: the window's own child that holds the point
// (a part of a control, such as a combo box's button, counts as the control), or none.
QWidget* Tooltips::controlAt(QWidget* window, QPoint screenPos) const {
    QWidget* under = window->childAt(window->mapFromGlobal(screenPos));
    while (under && under->parentWidget() != window) under = under->parentWidget();
    return under;
}

void Tooltips::tooltipHandler(QWidget* window, bool refresh) {
    if (!window) return;
    if (!refresh) ++ticks_;
    const QPoint cursor = cursorPosition();
    if (cursor != lastCursorPos_) {
        lastCursorPos_ = cursor;
        hide();
        ticks_ = 0;
        return;
    }
    if (!refresh) {
        // Both timers count into the one tick number; the second of the two accepted counts
        // gives the other window its chance to find its own control under the cursor.
        const int delay = tooltipDelayTicks(app_.viewer.animationPlaying != 0);
        if (ticks_ != delay && ticks_ != delay + 1) return;
    }
    QWidget* control = controlAt(window, cursor);
    if (!control || !control->isVisible()) return;
    const QString text = textFor(control);
    if (text.isEmpty()) return;
    if (refresh && tooltip_) {
        // A frame or speed change keeps a slider's tooltip three more seconds with the new value.
        if (qobject_cast<const QSlider*>(control)) {
            tooltip_->setText(text, false);
            lifetime_->start();
            ++ticks_;
        }
        return;
    }
    show(text);
    ++ticks_;
}

void Tooltips::show(const QString& text) {
    hide();
    tooltip_ = new TooltipWindow(app_.mainWindow);
    tooltip_->setText(text, true);
    const QPoint cursor = cursorPosition();
    tooltip_->move(tooltipLeft(cursor.x(), tooltip_->width(), app_.screenWidth),
                   cursor.y() - tooltipAboveCursor);
    tooltip_->show();
    lifetime_->start();
}

void Tooltips::hide() {
    lifetime_->stop();
    if (tooltip_) tooltip_->close();
    tooltip_ = nullptr;
}

void Tooltips::removeTooltip() {
    hide();
    ticks_ = 0;
}

void Tooltips::expire() { hide(); }

}  // namespace vs::ui
