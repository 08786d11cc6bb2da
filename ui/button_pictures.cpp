#include "ui/button_pictures.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace vs::ui {

namespace {

const QColor activeBlue(30, 80, 200);
const QColor inactiveGrey(150, 150, 150);
const QColor barColour(40, 40, 40);

// Pictures are drawn on a transparent 21 x 22 canvas; shapes stay inside x 4..17, y 4..18.
void triangle(QPainter& p, bool pointsRight, qreal left, qreal right, const QColor& colour) {
    const qreal top = 5, bottom = 17, middle = 11;
    QPolygonF shape;
    if (pointsRight) shape << QPointF(left, top) << QPointF(right, middle) << QPointF(left, bottom);
    else shape << QPointF(right, top) << QPointF(left, middle) << QPointF(right, bottom);
    p.setPen(QPen(colour.darker(130), 1));
    p.setBrush(colour);
    p.drawPolygon(shape);
}

void bar(QPainter& p, qreal left, qreal width, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(QRectF(left, 5, width, 12));
}

// Three quarters of a circle running clockwise, with an arrow head at its end.
void circularArrow(QPainter& p, const QColor& colour) {
    const QRectF circle(5, 5.5, 11, 11);
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(circle, 90 * 16, -270 * 16);  // from the top, clockwise round to the left
    QPolygonF head;
    head << QPointF(1.8, 11.0) << QPointF(8.2, 11.0) << QPointF(5.0, 6.6);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(head);
}

}  // namespace

QPixmap buttonPicture(ButtonPicture picture) {
    QPixmap pixmap(buttonPictureSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
    case ButtonPicture::previous: triangle(p, false, 5, 15, activeBlue); break;
    case ButtonPicture::next: triangle(p, true, 6, 16, activeBlue); break;
    case ButtonPicture::previousGrey: triangle(p, false, 5, 15, inactiveGrey); break;
    case ButtonPicture::nextGrey: triangle(p, true, 6, 16, inactiveGrey); break;
    case ButtonPicture::windowed: circularArrow(p, activeBlue); break;
    case ButtonPicture::fullRange: circularArrow(p, inactiveGrey); break;
    case ButtonPicture::pause:
        bar(p, 6, 3.5, barColour);
        bar(p, 11.5, 3.5, barColour);
        break;
    case ButtonPicture::frameBack:
        bar(p, 4, 2.5, barColour);
        triangle(p, false, 7, 16, activeBlue);
        break;
    case ButtonPicture::frameForward:
        triangle(p, true, 5, 14, activeBlue);
        bar(p, 14.5, 2.5, barColour);
        break;
    case ButtonPicture::none:
        p.end();
        return QPixmap();
    }
    return pixmap;
}

void setButtonPicture(QAbstractButton* button, ButtonPicture picture) {
    button->setIcon(QIcon(buttonPicture(picture)));
    button->setIconSize(buttonPictureSize);
    button->setProperty("picture", int(picture));
    button->update();
}

ButtonPicture buttonPictureOf(const QAbstractButton* button) {
    return ButtonPicture(button->property("picture").toInt());
}

}  // namespace vs::ui
