// The viewer as a user meets it: started on a folder of synthetic images, driven with keys,
// menu commands, drops and a second start, and checked by what the windows show.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <unistd.h>

#include <algorithm>

#include "core/loader.h"
#include "shell_fixture.h"
#include "ui/animation_control.h"
#include "ui/batch_box.h"
#include "ui/image_window.h"
#include "ui/info_panel.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/save_image_as.h"
#include "ui/single_instance.h"

using namespace vs;
using namespace vs::ui;
using namespace vs::ui::test;

class Shell : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    std::unique_ptr<Program> program_;
    QString channel_;
    int starts_ = 0;
    Seen seen_;

    Seen& seen() { return seen_; }

    QString file(const QString& name) const { return folder_.filePath(name); }
    App& app() { return program_->app(); }
    Viewer& viewer() { return app().viewer; }
    QString panelLine(int id) { return app().infoPanel->lineText(id); }
    QAction* menu(int id) { return app().mainWindow->commandAction(id); }
    QListWidget* fileList() { return app().openDialog->fileList(); }
    void command(int id) { app().mainWindow->runCommand(id); }
    void key(Qt::Key k) { QTest::keyClick(app().mainWindow, k); }
    QImage painted() { return app().imageWindow->view()->viewport()->grab().toImage(); }

    void start(const QString& commandText, uint64_t counter = 0) {
        StartOptions options;
        options.commandText = commandText.toStdString();
        options.counter = counter;
        options.seams = answering(seen_);
        channel_ = QDir::temp().filePath(QString("vs-shell-%1-%2").arg(getpid()).arg(++starts_));
        options.channel = channel_;
        program_ = Program::start(options);
        QVERIFY(program_);
        QVERIFY(QTest::qWaitForWindowExposed(app().openDialog));
        QTest::qWait(20);
    }

    // Waits until the file has been loaded, shown and selected in the list.
    bool shows(const QString& name) {
        const std::string path = QFile::encodeName(file(name)).toStdString();
        return QTest::qWaitFor(
            [&] {
                return viewer().loadedPath == path && app().imageWindow->isVisible() && app().openDialog &&
                       fileList()->currentItem() && fileList()->currentItem()->text() == name;
            },
            5000);
    }

    void chooseZoom(int index) {
        QComboBox* list = app().infoPanel->zoomList();
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

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
        seen_ = Seen{};
    }

    void cleanup() { program_.reset(); }

    void startShowsTheBoxesThenTheNamedFile() {
        start(file("b.dcm"), 1);  // a donation start
        QCOMPARE(seen().boxes, (QStringList{"AboutBox", "DonateBox"}));
        QVERIFY(shows("b.dcm"));
        QCOMPARE(app().mainWindow->windowTitle(), QString("Vireoscan v 1.2"));
        QVERIFY(app().mainWindow->isMaximized());
        QVERIFY(panelLine(panelPatientLine).startsWith("BRAVO^B"));
        QVERIFY(menu(commandSaveImageAs)->isEnabled());
        QCOMPARE(app().openDialog->fileNameBox()->text(), QString("b.dcm"));
        QVERIFY(!app().animControl->isVisible());

        // Without a command line nothing is shown.
        program_.reset();
        start("");
        QTest::qWait(50);
        QVERIFY(!app().imageWindow->isVisible());
        QVERIFY(!menu(commandSaveImageAs)->isEnabled());
    }

    void automaticZoomFitsTheImageOnTheScreen() {
        start(file("b.dcm"));
        QVERIFY(shows("b.dcm"));
        // 128 x 96 on the screen: min((w-100)/128, (h-150)/96) decides, at most 4.
        const double z = std::min((app().screenWidth - 100) / 128.0, (app().screenHeight - 150) / 96.0);
        const double expected = z < 0.5 ? 0.25 : z < 1 ? 0.5 : z > 3.99999 ? 4 : int(z);
        const QSize fitted(int(128 * expected), int(96 * expected));
        QCOMPARE(viewer().zoomFactor, expected);
        QCOMPARE(app().infoPanel->zoomList()->currentText(), QString("%1%").arg(expected * 100));
        QCOMPARE(app().imageWindow->clientSize(), fitted);

        // Off keeps the zoom; a list choice changes it; on again recomputes at once.
        command(commandAutomaticZoom);
        QCOMPARE(viewer().zoomFactor, expected);
        chooseZoom(1);  // 50%
        QCOMPARE(app().imageWindow->clientSize(), QSize(64, 48));
        command(commandAutomaticZoom);
        QVERIFY(menu(commandAutomaticZoom)->isChecked());
        QCOMPARE(app().imageWindow->clientSize(), fitted);
    }

    void aWideImageScrollsAtHighZoomAndPaintsTheDisplayBuffer() {
        start(file("wide.dcm"));
        QVERIFY(shows("wide.dcm"));
        command(commandAutomaticZoom);  // off
        chooseZoom(5);  // 400%: 1200 x 800 display pixels
        ImageWindow* window = app().imageWindow;
        QVERIFY(window->width() <= app().screenWidth - 20);
        QVERIFY(window->height() <= app().screenHeight - 100);
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

    void keysMoveThroughTheFolderAndTheFrames() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        key(Qt::Key_Down);  // keys that reach the main window go on to the file list
        QVERIFY(shows("b.dcm"));
        key(Qt::Key_Right);  // a single frame: nothing changes
        QCOMPARE(app().imageWindow->windowTitle(), QString("Dicom Image"));
        app().imageWindow->setFocus();
        QTest::keyClick(app().imageWindow->view()->viewport(), Qt::Key_Down);
        QVERIFY(shows("c.dcm"));

        AnimationControl* control = app().animControl;
        QVERIFY(control->isVisible());
        auto* slider = control->findChild<QSlider*>("1111");
        QCOMPARE(slider->maximum(), 9);
        key(Qt::Key_Left);  // wraps to the last frame
        QCOMPARE(viewer().currentFrame, 9u);
        QCOMPARE(app().imageWindow->windowTitle(), QString("Dicom Image - Frame 10"));
        QCOMPARE(slider->value(), 9);
        const std::vector<uint8_t> lastFrame(viewer().display.begin(), viewer().display.begin() + 32 * 32);
        key(Qt::Key_Right);
        QCOMPARE(app().imageWindow->windowTitle(), QString("Dicom Image - Frame 1"));
        key(Qt::Key_Right);
        QCOMPARE(slider->value(), 1);
        QVERIFY(!std::equal(lastFrame.begin(), lastFrame.end(), viewer().display.begin()));
        slider->setValue(9);  // the slider shows the frame it is moved to
        QVERIFY(std::equal(lastFrame.begin(), lastFrame.end(), viewer().display.begin()));

        key(Qt::Key_Up);
        QVERIFY(shows("b.dcm"));
        QVERIFY(!control->isVisible());
    }

    void menuCommandsAndTheirMarks() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        const QImage before = painted();
        command(commandNegativeImage);
        QVERIFY(menu(commandNegativeImage)->isChecked());
        QCOMPARE(qGray(painted().pixel(10, 10)), 255 - qGray(before.pixel(10, 10)));
        command(commandNegativeImage);
        QCOMPARE(painted(), before);

        QVERIFY(menu(commandStoredSettings)->isChecked());
        menu(commandContrastStretch)->trigger();  // as a click on the item
        QVERIFY(menu(commandContrastStretch)->isChecked());
        QVERIFY(!menu(commandStoredSettings)->isChecked());
        QCOMPARE(viewer().window.windowPreset, uint16_t(presetContrastStretch));
        app().infoPanel->autoAdjustBox()->click();
        QVERIFY(!app().mainWindow->automaticWindowingMenu()->menuAction()->isChecked());

        command(181);
        QCOMPARE(seen().messages.back().caption, QString("Vireoscan Help"));
        QVERIFY(seen().messages.back().text.startsWith("Welcome to Vireoscan!"));
        command(180);
        QCOMPARE(seen().pages, QList<QUrl>{QUrl("https://vireoscan.example.org/")});
        command(100);
        QCOMPARE(seen().boxes.last(), QString("AboutBox"));
        command(183);
        QCOMPARE(seen().boxes.last(), QString("DonateBox"));
    }

    void dropsAndSecondStartsOpenTheirFile() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        MainWindow* main = app().mainWindow;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file("c.dcm")), QUrl::fromLocalFile(file("b.dcm"))});
        QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(main, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(main, &drop);
        QVERIFY(shows("c.dcm"));

        // The same file dropped again loads again: the window is set anew.
        viewer().window.windowLow += 7;
        const int32_t moved = viewer().window.windowLow;
        main->dropPaths({file("c.dcm")});
        QTRY_VERIFY(viewer().window.windowLow != moved);

        // Handed over by a second start, the file already shown is not loaded again; another is.
        viewer().window.windowLow += 7;
        const int32_t movedAgain = viewer().window.windowLow;
        QVERIFY(SingleInstance::handOff(channel_, QFile::encodeName(file("c.dcm"))));
        QTRY_VERIFY(app().openDialog && app().openDialog->isVisible() && viewer().loadOnOpen == 0);
        QTest::qWait(50);
        QCOMPARE(viewer().window.windowLow, movedAgain);
        StartOptions second;
        second.commandText = "\"" + file("b.dcm").toStdString() + "\"";
        second.channel = channel_;
        QVERIFY(!Program::start(second));  // it ends at once
        QVERIFY(shows("b.dcm"));
        QCOMPARE(seen().boxes, QStringList{"AboutBox"});

        // Many re-shows of the Open dialog never nest.
        for (int i = 0; i < 30; ++i) main->dropPaths({file(i % 2 ? "a.dcm" : "b.dcm")});
        QVERIFY(shows("a.dcm"));
        QCOMPARE(main->findChildren<OpenDialog*>().size(), 1);
    }

    void escapeDuringALoadAbortsItAndOtherInputWaits() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        // A large file: read in many chunks, Escape is polled between them.
        writeImage(file("big.dcm"), 1024, 1024, 1, "9", "BIG^B");
        const int rowBefore = fileList()->currentRow();
        QCoreApplication::postEvent(fileList(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCoreApplication::postEvent(fileList(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        viewer().currentFileName = "big.dcm";
        QCOMPARE(loadFile(viewer()), uint16_t(loadFailed));
        QCOMPARE(panelLine(panelPatientLine), QString("<loading aborted by user>"));
        QVERIFY(!app().imageWindow->isVisible());
        QCOMPARE(fileList()->currentRow(), rowBefore);  // the Down key did not act
        QFile::remove(file("big.dcm"));
    }

    void saveImageAsWritesTheShownFrameByTheNamesExtension() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        QTemporaryDir out;
        QDir(out.path()).mkdir("scans.tif");
        const QString bmp = out.filePath("scans.tif/frame.bmp");
        QString chosen = bmp;
        app().seams.saveDialog = [&] { return chosen; };
        const QImage before = painted();
        command(commandSaveImageAs);
        QFile written(bmp);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.read(2), QByteArray("BM"));
        QCOMPARE(painted(), before);  // rendered again after the writer
        chosen = out.filePath("plain");  // no extension: .bmp
        command(commandSaveImageAs);
        QVERIFY(QFile::exists(out.filePath("plain.bmp")));
        chosen = out.filePath("x.jpg");
        command(commandSaveImageAs);
        QVERIFY(!QFile::exists(chosen));
        QCOMPARE(seen().messages.back().text, QString("Error: No valid extension specified!"));

        // An existing file is kept when the answer is No, replaced on Yes.
        const qint64 size = QFileInfo(bmp).size();
        QFile::resize(bmp, 10);
        seen().answers = {MessageAnswer::no};
        chosen = bmp;
        command(commandSaveImageAs);
        QVERIFY(seen().messages.back().text.startsWith("Warning: File '"));
        QVERIFY(seen().messages.back().buttons == MessageButtons::yesNo);
        QCOMPARE(QFileInfo(bmp).size(), qint64(10));
        command(commandSaveImageAs);
        QCOMPARE(QFileInfo(bmp).size(), size);
        // A cancel leaves both file commands available.
        chosen = QString();
        command(commandSaveImageAs);
        QVERIFY(menu(commandSaveImageAs)->isEnabled());
        QVERIFY(menu(commandBatchConversion)->isEnabled());

        // A lossless JPEG frame the decoder refuses: one box names the decoder, the frame paints
        // blank instead of the file before, the Image line says why, and saving writes nothing.
        const std::vector<uint8_t> good = vs::testing::encodeJpegGrey(std::vector<uint8_t>(64, 200), 8, 8);
        vs::testing::DicomBuilder lossless(vs::testing::Syntax::explicitLittle);
        lossless.transferSyntax(vs::testing::uidJpegLossless);
        lossless.us(0x0028, 0x0010, 8).us(0x0028, 0x0011, 8).us(0x0028, 0x0100, 8);
        lossless.encapsulated({vs::testing::relabelAsLossless(good)}).writeTo(out.filePath("l.dcm").toStdString());
        app().mainWindow->dropPaths({out.filePath("l.dcm")});
        QTRY_VERIFY(viewer().loadedPath == QFile::encodeName(out.filePath("l.dcm")).toStdString() &&
                    app().imageWindow->isVisible());
        QCOMPARE(seen().messages.back().caption, QString("debug"));
        QVERIFY(seen().messages.back().text.startsWith("JPEG decoder error "));
        QVERIFY(panelLine(panelImageLine).endsWith("Jpeg  <JPEG frame cannot be decoded>"));
        const auto& display = viewer().display;
        QVERIFY(std::all_of(display.begin(), display.begin() + 8 * viewer().window.displayStride,
                            [](uint8_t b) { return b == 0; }));
        chosen = out.filePath("l.bmp");
        command(commandSaveImageAs);
        QVERIFY(!QFile::exists(chosen));
        QVERIFY(seen().messages.back().text.startsWith("Error: Frame 1 of 1 in '" + out.filePath("l.dcm")));
        for (const MessageRequest& m : seen().messages)
            QVERIFY(!m.text.contains("OleLoadPicture") && !m.text.contains("pStream"));
    }

    void batchBoxConvertsDroppedFilesBesideTheirSources() {
        start(file("c.dcm"));
        QVERIFY(shows("c.dcm"));
        QTemporaryDir work;
        QFile::copy(file("a.dcm"), work.filePath("one.dcm"));
        QFile::copy(file("c.dcm"), work.filePath("ten.dcm"));
        QFile::copy(file("notes.txt"), work.filePath("notes.txt"));

        command(commandBatchConversion);
        BatchBox* box = app().batchBox;
        QVERIFY(box && box->isVisible());
        QVERIFY(!app().openDialog->isVisible());
        QVERIFY(!app().imageWindow->isVisible());
        QVERIFY(!app().animControl->isVisible());
        QVERIFY(!menu(commandSaveImageAs)->isEnabled());
        QVERIFY(!menu(commandBatchConversion)->isEnabled());
        QCOMPARE(panelLine(panelPatientLine), QString("<batch conversion mode>"));
        box->formatList()->setCurrentIndex(formatBmp);
        QCOMPARE(box->windowTitle(), QString("Convert Dicom to Windows Bitmap"));

        // A drop that arrives while the run's message box is open is ignored.
        bool dropped = false;
        seen().duringMessage = [&](const MessageRequest&) {
            if (!std::exchange(dropped, true)) app().mainWindow->dropPaths({work.filePath("one.dcm")});
        };
        app().mainWindow->dropPaths({work.filePath("one.dcm"), work.filePath("notes.txt"), work.filePath("ten.dcm")});
        seen().duringMessage = {};
        QVERIFY(QFile::exists(work.filePath("one.dcm.BMP")));
        QVERIFY(QFile::exists(work.filePath("ten.dcm.09.BMP")));
        QCOMPARE(seen().messages.size(), size_t(2));  // the unsupported file, then the one report
        QCOMPARE(seen().messages[1].text,
                 QString("Successfully converted 11 image(s) out of 3 file(s).\nConversion of 1 image(s) was unsuccessful."));

        // Done gives the place back to the Open dialog.
        const QPoint place = box->pos();
        QTest::mouseClick(box->findChild<QPushButton*>("1"), Qt::LeftButton);
        QVERIFY(!box->isVisible());
        QVERIFY(app().openDialog->isVisible());
        QCOMPARE(app().openDialog->pos(), place);
        QCOMPARE(viewer().batchMode, uint16_t(0));
        QVERIFY(menu(commandSaveImageAs)->isEnabled());

        // The box opens again with the format last used; a second start's path is dropped.
        command(commandBatchConversion);
        QCOMPARE(box->formatList()->currentText(), QString("BITMAP (8 Bits)"));
        QVERIFY(SingleInstance::handOff(channel_, QFile::encodeName(file("a.dcm"))));
        QTest::qWait(100);
        QVERIFY(!app().imageWindow->isVisible());
    }

    void minimizingHidesTheOpenDialogAndExitEndsTheProgram() {
        start(file("a.dcm"));
        QVERIFY(shows("a.dcm"));
        app().mainWindow->showMinimized();
        QTRY_VERIFY(!app().openDialog->isVisible());
        app().mainWindow->showMaximized();
        QTRY_VERIFY(app().openDialog->isVisible());
        command(commandExit);
        QCOMPARE(viewer().appState, uint32_t(appClosing));
        QVERIFY(!app().mainWindow->isVisible());
        QTest::qWait(20);
        QVERIFY(!app().openDialog);  // it does not come back
        QVERIFY(viewer().dicom.bytes.empty());
    }

    void notEnoughMemoryEndsWithTheErrorBox() {
        StartOptions options;
        options.commandText = file("a.dcm").toStdString();
        options.channel = QDir::temp().filePath(QString("vs-shell-oom-%1").arg(getpid()));
        options.makeApp = []() -> std::unique_ptr<App> { throw std::bad_alloc(); };
        options.seams = answering(seen_);
        QVERIFY(!Program::start(options));
        QCOMPARE(seen().messages.size(), size_t(1));
        QCOMPARE(seen().messages[0].text, QString("Exit - Not enough free memory."));
        QVERIFY(seen().boxes.isEmpty());  // no About box
    }
};

QTEST_MAIN(Shell)
#include "test_shell.moc"
