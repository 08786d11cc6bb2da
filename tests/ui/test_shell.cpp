// The viewer as a user meets it: started on a folder of synthetic images, driven with keys,
// menu commands, drops and a second start; and the shell's parts that need no running viewer:
// the command line, the boxes, the save format rule, the single-instance channel.
#include <QCheckBox>
#include <QLocalSocket>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>

#include "core/loader.h"
#include "tests/ui/world.h"
#include "ui/image_window.h"
#include "ui/animation_control.h"
#include "ui/batch_box.h"
#include "ui/save_image_as.h"
#include "ui/single_instance.h"

using namespace vs;
using namespace vs::ui;
using vs::testing::ImageRecipe;
using vs::testing::sized;
using vs::testing::World;

class Shell : public QObject {
    Q_OBJECT

    std::unique_ptr<World> w_;
    App& app() { return w_->app(); }
    Viewer& viewer() { return w_->viewer(); }
    QSize client() { return app().imageWindow->clientSize(); }

private slots:
    void init() {
        w_ = std::make_unique<World>();
        w_->write("a.dcm", sized(64, 64, 1, "ALPHA^A", "3"));
        w_->write("b.dcm", sized(96, 128, 1, "BRAVO^B", "1"));
        w_->write("c.dcm", sized(32, 32, 10, "CINE^C", "2"));
        w_->write("wide.dcm", sized(200, 150, 1, "WIDE^W", "4"));
        w_->writeBytes("notes.txt", std::vector<uint8_t>(400, 'n'));
    }
    void cleanup() { w_.reset(); }

    void zoomFitsTheRoomBesideThePanelsAndScrollsTheDisplayBuffer() {
        // 150 x 200 on the 800 x 800 offscreen screen: 300% would fit its height, but not the
        // room left of the panels.
        w_->start("wide.dcm");
        QCOMPARE(w_->panel()->zoomList()->currentText(), QStringLiteral("200%"));
        QCOMPARE(client(), QSize(300, 400));
        w_->command(w_->menu().automaticZoom);  // off: a list choice holds
        for (const auto& [entry, size] : {std::pair{0, QSize(37, 50)}, {1, QSize(75, 100)}, {2, QSize(150, 200)}}) {
            w_->choose(w_->panel()->zoomList(), entry);
            QCOMPARE(client(), size);
        }
        w_->command(w_->menu().automaticZoom);  // on again: fitted at once
        QCOMPARE(client(), QSize(300, 400));

        // 400%: 600 x 800 display pixels in a window held left of the panels and 100 pixels
        // above the screen's bottom.
        w_->command(w_->menu().automaticZoom);
        w_->choose(w_->panel()->zoomList(), 5);
        auto* view = app().imageWindow->view();
        QCOMPARE(view->horizontalScrollBar()->maximum(), 600 - client().width());
        QCOMPARE(app().imageWindow->height(), 700);
        QVERIFY(app().imageWindow->mapToGlobal(app().imageWindow->rect().topRight()).x() <
                app().infoPanel->frameGeometry().left());
        view->horizontalScrollBar()->setValue(100);
        view->verticalScrollBar()->setValue(40);
        // Scroll 100 at zoom 4 starts painting at buffer column 25, scroll 40 at row 10.
        const QImage image = w_->painted();
        const uint32_t stride = viewer().window.displayStride;
        QCOMPARE(qGray(image.pixel(0, 0)), int(viewer().display[size_t(10 * stride + 25)]));
        QCOMPARE(qGray(image.pixel(9, 13)), int(viewer().display[size_t(13 * stride + 27)]));

        // Made lower by hand, the window keeps its height for an image of as many rows, unless
        // the image is too small across: then it is fitted again, across and down.
        app().imageWindow->resize(app().imageWindow->width(), 500);
        for (const auto& [name, columns, height] : {std::tuple{"same.dcm", 150, 500}, {"narrow.dcm", 40, 700}}) {
            w_->write(name, sized(200, uint16_t(columns)));
            app().mainWindow->dropPaths({w_->path(name)});
            QTRY_COMPARE(w_->shown(), QString::fromLatin1(name));
            QCOMPARE(app().imageWindow->height(), height);
        }
        QCOMPARE(client().width(), 160);
    }

