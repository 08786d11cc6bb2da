// The image window's mouse gestures, the animation control and the tooltips, driven on the
// real program as a user drives them: mouse events on the image, clicks on the buttons, the
// cursor resting on controls. Timers are fired by the tests, never waited for.
#include <QLabel>
#include <QMetaObject>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "core/render.h"
#include "panels_fixture.h"
#include "ui/animation_control.h"
#include "ui/image_window.h"
#include "ui/tooltips.h"

using namespace vs;
using namespace vs::ui;
using vs::testing::ImageRecipe;
using vs::testing::PanelsWorld;

namespace {

// A 64 x 64 image whose samples run from 0 to 4095, so a contrast drag moves the window by
// 4095 / 768 = 5.33203125 per pixel.
ImageRecipe rangeImage(const std::string& photometric = "MONOCHROME2") {
    ImageRecipe recipe;
    recipe.rows = recipe.columns = 64;
    recipe.pixelRepresentation = 0;
    recipe.photometric = photometric;
    recipe.samples.assign(64 * 64, 1200);
    recipe.samples[0] = 0;
    recipe.samples[1] = 4095;
    return recipe;
}

QPoint centreOf(QWidget* w) { return w->mapToGlobal(w->rect().center()); }

}  // namespace

class Gestures : public QObject {
    Q_OBJECT

    std::unique_ptr<PanelsWorld> world_;

    App& app() { return world_->app(); }
    Viewer& viewer() { return world_->viewer(); }
    QWidget* imageView() { return app().imageWindow->view()->viewport(); }
    QString title() { return app().imageWindow->windowTitle(); }
    QTimer* browseTimer() { return app().imageWindow->view()->browseTimer(); }
    Tooltips& tooltips() { return *app().tooltips; }

    void start(const std::vector<std::pair<QString, ImageRecipe>>& files, const QString& first) {
        world_ = std::make_unique<PanelsWorld>();
        for (const auto& [name, recipe] : files) world_->writeBytes(name, vs::testing::makeImage(recipe));
        world_->start(first);
        QVERIFY(app().imageWindow->isVisible());
        // The tests fire the timers themselves.
        for (QTimer* t : app().infoPanel->findChildren<QTimer*>("tooltipTimer")) t->stop();
        for (QTimer* t : app().animControl->findChildren<QTimer*>("tooltipTimer")) t->stop();
        browseTimer()->stop();
    }

    // One tick of the browse timer; returns the period it was re-armed with.
    int browseTick() {
        app().imageWindow->view()->browseTick();
        const int period = browseTimer()->isActive() ? browseTimer()->interval() : 0;
        browseTimer()->stop();
        PanelsWorld::settle();
        return period;
    }

    // Rests the cursor at screenPos: ticks of the given window until a tooltip shows (at most
    // limit ticks); returns how many it took, or -1.
    int restOn(QPoint screenPos, QWidget* window, int limit = 40) {
        for (const QPoint at : {QPoint(-1, -1), screenPos}) {  // the cursor moves there
            tooltips().cursorPosition = [at] { return at; };
            tooltips().tooltipHandler(window);
        }
        for (int tick = 1; tick <= limit; ++tick) {
            tooltips().tooltipHandler(window);
            if (tooltips().shown()) return tick;
        }
        return -1;
    }
    QString tooltipText() { return tooltips().shown() ? tooltips().shown()->label()->text() : QString(); }

private slots:
    void cleanup() { world_.reset(); }

