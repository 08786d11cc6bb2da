#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <QWidget>

namespace vs::ui {

namespace {

constexpr const char* alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr DialogUnits systemReference{8, 16};

}  // namespace

DialogUnits DialogUnits::of(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QString::fromLatin1(alphabet));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

DialogUnits DialogUnits::of(QWidget* w) {
    w->ensurePolished();
    return of(w->font());
}

QRect DialogUnits::rect(int left, int top, int width, int height) const {
    return QRect(x(left), y(top), x(width), y(height));
}

QSize DialogUnits::pixels(QSize atReference) const {
    return QSize(atReference.width() * baseX_ / referenceUnits.baseX(),
                 atReference.height() * baseY_ / referenceUnits.baseY());
}

QRect DialogUnits::pixels(QRect atReference) const {
    const QSize topLeft = pixels(QSize(atReference.left(), atReference.top()));
    return QRect(QPoint(topLeft.width(), topLeft.height()), pixels(atReference.size()));
}

DialogUnits DialogUnits::systemFont() const {
    return {baseX_ * systemReference.baseX() / referenceUnits.baseX(),
            baseY_ * systemReference.baseY() / referenceUnits.baseY()};
}

}  // namespace vs::ui
