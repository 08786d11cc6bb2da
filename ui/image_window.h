// The image window: a sub-window of the main window's work area that paints the display
// buffer at the chosen zoom, scrolled, with nearest-neighbour scaling; and the zoom and fit
// rules that size it.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QMdiSubWindow>
#include <cstdint>

#include "ui/app.h"

class QMdiArea;

namespace vs::ui {

inline constexpr int imageWindowStartX = 5;
inline constexpr int imageWindowStartY = 5;
inline constexpr int imageWindowStartSize = 256;
inline constexpr int scrollLineStep = 2;
inline constexpr int scrollPageStep = 8;
inline constexpr int largestScrollRange = 12768;  // display pixels; beyond it: no scrolling
inline constexpr int fitMarginX = 20;              // the window stays this far inside the screen
inline constexpr int fitMarginY = 100;

// Paints the display buffer as the image window shows it: clientSize pixels, starting at the
// scroll position (display pixels), each client pixel taking the nearest buffer pixel.
QImage paintDisplay(const Viewer& v, QSize clientSize, int scrollX, int scrollY);

// The largest scroll position for one direction, or 0 when the zoomed image fits.
int scrollRange(int imagePixels, double zoom, int clientPixels);

class ImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ImageView(App& app, QWidget* parent = nullptr);
    void updateScrollRanges();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    App& app_;
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

    void showWithoutActivating();
    void fitImageWindow();
    void resizeForZoom();
    void setZoomFromList(int index);
    // Invalidates and paints at once.
    void repaintNow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setOuterSize(QSize outer);
    void updateTrackingLimits();

    App& app_;
    ImageView* view_;
    QSize frameExtra_;
    int fittedColumns_ = 1;
    int fittedRows_ = 1;
};

}  // namespace vs::ui
