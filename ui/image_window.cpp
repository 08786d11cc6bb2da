#include "ui/image_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "core/render.h"
#include "core/zoom.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/qt_host.h"
#include "ui/tool_column.h"

namespace vs::ui {

namespace {

// Grey level i as a pixel of the picture the view paints.
std::array<QRgb, 256> greyPixels() {
    const std::array<uint32_t, 256> palette = greyPalette();
    std::array<QRgb, 256> pixels{};
    std::copy(palette.begin(), palette.end(), pixels.begin());
    return pixels;
}

constexpr QRgb outsideImage = 0xFFFFFFFF;  // white, like the window's background
constexpr QRgb notRendered = 0xFF000000;   // black: display bytes no rendering has reached
// Pictures of at least this many pixels are painted in row bands.
constexpr int64_t bandedPaintPixels = int64_t(1) << 19;

}  // namespace

void paintDisplay(const Viewer& v, QSize clientSize, int scrollX, int scrollY, QImage& out) {
    const int cw = std::abs(clientSize.width());
    const int ch = std::abs(clientSize.height());
    const QSize size(std::max(cw, 1), std::max(ch, 1));
    if (out.size() != size || out.format() != QImage::Format_RGB32) out = QImage(size, QImage::Format_RGB32);
    // The buffer is displayStride pixels wide and rows high; the source rectangle is the
    // client area divided by the zoom, stretched onto the whole client area.
    const double zoom = v.zoomFactor;
    const int64_t width = v.window.displayStride;
    const int64_t height = v.dicom.image.rows;
    const int64_t sx = int64_t(scrollX / zoom);
    const int64_t sy = int64_t(scrollY / zoom);
    const int64_t sw = int64_t(cw / zoom);
    const int64_t sh = int64_t(ch / zoom);
    if (cw == 0 || ch == 0 || sw <= 0 || sh <= 0) {
        out.fill(outsideImage);
        return;
    }
    const size_t available = v.display.size();
    const std::array<QRgb, 256> grey = greyPixels();

    // The buffer column of each client column. They rise from left to right, so those inside
    // the buffer are the client columns inside..insideEnd - 1; the rest are white.
    std::vector<int64_t> columnOf(static_cast<size_t>(cw));
    for (int x = 0; x < cw; ++x) columnOf[size_t(x)] = sx + int64_t(x) * sw / cw;
    const int inside = int(std::lower_bound(columnOf.begin(), columnOf.end(), 0) - columnOf.begin());
    const int insideEnd = int(std::lower_bound(columnOf.begin(), columnOf.end(), width) - columnOf.begin());
    const bool oneToOne = sw == cw;  // client column x shows buffer column sx + x
    // Client rows first .. end - 1; each band writes its own lines of out and reads the rest.
    const auto paintRows = [&](int first, int end) {
        const QRgb* previous = nullptr;  // the line above, when it shows the same buffer row
        int64_t previousRow = -1;
        for (int y = first; y < end; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            const int64_t row = sy + int64_t(y) * sh / ch;
            if (row < 0 || row >= height) {
                std::fill(line, line + cw, outsideImage);
                previous = nullptr;
                continue;
            }
            if (previous && row == previousRow) {
                std::copy(previous, previous + cw, line);
                continue;
            }
            std::fill(line, line + inside, outsideImage);
            std::fill(line + insideEnd, line + cw, outsideImage);
            const uint8_t* source = v.display.data() + row * width;
            if (size_t(row * width + width) <= available) {
                if (oneToOne) {
                    const uint8_t* shown = source + sx;
                    for (int x = inside; x < insideEnd; ++x) line[x] = grey[shown[x]];
                } else {
                    for (int x = inside; x < insideEnd; ++x) line[x] = grey[source[columnOf[size_t(x)]]];
                }
            } else {
                // Bytes no rendering has reached yet read as zero, up to the nominal size.
                for (int x = inside; x < insideEnd; ++x) {
                    const size_t at = size_t(row * width + columnOf[size_t(x)]);
                    line[x] = at < available ? grey[source[columnOf[size_t(x)]]]
                              : at < displayBufferBytes ? notRendered
                                                        : outsideImage;
                }
            }
            previous = line;
            previousRow = row;
        }
    };
    if (!v.bands || int64_t(cw) * ch < bandedPaintPixels) return paintRows(0, ch);
    const uint32_t bands = v.bands->bandsFor(uint32_t(ch), uint32_t(bandedPaintPixels / 64 / cw));
    v.bands->run(bands, [&](uint32_t band) {
        paintRows(int(bandStart(uint32_t(ch), bands, band)), int(bandStart(uint32_t(ch), bands, band + 1)));
    });
}

int scrollRange(int imagePixels, double zoom, int clientPixels) {
    return std::max(int(imagePixels * zoom) - clientPixels, 0);
}

ImageView::ImageView(App& app, QWidget* parent) : QAbstractScrollArea(parent), app_(app) {
    setObjectName("imageView");
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalScrollBar()->setSingleStep(scrollLineStep);
    horizontalScrollBar()->setPageStep(scrollPageStep);
    verticalScrollBar()->setSingleStep(scrollLineStep);
    verticalScrollBar()->setPageStep(scrollPageStep);
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAccessibleName("Image");
    // Plain moves repaint too, so the view follows the mouse without a button held.
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    browseTimer_ = new QTimer(this);
    browseTimer_->setObjectName("browseTimer");
    connect(browseTimer_, &QTimer::timeout, this, &ImageView::browseTick);
    browseTimer_->start(browseTimerStartMs);
}

// A drag lasts only while its button is held: the button state is read at every event, so a
// button released outside the window (where no release reaches us) still ends its drag.
void ImageView::endDragsOfReleasedButtons() {
    Viewer& v = app_.viewer;
    const Qt::MouseButtons held = QGuiApplication::mouseButtons();
    if (!(held & Qt::RightButton)) v.rightDragging = 0;
    if (!(held & Qt::LeftButton) && v.leftDragging) {
        v.leftDragging = 0;
        v.host->setImageWindowTitle(frameTitle(v.dicom.image.frameCount, v.currentFrame));
    }
    if (!(held & Qt::MiddleButton)) v.middleDragging = 0;
}

void ImageView::applyCursor(GestureEvent event) {
    const Viewer& v = app_.viewer;
    if (const std::optional<Cursor> cursor = imageWindowCursor(event, v.loadBusy != 0, v.middleDragging != 0))
        viewport()->setCursor(cursorShape(*cursor));
}

void ImageView::showWindowedTitle() {
    const Viewer& v = app_.viewer;
    v.host->setImageWindowTitle(windowedTitle(v.dicom.image, {v.window.windowLow, v.window.windowHigh}));
}

bool ImageView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::Leave:
        endDragsOfReleasedButtons();
        break;
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    Viewer& v = app_.viewer;
    const QPoint at = event->position().toPoint();
    switch (event->button()) {
    case Qt::LeftButton:
        v.leftDragging = 1;
        dragAnchor_ = at;
        showWindowedTitle();
        applyCursor(GestureEvent::contrast);
        break;
    case Qt::RightButton:
        panAnchor_ = panUnits(at.x(), at.y(), horizontalScrollBar()->value(), verticalScrollBar()->value(),
                              v.zoomFactor);
        v.rightDragging = 1;
        applyCursor(GestureEvent::pan);
        break;
    case Qt::MiddleButton:
        v.middleDragging = 1;
        dragAnchor_ = at;
        middleOffset_ = 0;
        if (v.loadBusy) viewport()->setCursor(cursorShape(Cursor::sizeNorthSouth));
        break;
    default:
        break;
    }
    event->accept();
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    Viewer& v = app_.viewer;
    const QPoint at = event->position().toPoint();
    if (v.rightDragging) {
        applyCursor(GestureEvent::pan);
        pan(at);
        return;
    }
    if (v.leftDragging) dragContrast(at);
    if (v.middleDragging) {
        if (v.loadBusy) viewport()->setCursor(cursorShape(Cursor::sizeNorthSouth));
        middleOffset_ = middleBrowseOffset(dragAnchor_.y(), at.y());
        viewport()->repaint();
    }
    if (!v.leftDragging && !v.middleDragging) {
        applyCursor(GestureEvent::other);
        viewport()->repaint();
    }
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    Viewer& v = app_.viewer;
    switch (event->button()) {
    case Qt::LeftButton:
        applyCursor(GestureEvent::other);
        v.host->setImageWindowTitle(frameTitle(v.dicom.image.frameCount, v.currentFrame));
        v.leftDragging = 0;
        break;
    case Qt::RightButton:
        applyCursor(GestureEvent::other);
        v.rightDragging = 0;
        break;
    case Qt::MiddleButton:
        v.middleDragging = 0;
        applyCursor(GestureEvent::other);
        break;
    default:
        break;
    }
}

