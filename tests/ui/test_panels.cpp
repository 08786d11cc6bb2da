// The Open dialog and the information panel as a user meets them: browsing a folder with the
// keys, the buttons, the wheel and drags, the file type and folder choices, the name field,
// the re-starts, the contrast buttons and "Sort Images" over a folder of slices.
#include <QCheckBox>
#include <QMouseEvent>
#include <QWheelEvent>

#include "tests/ui/world.h"
#include "ui/qt_host.h"

using namespace vs;
using namespace vs::ui;
using vs::testing::Syntax;
using vs::testing::sized;
using vs::testing::World;

class Panels : public QObject {
    Q_OBJECT

    std::unique_ptr<World> w;

    void threeImagesFrom(const QString& first, uint64_t counter = 0) {
        w->write("a.dcm", sized(16, 16, 1, "Alpha^One"));
        w->write("b.dcm", sized(16, 16, 1, "Bravo^Two"));
        w->write("c.dcm", sized(16, 16, 1, "Charlie^Three"));
        w->start(first, counter);
    }
    void wheel(QWidget* target, int delta) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
        World::settle();
    }
    void click(QWidget* target, QPoint at = {}) {
        QTest::mouseClick(target, Qt::LeftButton, {}, at.isNull() ? target->rect().center() : at);
        World::settle();
    }
    void clickRow(int row) { click(w->list()->viewport(), w->list()->visualItemRect(w->list()->item(row)).center()); }

