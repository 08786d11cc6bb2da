// bench_viewer: the real windows driven by replayed input events and timed from the event to
// the end of the picture's paint, as a user waits for it. Prints medians and 95th percentiles
// in milliseconds beside the goal of each figure:
//   - a mouse move of a left-button drag on the image window (16-bit images of 512, 2048 and
//     4096 squared, the window about 1000 x 900);
//   - the Down key in the Open dialog over a folder of 100 CT slices of 512 squared;
//   - a 100-frame RLE cine played at the fastest speed, and a 50-frame 16-bit lossless JPEG
//     cine at 25 frames per second with Decode All Compressions on (and so every cine file
//     named on the command line, bench_viewer [CINE.dcm ...]: bench/compare-peers makes them in
//     JPEG-LS and JPEG 2000): frames shown, frames skipped and the measured step rate;
//   - the start with a file named on the command line, to its first picture.
// Without a platform set it runs offscreen on a 1420 x 1000 screen, which fits the image
// window at about 1000 x 900 left of the panels. Built with the rest, never run by the tests.
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>
#include <QSlider>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/zoom.h"
#include "dicom/read_file.h"
#include "ui/animation_control.h"
#include "ui/boxes.h"
#include "ui/image_window.h"
#include "ui/open_dialog.h"
#include "ui/startup.h"

namespace vs::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int warmUpEvents = 10;
constexpr int cineSeconds = 3;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The frames of a file read with every compression (0 when it does not load).
uint32_t cineFrames(const std::string& path) {
    const std::unique_ptr<DecoderBundle> decoders = makeDecoderBundle(true);
    DicomImage dicom;
    ReadObserver quiet;
    return readDicomFile(path, dicom, quiet, decoders->decoders()) == statusLoaded ? dicom.image.frameCount : 0;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t rank = size_t(std::ceil(fraction * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

void printTimes(const std::string& what, const std::vector<double>& ms, const char* goal) {
    std::printf("%-44s median %7.2f ms   p95 %7.2f ms   n=%-4zu goal: %s\n", what.c_str(), percentile(ms, 0.5),
                percentile(ms, 0.95), ms.size(), goal);
}

// Runs every queued call and window-system event to the end.
void settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Counts the paints of the image window's picture, whichever program instance owns it.
class ImagePaints : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->parent() &&
            watched->parent()->objectName() == QLatin1String("imageView"))
            ++count;
        return false;
    }
};

class ViewerBench {
public:
    ViewerBench() { qApp->installEventFilter(&paints_); }

    void leftDrag(const ImageRecipe& image, int samples, const char* goal);
    void downKeyInOpenDialog(int files);
    // Plays the cine file at the speed slider's position (0: fastest), reading every
    // compression when asked.
    void cine(const std::string& path, uint32_t frames, const std::string& label, int speed, bool every);
    void startToFirstPicture(int starts);

private:
    std::unique_ptr<ui::Program> start(const std::string& path);
    // Dispatches events until the image window has painted after `before` paints; the paint
    // filter sees the paint begin, and the dispatch that delivered it returns after its end.
    bool runUntilPainted(int before);

    ImagePaints paints_;
    int starts_ = 0;
};

std::unique_ptr<ui::Program> ViewerBench::start(const std::string& path) {
    ui::StartOptions options;
    options.arguments = {path};
    options.counter = 0;  // no donation box
    options.seams.modal = [](QDialog& box) { box.accept(); };
    options.seams.message = [](const ui::MessageRequest&) { return MessageAnswer::ok; };
    options.channel = QStringLiteral("vs-bench-%1-%2").arg(QCoreApplication::applicationPid()).arg(++starts_);
    return ui::Program::start(options);
}