    void paintedPictureIsTheNearestBufferPixelAtEveryZoomScrollAndBandCount() {
        // Each client pixel shows the buffer pixel under it (white outside the buffer's rows and
        // stride, black in a last row no rendering reached), on the window thread alone and in
        // bands on pools of 2 and 5 lanes, into a picture kept from paints of other sizes.
        Viewer v;
        v.dicom.image.rows = 301;
        v.window.displayStride = 204;
        v.display.resize(size_t(300) * 204);
        for (size_t i = 0; i < v.display.size(); ++i) v.display[i] = uint8_t(i * 7 + i / 204);
        const auto nearest = [&](QSize client, int scrollX, int scrollY) {
            QImage picture(client, QImage::Format_RGB32);
            picture.fill(Qt::white);
            const int64_t sw = int64_t(client.width() / v.zoomFactor), sh = int64_t(client.height() / v.zoomFactor);
            // A client area of less than one buffer pixel shows nothing.
            for (int y = 0; sw > 0 && sh > 0 && y < client.height(); ++y)
                for (int x = 0; x < client.width(); ++x) {
                    const int64_t row = int64_t(scrollY / v.zoomFactor) + y * sh / client.height();
                    const int64_t column = int64_t(scrollX / v.zoomFactor) + x * sw / client.width();
                    if (row >= 301 || column >= 204) continue;
                    const size_t at = size_t(row * 204 + column);
                    picture.setPixel(x, y, at < v.display.size() ? qRgb(v.display[at], v.display[at], v.display[at]) : qRgb(0, 0, 0));
                }
            return picture;
        };
        BandPool two(2), five(5);
        QImage painted;
        for (double zoom : {0.25, 0.5, 1.0, 2.0, 3.0, 4.0})
            for (QSize client : {QSize(1000, 700), QSize(50, 31), QSize(9, 1)})
                for (QPoint scroll : {QPoint(0, 0), QPoint(37, 11)})
                    for (BandPool* pool : {(BandPool*)nullptr, &two, &five}) {
                        v.zoomFactor = zoom;
                        v.bands = pool;
                        paintDisplay(v, client, scroll.x(), scroll.y(), painted);
                        QVERIFY2(painted == nearest(client, scroll.x(), scroll.y()),
                                 qPrintable(QString("zoom %1, %2 x %3, lanes %4").arg(zoom).arg(client.width())
                                                .arg(client.height()).arg(pool ? pool->lanes() : 1)));
                    }
    }

    // Whatever the image's width, the automatic zoom shows all of it without scrolling.
    void automaticZoomShowsTheWholeImage() {
        w_->start();
        for (uint16_t columns = 96; columns <= 400; columns += 4) {
            const QString name = QString("w%1.dcm").arg(columns);
            w_->write(name, sized(16, columns));
            app().mainWindow->dropPaths({w_->path(name)});
            QTRY_COMPARE(w_->shown(), name);
            QVERIFY2(app().imageWindow->view()->horizontalScrollBar()->maximum() == 0, qPrintable(name));
        }
    }

    void keysMoveThroughTheFolderAndTheFrames() {
        w_->start("a.dcm");
        w_->key(app().mainWindow, Qt::Key_Down);  // keys that reach the main window go on to the list
        QCOMPARE(w_->shown(), QStringLiteral("b.dcm"));
        w_->key(app().mainWindow, Qt::Key_Right);  // a single frame: nothing changes
        QCOMPARE(w_->title(), QStringLiteral("Dicom Image"));
        w_->key(w_->imageView(), Qt::Key_Down);
        QCOMPARE(w_->shown(), QStringLiteral("c.dcm"));

        auto* slider = app().animControl->frameSlider();
        w_->key(w_->panel(), Qt::Key_Left);  // wraps to the last frame
        QCOMPARE(w_->title(), QStringLiteral("Dicom Image - Frame 10"));
        QCOMPARE(slider->value(), 9);
        w_->key(w_->panel()->nextImageButton(), Qt::Key_Right);
        QCOMPARE(w_->title(), QStringLiteral("Dicom Image - Frame 1"));
        w_->key(app().mainWindow, Qt::Key_Right);
        QCOMPARE(slider->value(), 1);
        w_->key(w_->panel()->resetContrastButton(), Qt::Key_Up);
        QCOMPARE(w_->shown(), QStringLiteral("b.dcm"));
        QVERIFY(!app().animControl->isVisible());
    }