// Contrast and brightness follow the mouse: each move shifts and narrows the window by the
// pixels moved since the last one, renders the frame with it and paints at once.
void ImageView::dragContrast(QPoint at) {
    Viewer& v = app_.viewer;
    const int dx = at.x() - dragAnchor_.x();
    const int dy = at.y() - dragAnchor_.y();
    dragAnchor_ = at;
    const bool inverted = picturesInverted(v);
    const DisplayWindow dragged =
        dragWindow({v.window.windowLow, v.window.windowHigh}, dx, dy, v.contrastDragScale, inverted);
    v.window.windowLow = dragged.low;
    v.window.windowHigh = dragged.high;
    showWindowedTitle();
    renderFrame(v);
}

// The image point that was under the mouse at the press is brought back under it, within the
// scroll ranges.
void ImageView::pan(QPoint at) {
    const Viewer& v = app_.viewer;
    QScrollBar* horizontal = horizontalScrollBar();
    QScrollBar* vertical = verticalScrollBar();
    const PanPoint point = panUnits(at.x(), at.y(), horizontal->value(), vertical->value(), v.zoomFactor);
    const int x = panScrollPosition(horizontal->value(), point.x, panAnchor_.x, horizontal->maximum());
    const int y = panScrollPosition(vertical->value(), point.y, panAnchor_.y, vertical->maximum());
    vertical->setValue(y);
    horizontal->setValue(x);
    viewport()->update();
}