    // The worked values of a contrast drag, upright and inverted, and the title that follows.
    void leftDragShiftsAndNarrowsTheWindow() {
        ImageRecipe rescaled = rangeImage();
        rescaled.rescaleSlope = 2;
        rescaled.rescaleIntercept = -1000;
        start({{"a.dcm", rangeImage()}, {"m1.dcm", rangeImage("MONOCHROME1")}, {"r.dcm", rescaled}}, "a.dcm");
        QCOMPARE(viewer().contrastDragScale, 5.33203125);

        struct Case {
            const char* file;
            QPoint move;
            int low, high;
            const char* title;
        };
        const Case cases[] = {
            {"a.dcm", {3, 0}, 984, 1984, "Dicom Image - Windowed 984 to 1984"},
            {"a.dcm", {0, 3}, 1015, 1984, "Dicom Image - Windowed 1015 to 1984"},
            {"a.dcm", {0, -3}, 984, 2015, "Dicom Image - Windowed 984 to 2015"},
            {"m1.dcm", {3, 0}, 1015, 2015, "Dicom Image - Windowed 1015 to 2015"},
            {"r.dcm", {3, 0}, 984, 1984, "Dicom Image - Windowed 968 to 2968"},
        };
        for (const Case& c : cases) {
            const QString file = QString::fromLatin1(c.file);
            world_->list()->setCurrentRow(world_->entries().indexOf(file));
            PanelsWorld::settle();
            QCOMPARE(world_->shown(), file);
            viewer().window.windowLow = 1000;
            viewer().window.windowHigh = 2000;
            renderFrame(viewer());
            const QImage before = imageView()->grab().toImage();
            const QPoint from(20, 20);
            QTest::mousePress(imageView(), Qt::LeftButton, {}, from);
            QCOMPARE(imageView()->cursor().shape(), Qt::CrossCursor);
            QTest::mouseMove(imageView(), from + c.move);
            QCOMPARE(viewer().window.windowLow, c.low);
            QCOMPARE(viewer().window.windowHigh, c.high);
            QCOMPARE(title(), QString::fromLatin1(c.title));
            QVERIFY(imageView()->grab().toImage() != before);
            QTest::mouseRelease(imageView(), Qt::LeftButton, {}, from + c.move);
            QCOMPARE(title(), QStringLiteral("Dicom Image"));
            QCOMPARE(imageView()->cursor().shape(), Qt::ArrowCursor);
        }

        // A button released where the window does not see it still ends the drag.
        QTest::mousePress(imageView(), Qt::LeftButton, {}, {20, 20});
        QVERIFY(viewer().leftDragging);
        QTest::mouseRelease(app().mainWindow, Qt::LeftButton, {}, {1, 1});
        const int low = viewer().window.windowLow;
        QTest::mouseMove(imageView(), {40, 40});
        QVERIFY(!viewer().leftDragging);
        QCOMPARE(viewer().window.windowLow, low);
        QCOMPARE(title(), QStringLiteral("Dicom Image"));
    }

    // A right drag brings the image point under the press back under the mouse, within the
    // scroll ranges, at every zoom.
    void rightDragPansWithinTheScrollRanges() {
        ImageRecipe large;
        large.rows = large.columns = 1024;
        start({{"big.dcm", large}}, "big.dcm");
        struct Case {
            int zoomIndex;  // 0 = 25% ... 3 = 200%
            QPoint press, move;
            int scrollX, scrollY;  // after the move from scroll 0, 0; -1: the range
        };
        const Case cases[] = {
            {3, {100, 100}, {50, 80}, 25, 10},      // zoom 2: pan units are image pixels
            {2, {100, 100}, {60, 90}, 40, 10},      // zoom 1
            {3, {100, 100}, {-3000, -3000}, -1, -1},  // far beyond: the largest positions
            {3, {100, 100}, {300, 300}, 0, 0},      // the other way: never below 0
            {0, {100, 100}, {50, 50}, 0, 0},        // 25%: the image fits, nothing to scroll
        };
        QScrollBar* h = app().imageWindow->view()->horizontalScrollBar();
        QScrollBar* v = app().imageWindow->view()->verticalScrollBar();
        for (const Case& c : cases) {
            app().imageWindow->setZoomFromList(c.zoomIndex);
            PanelsWorld::settle();
            h->setValue(0);
            v->setValue(0);
            QTest::mousePress(imageView(), Qt::RightButton, {}, c.press);
            QCOMPARE(imageView()->cursor().shape(), Qt::SizeAllCursor);
            QTest::mouseMove(imageView(), c.move);
            QCOMPARE(h->value(), c.scrollX < 0 ? h->maximum() : c.scrollX);
            QCOMPARE(v->value(), c.scrollY < 0 ? v->maximum() : c.scrollY);
            QTest::mouseRelease(imageView(), Qt::RightButton, {}, c.move);
            QVERIFY(!viewer().rightDragging);
        }
        QCOMPARE(h->maximum(), 0);  // the 25% case fits
    }