bool ViewerBench::runUntilPainted(int before) {
    for (int round = 0; round < 100000; ++round) {
        if (paints_.count > before) return true;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    return false;
}

// A mouse event at a point of the viewport, through the window system as a real one comes:
// delivered at once, and the application then knows which buttons are held (the gestures
// ask it at every event).
void windowMouse(QWidget* viewport, QEvent::Type type, QPoint at, Qt::MouseButtons held, Qt::MouseButton button) {
    QWidget* top = viewport->window();
    const int timestamp = int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
    qt_handleMouseEvent(top->windowHandle(), viewport->mapTo(top, at), viewport->mapToGlobal(at), held, button, type,
                        Qt::NoModifier, timestamp);
}

void ViewerBench::leftDrag(const ImageRecipe& image, int samples, const char* goal) {
    TempFile file("drag_" + std::to_string(image.columns) + ".dcm", testing::makeImage(image));
    const std::unique_ptr<ui::Program> program = start(file.path());
    settle();
    Viewer& v = program->app().viewer;
    ui::ImageWindow* window = program->app().imageWindow;
    // A small image is zoomed until it fills a window of the same size as the large ones.
    if (window->clientSize().width() < 900) window->setZoomFromList(indexOfZoom(1000 / image.columns + 1.0));
    settle();
    QWidget* viewport = window->view()->viewport();
    const QPoint anchor(viewport->width() / 2, viewport->height() / 2);
    windowMouse(viewport, QEvent::MouseButtonPress, anchor, Qt::LeftButton, Qt::LeftButton);
    settle();
    const int32_t lowBefore = v.window.windowLow;
    int32_t lowMoved = lowBefore;
    std::vector<double> ms;
    for (int i = 0; i < warmUpEvents + samples; ++i) {
        // Back and forth around the anchor, so that the window stays near where it started.
        const QPoint to = anchor + QPoint(i % 2 ? 3 : -3, i % 4 < 2 ? 2 : -2);
        const int before = paints_.count;
        const Clock::time_point sent = Clock::now();
        windowMouse(viewport, QEvent::MouseMove, to, Qt::LeftButton, Qt::NoButton);
        // A move that only asked for a paint is painted now, as the next dispatch would.
        if (paints_.count == before) viewport->repaint();
        const double spent = msSince(sent);
        if (v.window.windowLow != lowBefore) lowMoved = v.window.windowLow;
        settle();
        if (i >= warmUpEvents) ms.push_back(spent);
    }
    const bool dragged = v.leftDragging && lowMoved != lowBefore;
    windowMouse(viewport, QEvent::MouseButtonRelease, anchor, Qt::NoButton, Qt::LeftButton);
    settle();
    const QSize client = window->clientSize();
    printTimes("left-drag move, " + std::to_string(image.columns) + "^2 16-bit, client " +
                   std::to_string(client.width()) + "x" + std::to_string(client.height()),
               ms, goal);
    if (!dragged) std::printf("  the moves changed no window: the contrast drag did not follow them\n");
}

void ViewerBench::downKeyInOpenDialog(int files) {
    std::vector<std::unique_ptr<TempFile>> slices;
    ImageRecipe slice = ctImage(512);
    for (int i = 0; i < files; ++i) {
        slice.instanceNumber = std::to_string(i + 1);
        char name[32];
        std::snprintf(name, sizeof name, "slice_%03d.dcm", i);
        slices.push_back(std::make_unique<TempFile>(name, testing::makeImage(slice)));
    }
    const std::unique_ptr<ui::Program> program = start(slices.front()->path());
    settle();
    QListWidget* list = program->app().openDialog->fileList();
    std::vector<double> ms;
    int missed = 0;
    // The first pass down reads every file once; the passes up and down again are timed.
    for (int pass = 0; pass < 3; ++pass) {
        const Qt::Key key = pass == 1 ? Qt::Key_Up : Qt::Key_Down;
        for (int step = 1; step < files; ++step) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
            const int before = paints_.count;
            const Clock::time_point sent = Clock::now();
            QCoreApplication::sendEvent(list, &press);
            if (!runUntilPainted(before)) ++missed;
            const double spent = msSince(sent);
            QCoreApplication::sendEvent(list, &release);
            if (pass > 0) ms.push_back(spent);
        }
    }
    printTimes("Open dialog Down/Up key, " + std::to_string(files) + " CT slices 512^2", ms,
               "median < 2 ms, p95 < 4 ms");
    if (missed) std::printf("  %d key presses painted no picture\n", missed);
}

