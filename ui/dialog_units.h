// Dialog units: the measure of the windows' layouts, taken from the font each window really
// uses, as Windows defines it: a unit across is a quarter of the font's average character
// width, a unit down an eighth of its height. A larger font or a scale factor grows the
// windows with their texts instead of cutting them.
#pragma once

#include <QRect>
#include <QSize>

class QFont;
class QWidget;

namespace vs::ui {

class DialogUnits {
public:
    // The base units: the average character width and the height of the font, in pixels.
    constexpr DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    // Windows' rule for the average width: the 52 letters a-z and A-Z measured together,
    // divided by 26 and halved, rounded half up; the height is the font's height.
    static DialogUnits of(const QFont& font);
    // The font w really uses: style sheets and the style set it when w is polished, so w is
    // polished first.
    static DialogUnits of(QWidget* w);

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }
    int x(int units) const { return units * baseX_ / 4; }
    int y(int units) const { return units * baseY_ / 8; }
    QRect rect(int x, int y, int width, int height) const;

    // A size or place given in pixels for the reference font, grown as this font is larger.
    QSize pixels(QSize atReference) const;
    QRect pixels(QRect atReference) const;

    // The units of the larger "System" font that the About box is laid out in: 8 by 16 where
    // this font's are the reference 6 by 13.
    DialogUnits systemFont() const;

    bool operator==(const DialogUnits&) const = default;

private:
    int baseX_;
    int baseY_;
};

// The font the layouts were drawn for: an average character 6 pixels wide, 13 pixels high.
inline constexpr DialogUnits referenceUnits{6, 13};

}  // namespace vs::ui