    void menuCommandsAndTheirMarks() {
        w_->start("a.dcm");
        const QImage before = w_->painted();
        w_->command(w_->menu().negativeImage);
        QVERIFY(w_->menu().negativeImage->isChecked());
        QCOMPARE(qGray(w_->painted().pixel(10, 10)), 255 - qGray(before.pixel(10, 10)));
        w_->command(w_->menu().negativeImage);
        QCOMPARE(w_->painted(), before);

        QVERIFY(w_->menu().presets[presetStoredSettings]->isChecked());
        w_->menu().presets[presetContrastStretch]->trigger();
        QVERIFY(w_->menu().presets[presetContrastStretch]->isChecked() && !w_->menu().presets[presetStoredSettings]->isChecked());
        QCOMPARE(viewer().window.windowPreset, uint16_t(presetContrastStretch));
        w_->panel()->autoAdjustBox()->click();
        QVERIFY(!app().mainWindow->automaticWindowingMenu()->menuAction()->isChecked());

        w_->command(w_->menu().help);
        QCOMPARE(w_->messages.back().caption, QStringLiteral("Vireoscan Help"));
        QVERIFY(w_->messages.back().text.startsWith("Welcome to Vireoscan!"));
        w_->command(w_->menu().visitWebsite);
        QCOMPARE(w_->pages, QList<QUrl>{QUrl("https://vireoscan.example.org/")});
        w_->command(w_->menu().about);
        w_->command(w_->menu().donate);
        QCOMPARE(w_->boxes, (QStringList{"aboutBox", "aboutBox", "donationBox"}));
    }

    void decodeAllCompressionsIsRememberedAndReloadsTheFileShown() {
        ImageRecipe cine = sized(32, 40, 6);
        cine.pixelRepresentation = 0;
        cine.encoding = ImageRecipe::Encoding::jpegLossless;
        w_->write("lossless.dcm", cine);
        w_->start("lossless.dcm");
        auto item = [this] { return app().mainWindow->findChild<QAction*>("decodeAllCompressions"); };
        QVERIFY(item() && item()->isCheckable() && !item()->isChecked());
        QCOMPARE(w_->shown(), QString());
        QCOMPARE(w_->line(PanelLine::patient), QStringLiteral("<unsupported filetype>"));
        // On: the refused file shows at once.
        item()->trigger();
        w_->settle();
        QCOMPARE(w_->shown(), QStringLiteral("lossless.dcm"));
        QVERIFY(w_->line(PanelLine::image).endsWith(", Lossless Jpeg"));
        // Remembered for the next start, which shows the file; its frames play, each decoded
        // (the next one ahead of its turn).
        w_->program.reset();
        w_->start("lossless.dcm");
        QVERIFY(item()->isChecked());
        QCOMPARE(w_->shown(), QStringLiteral("lossless.dcm"));
        AnimationControl& control = *app().animControl;
        QTest::mouseClick(control.findChild<QWidget*>(QStringLiteral("playButton")), Qt::LeftButton);
        QVERIFY(control.playing());
        QImage previous = w_->painted();
        for (uint32_t frame = 1; frame < 8; ++frame) {
            QMetaObject::invokeMethod(control.frameTimer(), "timeout");
            QCOMPARE(viewer().currentFrame, frame % 6);
            const QImage shown = w_->painted();
            QVERIFY(shown != previous);
            previous = shown;
        }
        QVERIFY(w_->messages.empty() && control.playing());
        // Off again: refused as before.
        item()->trigger();
        w_->settle();
        QCOMPARE(w_->shown(), QString());
        QVERIFY(!QSettings(QSettings::IniFormat, QSettings::UserScope, "Vireoscan", "vireoscan")
                     .value("decoding/allCompressions")
                     .toBool());
    }