void ImageView::browseTick() {
    endDragsOfReleasedButtons();
    Viewer& v = app_.viewer;
    if (!v.middleDragging) return;
    if (v.loadBusy) viewport()->setCursor(cursorShape(Cursor::sizeNorthSouth));
    if (middleOffset_ != 0 && app_.openDialog) app_.openDialog->stepFile(middleOffset_ > 0);
    browseTimer_->start(middleBrowsePeriodMs(middleOffset_));
}

void ImageView::updateScrollRanges() {
    const Viewer& v = app_.viewer;
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, scrollRange(v.dicom.image.columns, v.zoomFactor, client.width()));
    verticalScrollBar()->setRange(0, scrollRange(v.dicom.image.rows, v.zoomFactor, client.height()));
    // While a load fits the window the picture is painted once, after the fit.
    if (fitting) viewport()->update();
    else viewport()->repaint();
}

void ImageView::paintEvent(QPaintEvent*) {
    paintDisplay(app_.viewer, viewport()->size(), horizontalScrollBar()->value(), verticalScrollBar()->value(),
                 picture_);
    QPainter painter(viewport());
    painter.drawImage(0, 0, picture_);
}

void ImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
}

void ImageView::scrollContentsBy(int, int) { viewport()->update(); }

ImageWindow::ImageWindow(App& app, QMdiArea* area)
    : QMdiSubWindow(nullptr, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                 Qt::WindowCloseButtonHint),
      app_(app) {
    setObjectName("imageWindow");
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_ShowWithoutActivating);
    view_ = new ImageView(app, this);
    setWidget(view_);
    setWindowTitle(QString::fromStdString(frameTitle(1, 0)));
    setAccessibleName(windowTitle());
    area->addSubWindow(this);
    setGeometry(imageWindowStartX, imageWindowStartY, imageWindowStartSize, imageWindowStartSize);
    hide();
}

QSize ImageWindow::clientSize() const { return view_->viewport()->size(); }
int ImageWindow::scrollX() const { return view_->horizontalScrollBar()->value(); }
int ImageWindow::scrollY() const { return view_->verticalScrollBar()->value(); }

