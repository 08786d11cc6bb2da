// The small button pictures of the information panel, the Open dialog and the animation
// control, drawn here rather than loaded from files.
#pragma once

#include <QPixmap>
#include <QSize>

class QAbstractButton;

namespace vs::ui {

enum class ButtonPicture {
    none,
    previous,      // blue left-pointing triangle
    next,          // blue right-pointing triangle; also the animation's Play
    previousGrey,  // grey left-pointing triangle: no previous file
    nextGrey,      // grey right-pointing triangle: no next file
    windowed,      // blue circular arrow: the window differs from the data range
    fullRange,     // grey circular arrow: the window covers the data range
    pause,         // two bars
    frameBack,     // bar and left-pointing triangle
    frameForward,  // right-pointing triangle and bar
};

inline constexpr QSize buttonPictureSize{21, 22};

// The picture, drawn on each call (a few microseconds at this size, so nothing keeps them);
// a null pixmap for none.
QPixmap buttonPicture(ButtonPicture picture);

// Puts a picture on a button and records which in the button's "picture" property, so that
// code and tests can ask which one it shows.
void setButtonPicture(QAbstractButton* button, ButtonPicture picture);

// The picture a button shows, or none.
ButtonPicture buttonPictureOf(const QAbstractButton* button);

}  // namespace vs::ui
