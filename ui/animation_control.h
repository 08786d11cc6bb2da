// The animation control: a small tool window shown for multi-frame images, with play/pause,
// previous and next frame, a speed slider and a frame slider kept in step with the frame shown.
// Also the common tail of every frame step (keys, buttons, slider, timer).
#pragma once

#include <QWidget>
#include <cstdint>

#include "ui/app.h"
#include "ui/dialog_units.h"

class QSlider;
class QTimer;
class QToolButton;

namespace vs::ui {

inline constexpr uint32_t startFramePeriodMs = 40;
inline constexpr int startSpeedPosition = 2;
// Speed slider position -> milliseconds between frames; further right is slower.
inline constexpr uint32_t framePeriodTableMs[13] = {20,  33,  40,  50,  67,  100, 143,
                                                    200, 333, 500, 667, 1000, 1500};

// Frames per second measured between two steps, capped at the nominal rate of periodMs.
// A zero elapsed time also gives the cap.
uint32_t measuredStepRate(uint64_t ticksPerSecond, uint64_t elapsedTicks, uint32_t periodMs);

class AnimationControl : public QWidget {
    Q_OBJECT
public:
    AnimationControl(App& app, QWidget* owner);

    // What a load asks of the control: stop the frame timer, or get ready for a multi-frame image.
    void stopPlaying();
    void prepare(uint32_t frameCount, uint32_t currentFrame);

    // Shows frame: decodes it when JPEG, moves the frame slider, titles and renders.
    void showFrame(uint32_t frame);
    void stepForward();
    void stepBack();

    bool playing() const;
    uint32_t framePeriod() const { return framePeriodMs_; }
    uint32_t stepRate() const { return stepRate_; }
    QTimer* frameTimer() const { return timer_; }
    QToolButton* playButton() const { return play_; }
    QToolButton* previousFrameButton() const { return previous_; }
    QToolButton* nextFrameButton() const { return next_; }
    QSlider* speedSlider() const { return speed_; }
    QSlider* frameSlider() const { return frames_; }

protected:
    bool event(QEvent* event) override;

private:
    void togglePlay();
    void speedChanged(int position);
    void timerTick();
    void setPlayPicture(bool playPicture);

    App& app_;
    QSize outerSize_;
    QToolButton* play_;
    QToolButton* previous_;
    QToolButton* next_;
    QSlider* speed_;
    QSlider* frames_;
    QTimer* timer_;
    QTimer* tooltipTimer_;
    uint32_t framePeriodMs_ = startFramePeriodMs;
    uint32_t stepRate_ = 0;
    uint64_t lastStepTicks_ = 0;
};

}  // namespace vs::ui
