// The one-line explanations of the panel's and the animation control's buttons, lists and
// sliders. Two 10 ms timers (the panel's and the animation control's) poll the cursor; when it
// has rested long enough over a control with a text, a small white pop-up shows the text just
// above the cursor for three seconds. The two sliders' texts are live and are refreshed at once
// when the frame or the speed changes.
#pragma once

#include <QFrame>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>

#include "ui/app.h"

class QLabel;
class QTimer;

namespace vs::ui {

inline constexpr int tooltipPollMs = 10;
inline constexpr int tooltipLifetimeMs = 3000;
inline constexpr int tooltipRestTicks = 30;      // halved while an animation plays
inline constexpr int tooltipAboveCursor = 25;    // logical pixels

// Ticks of rest after which a tooltip shows: 30, or 15 while an animation plays.
inline int tooltipDelayTicks(bool playing) { return tooltipRestTicks / (playing ? 2 : 1); }

// Left edge of a tooltip width pixels wide, centred on the cursor and kept on the screen.
int tooltipLeft(int cursorX, int width, int screenWidth);

// The pop-up: white, a thin border, no caption; it never takes the keyboard focus.
class TooltipWindow : public QFrame {
    Q_OBJECT
public:
    explicit TooltipWindow(QWidget* owner);
    QLabel* label() const { return label_; }
    // Sets the text; with resize, the window takes the text's size in the font it is drawn in.
    void setText(const QString& text, bool resize);

private:
    QLabel* label_;
};

class Tooltips : public QObject {
    Q_OBJECT
public:
    explicit Tooltips(App& app, QObject* parent = nullptr);
    ~Tooltips() override;

    // One tick of a 10 ms timer of window (the panel or the animation control); with refresh,
    // a call after a frame or speed change instead, which updates a slider's shown text.
    void tooltipHandler(QWidget* window, bool refresh = false);
    // The mouse moved over the panel's surface: no tooltip, and the rest starts anew.
    void removeTooltip();
    // The tooltip's three seconds are over.
    void expire();

    // The text for a control of the panel or the animation control, or empty for none.
    QString textFor(const QWidget* control) const;

    TooltipWindow* shown() const { return tooltip_; }
    QTimer* lifetimeTimer() const { return lifetime_; }
    int ticks() const { return ticks_; }

    // Where the cursor is, in screen pixels; tests put their own here.
    std::function<QPoint()> cursorPosition;

private:
    QWidget* controlAt(QWidget* window, QPoint screenPos) const;
    void show(const QString& text);
    void hide();

    App& app_;
    QPointer<TooltipWindow> tooltip_;
    QTimer* lifetime_;
    int ticks_ = 0;
    QPoint lastCursorPos_;
};

}  // namespace vs::ui
