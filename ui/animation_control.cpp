#include "ui/animation_control.h"

#include <QEvent>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <chrono>

#include "core/coded_frame.h"
#include "core/render.h"
#include "ui/button_pictures.h"
#include "ui/tool_column.h"
#include "ui/tooltips.h"

namespace vs::ui {

namespace {

uint64_t counterTicks() {
    return uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
}

constexpr uint64_t ticksPerSecond = std::chrono::steady_clock::period::den;

QToolButton* pictureButton(QWidget* parent, const char* name, const QString& accessibleName, QRect place) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessibleName);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(place);
    button->setIconSize(buttonPictureSize);
    return button;
}

}  // namespace

uint32_t measuredStepRate(uint64_t ticksPerSecondCount, uint64_t elapsedTicks, uint32_t periodMs) {
    const uint32_t cap = periodMs ? 1000 / periodMs : 1000;
    if (elapsedTicks == 0) return cap;
    const uint32_t rate = uint32_t(ticksPerSecondCount / elapsedTicks + 1);
    return rate > cap ? cap : rate;
}

AnimationControl::AnimationControl(App& app, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app) {
    setObjectName("animationControl");
    setWindowTitle("Animation Control");
    setAccessibleName("Animation Control");
    setAttribute(Qt::WA_ShowWithoutActivating);
    const DialogUnits units = DialogUnits::of(this);
    outerSize_ = units.pixels(animationReferenceSize);
    fitOuterSize(this, outerSize_);
    move(columnLeft(app.screenWidth, outerSize_.width()), columnTops(units).animation);

    play_ = pictureButton(this, "playButton", "Play", units.rect(0, 0, 15, 15));
    previous_ = pictureButton(this, "previousFrameButton", "Previous frame", units.rect(15, 0, 15, 15));
    next_ = pictureButton(this, "nextFrameButton", "Next frame", units.rect(30, 0, 15, 15));
    setButtonPicture(previous_, ButtonPicture::frameBack);
    setButtonPicture(next_, ButtonPicture::frameForward);
    setPlayPicture(true);

    speed_ = new QSlider(Qt::Horizontal, this);
    speed_->setObjectName("speedSlider");
    speed_->setAccessibleName("Animation speed");
    speed_->setGeometry(units.rect(45, 0, 40, 15));
    speed_->setRange(0, 12);
    speed_->setTickInterval(3);
    speed_->setTickPosition(QSlider::TicksBelow);
    speed_->setValue(startSpeedPosition);
    speed_->setFocusPolicy(Qt::NoFocus);

    frames_ = new QSlider(Qt::Horizontal, this);
    frames_->setObjectName("frameSlider");
    frames_->setAccessibleName("Frame");
    frames_->setGeometry(units.rect(90, 0, 120, 14));
    frames_->setRange(0, 0);
    frames_->setFocusPolicy(Qt::NoFocus);

    timer_ = new QTimer(this);
    timer_->setObjectName("animationTimer");
    // Coarse timers may fire up to 5% late, which would drop a 50 fps loop below its rate.
    timer_->setTimerType(Qt::PreciseTimer);
    tooltipTimer_ = new QTimer(this);
    tooltipTimer_->setObjectName("tooltipTimer");
    connect(tooltipTimer_, &QTimer::timeout, this, [this] {
        if (app_.tooltips) app_.tooltips->tooltipHandler(this);
    });
    tooltipTimer_->start(tooltipPollMs);

    connect(play_, &QToolButton::clicked, this, &AnimationControl::togglePlay);
    connect(previous_, &QToolButton::clicked, this, &AnimationControl::stepBack);
    connect(next_, &QToolButton::clicked, this, &AnimationControl::stepForward);
    connect(speed_, &QSlider::valueChanged, this, &AnimationControl::speedChanged);
    // Every move of the frame slider by the user shows its frame, and so does letting go of
    // the handle, even on the frame already shown.
    connect(frames_, &QSlider::valueChanged, this, [this](int position) {
        if (position >= 0) showFrame(uint32_t(position));
    });
    connect(frames_, &QSlider::sliderReleased, this, [this] {
        if (frames_->value() >= 0) showFrame(uint32_t(frames_->value()));
    });
    connect(timer_, &QTimer::timeout, this, &AnimationControl::timerTick);
}