    void dropsAndSecondStartsOpenTheirFile() {
        w_->start("a.dcm");
        MainWindow* main = app().mainWindow;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(w_->path("c.dcm")), QUrl::fromLocalFile(w_->path("b.dcm"))});
        QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(main, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(main, &drop);
        World::settle();
        QCOMPARE(w_->shown(), QStringLiteral("c.dcm"));

        // The same file dropped again loads again; handed over by a second start, it does not.
        const int32_t moved = viewer().window.windowLow += 7;
        main->dropPaths({w_->path("c.dcm")});
        QTRY_VERIFY(viewer().window.windowLow != moved);
        const int32_t movedAgain = viewer().window.windowLow += 7;
        QVERIFY(SingleInstance::handOff(w_->channel, QFile::encodeName(w_->path("c.dcm"))));
        QTRY_VERIFY(w_->dialog() && w_->dialog()->isVisible() && viewer().loadOnOpen == LoadOnOpen::nothing);
        World::settle();
        QCOMPARE(viewer().window.windowLow, movedAgain);
        StartOptions second;
        second.arguments = {w_->path("missing.dcm").toStdString(), w_->path("b.dcm").toStdString()};
        second.channel = w_->channel;
        QVERIFY(!Program::start(second));  // it ends at once
        QTRY_COMPARE(w_->shown(), QStringLiteral("b.dcm"));
        QCOMPARE(w_->boxes, QStringList{"aboutBox"});

        // Many re-shows of the Open dialog never nest.
        for (int i = 0; i < 30; ++i) main->dropPaths({w_->path(i % 2 ? "a.dcm" : "b.dcm")});
        QTRY_COMPARE(w_->shown(), QStringLiteral("a.dcm"));
        QCOMPARE(main->findChildren<OpenDialog*>().size(), 1);
    }

    void escapeDuringALoadAbortsItAndOtherInputWaits() {
        w_->start("a.dcm");
        w_->write("big.dcm", sized(1024, 1024));  // read in many chunks, Escape polled between them
        const int rowBefore = w_->list()->currentRow();
        QCoreApplication::postEvent(w_->list(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCoreApplication::postEvent(w_->list(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        viewer().currentFileName = "big.dcm";
        QVERIFY(loadFile(viewer()) == LoadResult::failed);
        QCOMPARE(w_->line(PanelLine::patient), QStringLiteral("<loading aborted by user>"));
        QVERIFY(!app().imageWindow->isVisible());
        QCOMPARE(w_->list()->currentRow(), rowBefore);  // the Down key did not act
    }

    void saveImageAsWritesTheShownFrameByTheNamesExtension() {
        w_->start("a.dcm");
        QDir(w_->dir.path()).mkdir("scans.tif");
        const QString bmp = w_->path("scans.tif/frame.bmp");
        QString chosen;
        app().seams.saveDialog = [&] { return chosen; };
        const auto save = [&](const QString& name) {
            chosen = name.isEmpty() ? name : w_->path(name);
            w_->command(w_->menu().saveImageAs);
            return w_->messages.empty() ? QString() : w_->messages.back().text;
        };
        const QImage before = w_->painted();
        save("scans.tif/frame.bmp");
        QFile written(bmp);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.read(2), QByteArray("BM"));
        QCOMPARE(w_->painted(), before);  // rendered again after the writer
        save("plain");
        QVERIFY(QFile::exists(w_->path("plain.bmp")));
        QCOMPARE(save("x.jpg"), QStringLiteral("Error: No valid extension specified!"));
        QVERIFY(!QFile::exists(w_->path("x.jpg")));

        // An existing file is kept when the answer is No, replaced on Yes.
        const qint64 size = QFileInfo(bmp).size();
        QFile::resize(bmp, 10);
        w_->answers = {MessageAnswer::no};
        QVERIFY(save("scans.tif/frame.bmp").startsWith("Warning: File '"));
        QVERIFY(w_->messages.back().buttons == MessageButtons::yesNo);
        QCOMPARE(QFileInfo(bmp).size(), qint64(10));
        save("scans.tif/frame.bmp");
        QCOMPARE(QFileInfo(bmp).size(), size);
        save({});  // a cancel leaves both file commands available
        QVERIFY(w_->menu().saveImageAs->isEnabled() && w_->menu().batchConversion->isEnabled());

        // A lossless JPEG frame the decoder refuses: its box is captioned for the decoder, and
        // saving writes nothing. (The blank picture and the Image line: the viewer's tests.)
        w_->writeBytes("l.dcm", vs::testing::losslessCine({false}));
        app().mainWindow->dropPaths({w_->path("l.dcm")});
        QTRY_COMPARE(w_->shown(), QStringLiteral("l.dcm"));
        QCOMPARE(w_->messages.back().caption, QStringLiteral("debug"));
        QVERIFY(save("l.bmp").startsWith("Error: Frame 1 of 1 in '" + w_->path("l.dcm")));
        QVERIFY(!QFile::exists(w_->path("l.bmp")));
    }

    void batchBoxConvertsDroppedFilesBesideTheirSources() {
        w_->start("c.dcm");
        w_->command(w_->menu().batchConversion);
        BatchBox* box = app().batchBox;
        QVERIFY(box->isVisible() && !w_->dialog()->isVisible() && !app().imageWindow->isVisible());
        QVERIFY(!app().animControl->isVisible() && !w_->menu().saveImageAs->isEnabled());
        QVERIFY(!w_->menu().batchConversion->isEnabled());
        QCOMPARE(w_->line(PanelLine::patient), QStringLiteral("<batch conversion mode>"));
        box->formatList()->setCurrentIndex(formatBmp);
        QCOMPARE(box->windowTitle(), QStringLiteral("Convert Dicom to Windows Bitmap"));

        // A drop that arrives while the run's message box is open is ignored.
        int messages = 0;
        w_->duringMessage = [&] {
            if (!messages++) app().mainWindow->dropPaths({w_->path("a.dcm")});
        };
        app().mainWindow->dropPaths({w_->path("a.dcm"), w_->path("notes.txt"), w_->path("c.dcm")});
        QVERIFY(QFile::exists(w_->path("a.dcm.BMP")) && QFile::exists(w_->path("c.dcm.09.BMP")));
        QCOMPARE(w_->messages.size(), size_t(2));  // the unsupported file, then the one report
        QCOMPARE(w_->messages[1].text, QStringLiteral("Successfully converted 11 image(s) out of 3 file(s).\n"
                                                      "Conversion of 1 image(s) was unsuccessful."));

        // Done gives the place back to the Open dialog; the box opens again with its format.
        const QPoint place = box->pos();
        QTest::mouseClick(box->doneButton(), Qt::LeftButton);
        World::settle();
        QVERIFY(!box->isVisible() && w_->dialog()->isVisible() && w_->menu().saveImageAs->isEnabled());
        QCOMPARE(w_->dialog()->pos(), place);
        w_->command(w_->menu().batchConversion);
        QCOMPARE(box->formatList()->currentText(), QStringLiteral("BITMAP (8 Bits)"));
    }

    void minimizingHidesTheOpenDialogAndExitEndsTheProgram() {
        w_->start("a.dcm");
        app().mainWindow->showMinimized();
        QTRY_VERIFY(!w_->dialog()->isVisible());
        app().mainWindow->showMaximized();
        QTRY_VERIFY(w_->dialog()->isVisible());
        w_->command(w_->menu().exit);
        QVERIFY(!app().mainWindow->isVisible() && !w_->dialog() && viewer().dicom.bytes.empty());
    }

    void notEnoughMemoryEndsWithOneErrorBox() {
        QWidget stale;  // a fatal box left from before is replaced
        stale.setWindowTitle(fatalCaption);
        stale.show();
        StartOptions options;
        options.arguments = {w_->path("a.dcm").toStdString()};
        options.channel = w_->path("channel");
        options.makeApp = []() -> std::unique_ptr<App> { throw std::bad_alloc(); };
        options.seams = w_->seams;
        QVERIFY(!Program::start(options));
        QVERIFY(!stale.isVisible() && w_->boxes.isEmpty());  // no About box
        QCOMPARE(w_->messages.size(), size_t(1));
        QCOMPARE(w_->messages[0].text, QStringLiteral("Exit - Not enough free memory."));
        QCOMPARE(w_->messages[0].caption, QStringLiteral("Vireoscan Error"));
        QCOMPARE(w_->messages[0].icon, MessageIcon::stop);
    }

    void commandLineNamesTheFileToOpen() {
        w_->writeBytes("a b.dcm", {});
        w_->writeBytes("a", {});
        QDir(w_->dir.path()).mkdir("series");
        const std::string dir = QFile::encodeName(w_->dir.path()).toStdString() + "/";
        const struct { std::vector<std::string> arguments; std::string path; } cases[] = {
            {{dir + "a", "b.dcm"}, dir + "a b.dcm"},  // an unquoted path with a blank
            {{dir + "a.dcm", dir + "b.dcm", dir + "c.dcm"}, dir + "a.dcm"},  // a shell's file list
            {{dir + "missing.dcm", dir + "series", dir + "b.dcm"}, dir + "series"},
            {{dir + "missing.dcm"}, dir + "missing.dcm"},  // nothing named: the text as it stands
            {{'"' + dir + "a.dcm\""}, '"' + dir + "a.dcm\""},  // quotes are the shell's business
            {{std::string(3000, 'x')}, std::string(3000, 'x')},  // no cut
            {{}, ""},
        };
        for (const auto& c : cases) QCOMPARE(commandLinePath(c.arguments), c.path);
        const char* argv[] = {"vireoscan", "/my", "data/a.dcm"};
        QCOMPARE(programArguments(3, argv), (std::vector<std::string>{"/my", "data/a.dcm"}));
    }

    void boxesAnswerTheirButtonsAndKeys() {
        // Bit 2 of the counter keeps "Make a Donation" on the left; otherwise the buttons are
        // swapped and Escape, which stands for the right-hand button, opens the page too.
        const struct { uint64_t counter; const char* action; bool opens; } cases[] = {
            {4, "leftButton", true}, {4, "rightButton", false}, {4, "escape", false},
            {0, "leftButton", false}, {0, "rightButton", true}, {0, "escape", true},
        };
        for (const auto& c : cases) {
            w_->pages.clear();
            DonationBox box(nullptr, c.counter, w_->seams.pages);
            runModal(box, [&c](QDialog& shown) {
                if (QString(c.action) == "escape") QTest::keyClick(&shown, Qt::Key_Escape);
                else QTest::mouseClick(shown.findChild<QPushButton*>(c.action), Qt::LeftButton);
            });
            QVERIFY(!box.isVisible());
            QCOMPARE(w_->pages.size(), c.opens ? 1 : 0);
        }
        // Every line of the donation box shows whole, at the desktop's font and a larger one.
        const QFont desktopFont = QApplication::font();
        for (double scale : {1.0, 1.6}) {
            QFont font = desktopFont;
            font.setPointSizeF(desktopFont.pointSizeF() * scale);
            QApplication::setFont(font);
            DonationBox box(nullptr, 4, {});
            box.show();
            const auto* list = box.findChild<QListWidget*>();
            const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
            for (int i = 0; i < list->count(); ++i) {
                const QRect place = list->visualItemRect(list->item(i));
                QVERIFY(list->viewport()->rect().contains(place));
                QVERIFY(list->fontMetrics().horizontalAdvance(list->item(i)->text()) + margins <= place.width());
            }
        }
        QApplication::setFont(desktopFont);
        // The About box ignores Escape and closes on Enter.
        bool openAfterEscape = false;
        AboutBox about(nullptr);
        runModal(about, [&](QDialog& shown) {
            QTest::keyClick(&shown, Qt::Key_Escape);
            openAfterEscape = shown.isVisible();
            QTest::keyClick(shown.findChild<QPushButton*>("okButton"), Qt::Key_Return);
        });
        QVERIFY(openAfterEscape && !about.isVisible());
    }

    void saveFormatFollowsTheFileNamesOwnExtension() {
        const struct { const char* path; int format; } cases[] = {
            {"/tmp/OUT.TIF", formatTiff8}, {"/tmp/out.tiff", formatTiff8}, {"/tmp/scans.tif/x.bmp", formatBmp},
            {"/tmp/a.bmp/x.Tif", formatTiff8}, {"/tmp/out.tif.jpg", -1}, {"/tmp/a.tif/x", -1},
        };
        for (const auto& c : cases) {
            const std::optional<uint16_t> chosen = saveFormatOf(c.path);
            QVERIFY2((chosen ? int(*chosen) : -1) == c.format, c.path);
        }
    }

    void handOffReachesTheRunningInstanceOnItsOwnDisplay() {
        // A start on another X server, Wayland socket or remote session gets a viewer of its
        // own; one on the same display reaches the running one.
        QFile::setPermissions(w_->dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(w_->dir.path()));
        const auto channelOn = [](const QByteArray& wayland, const QByteArray& x11) {
            qputenv("WAYLAND_DISPLAY", wayland);
            qputenv("DISPLAY", x11);
            return SingleInstance::defaultChannel();
        };
        const QByteArray longWayland = "/run/user/1000/" + QByteArray(120, 'w');
        const struct { QByteArray runningWayland, runningX11, startWayland, startX11; bool reaches; } cases[] = {
            {"", ":0", "", ":0", true},
            {"", ":0", "", ":1", false},
            {"", ":0", "", "%3A0", false},  // names are encoded, never folded together
            {"", "localhost:10.0", "", "localhost:11.0", false},
            {"wayland-0", ":0", "wayland-0", ":1", true},  // Wayland's socket names the session
            {"wayland-0", ":0", "wayland-1", ":0", false},
            {longWayland, "", longWayland, "", true},
            {"", "", "", "", true},  // no display at all: the platform's name keys the channel
        };
        for (const auto& c : cases) {
            SingleInstance running;
            QVERIFY(running.listen(channelOn(c.runningWayland, c.runningX11)));
            const QString start = channelOn(c.startWayland, c.startX11);
            QVERIFY(start.startsWith(w_->dir.path()));
            QCOMPARE(SingleInstance::handOff(start, "/a.dcm"), c.reaches);
        }
        const QString name = channelOn("", "");
        QVERIFY(name.endsWith("offscreen"));
        for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY", "XDG_RUNTIME_DIR"}) qunsetenv(variable);

        // Only the owner may use the socket; a second instance may not listen meanwhile.
        SingleInstance first;
        QVERIFY(first.listen(name));
        QSignalSpy received(&first, &SingleInstance::pathReceived);
        QCOMPARE(QFileInfo(name).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
                 QFile::Permissions());
        SingleInstance second;
        QVERIFY(!second.listen(name));
        // One connection carries one path at most; a length beyond any path is refused.
        const auto message = [](const QByteArray& path) { return QByteArray(3, 0) + char(path.size()) + path; };
        for (const QByteArray& bytes : {message("/data/x y.dcm") + message("/second.dcm"),
                                        QByteArray("\x7f\xff\xff\xff", 4) + "x"}) {
            QLocalSocket sender;
            sender.connectToServer(name);
            QVERIFY(sender.waitForConnected(1000));
            sender.write(bytes);
            sender.flush();
            QTRY_VERIFY(sender.state() == QLocalSocket::UnconnectedState);
        }
        QVERIFY(SingleInstance::handOff(name, "/" + QByteArray(3000, 'x')));  // no cut
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received[0][0].toByteArray(), QByteArray("/data/x y.dcm"));
        QCOMPARE(received[1][0].toByteArray(), "/" + QByteArray(3000, 'x'));
    }
};

QTEST_MAIN(Shell)
#include "test_shell.moc"
