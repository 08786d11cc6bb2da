// The Open dialog as a user meets it: browsing a folder with the keys, the wheel and drags,
// the file type and folder choices, the name field, and its re-starts.
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QtTest>

#include "tests/ui/panels_fixture.h"

using namespace vs;
using namespace vs::ui;
using vs::testing::PanelsWorld;

class OpenDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PanelsWorld> w;

    void threeImagesFrom(const QString& first) {
        w->image("a.dcm", "Alpha^One");
        w->image("b.dcm", "Bravo^Two");
        w->image("c.dcm", "Charlie^Three");
        w->start(first);
    }
    void wheel(QWidget* target, int delta) {
        const QPointF at(5, 5);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
        PanelsWorld::settle();
    }
    void clickRow(int row) {
        QTest::mouseClick(w->list()->viewport(), Qt::LeftButton, {}, w->list()->visualItemRect(w->list()->item(row)).center());
        PanelsWorld::settle();
    }

private slots:
    void init() { w = std::make_unique<PanelsWorld>(); }
    void cleanup() { w.reset(); }

    void startShowsTheNamedFileSelectedInItsFolder() {
        threeImagesFrom("b.dcm");
        OpenDialog* d = w->dialog();
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QCOMPARE(w->selected(), QStringLiteral("b.dcm"));
        QCOMPARE(w->entries(), (QStringList{"a.dcm", "b.dcm", "c.dcm"}));
        QCOMPARE(d->directory(), QDir(w->dir.path()).absolutePath() + "/");
        QVERIFY(d->focusWidget() == w->list());
        QCOMPARE(d->frameGeometry(), QRect(QPoint(w->app().screenWidth - 340, 277), QSize(324, 240)));
        // No OK or Cancel: Escape and a close request leave it on screen.
        QTest::keyClick(d, Qt::Key_Escape);
        d->close();
        PanelsWorld::settle();
        QVERIFY(d->isVisible());
        QCOMPARE(w->dialog(), d);
    }

    void arrowKeysBrowseAndGreyTheEndButtons() {
        threeImagesFrom("a.dcm");
        QCOMPARE(w->picture(panelPreviousImage), int(picturePreviousGrey));
        QCOMPARE(w->picture(panelNextImage), int(pictureNext));
        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QVERIFY(w->patientLine().contains("Bravo"));
        QCOMPARE(w->dialog()->fileNameBox()->text(), QStringLiteral("b.dcm"));
        QCOMPARE(w->picture(panelPreviousImage), int(picturePrevious));
        w->key(w->list(), Qt::Key_Down);
        w->key(w->list(), Qt::Key_Down);  // on the last file: nothing moves
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        QCOMPARE(w->picture(panelNextImage), int(pictureNextGrey));
        w->key(w->list(), Qt::Key_Up);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
    }

    void wheelNotchesAndDragsBrowse() {
        threeImagesFrom("a.dcm");
        w->list()->setFocus();
        wheel(w->list()->viewport(), -120);  // towards the user: next file
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        wheel(w->list()->viewport(), 120);
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));
        wheel(w->panel(), -120);  // a notch elsewhere reaches the focused list
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        wheel(w->list()->viewport(), 0);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QApplication::setActiveWindow(w->app().mainWindow);
        w->app().mainWindow->setFocus();
        QCOMPARE(QApplication::focusWidget(), w->app().mainWindow);
        wheel(w->panel(), 120);  // the main window's arrows, and so the notch, step the list
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));

        // The preview follows a drag with the left button held through the list.
        QWidget* viewport = w->list()->viewport();
        const QPoint at = w->list()->visualItemRect(w->list()->item(2)).center();
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        PanelsWorld::settle();
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
    }

    void theFileShownIsLoadedAgainOnlyAfterAnAbort() {
        threeImagesFrom("a.dcm");
        w->image("a.dcm", "Changed^Meanwhile");
        clickRow(0);
        QVERIFY(w->patientLine().contains("Alpha"));
        w->viewer().loadProgressState = vs::loadAborted;
        clickRow(0);
        QCOMPARE(w->viewer().loadProgressState, uint32_t(vs::loadIdle));
        QVERIFY(w->patientLine().contains("Changed"));
    }

    void typingANameSelectsItWithoutLoading() {
        threeImagesFrom("a.dcm");
        QLineEdit* name = w->dialog()->fileNameBox();
        name->clear();
        QTest::keyClicks(name, "C.DCM.");  // any case, one trailing dot dropped
        PanelsWorld::settle();
        QCOMPARE(w->selected(), QStringLiteral("c.dcm"));
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));
        w->key(w->list(), Qt::Key_Up);  // the next list event loads
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
    }

    void fileTypesFilterTheList() {
        w->image("UPPER.DCM", "Upper^Case");
        w->image("noext", "No^Extension");
        w->image("scan.ima", "Ima^File");
        w->image("notes.txt", "Text^File");
        w->image("x.dcm.bak", "Backup^File");
        threeImagesFrom("a.dcm");
        QComboBox* types = w->dialog()->fileTypeList();
        auto choose = [&](int index) {
            types->setCurrentIndex(index);
            emit types->activated(index);
            PanelsWorld::settle();
        };
        QCOMPARE(w->entries().size(), 8);
        choose(2);  // Dicom Images
        QCOMPARE(w->entries(), (QStringList{"a.dcm", "b.dcm", "c.dcm", "UPPER.DCM"}));
        choose(4);  // IMA Files: no file selected, the name is emptied and nothing is shown
        QCOMPARE(w->entries(), (QStringList{"scan.ima"}));
        QCOMPARE(w->patientLine(), QStringLiteral("<no file selected>"));
        QVERIFY(!w->app().host->imageWindowVisible());
        choose(5);  // No extension
        QCOMPARE(w->entries(), (QStringList{"noext"}));
        QVERIFY(OpenDialog::matchesFilter("noext", "*.*;*."));
        QVERIFY(OpenDialog::matchesFilter("x.nema", "*.acr;*.nema"));
    }

    void anotherFolderIsListedAndSortedAgain() {
        QVERIFY(QDir(w->dir.path()).mkdir("series"));
        w->image("series/s1.dcm", "S^One", "30");
        w->image("series/s2.dcm", "S^Two", "20");
        w->image("series/s3.dcm", "S^Three", "10");
        threeImagesFrom("a.dcm");
        QTest::mouseClick(w->panel()->sortImagesBox(), Qt::LeftButton);
        PanelsWorld::settle();
        QListWidget* folders = w->dialog()->folderList();
        QListWidgetItem* series = folders->findItems("series", Qt::MatchEndsWith).value(0);
        QVERIFY(series);
        emit folders->itemActivated(series);
        PanelsWorld::settle();
        QCOMPARE(w->dialog()->directory(), QDir(w->dir.filePath("series")).absolutePath() + "/");
        QCOMPARE(w->entries(), (QStringList{"s3.dcm", "s2.dcm", "s1.dcm"}));
        QCOMPARE(QString::fromStdString(w->viewer().currentDirectory), w->dialog()->directory());
        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("s3.dcm"));
    }

    void restartsComeBackFromTheEventLoopAtTheLastPlace() {
        threeImagesFrom("a.dcm");
        w->dialog()->move(w->dialog()->pos() + QPoint(-40, 30));
        const QPoint moved = w->dialog()->frameGeometry().topLeft();
        for (int i = 0; i < 40; ++i) {
            Viewer& v = w->viewer();
            v.currentFileName = i % 2 ? "b.dcm" : "c.dcm";
            v.loadOnOpen = 1;
            w->app().mainWindow->restartOpenDialog();
            QVERIFY(!w->dialog());  // nothing is re-created from inside the destruction
            PanelsWorld::settle();
            QVERIFY(w->dialog());
            QCOMPARE(w->shown(), QString::fromStdString(v.currentFileName));
            QCOMPARE(w->selected(), QString::fromStdString(v.currentFileName));
            QCOMPARE(v.loadOnOpen, uint16_t(0));
        }
        QCOMPARE(w->dialog()->frameGeometry().topLeft(), moved);
        // The new dialog opens in the folder of the file; the working directory never moves.
        QCOMPARE(QDir(w->dialog()->directory()).absolutePath(), QDir(w->dir.path()).absolutePath());
        QVERIFY(QDir::currentPath() != QDir(w->dir.path()).absolutePath());
        // The wheel still works once: the filter of old dialogs went with them.
        w->list()->setFocus();
        wheel(w->list()->viewport(), 120);
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));
    }
};

QTEST_MAIN(OpenDialogTest)
#include "test_panels_open_dialog.moc"