    // Holding the middle button below or above its press point walks the folder, one file a
    // tick, faster the further the mouse is; the 5-pixel dead zone does not step.
    void middleDragWalksTheFolder() {
        ImageRecipe small;
        small.rows = small.columns = 16;
        start({{"a.dcm", small}, {"b.dcm", small}, {"c.dcm", small}, {"d.dcm", small}}, "b.dcm");
        const QPoint press(30, 30);
        QTest::mousePress(imageView(), Qt::MiddleButton, {}, press);
        struct Case {
            int dy;
            int period;
            const char* shown;
        };
        const Case cases[] = {
            {4, 180, "b.dcm"}, {-5, 180, "b.dcm"}, {25, 160, "c.dcm"}, {25, 160, "d.dcm"},
            {25, 160, "d.dcm"},  // the last file: nothing further
            {-40, 145, "c.dcm"}, {300, 1, "d.dcm"},
        };
        for (const Case& c : cases) {
            QTest::mouseMove(imageView(), press + QPoint(0, c.dy));
            QCOMPARE(browseTick(), c.period);
            QCOMPARE(world_->shown(), QString::fromLatin1(c.shown));
        }
        QTest::mouseRelease(imageView(), Qt::MiddleButton, {}, press);
        QCOMPARE(browseTick(), 0);  // ticks without a middle drag do nothing
        QCOMPARE(world_->shown(), QStringLiteral("d.dcm"));

        // Closing the window stops the timer; the next load shows it and starts it again.
        app().imageWindow->close();
        QVERIFY(!browseTimer()->isActive());
        world_->key(world_->list(), Qt::Key_Up);
        QVERIFY(app().imageWindow->isVisible());
        QVERIFY(browseTimer()->isActive());
    }

    void animationPlaysStepsAndStops() {
        ImageRecipe cine;
        cine.rows = cine.columns = 16;
        cine.frames = 10;
        start({{"cine.dcm", cine}, {"one.dcm", rangeImage()}}, "cine.dcm");
        AnimationControl& control = *app().animControl;
        QVERIFY(control.isVisible());
        auto button = [&](int id) { return control.findChild<QToolButton*>(QString::number(id)); };
        auto picture = [&] { return buttonPictureOf(button(controlPlayPause)); };

        QTest::mouseClick(button(controlPreviousFrame), Qt::LeftButton);
        QCOMPARE(viewer().currentFrame, 9u);
        QCOMPARE(title(), QStringLiteral("Dicom Image - Frame 10"));
        QCOMPARE(control.frameSlider()->value(), 9);
        QTest::mouseClick(button(controlNextFrame), Qt::LeftButton);
        QCOMPARE(viewer().currentFrame, 0u);

        QTest::mouseClick(button(controlPlayPause), Qt::LeftButton);
        QVERIFY(control.playing());
        QCOMPARE(picture(), int(picturePause));
        QCOMPARE(control.frameTimer()->interval(), 40);
        control.speedSlider()->setValue(0);
        QCOMPARE(control.frameTimer()->interval(), 20);
        QVERIFY(control.frameTimer()->isActive());
        for (uint32_t expected : {1u, 2u}) {
            QMetaObject::invokeMethod(control.frameTimer(), "timeout");
            QCOMPARE(viewer().currentFrame, expected);
        }
        // Two steps closer together than the period: the measured rate stops at the nominal one.
        QCOMPARE(control.stepRate(), 50u);
        QTest::mouseClick(button(controlPlayPause), Qt::LeftButton);
        QVERIFY(!control.playing());
        QVERIFY(!control.frameTimer()->isActive());
        QCOMPARE(picture(), int(pictureNext));

        // A new load stops playing; a single frame hides the control.
        QTest::mouseClick(button(controlPlayPause), Qt::LeftButton);
        world_->key(world_->list(), Qt::Key_Down);
        QCOMPARE(world_->shown(), QStringLiteral("one.dcm"));
        QVERIFY(!control.playing());
        QVERIFY(!control.frameTimer()->isActive());
        QVERIFY(!control.isVisible());
    }

