// The tool windows stand in one column at the screen's right edge: the information panel on
// top, the Open dialog (or the batch box in its place) below it, the animation control below
// that. Each is sized and placed by its outer (frame) size, which grows with its font, so that
// none covers another; the image window is fitted into the room to their left.
#pragma once

#include <QSize>

#include "ui/dialog_units.h"

class QEvent;
class QWidget;

namespace vs::ui {

struct App;

inline constexpr int columnRightMargin = 16;  // pixels between the column and the screen's edge
inline constexpr int panelTop = 55;
inline constexpr int gapBelowPanel = 6;
inline constexpr int gapBelowDialog = 13;
// Outer sizes at the reference font.
inline constexpr QSize panelReferenceSize{324, 216};
inline constexpr QSize dialogReferenceSize{324, 240};
inline constexpr QSize animationReferenceSize{324, 48};

// The top edges of the three places, one below the other, for windows laid out in units.
struct ColumnTops {
    int panel;
    int dialog;
    int animation;
};
ColumnTops columnTops(const DialogUnits& units);

// The left edge of a window of that outer width at the screen's right edge.
inline int columnLeft(int screenWidth, int outerWidth) { return screenWidth - columnRightMargin - outerWidth; }

// The left edge of the column as its windows stand now (the widest of them decides), or
// screenWidth when none exists.
int columnLeftEdge(const App& app);

// Gives a tool window the outer size outer (frame and caption included) once the window
// system has told the frame; until then the inside takes the whole size.
void fitOuterSize(QWidget* window, QSize outer);
// Fits the outer size again on the events after which the frame may have changed.
void keepOuterSize(QWidget* window, const QEvent* event, QSize outer);

}  // namespace vs::ui