private slots:
    void init() { w = std::make_unique<World>(); }
    void cleanup() { w.reset(); }

    void startShowsTheBoxesThenTheNamedFileSelectedInItsFolder() {
        threeImagesFrom("b.dcm", 1);  // a donation start
        QCOMPARE(w->boxes, (QStringList{"aboutBox", "donationBox"}));
        QCOMPARE(w->app().mainWindow->windowTitle(), QStringLiteral("Vireoscan v 1.2"));
        QVERIFY(w->app().mainWindow->isMaximized());
        OpenDialog* d = w->dialog();
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QCOMPARE(w->selected(), QStringLiteral("b.dcm"));
        QCOMPARE(w->entries(), (QStringList{"a.dcm", "b.dcm", "c.dcm"}));
        QCOMPARE(d->directory(), QDir(w->dir.path()).absolutePath() + "/");
        QVERIFY(d->focusWidget() == w->list());
        QVERIFY(w->panel()->line(PanelLine::patient)->isReadOnly());
        // No OK or Cancel: Escape and a close request leave the dialog on screen; the panel hides.
        QTest::keyClick(d, Qt::Key_Escape);
        d->close();
        QVERIFY(!w->panel()->close());
        World::settle();
        QVERIFY(d->isVisible() && !w->panel()->isVisible());
        QCOMPARE(w->dialog(), d);
        w->program.reset();
        w->start();  // without a command line nothing is shown
        QVERIFY(!w->app().imageWindow->isVisible() && !w->menu().saveImageAs->isEnabled());
        QCOMPARE(w->panel()->zoomList()->currentText(), QStringLiteral("100%"));
    }

    void arrowKeysAndButtonsBrowseAndGreyTheEnds() {
        threeImagesFrom("a.dcm");
        QCOMPARE(w->picture(w->panel()->previousImageButton()), ButtonPicture::previousGrey);
        QCOMPARE(w->picture(w->panel()->nextImageButton()), ButtonPicture::next);
        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QVERIFY(w->line(PanelLine::patient).contains("Bravo"));
        QCOMPARE(w->dialog()->fileNameBox()->text(), QStringLiteral("b.dcm"));
        QCOMPARE(w->picture(w->panel()->previousImageButton()), ButtonPicture::previous);
        click(w->panel()->nextImageButton());
        click(w->panel()->nextImageButton());  // on the last file: nothing moves
        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        QCOMPARE(w->picture(w->panel()->nextImageButton()), ButtonPicture::nextGrey);
        vs::WindowState& window = w->viewer().window;  // a window moved comes back on Reset Contrast
        const std::pair<int32_t, int32_t> stored = {window.windowLow, window.windowHigh};
        window.windowLow += 3;
        window.windowHigh -= 3;
        click(w->panel()->resetContrastButton());
        QCOMPARE(std::pair(window.windowLow, window.windowHigh), stored);
    }

    void wheelNotchesAndDragsBrowse() {
        threeImagesFrom("a.dcm");
        w->list()->setFocus();
        const struct { QWidget* target; int delta; const char* shown; } notches[] = {
            {w->list()->viewport(), -120, "b.dcm"},  // towards the user: next file
            {w->list()->viewport(), 120, "a.dcm"},
            {w->panel(), -120, "b.dcm"},  // a notch elsewhere reaches the focused list
            {w->list()->viewport(), 0, "b.dcm"},
        };
        for (const auto& n : notches) {
            wheel(n.target, n.delta);
            QCOMPARE(w->shown(), QString::fromLatin1(n.shown));
        }
        QApplication::setActiveWindow(w->app().mainWindow);
        w->app().mainWindow->setFocus();
        wheel(w->panel(), 120);  // the main window's arrows, and so the notch, step the list
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));

        // The preview follows a drag with the left button held through the list.
        QWidget* viewport = w->list()->viewport();
        const QPoint at = w->list()->visualItemRect(w->list()->item(2)).center();
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        World::settle();
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
    }

    void nameFieldSelectsAndTheShownFileReloadsOnlyAfterAnAbort() {
        threeImagesFrom("a.dcm");
        w->write("a.dcm", sized(16, 16, 1, "Changed^Meanwhile"));
        clickRow(0);
        QVERIFY(w->line(PanelLine::patient).contains("Alpha"));
        w->viewer().loadProgressState = vs::loadAborted;
        clickRow(0);
        QVERIFY(w->line(PanelLine::patient).contains("Changed"));

        // A typed name selects its file in any case, with one trailing dot dropped.
        for (const auto& [typed, selected] : {std::pair{"b.dcm..", "a.dcm"}, {"C.DCM.", "c.dcm"}}) {
            w->dialog()->fileNameBox()->setText(typed);
            World::settle();
            QCOMPARE(w->selected(), QString::fromLatin1(selected));
        }
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));  // selected without loading
        w->key(w->list(), Qt::Key_Up);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
    }

    void fileTypesAndFoldersChangeTheList() {
        for (const char* name : {"UPPER.DCM", "noext", "scan.ima", "notes.txt", "x.dcm.bak"})
            w->write(name, sized(16, 16, 1, "Other^File"));
        QVERIFY(QDir(w->dir.path()).mkdir("series"));
        for (int i = 1; i <= 3; ++i)  // instance numbers 30, 20, 10
            w->write(QString("series/s%1.dcm").arg(i), sized(16, 16, 1, "S^S", std::to_string(40 - 10 * i)));
        threeImagesFrom("a.dcm");
        QComboBox* types = w->dialog()->fileTypeList();
        QCOMPARE(w->entries().size(), 8);
        w->choose(types, 2);  // Dicom Images
        QCOMPARE(w->entries(), (QStringList{"a.dcm", "b.dcm", "c.dcm", "UPPER.DCM"}));
        w->choose(types, 4);  // IMA Files: no file selected, nothing shown
        QCOMPARE(w->entries(), (QStringList{"scan.ima"}));
        QCOMPARE(w->line(PanelLine::patient), QStringLiteral("<no file selected>"));
        QVERIFY(!w->app().host->imageWindowVisible());
        w->choose(types, 5);  // No extension
        QCOMPARE(w->entries(), (QStringList{"noext"}));
        QVERIFY(OpenDialog::matchesFilter("x.nema", "*.acr;*.nema"));

        // Another folder, with sorting on, is listed in slice order.
        w->choose(types, 2);
        click(w->panel()->sortImagesBox());
        QListWidget* folders = w->dialog()->folderList();
        emit folders->itemActivated(folders->findItems("series", Qt::MatchEndsWith).value(0));
        World::settle();
        QCOMPARE(w->dialog()->directory(), QDir(w->path("series")).absolutePath() + "/");
        QCOMPARE(QString::fromStdString(w->viewer().currentDirectory), w->dialog()->directory());
        QCOMPARE(w->entries(), (QStringList{"s3.dcm", "s2.dcm", "s1.dcm"}));
    }

    void restartsComeBackFromTheEventLoopAtTheLastPlace() {
        threeImagesFrom("a.dcm");
        w->dialog()->move(w->dialog()->pos() + QPoint(-40, 30));
        const QPoint moved = w->dialog()->frameGeometry().topLeft();
        w->viewer().currentFileName = "c.dcm";
        w->viewer().loadOnOpen = LoadOnOpen::unlessLoaded;
        w->app().mainWindow->restartOpenDialog();
        QVERIFY(!w->dialog());  // nothing is re-created from inside the destruction
        World::settle();
        QCOMPARE(w->selected(), QStringLiteral("c.dcm"));
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        QVERIFY(w->viewer().loadOnOpen == LoadOnOpen::nothing);
        QCOMPARE(w->dialog()->frameGeometry().topLeft(), moved);
        // The new dialog opens in the folder of the file; the working directory never moves.
        QCOMPARE(QDir(w->dialog()->directory()).absolutePath(), QDir(w->dir.path()).absolutePath());
        QVERIFY(QDir::currentPath() != QDir(w->dir.path()).absolutePath());
        w->list()->setFocus();
        wheel(w->list()->viewport(), 120);  // once: the filter of the old dialog went with it
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
    }

    void sortImagesOrdersByInstanceNumberAndBack() {
        // Names and instance numbers disagree; some files carry no number.
        for (const auto& [name, number] : std::vector<std::pair<QString, std::string>>{
                 {"a.dcm", "10"}, {"b.dcm", "9"}, {"c.dcm", "100"}, {"d.dcm", "0"}, {"e.dcm", ""}, {"G.dcm", "9"}})
            w->write(name, sized(16, 16, 1, "Slice^" + name.toStdString(), number));
        w->writeBytes("f.dcm", {});
        w->start("a.dcm");
        w->write("a.dcm", sized(16, 16, 1, "Changed^OnDisk", "10"));  // shows whether a.dcm is read into view again
        const QStringList byName = {"a.dcm", "b.dcm", "c.dcm", "d.dcm", "e.dcm", "f.dcm", "G.dcm"};
        QCOMPARE(w->entries(), byName);
        click(w->panel()->sortImagesBox());
        // 9, 9 by name, 10, 100; then number 0, no number, an empty file.
        QCOMPARE(w->entries(), (QStringList{"b.dcm", "G.dcm", "a.dcm", "c.dcm", "d.dcm", "e.dcm", "f.dcm"}));
        QVERIFY(!w->app().host->statusBox());
        QCOMPARE(w->selected(), QStringLiteral("a.dcm"));  // the file shown stays, not loaded again
        QVERIFY(w->line(PanelLine::patient).contains("Slice^a.dcm"));
        w->key(w->list(), Qt::Key_Down);  // browsing now goes in slice order
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        click(w->panel()->sortImagesBox());
        QCOMPARE(w->entries(), byName);
        QCOMPARE(w->selected(), QStringLiteral("c.dcm"));
    }

    void sortFindsEveryByteOrderAndSurvivesAnotherFileType() {
        // Each byte order holds half of the numbers, read while a big-endian image is shown;
        // names with spaces are kept whole.
        w->write("s 1.dcm", sized(16, 16, 1, "Big^Two", "2", Syntax::explicitBig));
        w->write("s 2.dcm", sized(16, 16, 1, "Little^Four", "4", Syntax::explicitLittle));
        w->write("s 3.dcm", sized(16, 16, 1, "Big^One", "1", Syntax::explicitBig));
        w->write("s 4.dcm", sized(16, 16, 1, "Implicit^Three", "3", Syntax::implicitLittle));
        w->write("x.ima", sized(16, 16, 1, "Ima^Ten", "10"));
        w->write("y.ima", sized(16, 16, 1, "Ima^Five", "5"));
        w->start("s 1.dcm");
        QVERIFY(w->viewer().dicom.image.bigEndian);
        click(w->panel()->sortImagesBox());
        QCOMPARE(w->entries(), (QStringList{"s 3.dcm", "s 1.dcm", "s 4.dcm", "s 2.dcm", "y.ima", "x.ima"}));
        QCOMPARE(w->selected(), QStringLiteral("s 1.dcm"));
        w->choose(w->dialog()->fileTypeList(), 4);  // IMA Files: the list is refilled and sorted again
        QCOMPARE(w->entries(), (QStringList{"y.ima", "x.ima"}));
        w->panel()->sortImages(false);  // a second click with no change in between does nothing more
        QCOMPARE(w->entries(), (QStringList{"y.ima", "x.ima"}));
    }
};

QTEST_MAIN(Panels)
#include "test_panels.moc"
