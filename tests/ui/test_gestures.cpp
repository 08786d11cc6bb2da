// The image window's mouse gestures, the animation control and the tooltips, driven on the
// real program as a user drives them. Timers are fired by the tests, never waited for.
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "core/render.h"
#include "core/zoom.h"
#include "tests/ui/world.h"
#include "ui/animation_control.h"
#include "ui/tooltips.h"

using namespace vs;
using namespace vs::ui;
using vs::testing::ImageRecipe;
using vs::testing::sized;
using vs::testing::World;

namespace {

// Samples 0, 4095 and else 1200: a contrast drag moves the window by 4095 / 768 per pixel.
ImageRecipe rangeImage(const std::string& photometric = "MONOCHROME2") {
    ImageRecipe recipe = sized(64, 64);
    recipe.pixelRepresentation = 0;
    recipe.photometric = photometric;
    recipe.samples.assign(64 * 64, 1200);
    recipe.samples[1] = 4095;
    recipe.samples[0] = 0;
    return recipe;
}

QPoint centreOf(QWidget* w) { return w->mapToGlobal(w->rect().center()); }
QWidget* child(QWidget* w, const char* name) { return w->findChild<QWidget*>(name); }

}  // namespace

class Gestures : public QObject {
    Q_OBJECT

    std::unique_ptr<World> w_;

    App& app() { return w_->app(); }
    QTimer* browseTimer() { return app().imageWindow->view()->browseTimer(); }
    Tooltips& tips() { return *app().tooltips; }
    void click(const char* name) { QTest::mouseClick(child(app().animControl, name), Qt::LeftButton); }
    void tick() { QMetaObject::invokeMethod(app().animControl->frameTimer(), "timeout"); }

    void start(const std::vector<std::pair<QString, ImageRecipe>>& files, const QString& first,
               const std::vector<std::pair<QString, vs::testing::Bytes>>& encoded = {}) {
        w_ = std::make_unique<World>();
        for (const auto& [name, recipe] : files) w_->write(name, recipe);
        for (const auto& [name, bytes] : encoded) w_->writeBytes(name, bytes);
        w_->start(first);
        for (QTimer* t : app().animControl->findChildren<QTimer*>("tooltipTimer")) t->stop();
        for (QTimer* t : app().infoPanel->findChildren<QTimer*>("tooltipTimer")) t->stop();
        browseTimer()->stop();
    }

    // One tick of the browse timer; returns the period it was re-armed with.
    int browseTick() {
        app().imageWindow->view()->browseTick();
        const int period = browseTimer()->isActive() ? browseTimer()->interval() : 0;
        browseTimer()->stop();
        World::settle();
        return period;
    }

    // The cursor moves to at and rests: ticks until a tooltip shows (at most 40); -1 if none.
    int restOn(QPoint at, QWidget* window) {
        for (const QPoint p : {QPoint(-1, -1), at}) {
            tips().cursorPosition = [p] { return p; };
            tips().tooltipHandler(window);
        }
        for (int tick = 1; tick <= 40; ++tick) {
            tips().tooltipHandler(window);
            if (tips().shown()) return tick;
        }
        return -1;
    }
    QString tipText() { return tips().shown() ? tips().shown()->label()->text() : QString(); }

private slots:
    void cleanup() { w_.reset(); }