void AnimationControl::setPlayPicture(bool playPicture) {
    setButtonPicture(play_, playPicture ? ButtonPicture::next : ButtonPicture::pause);
    play_->setAccessibleName(playPicture ? "Play" : "Pause");
}

bool AnimationControl::playing() const { return app_.viewer.animationPlaying != 0; }

void AnimationControl::stopPlaying() {
    timer_->stop();
    app_.viewer.animationPlaying = 0;
    setPlayPicture(true);
}

void AnimationControl::prepare(uint32_t frameCount, uint32_t currentFrame) {
    setPlayPicture(true);
    QSignalBlocker quiet(frames_);
    frames_->setRange(0, int(frameCount) - 1);
    frames_->setValue(int(currentFrame));
    show();
}

void AnimationControl::togglePlay() {
    if (!playing()) {
        timer_->start(int(framePeriodMs_));
        setPlayPicture(false);
        app_.viewer.animationPlaying = 1;
    } else {
        timer_->stop();
        setPlayPicture(true);
        app_.viewer.animationPlaying = 0;
    }
}

bool AnimationControl::event(QEvent* event) {
    keepOuterSize(this, event, outerSize_);
    return QWidget::event(event);
}

void AnimationControl::speedChanged(int position) {
    if (position < 0 || position > 12) return;
    framePeriodMs_ = framePeriodTableMs[position];
    if (playing()) timer_->start(int(framePeriodMs_));
    if (app_.tooltips) app_.tooltips->tooltipHandler(this, true);
}

void AnimationControl::timerTick() {
    Viewer& v = app_.viewer;
    const uint32_t frames = v.dicom.image.frameCount;
    if (frames == 0) return;
    const uint32_t frame = (v.currentFrame + 1) % frames;
    if (frames == 1) {
        v.currentFrame = frame;
        return;
    }
    showFrame(frame);
}

void AnimationControl::stepForward() {
    const Viewer& v = app_.viewer;
    if (v.dicom.image.frameCount == 0) return;
    showFrame((v.currentFrame + 1) % v.dicom.image.frameCount);
}

void AnimationControl::stepBack() {
    const Viewer& v = app_.viewer;
    if (v.dicom.image.frameCount == 0) return;
    showFrame(v.currentFrame == 0 ? v.dicom.image.frameCount - 1 : v.currentFrame - 1);
}

void AnimationControl::showFrame(uint32_t frame) {
    Viewer& v = app_.viewer;
    v.currentFrame = frame;
    if (framesAreCoded(v)) {
        // A frame that cannot be decoded stops playing before it is told of, so that the timer
        // does not stack one box per frame; it then shows blank.
        const CodedFrameDecode decode = readCodedFrame(v);
        if (!decode.decoded) {
            if (playing()) stopPlaying();
            showCodedFrameFailure(v, decode);
        }
    }
    {
        QSignalBlocker quiet(frames_);
        frames_->setValue(int(frame));
    }
    if (app_.tooltips) app_.tooltips->tooltipHandler(this, true);
    if (!v.leftDragging) v.host->setImageWindowTitle(frameTitle(v.dicom.image.frameCount, v.currentFrame));
    renderFrame(v);
    // While playing, a frame that takes long to decode is decoded while this one shows.
    if (playing()) frameSource(v).decodeAhead((frame + 1) % v.dicom.image.frameCount);
    const uint64_t now = counterTicks();
    stepRate_ = measuredStepRate(ticksPerSecond, now - lastStepTicks_, framePeriodMs_);
    lastStepTicks_ = now;
}

}  // namespace vs::ui
