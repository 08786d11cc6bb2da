// The image window: a sub-window of the main window's work area that paints the display
// buffer at the chosen zoom, scrolled, with nearest-neighbour scaling; and the zoom and fit
// rules that size it.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QMdiSubWindow>
#include <QPoint>
#include <cstdint>

#include "core/image_gestures.h"
#include "ui/app.h"

class QMdiArea;
class QTimer;

namespace vs::ui {

inline constexpr int imageWindowStartX = 5;
inline constexpr int imageWindowStartY = 5;
inline constexpr int imageWindowStartSize = 256;
inline constexpr int scrollLineStep = 2;
inline constexpr int scrollPageStep = 8;
inline constexpr int fitMarginX = 20;  // the window stays this far inside the screen
inline constexpr int fitMarginY = 100;

// Paints the display buffer as the image window shows it into out, made clientSize pixels
// (RGB32, grey): from the scroll position (display pixels) on, each client pixel taking the
// nearest buffer pixel. A large picture's rows are painted in bands on the viewer's pool.
void paintDisplay(const Viewer& v, QSize clientSize, int scrollX, int scrollY, QImage& out);

// The largest scroll position for one direction, or 0 when the zoomed image fits.
int scrollRange(int imagePixels, double zoom, int clientPixels);

// The first period of the browse timer, and its period while no middle drag re-arms it.
inline constexpr int browseTimerStartMs = 10;

// The image's view with its scroll bars, and the three mouse gestures on it: the left button
// drags contrast and brightness, the right one pans, and the middle one held above or below
// its press point steps through the Open dialog's files by the browse timer.
class ImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ImageView(App& app, QWidget* parent = nullptr);
    void updateScrollRanges();

    // The middle-drag browse timer: started when the window is shown, stopped when closed.
    QTimer* browseTimer() const { return browseTimer_; }
    // One tick of it: a step through the file list while the middle drag is beyond its dead
    // zone, and the timer re-armed with the step's period.
    void browseTick();
    int16_t middleOffset() const { return middleOffset_; }
    // Set while the window is fitted to a newly loaded image.
    bool fitting = false;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void endDragsOfReleasedButtons();
    void applyCursor(GestureEvent event);
    void dragContrast(QPoint at);
    void pan(QPoint at);
    void showWindowedTitle();

    App& app_;
    QTimer* browseTimer_;
    QImage picture_;      // what the last paint painted, kept so that its memory is reused
    QPoint dragAnchor_;   // last point of the left drag, press point of the middle drag
    PanPoint panAnchor_;  // the point under the mouse when the right button went down
    int16_t middleOffset_ = 0;
};

class ImageWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    ImageWindow(App& app, QMdiArea* area);

    ImageView* view() const { return view_; }
    QSize clientSize() const;
    int scrollX() const;
    int scrollY() const;

    // The outer size minus the client size: frame, caption and both scroll bars.
    void measureFrameExtra();
    QSize frameExtra() const { return frameExtra_; }

    // The largest outer size the window is fitted to: inside the screen's margins, and left
    // of the tool windows at the screen's right edge with the gap it keeps on its left.
    QSize largestOuterSize() const;
    // The widest zoomed image that the largest window shows whole, in display pixels.
    int imageRoomWidth() const;

    void showWithoutActivating();
    void fitImageWindow();
    void resizeForZoom();
    void setZoomFromList(int index);
    // Invalidates and paints at once.
    void repaintNow();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setOuterSize(QSize outer);
    void updateTrackingLimits();

    App& app_;
    ImageView* view_;
    QSize frameExtra_;
    double appliedZoom_ = 0.0;  // the zoom the window was last sized for
    int fittedColumns_ = 1;
    int fittedRows_ = 1;
};

}  // namespace vs::ui