    // The worked values of a contrast drag from the window 1000..2000, and the title that follows.
    void leftDragShiftsAndNarrowsTheWindow() {
        ImageRecipe rescaled = rangeImage();
        rescaled.rescaleSlope = 2;
        rescaled.rescaleIntercept = -1000;
        start({{"a.dcm", rangeImage()}, {"m1.dcm", rangeImage("MONOCHROME1")}, {"r.dcm", rescaled}}, "a.dcm");
        const struct { int row; QPoint move; int low, high; const char* title; } cases[] = {
            {0, {3, 0}, 984, 1984, "Dicom Image - Windowed 984 to 1984"},
            {0, {0, 3}, 1015, 1984, "Dicom Image - Windowed 1015 to 1984"},
            {0, {0, -3}, 984, 2015, "Dicom Image - Windowed 984 to 2015"},
            {1, {3, 0}, 1015, 2015, "Dicom Image - Windowed 1015 to 2015"},
            {2, {3, 0}, 984, 1984, "Dicom Image - Windowed 968 to 2968"},
        };
        QWidget* view = w_->imageView();
        for (const auto& c : cases) {
            w_->list()->setCurrentRow(c.row);
            World::settle();
            w_->viewer().window.windowLow = 1000;
            w_->viewer().window.windowHigh = 2000;
            renderFrame(w_->viewer());
            const QImage before = w_->painted();
            QTest::mousePress(view, Qt::LeftButton, {}, {20, 20});
            QCOMPARE(view->cursor().shape(), Qt::CrossCursor);
            QTest::mouseMove(view, QPoint(20, 20) + c.move);
            QCOMPARE(w_->viewer().window.windowLow, c.low);
            QCOMPARE(w_->viewer().window.windowHigh, c.high);
            QCOMPARE(w_->title(), QString::fromLatin1(c.title));
            QVERIFY(w_->painted() != before);
            QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(20, 20) + c.move);
            QCOMPARE(w_->title(), QStringLiteral("Dicom Image"));
            QCOMPARE(view->cursor().shape(), Qt::ArrowCursor);
        }
        // A button released where the image window does not see it still ends the drag.
        QTest::mousePress(view, Qt::LeftButton, {}, {20, 20});
        QTest::mouseRelease(app().mainWindow, Qt::LeftButton, {}, {1, 1});
        const int low = w_->viewer().window.windowLow;
        QTest::mouseMove(view, {40, 40});
        QCOMPARE(w_->viewer().window.windowLow, low);
        QCOMPARE(w_->title(), QStringLiteral("Dicom Image"));
    }

    // Zoomed in on a 4096-pixel square image, the scroll bars and a right drag reach every
    // corner; a short right drag brings the image point under the press back under the mouse.
    void scrollBarsAndRightDragReachEveryCorner() {
        start({{"large.dcm", {.rows = 4096, .columns = 4096, .bitsAllocated = 8}}}, "large.dcm");
        QScrollBar* h = app().imageWindow->view()->horizontalScrollBar();
        QScrollBar* v = app().imageWindow->view()->verticalScrollBar();
        QWidget* view = w_->imageView();
        const Viewer& viewer = w_->viewer();
        const auto drag = [&](QPoint to) {
            QTest::mousePress(view, Qt::RightButton, {}, {100, 100});
            QCOMPARE(view->cursor().shape(), Qt::SizeAllCursor);
            QTest::mouseMove(view, to);
            QTest::mouseRelease(view, Qt::RightButton, {}, to);
        };
        for (int zoomIndex : {3, 5}) {  // 200%, 400%
            app().imageWindow->setZoomFromList(zoomIndex);
            World::settle();
            const int zoomed = int(4096 * zoomSteps[zoomIndex].factor);
            QCOMPARE(QSize(h->maximum(), v->maximum()), QSize(zoomed, zoomed) - view->size());
            for (const bool right : {false, true}) {
                for (const bool bottom : {false, true}) {
                    h->setValue(right ? h->maximum() : 0);
                    v->setValue(bottom ? v->maximum() : 0);
                    const QPoint painted(right ? view->width() - 1 : 0, bottom ? view->height() - 1 : 0);
                    const size_t shown = size_t(bottom ? 4095 : 0) * viewer.window.displayStride + (right ? 4095 : 0);
                    QVERIFY(std::abs(qGray(w_->painted().pixel(painted)) - viewer.display[shown]) <= 1);
                    h->setValue(right ? 0 : h->maximum());  // from the opposite corner
                    v->setValue(bottom ? 0 : v->maximum());
                    drag({right ? -100000 : 100000, bottom ? -100000 : 100000});
                    QCOMPARE(QPoint(h->value(), v->value()), QPoint(right ? h->maximum() : 0, bottom ? v->maximum() : 0));
                }
            }
        }
        const struct { int zoomIndex; QPoint move; int x, y; } cases[] = {
            {3, {50, 80}, 25, 10}, {2, {60, 90}, 40, 10},
            {0, {50, 70}, 50, 30},  // 25%: the point stays under the mouse at once
        };
        for (const auto& c : cases) {
            app().imageWindow->setZoomFromList(c.zoomIndex);
            World::settle();
            h->setValue(0);
            v->setValue(0);
            drag(c.move);
            QCOMPARE(QPoint(h->value(), v->value()), QPoint(c.x, c.y));
        }
    }

    // Holding the middle button below or above its press point walks the folder, one file a
    // tick, faster the further the mouse is; the 5-pixel dead zone does not step.
    void middleDragWalksTheFolder() {
        start({{"a.dcm", sized(16, 16)}, {"b.dcm", sized(16, 16)}, {"c.dcm", sized(16, 16)}, {"d.dcm", sized(16, 16)}},
              "b.dcm");
        QTest::mousePress(w_->imageView(), Qt::MiddleButton, {}, {30, 30});
        const struct { int dy, period; const char* shown; } cases[] = {
            {4, 180, "b.dcm"},  {-5, 180, "b.dcm"},   {25, 160, "c.dcm"}, {25, 160, "d.dcm"},
            {25, 160, "d.dcm"}, {-40, 145, "c.dcm"}, {300, 1, "d.dcm"},
        };
        for (const auto& c : cases) {
            QTest::mouseMove(w_->imageView(), QPoint(30, 30 + c.dy));
            QCOMPARE(browseTick(), c.period);
            QCOMPARE(w_->shown(), QString::fromLatin1(c.shown));
        }
        QTest::mouseRelease(w_->imageView(), Qt::MiddleButton, {}, {30, 30});
        QCOMPARE(browseTick(), 0);
        QCOMPARE(w_->shown(), QStringLiteral("d.dcm"));
        // Closing the window stops the timer; the next load shows it and starts it again.
        app().imageWindow->close();
        QVERIFY(!browseTimer()->isActive());
        w_->key(w_->list(), Qt::Key_Up);
        QVERIFY(browseTimer()->isActive());
    }

    void animationPlaysStepsAndStops() {
        start({{"cine.dcm", sized(16, 16, 10)}, {"one.dcm", rangeImage()}}, "cine.dcm",
              {{"z.dcm", vs::testing::losslessCine({true, false, false})}});
        AnimationControl& control = *app().animControl;
        QCOMPARE(control.frameSlider()->maximum(), 9);
        click("previousFrameButton");  // wraps to the last frame
        QCOMPARE(w_->viewer().currentFrame, 9u);
        click("nextFrameButton");
        QCOMPARE(w_->viewer().currentFrame, 0u);

        click("playButton");
        QCOMPARE(buttonPictureOf(control.playButton()), ButtonPicture::pause);
        QCOMPARE(control.frameTimer()->interval(), 40);
        control.speedSlider()->setValue(0);
        QCOMPARE(control.frameTimer()->interval(), 20);
        for (uint32_t expected : {1u, 2u}) {
            tick();
            QCOMPARE(w_->viewer().currentFrame, expected);
        }
        // Two steps closer together than the period: the measured rate stops at the nominal one.
        QCOMPARE(control.stepRate(), 50u);
        click("playButton");
        QVERIFY(!control.frameTimer()->isActive());
        QCOMPARE(buttonPictureOf(control.playButton()), ButtonPicture::next);

        // A new load stops playing; a single frame hides the control.
        click("playButton");
        w_->key(w_->list(), Qt::Key_Down);
        QCOMPARE(w_->shown(), QStringLiteral("one.dcm"));
        QVERIFY(!control.playing() && !control.frameTimer()->isActive() && !control.isVisible());

        // A cine whose frames cannot be decoded stops at the first one: one box, not one a tick.
        w_->key(w_->list(), Qt::Key_Down);
        QVERIFY(w_->messages.empty());
        click("playButton");
        for (int i = 0; i < 4 && control.frameTimer()->isActive(); ++i) tick();
        QCOMPARE(w_->messages.size(), size_t(1));
        QVERIFY(!control.playing() && w_->viewer().currentFrame == 1u);
    }

    void tooltipsExplainTheControls() {
        start({{"cine.dcm", sized(16, 16, 10)}}, "cine.dcm");
        InfoPanel* panel = app().infoPanel;
        AnimationControl* control = app().animControl;
        const struct { QWidget* window; const char* name; const char* text; } cases[] = {
            {panel, "autoAdjust", "Automatic contrast adjustment"},
            {panel, "resetContrast", "Reset contrast settings"},
            {panel, "previousImage", "Previous image"},
            {panel, "nextImage", "Next image"},
            {panel, "sortImages", "Sort image numbers"},
            {panel, "zoomList", "Zoom factor"},
            {control, "playButton", "Play"},
            {control, "previousFrameButton", "Previous frame"},
            {control, "nextFrameButton", "Next frame"},
            {control, "frameSlider", "Frame 1 of 10"},
            {control, "speedSlider", "Animation speed 25 fps"},
        };
        for (const auto& c : cases) {
            QCOMPARE(restOn(centreOf(child(c.window, c.name)), c.window), 30);  // 300 ms of rest
            QCOMPARE(tipText(), QString::fromLatin1(c.text));
            QVERIFY(child(c.window, c.name)->toolTip().isEmpty());  // no second, Qt-drawn tooltip
        }
        QCOMPARE(restOn(panel->mapToGlobal(QPoint(2, 2)), panel), -1);  // the panel's bare surface

        // Centred 25 pixels above the cursor, without the focus; gone after three seconds, and
        // not back until the cursor has moved and rested again.
        const QPoint sort = centreOf(panel->sortImagesBox());
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(restOn(sort, panel) > 0);
        TooltipWindow* tip = tips().shown();
        QCOMPARE(tip->geometry().top(), sort.y() - 25);
        QCOMPARE(tip->geometry().left(), sort.x() - tip->width() / 2);
        QVERIFY(tip->label()->fontMetrics().horizontalAdvance(tipText()) <= tip->label()->width());
        QCOMPARE(QApplication::focusWidget(), focused);
        QCOMPARE(tips().lifetimeTimer()->interval(), 3000);
        tips().expire();
        for (int i = 0; i < 100; ++i) tips().tooltipHandler(panel);
        QVERIFY(!tips().shown());

        // A move over the panel's own surface removes a tooltip.
        QVERIFY(restOn(sort, panel) > 0);
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), panel->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel, &move);
        QVERIFY(!tips().shown());

        // Over the frame slider, a frame step changes the text at once and keeps it three more seconds.
        QVERIFY(restOn(centreOf(control->frameSlider()), control) > 0);
        tips().lifetimeTimer()->stop();
        QTest::keyClick(app().mainWindow, Qt::Key_Right);
        QCOMPARE(tipText(), QStringLiteral("Frame 2 of 10"));
        QVERIFY(tips().lifetimeTimer()->isActive());

        // While playing: half the delay, and the play button says what it does now.
        click("playButton");
        control->frameTimer()->stop();
        QCOMPARE(restOn(centreOf(control->playButton()), control), 15);
        QCOMPARE(tipText(), QStringLiteral("Pause"));

        QCOMPARE(tooltipLeft(1275, 100, 1280), 1180);  // kept whole on the screen at its right edge
        QCOMPARE(tooltipLeft(30, 100, 1280), 0);  // and at its left edge
    }
};

QTEST_MAIN(Gestures)
#include "test_gestures.moc"