void ViewerBench::cine(const std::string& path, uint32_t frames, const std::string& label, int speed, bool every) {
    // The bench's own settings: Decode All Compressions for the encodings only it reads.
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Vireoscan", "vireoscan").setValue("decoding/allCompressions", every);
    const std::unique_ptr<ui::Program> program = start(path);
    settle();
    ui::App& app = program->app();
    ui::AnimationControl* control = app.animControl;
    control->findChild<QSlider*>(QStringLiteral("speedSlider"))->setValue(speed);
    const QTimer* timer = control->findChild<QTimer*>(QStringLiteral("animationTimer"));
    QToolButton* play = control->findChild<QToolButton*>(QStringLiteral("playButton"));
    play->click();

    std::vector<double> rates;
    std::vector<double> intervals;
    int shown = 0;
    int skipped = 0;
    uint32_t last = app.viewer.currentFrame;
    Clock::time_point lastStep = Clock::now();
    const Clock::time_point started = lastStep;
    while (msSince(started) < cineSeconds * 1000.0) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const uint32_t frame = app.viewer.currentFrame;
        if (frame == last) continue;
        skipped += int((frame + frames - last) % frames) - 1;
        intervals.push_back(msSince(lastStep));
        lastStep = Clock::now();
        rates.push_back(control->stepRate());
        last = frame;
        ++shown;
    }
    const double elapsed = msSince(started);
    play->click();
    settle();
    const uint32_t period = control->framePeriod();
    std::printf("%-44s timer %s, period %u ms\n", ("cine, " + label).c_str(),
                timer->timerType() == Qt::PreciseTimer ? "precise" : "NOT precise (coarse)", period);
    std::printf("  %d frames in %.0f ms (nominal %d), %d skipped; step rate median %.0f fps, 5th percentile %.0f fps"
                "   goal: >= %u, none skipped\n",
                shown, elapsed, int(elapsed / period), skipped, percentile(rates, 0.5), percentile(rates, 0.05),
                1000 / period - 2);
    printTimes("  interval between frames", intervals, (std::to_string(period) + " ms").c_str());
}

void ViewerBench::startToFirstPicture(int starts) {
    TempFile file("start.dcm", testing::makeImage(ctImage(512)));
    std::vector<double> ms;
    double first = 0;
    for (int i = 0; i < starts; ++i) {
        const int before = paints_.count;
        const Clock::time_point begun = Clock::now();
        std::unique_ptr<ui::Program> program = start(file.path());
        const bool painted = program && runUntilPainted(before);
        const double spent = msSince(begun);
        if (!painted) std::printf("  start %d painted no picture\n", i);
        if (i == 0) first = spent;
        else ms.push_back(spent);
        program.reset();
        settle();
    }
    printTimes("start with a 512^2 CT file to first picture", ms, "< 300 ms");
    std::printf("  first start in this process: %.1f ms\n", first);
}

// A 1420 x 1000 offscreen screen: the fitted image window is then about 1000 x 900.
void chooseOffscreenPlatform(QTemporaryFile& config) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
    if (!config.open()) return;
    config.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1420, "height": 1000,
                     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
}

}  // namespace
}  // namespace vs::bench

int main(int argc, char** argv) {
    using namespace vs::bench;
    QTemporaryFile screenConfig;
    chooseOffscreenPlatform(screenConfig);
    const Clock::time_point begun = Clock::now();
    QApplication application(argc, argv);
    const double applicationMs = msSince(begun);

    std::printf("platform %s, screen %dx%d\n", qgetenv("QT_QPA_PLATFORM").constData(),
                QGuiApplication::primaryScreen()->geometry().width(), QGuiApplication::primaryScreen()->geometry().height());
    // The programs started here keep their settings in a folder of their own.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    ViewerBench bench;
    bench.leftDrag(ctImage(512), 200, "-");
    bench.leftDrag(radiograph(2048), 200, "< 8 ms");
    bench.leftDrag(radiograph(4096), 100, "median < 7 ms");
    bench.downKeyInOpenDialog(100);
    {
        const TempFile rle("cine.dcm", vs::testing::makeImage(rle8Cine(100)));
        bench.cine(rle.path(), 100, "100-frame RLE 512^2, speed 0", 0, false);
        const TempFile lossless("lossless.dcm", vs::testing::makeImage(losslessCine(50)));
        bench.cine(lossless.path(), 50, "50-frame 16-bit lossless JPEG 512^2, 25 fps", 2, true);
    }
    const QStringList files = QCoreApplication::arguments().mid(1);
    for (const QString& file : files) {
        const std::string path = file.toStdString();
        bench.cine(path, cineFrames(path), path + ", 25 fps", 2, true);
    }
    bench.startToFirstPicture(12);
    std::printf("  (QApplication construction before it: %.1f ms)\n", applicationMs);
    return 0;
}
