// The viewer as a user meets it: started on a folder of synthetic images, driven with keys,
// menu commands, drops and a second start, and checked by what the windows show.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <unistd.h>

#include "core/loader.h"
#include "shell_fixture.h"
#include "ui/animation_control.h"
#include "ui/batch_box.h"
#include "ui/button_pictures.h"
#include "ui/image_window.h"
#include "ui/info_panel.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/qt_host.h"
#include "ui/save_image_as.h"
#include "ui/single_instance.h"

using namespace vs;
using namespace vs::ui;
using namespace vs::ui::test;

namespace {

int channelNumber = 0;

}  // namespace

class Shell : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    std::unique_ptr<Program> program_;
    QString channel_;

    QString file(const QString& name) const { return folder_.filePath(name); }

    App& app() { return program_->app(); }
    Viewer& viewer() { return app().viewer; }

    void start(const QString& commandText, uint64_t counter = 0) {
        StartOptions options;
        options.commandText = commandText.toStdString();
        options.counter = counter;
        channel_ = QDir::temp().filePath(QString("vs-shell-%1-%2").arg(getpid()).arg(++channelNumber));
        options.channel = channel_;
        program_ = Program::start(options);
        QVERIFY(program_);
        // Let the windows come up and paint once, as they have long done when a user acts.
        QVERIFY(QTest::qWaitForWindowExposed(app().openDialog));
        QTest::qWait(20);
    }

    // Waits until the file has been loaded and shown.
    bool shows(const QString& name) {
        const std::string path = QFile::encodeName(file(name)).toStdString();
        return QTest::qWaitFor(
            [&] {
                return viewer().loadedPath == path && app().imageWindow->isVisible() && app().openDialog &&
                       fileList()->currentItem() && fileList()->currentItem()->text() == name;
            },
            5000);
    }

    QString panelLine(int id) { return app().infoPanel->lineText(id); }
    QAction* menu(int id) { return app().mainWindow->commandAction(id); }
    QListWidget* fileList() { return app().openDialog->fileList(); }

    // Chooses a zoom list entry as a user does.
    void chooseZoom(int index) {
        QComboBox* list = app().infoPanel->zoomList();
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    QImage painted() { return app().imageWindow->view()->viewport()->grab().toImage(); }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        writeImage(file("a.dcm"), 64, 64, 1, "3", "ALPHA^A");
        writeImage(file("b.dcm"), 96, 128, 1, "1", "BRAVO^B");
        writeImage(file("c.dcm"), 32, 32, 10, "2", "CINE^C");
        writeImage(file("wide.dcm"), 200, 300, 1, "4", "WIDE^W");
        QFile notes(file("notes.txt"));
        notes.open(QIODevice::WriteOnly);
        notes.write(QByteArray(400, 'n'));
    }

    void init() {
        resetSeen();
        installAnswerHooks();
        setSaveDialogHook({});
    }

    void cleanup() { program_.reset(); }

    void startShowsTheAboutBoxThenTheNamedFile() {
        start(file("b.dcm"), 4);
        QCOMPARE(seen().boxes, QStringList{"AboutBox"});
        QVERIFY(shows("b.dcm"));
        QCOMPARE(app().mainWindow->windowTitle(), QString("Vireoscan v 1.2"));
        QVERIFY(app().mainWindow->isMaximized());
        QCOMPARE(app().imageWindow->windowTitle(), QString("Dicom Image"));
        QVERIFY(panelLine(panelPatientLine).startsWith("BRAVO^B"));
        QVERIFY(menu(commandSaveImageAs)->isEnabled());
        // The Open dialog opened in the file's folder with the file selected.
        QCOMPARE(app().openDialog->fileNameBox()->text(), QString("b.dcm"));
        QCOMPARE(fileList()->currentItem()->text(), QString("b.dcm"));
        QVERIFY(!app().animControl->isVisible());
    }

    void donationBoxFollowsTheAboutBoxAtOneStartInFour() {
        start(file("a.dcm"), 1);
        QCOMPARE(seen().boxes, (QStringList{"AboutBox", "DonateBox"}));
    }

    void noCommandLineStartsWithNothingShown() {
        start("");
        QTest::qWait(50);
        QVERIFY(!app().imageWindow->isVisible());
        QVERIFY(!menu(commandSaveImageAs)->isEnabled());
        QVERIFY(viewer().currentFileName.empty());
    }

    void automaticZoomFitsTheImageOnTheScreen() {
        start(file("b.dcm"));
        QVERIFY(shows("b.dcm"));
        // 128 x 96 on the screen: min((w-100)/128, (h-150)/96) decides, at most 4.
        const double byWidth = (viewer().screenWidth - 100) / 128.0;
        const double byHeight = (viewer().screenHeight - 150) / 96.0;
        const double z = std::min(byWidth, byHeight);
        const double expected = z < 0.5 ? 0.25 : z < 1 ? 0.5 : z > 3.99999 ? 4 : int(z);
        QCOMPARE(viewer().zoomFactor, expected);
        QCOMPARE(app().infoPanel->zoomList()->currentText(), QString("%1%").arg(expected * 100));
        // The window's client area is the zoomed image, exactly.
        QCOMPARE(app().imageWindow->clientSize(), QSize(int(128 * expected), int(96 * expected)));

        // Switching Automatic Zoom off keeps the zoom; a list choice changes it; on again
        // recomputes at once.
        app().mainWindow->runCommand(commandAutomaticZoom);
        QVERIFY(!menu(commandAutomaticZoom)->isChecked());
        QCOMPARE(viewer().zoomFactor, expected);
        chooseZoom(1);  // 50%
        QCOMPARE(viewer().zoomFactor, 0.5);
        QCOMPARE(app().imageWindow->clientSize(), QSize(64, 48));
        app().mainWindow->runCommand(commandAutomaticZoom);
        QVERIFY(menu(commandAutomaticZoom)->isChecked());
        QCOMPARE(viewer().zoomFactor, expected);
        QCOMPARE(app().imageWindow->clientSize(), QSize(int(128 * expected), int(96 * expected)));
    }

    void thePaintedPixelsAreTheDisplayBufferAtTheZoom() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        app().mainWindow->runCommand(commandAutomaticZoom);  // off
        chooseZoom(3);  // 200%
        QCOMPARE(app().imageWindow->clientSize(), QSize(128, 128));
        const QImage image = painted();
        const uint32_t stride = viewer().window.displayStride;
        for (const QPoint p : {QPoint(0, 0), QPoint(5, 9), QPoint(127, 127), QPoint(64, 3)}) {
            const int grey = viewer().display[size_t((p.y() / 2) * stride + p.x() / 2)];
            QCOMPARE(qGray(image.pixel(p)), grey);
        }
    }

    void aWideImageScrollsAtHighZoom() {
        start(file("wide.dcm"));
        QVERIFY(shows("wide.dcm"));
        app().mainWindow->runCommand(commandAutomaticZoom);  // off
        chooseZoom(5);  // 400%: 1200 x 800 display pixels
        ImageWindow* window = app().imageWindow;
        QVERIFY(window->width() <= viewer().screenWidth - 20);
        QVERIFY(window->height() <= viewer().screenHeight - 100);
        const QSize client = window->clientSize();
        auto* view = window->view();
        QCOMPARE(view->horizontalScrollBar()->maximum(), 1200 - client.width());
        QCOMPARE(view->verticalScrollBar()->maximum(), 800 - client.height());
        view->horizontalScrollBar()->setValue(100);
        view->verticalScrollBar()->setValue(40);
        const QImage image = painted();
        const uint32_t stride = viewer().window.displayStride;
        // Scroll 100 at zoom 4 starts painting at buffer column 25, scroll 40 at row 10.
        QCOMPARE(qGray(image.pixel(0, 0)), int(viewer().display[size_t(10 * stride + 25)]));
        QCOMPARE(qGray(image.pixel(9, 13)), int(viewer().display[size_t(13 * stride + 27)]));
    }

    void upAndDownMoveThroughTheFolder() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        // Keys that reach the main window go on to the file list.
        QTest::keyClick(app().mainWindow, Qt::Key_Down);
        QVERIFY(shows("b.dcm"));
        QVERIFY(panelLine(panelPatientLine).startsWith("BRAVO^B"));
        QTest::keyClick(app().mainWindow, Qt::Key_Down);
        QVERIFY(shows("c.dcm"));
        QTest::keyClick(app().mainWindow, Qt::Key_Up);
        QVERIFY(shows("b.dcm"));
        // Also when the image window has the keyboard focus.
        app().imageWindow->setFocus();
        QTest::keyClick(app().imageWindow->view()->viewport(), Qt::Key_Down);
        QVERIFY(shows("c.dcm"));
        // A single-frame image: left and right change nothing.
        QTest::keyClick(app().mainWindow, Qt::Key_Up);
        QVERIFY(shows("b.dcm"));
        QTest::keyClick(app().mainWindow, Qt::Key_Right);
        QCOMPARE(viewer().image.currentFrame, 0u);
        QCOMPARE(app().imageWindow->windowTitle(), QString("Dicom Image"));
    }

    void leftAndRightStepFramesWithWrapAround() {
        start(file("c.dcm"));
        QVERIFY(shows("c.dcm"));
        AnimationControl* control = app().animControl;
        QVERIFY(control->isVisible());
        auto* slider = control->findChild<QSlider*>("1111");
        QCOMPARE(slider->maximum(), 9);
        QCOMPARE(slider->value(), 0);

        QTest::keyClick(app().mainWindow, Qt::Key_Left);
        QCOMPARE(viewer().image.currentFrame, 9u);
        QCOMPARE(app().imageWindow->windowTitle(), QString("Dicom Image - Frame 10"));
        QCOMPARE(slider->value(), 9);
        const std::vector<uint8_t> lastFrame(viewer().display.begin(), viewer().display.begin() + 32 * 32);

        QTest::keyClick(app().mainWindow, Qt::Key_Right);
        QCOMPARE(viewer().image.currentFrame, 0u);
        QCOMPARE(app().imageWindow->windowTitle(), QString("Dicom Image - Frame 1"));
        QTest::keyClick(app().mainWindow, Qt::Key_Right);
        QCOMPARE(slider->value(), 1);
        QVERIFY(!std::equal(lastFrame.begin(), lastFrame.end(), viewer().display.begin()));

        // The frame slider shows the frame it is moved to.
        slider->setValue(9);
        QCOMPARE(viewer().image.currentFrame, 9u);
        QVERIFY(std::equal(lastFrame.begin(), lastFrame.end(), viewer().display.begin()));

        // Moving on to a single-frame file hides the control.
        QTest::keyClick(app().mainWindow, Qt::Key_Up);
        QVERIFY(shows("b.dcm"));
        QVERIFY(!control->isVisible());
    }

    void negativeImageTwiceGivesThePictureBack() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        const QImage before = painted();
        app().mainWindow->runCommand(commandNegativeImage);
        QVERIFY(menu(commandNegativeImage)->isChecked());
        const QImage negative = painted();
        QCOMPARE(qGray(negative.pixel(10, 10)), 255 - qGray(before.pixel(10, 10)));
        app().mainWindow->runCommand(commandNegativeImage);
        QVERIFY(!menu(commandNegativeImage)->isChecked());
        QCOMPARE(painted(), before);
    }

    void presetsMoveTheCheckMark() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        QVERIFY(menu(commandStoredSettings)->isChecked());
        QVERIFY(app().mainWindow->automaticWindowingMenu()->menuAction()->isChecked());
        const QImage stored = painted();
        menu(commandContrastStretch)->trigger();  // as a click on the item
        QVERIFY(menu(commandContrastStretch)->isChecked());
        QVERIFY(!menu(commandStoredSettings)->isChecked());
        QCOMPARE(viewer().window.windowPreset, uint16_t(presetContrastStretch));
        // With automatic windowing off a preset only moves the check mark.
        app().infoPanel->autoAdjustBox()->click();
        QVERIFY(!app().mainWindow->automaticWindowingMenu()->menuAction()->isChecked());
        const int32_t low = viewer().window.windowLow;
        const int32_t high = viewer().window.windowHigh;
        menu(commandCtBone)->trigger();
        QVERIFY(menu(commandCtBone)->isChecked());
        QVERIFY(!menu(commandContrastStretch)->isChecked());
        QCOMPARE(viewer().window.windowLow, low);
        QCOMPARE(viewer().window.windowHigh, high);
        Q_UNUSED(stored);
    }

    void menuHoldsEveryCommandWithItsMarks() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        const QList<int> ids = {100, 105, 156, 180, 181, 183, 184, 185, 186, 188, 189, 190, 191, 192, 193, 194};
        for (int id : ids) QVERIFY2(menu(id), qPrintable(QString::number(id)));
        QCOMPARE(menu(105)->text(), QString("E&xit Vireoscan"));
        QCOMPARE(app().mainWindow->automaticWindowingMenu()->actions().size(), 7);
        QCOMPARE(app().mainWindow->automaticWindowingMenu()->actions().first()->text(), QString("&Contrast Stretch"));

        app().mainWindow->runCommand(181);
        QCOMPARE(seen().messages.back().caption, QString("Vireoscan Help"));
        const QStringList help = seen().messages.back().text.split('\n');
        QCOMPARE(help.size(), 13);
        QCOMPARE(help[0], QString("Welcome to Vireoscan! Vireoscan is a small utility for"));
        QCOMPARE(help[2], QString());
        QVERIFY(help[12].contains("vireoscan.example.org"));

        app().mainWindow->runCommand(180);
        QCOMPARE(seen().pages, QList<QUrl>{QUrl("https://vireoscan.example.org/")});
        app().mainWindow->runCommand(100);
        QCOMPARE(seen().boxes.last(), QString("AboutBox"));
        app().mainWindow->runCommand(183);
        QCOMPARE(seen().boxes.last(), QString("DonateBox"));
    }

    void aDropOpensTheFirstFileAndReloadsTheSameOne() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        MainWindow* main = app().mainWindow;
        main->dropPaths({file("c.dcm"), file("b.dcm"), file("a.dcm")});
        QVERIFY(shows("c.dcm"));
        QCOMPARE(app().openDialog->fileNameBox()->text(), QString("c.dcm"));

        // The same file dropped again loads again: the window is set anew.
        viewer().window.windowLow += 7;
        const int32_t moved = viewer().window.windowLow;
        main->dropPaths({file("c.dcm")});
        QTRY_VERIFY(viewer().window.windowLow != moved);

        // Handed over by a second start, the file already shown is not loaded again.
        viewer().window.windowLow += 7;
        const int32_t movedAgain = viewer().window.windowLow;
        QVERIFY(SingleInstance::handOff(channel_, QFile::encodeName(file("c.dcm"))));
        QTRY_VERIFY(app().openDialog && app().openDialog->isVisible() && viewer().loadOnOpen == 0);
        QTest::qWait(50);
        QCOMPARE(viewer().window.windowLow, movedAgain);
        QCOMPARE(main->windowTitle(), QString("Vireoscan v 1.2"));
    }

    void aRealDropEventReachesTheViewer() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file("b.dcm"))});
        QWidget* target = app().mainWindow;
        const QPoint at(400, 300);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        QVERIFY(shows("b.dcm"));
    }

    void aSecondStartHandsItsPathToTheFirst() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        StartOptions second;
        second.commandText = "\"" + file("c.dcm").toStdString() + "\"";
        second.channel = channel_;
        QVERIFY(!Program::start(second));  // it ends at once
        QVERIFY(shows("c.dcm"));
        QCOMPARE(seen().boxes, QStringList{"AboutBox"});  // no second About box
        QCOMPARE(app().mainWindow->windowTitle(), QString("Vireoscan v 1.2"));
    }

    void reopeningTheDialogManyTimesNeverNests() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        for (int i = 0; i < 30; ++i) app().mainWindow->dropPaths({file(i % 2 ? "a.dcm" : "b.dcm")});
        QVERIFY(shows("a.dcm"));
        QCOMPARE(app().mainWindow->findChildren<OpenDialog*>().size(), 1);
    }

    void escapeDuringALoadAbortsItAndOtherInputWaits() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        // A large file: read in many chunks, Escape is polled between them.
        writeImage(file("big.dcm"), 1024, 1024, 1, "9", "BIG^B");
        const int rowBefore = fileList()->currentRow();
        QWidget* focus = fileList();
        QCoreApplication::postEvent(focus, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCoreApplication::postEvent(focus, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        viewer().currentFileName = "big.dcm";
        QCOMPARE(loadFile(viewer()), uint16_t(loadFailed));
        QCOMPARE(panelLine(panelPatientLine), QString("<loading aborted by user>"));
        QVERIFY(!app().imageWindow->isVisible());
        QVERIFY(!menu(commandSaveImageAs)->isEnabled());
        QCOMPARE(fileList()->currentRow(), rowBefore);  // the Down key did not act
        QFile::remove(file("big.dcm"));
    }

    void saveImageAsWritesTheShownFrameByTheNamesExtension() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        QTemporaryDir out;
        QDir(out.path()).mkdir("scans.tif");
        const QString bmp = out.filePath("scans.tif/frame.bmp");
        setSaveDialogHook([&] { return bmp; });
        const QImage before = painted();
        app().mainWindow->runCommand(commandSaveImageAs);
        QFile written(bmp);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.read(2), QByteArray("BM"));
        written.close();
        QCOMPARE(viewer().outputFormat, uint16_t(formatBmp));
        QVERIFY(menu(commandSaveImageAs)->isEnabled());
        QVERIFY(menu(commandBatchConversion)->isEnabled());
        QCOMPARE(painted(), before);  // rendered again after the writer

        // Upper-case .TIFF gives TIFF; no extension gives .bmp.
        const QString tiff = out.filePath("x.TIFF");
        setSaveDialogHook([&] { return tiff; });
        app().mainWindow->runCommand(commandSaveImageAs);
        QFile tiffFile(tiff);
        QVERIFY(tiffFile.open(QIODevice::ReadOnly));
        QCOMPARE(tiffFile.read(4), QByteArray("II*\0", 4));
        setSaveDialogHook([&] { return out.filePath("plain"); });
        app().mainWindow->runCommand(commandSaveImageAs);
        QVERIFY(QFile::exists(out.filePath("plain.bmp")));

        // Another extension: nothing written, the error shown.
        setSaveDialogHook([&] { return out.filePath("x.jpg"); });
        app().mainWindow->runCommand(commandSaveImageAs);
        QVERIFY(!QFile::exists(out.filePath("x.jpg")));
        QCOMPARE(seen().messages.back().text, QString("Error: No valid extension specified!"));

        // An existing file kept when the answer is No.
        const qint64 size = QFileInfo(bmp).size();
        QFile::resize(bmp, 10);
        seen().answers = {MessageAnswer::no};
        setSaveDialogHook([&] { return bmp; });
        app().mainWindow->runCommand(commandSaveImageAs);
        QVERIFY(seen().messages.back().text.startsWith("Warning: File '"));
        QVERIFY(seen().messages.back().buttons == MessageButtons::yesNo);
        QCOMPARE(QFileInfo(bmp).size(), qint64(10));
        // Yes overwrites it.
        app().mainWindow->runCommand(commandSaveImageAs);
        QCOMPARE(QFileInfo(bmp).size(), size);
        // A cancel leaves both file commands available.
        setSaveDialogHook([] { return QString(); });
        app().mainWindow->runCommand(commandSaveImageAs);
        QVERIFY(menu(commandSaveImageAs)->isEnabled());
        QVERIFY(menu(commandBatchConversion)->isEnabled());
    }

    void batchBoxConvertsDroppedFilesBesideTheirSources() {
        start(file("c.dcm"));
        QVERIFY(shows("c.dcm"));
        QTemporaryDir work;
        QFile::copy(file("a.dcm"), work.filePath("one.dcm"));
        QFile::copy(file("c.dcm"), work.filePath("ten.dcm"));
        QFile::copy(file("notes.txt"), work.filePath("notes.txt"));

        app().mainWindow->runCommand(commandBatchConversion);
        BatchBox* box = app().batchBox;
        QVERIFY(box && box->isVisible());
        QCOMPARE(viewer().batchMode, uint16_t(1));
        QCOMPARE(box->windowTitle(), QString("Convert Dicom to TIFF"));
        QCOMPARE(box->formatList()->count(), 4);
        QVERIFY(!app().openDialog->isVisible());
        QVERIFY(!app().imageWindow->isVisible());
        QVERIFY(!app().animControl->isVisible());
        QVERIFY(!menu(commandSaveImageAs)->isEnabled());
        QVERIFY(!menu(commandBatchConversion)->isEnabled());
        QCOMPARE(panelLine(panelPatientLine), QString("<batch conversion mode>"));

        box->formatList()->setCurrentIndex(formatRaw);
        QCOMPARE(box->windowTitle(), QString("Convert Dicom to RAW"));
        box->formatList()->setCurrentIndex(formatBmp);
        QCOMPARE(box->windowTitle(), QString("Convert Dicom to Windows Bitmap"));

        // A drop that arrives while the run's message box is open is ignored.
        int dropsDuringRun = 0;
        seen().duringMessage = [&](const MessageRequest&) {
            if (dropsDuringRun++ == 0) app().mainWindow->dropPaths({work.filePath("one.dcm")});
        };
        app().mainWindow->dropPaths({work.filePath("one.dcm"), work.filePath("notes.txt"), work.filePath("ten.dcm")});
        seen().duringMessage = {};
        QVERIFY(QFile::exists(work.filePath("one.dcm.BMP")));
        QVERIFY(QFile::exists(work.filePath("ten.dcm.00.BMP")));
        QVERIFY(QFile::exists(work.filePath("ten.dcm.09.BMP")));
        QCOMPARE(seen().messages.size(), size_t(2));  // the unsupported file, then the one report
        QVERIFY(seen().messages[0].text.startsWith("Error: File format of '"));
        QCOMPARE(seen().messages[1].text,
                 QString("Successfully converted 11 image(s) out of 3 file(s).\nConversion of 1 image(s) was unsuccessful."));
        QVERIFY(!app().openDialog->isVisible());

        // Done gives the place back to the Open dialog.
        const QPoint place = box->pos();
        QTest::mouseClick(box->findChild<QPushButton*>("1"), Qt::LeftButton);
        QVERIFY(!box->isVisible());
        QVERIFY(app().openDialog->isVisible());
        QCOMPARE(app().openDialog->pos(), place);
        QCOMPARE(viewer().batchMode, uint16_t(0));
        QVERIFY(menu(commandSaveImageAs)->isEnabled());
        QVERIFY(menu(commandBatchConversion)->isEnabled());
        QVERIFY(viewer().loadedPath.empty());

        // The box opens again with the format last used.
        app().mainWindow->runCommand(commandBatchConversion);
        QCOMPARE(box->formatList()->currentText(), QString("BITMAP (8 Bits)"));
        // A second start's path is dropped while the box is open.
        QVERIFY(SingleInstance::handOff(channel_, QFile::encodeName(file("a.dcm"))));
        QTest::qWait(100);
        QVERIFY(!app().imageWindow->isVisible());
        QCOMPARE(app().mainWindow->windowTitle(), QString("Vireoscan v 1.2"));
    }

    void minimizingHidesTheOpenDialogAndRestoringShowsIt() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        app().mainWindow->showMinimized();
        QTRY_VERIFY(!app().openDialog->isVisible());
        app().mainWindow->showMaximized();
        QTRY_VERIFY(app().openDialog->isVisible());
    }

    void exitEndsTheProgram() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        app().mainWindow->runCommand(commandExit);
        QCOMPARE(viewer().appState, uint32_t(appClosing));
        QVERIFY(!app().mainWindow->isVisible());
        QVERIFY(!app().openDialog);
        QTest::qWait(20);
        QVERIFY(!app().openDialog);  // it does not come back
        QVERIFY(viewer().file.empty());
    }

    void notEnoughMemoryEndsWithTheErrorBox() {
        StartOptions options;
        options.commandText = file("a.dcm").toStdString();
        options.channel = QDir::temp().filePath(QString("vs-shell-oom-%1").arg(getpid()));
        options.makeApp = []() -> std::unique_ptr<App> { throw std::bad_alloc(); };
        QVERIFY(!Program::start(options));
        QCOMPARE(seen().messages.size(), size_t(1));
        QCOMPARE(seen().messages[0].text, QString("Exit - Not enough free memory."));
        QCOMPARE(seen().messages[0].caption, QString("Vireoscan Error"));
        QVERIFY(seen().boxes.isEmpty());  // no About box
    }
};

QTEST_MAIN(Shell)
#include "test_shell.moc"