void ImageWindow::measureFrameExtra() {
    // The viewport is the widget less the two scroll bars; the widget sits inside the
    // sub-window's frame and caption.
    ensurePolished();
    view_->ensurePolished();
    const QMargins frame = contentsMargins();
    const QSize bars(view_->verticalScrollBar()->sizeHint().width(),
                     view_->horizontalScrollBar()->sizeHint().height());
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, this);
    frameExtra_ = QSize(frame.left() + frame.right() + bars.width() + 2 * border,
                        frame.top() + frame.bottom() + bars.height() + caption + border);
    updateTrackingLimits();
}

void ImageWindow::showWithoutActivating() {
    if (isVisible()) return;
    show();
    if (frameExtra_.isEmpty()) return;
    // Now that the frame is real, correct the measured frame size if the style differed.
    const QSize measured = size() - clientSize();
    if (measured != frameExtra_ && measured.width() > 0 && measured.height() > 0) {
        frameExtra_ = measured;
        updateTrackingLimits();
    }
}

void ImageWindow::updateTrackingLimits() {
    const Viewer& v = app_.viewer;
    setMinimumSize(frameExtra_);
    setMaximumSize(int(v.dicom.image.columns * v.zoomFactor) + frameExtra_.width(),
                   int(v.dicom.image.rows * v.zoomFactor) + frameExtra_.height());
}

void ImageWindow::setOuterSize(QSize outer) {
    updateTrackingLimits();
    resize(outer);
}

QSize ImageWindow::largestOuterSize() const {
    const int workAreaLeft = app_.mainWindow ? app_.mainWindow->workArea()->mapToGlobal(QPoint(0, 0)).x() : 0;
    const int room = columnLeftEdge(app_) - workAreaLeft - 2 * imageWindowStartX;
    const int width = std::min(app_.screenWidth - fitMarginX, room);
    return QSize(std::max(width, frameExtra_.width()), app_.screenHeight - fitMarginY);
}

int ImageWindow::imageRoomWidth() const { return largestOuterSize().width() - frameExtra_.width(); }

void ImageWindow::fitImageWindow() {
    const Viewer& v = app_.viewer;
    const QSize client = clientSize();
    const int zw = int(v.dicom.image.columns * v.zoomFactor);
    const int zh = int(v.dicom.image.rows * v.zoomFactor);
    const bool shrink = client.height() > zh || client.width() > zw;
    const bool grow = (v.dicom.image.rows != fittedRows_ && client.height() < zh) ||
                      (v.dicom.image.columns != fittedColumns_ && client.width() < zw);
    updateTrackingLimits();
    view_->fitting = true;
    if (shrink || grow) {
        setOuterSize((QSize(zw, zh) + frameExtra_).boundedTo(largestOuterSize()));
        fittedRows_ = v.dicom.image.rows;
        fittedColumns_ = v.dicom.image.columns;
    }
    view_->updateScrollRanges();
    view_->fitting = false;
}

void ImageWindow::resizeForZoom() {
    const Viewer& v = app_.viewer;
    updateTrackingLimits();
    if (v.zoomFactor != appliedZoom_) {
        const QSize zoomed(int(v.dicom.image.columns * v.zoomFactor), int(v.dicom.image.rows * v.zoomFactor));
        setOuterSize((zoomed + frameExtra_).boundedTo(largestOuterSize()));
        appliedZoom_ = v.zoomFactor;
    }
    view_->updateScrollRanges();
    view_->viewport()->update();
}

void ImageWindow::setZoomFromList(int index) {
    if (index < 0 || index >= zoomStepCount) return;
    app_.viewer.zoomFactor = zoomOfIndex(index);
    resizeForZoom();
}

void ImageWindow::repaintNow() { view_->viewport()->repaint(); }

void ImageWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; the next load shows it again.
    event->ignore();
    hide();
    if (app_.mainWindow) app_.mainWindow->actions().saveImageAs->setEnabled(false);
    view_->browseTimer()->stop();
}

void ImageWindow::showEvent(QShowEvent* event) {
    // Shown again by a load after a close: middle-button browsing works again.
    if (!view_->browseTimer()->isActive()) view_->browseTimer()->start(browseTimerStartMs);
    QMdiSubWindow::showEvent(event);
}

}  // namespace vs::ui
