// The small button pictures of the information panel, the Open dialog and the animation
// control, drawn here rather than loaded from files. Each picture keeps the resource number
// by which the rest of the program asks for it.
#pragma once

#include <QPixmap>
#include <QSize>

class QAbstractButton;

namespace vs::ui {

enum ButtonPicture : int {
    picturePrevious = 132,      // blue left-pointing triangle
    pictureNext = 133,          // blue right-pointing triangle; also the animation's Play
    picturePreviousGrey = 134,  // grey left-pointing triangle: no previous file
    pictureNextGrey = 135,      // grey right-pointing triangle: no next file
    pictureWindowed = 137,      // blue circular arrow: the window differs from the data range
    pictureFullRange = 138,     // grey circular arrow: the window covers the data range
    picturePause = 155,         // two bars
    pictureFrameBack = 156,     // bar and left-pointing triangle
    pictureFrameForward = 158,  // right-pointing triangle and bar
};

inline constexpr QSize buttonPictureSize{21, 22};

// The picture with that number, drawn on each call (a few microseconds at this size, so
// nothing keeps them); a null pixmap for other numbers.
QPixmap buttonPicture(int id);

// Puts a picture on a button and records its number in the button's "picture" property,
// so that code and tests can ask which one it shows.
void setButtonPicture(QAbstractButton* button, int id);

// The number of the picture a button shows, or 0.
int buttonPictureOf(const QAbstractButton* button);

}  // namespace vs::ui