    // Playing a cine whose frames cannot be decoded stops at the first one: one box, not one
    // per tick of the frame timer.
    void undecodableCineStopsPlaying() {
        const std::vector<uint8_t> good = vs::testing::encodeJpegGrey(std::vector<uint8_t>(64, 200), 8, 8);
        vs::testing::DicomBuilder cine(vs::testing::Syntax::explicitLittle);
        cine.transferSyntax(vs::testing::uidJpegLossless).text(0x0028, 0x0008, "IS", "3");
        cine.us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 8);
        const std::vector<uint8_t> lossless = vs::testing::relabelAsLossless(good);
        cine.encapsulated({good, lossless, lossless});
        int boxes = 0;
        world_ = std::make_unique<PanelsWorld>();
        world_->seams.message = [&boxes](const MessageRequest&) { return ++boxes, MessageAnswer::ok; };
        world_->writeBytes("cine.dcm", cine.build());
        world_->start("cine.dcm");
        AnimationControl& control = *app().animControl;
        QCOMPARE(boxes, 0);
        QTest::mouseClick(control.findChild<QToolButton*>(QString::number(controlPlayPause)), Qt::LeftButton);
        for (int tick = 0; tick < 4 && control.frameTimer()->isActive(); ++tick)
            QMetaObject::invokeMethod(control.frameTimer(), "timeout");
        QCOMPARE(boxes, 1);
        QVERIFY(!control.playing());
        QCOMPARE(viewer().currentFrame, 1u);
    }

    void tooltipsExplainTheControls() {
        ImageRecipe cine;
        cine.rows = cine.columns = 16;
        cine.frames = 10;
        start({{"cine.dcm", cine}}, "cine.dcm");
        InfoPanel* panel = app().infoPanel;
        AnimationControl* control = app().animControl;
        auto child = [](QWidget* w, int id) { return w->findChild<QWidget*>(QString::number(id)); };

        struct Case {
            QWidget* window;
            int id;
            const char* text;
        };
        const Case cases[] = {
            {panel, panelAutoAdjust, "Automatic contrast adjustment"},
            {panel, panelResetContrast, "Reset contrast settings"},
            {panel, panelPreviousImage, "Previous image"},
            {panel, panelNextImage, "Next image"},
            {panel, panelSortImages, "Sort image numbers"},
            {panel, panelZoomList, "Zoom factor"},
            {control, controlPlayPause, "Play"},
            {control, controlPreviousFrame, "Previous frame"},
            {control, controlNextFrame, "Next frame"},
            {control, controlFrameSlider, "Frame 1 of 10"},
            {control, controlSpeedSlider, "Animation speed 25 fps"},
        };
        for (const Case& c : cases) {
            QCOMPARE(restOn(centreOf(child(c.window, c.id)), c.window), tooltipDelayTicks(false));
            QCOMPARE(tooltipText(), QString::fromLatin1(c.text));
            QVERIFY(child(c.window, c.id)->toolTip().isEmpty());  // no second, Qt-drawn tooltip
        }
        // Nothing over a label or the panel's bare surface.
        QCOMPARE(restOn(panel->mapToGlobal(QPoint(2, 2)), panel), -1);

        // Centred 25 pixels above the cursor; gone after its three seconds, and not back
        // until the cursor has moved and rested again.
        const QPoint sort = centreOf(child(panel, panelSortImages));
        QVERIFY(restOn(sort, panel) > 0);
        TooltipWindow* tip = tooltips().shown();
        QCOMPARE(tip->geometry().top(), sort.y() - tooltipAboveCursor);
        QCOMPARE(tip->geometry().left(), sort.x() - tip->width() / 2);
        QVERIFY(tip->label()->fontMetrics().horizontalAdvance(tooltipText()) <= tip->label()->width());
        QCOMPARE(tooltips().lifetimeTimer()->interval(), 3000);
        QVERIFY(tooltips().lifetimeTimer()->isActive());
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(!tip->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), focused);
        tooltips().expire();
        QVERIFY(!tooltips().shown());
        for (int i = 0; i < 100; ++i) tooltips().tooltipHandler(panel);
        QVERIFY(!tooltips().shown());

        // A move over the panel's own surface removes a tooltip.
        QVERIFY(restOn(sort, panel) > 0);
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), panel->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel, &move);
        QVERIFY(!tooltips().shown());

        // Resting on the frame slider, a frame step changes the text at once and keeps the
        // tooltip three more seconds.
        QVERIFY(restOn(centreOf(control->frameSlider()), control) > 0);
        tooltips().lifetimeTimer()->stop();
        QTest::keyClick(app().mainWindow, Qt::Key_Right);
        QCOMPARE(tooltipText(), QStringLiteral("Frame 2 of 10"));
        QVERIFY(tooltips().lifetimeTimer()->isActive());

        // While playing: half the delay, and the play button says what it does now.
        QTest::mouseClick(control->findChild<QToolButton*>(QString::number(controlPlayPause)), Qt::LeftButton);
        control->frameTimer()->stop();
        QCOMPARE(restOn(centreOf(child(control, controlPlayPause)), control), tooltipDelayTicks(true));
        QCOMPARE(tooltipText(), QStringLiteral("Pause"));
    }

    // Centred on the cursor, but kept whole on the screen at both edges.
    void tooltipPlacementAtTheScreenEdges() {
        const struct {
            int cursorX, width, left;
        } cases[] = {{640, 100, 590}, {5, 100, 0}, {1275, 100, 1180}, {1230, 100, 1180}, {1229, 101, 1179}};
        for (const auto& c : cases) QCOMPARE(tooltipLeft(c.cursorX, c.width, 1280), c.left);
    }
};

QTEST_MAIN(Gestures)
#include "test_gestures.moc"
