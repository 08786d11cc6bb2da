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

    void threeImages() {
        w->image("a.dcm", "Alpha^One");
        w->image("b.dcm", "Bravo^Two");
        w->image("c.dcm", "Charlie^Three");
    }
    void wheel(QWidget* target, int delta) {
        const QPointF at(5, 5);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
        PanelsWorld::settle();
    }
    void leftDragTo(int row) {
        QWidget* viewport = w->list()->viewport();
        const QPoint at = w->list()->visualItemRect(w->list()->item(row)).center();
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        PanelsWorld::settle();
    }

private slots:
    void init() { w = std::make_unique<PanelsWorld>(); }
    void cleanup() { w.reset(); }

    void startShowsTheNamedFileSelectedInItsFolder() {
        threeImages();
        w->start("b.dcm");
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QCOMPARE(w->selected(), QStringLiteral("b.dcm"));
        QVERIFY(w->patientLine().contains("Bravo"));
        QCOMPARE(w->entries(), (QStringList{"a.dcm", "b.dcm", "c.dcm"}));
        QCOMPARE(w->dialog()->windowTitle(), QStringLiteral("Open Dicom Image"));
        QCOMPARE(w->dialog()->directory(), QDir(w->dir.path()).absolutePath() + "/");
        QVERIFY(w->dialog()->focusWidget() == w->list());
        // The middle file has files on both sides.
        QCOMPARE(w->picture(panelPreviousImage), int(picturePrevious));
        QCOMPARE(w->picture(panelNextImage), int(pictureNext));
        // The file size line tells the size in whole KiB.
        QVERIFY(w->panel()->lineText(panelFileSizeLine).startsWith("Filesize: "));
    }

    void controlsCarryTheirIdsLabelsAndNames() {
        threeImages();
        w->start("a.dcm");
        OpenDialog* d = w->dialog();
        const struct { int id; const char* name; } controls[] = {
            {dialogFileList, "Files"},  {dialogFolderList, "Folders"}, {dialogFileType, "File type"},
            {dialogDrives, "Drives"},   {dialogFileName, "File name"},
        };
        for (const auto& c : controls) {
            QWidget* control = d->findChild<QWidget*>(QString::number(c.id));
            QVERIFY2(control, c.name);
            QCOMPARE(control->accessibleName(), QString::fromLatin1(c.name));
            QVERIFY(control->isVisibleTo(d));
        }
        QVERIFY(!d->findChild<QWidget*>("1088")->isVisibleTo(d));
        QCOMPARE(d->findChild<QLabel*>("1089")->text(), QStringLiteral("Filetype:"));
        QCOMPARE(d->findChild<QLabel*>("1090")->text(), QStringLiteral("Filename:"));
        QCOMPARE(d->findChild<QLabel*>("1091")->text(), QStringLiteral("Drives:"));
        QCOMPARE(d->fileTypeList()->count(), 6);
        QCOMPARE(d->fileTypeList()->currentText(), QStringLiteral("All Files (*.*)"));
        QVERIFY(d->driveList()->count() >= 1);
        QVERIFY(w->dialog()->directory().startsWith(d->driveList()->currentData().toString()));
        // No OK or Cancel: Escape and Enter leave it on screen.
        QVERIFY(d->findChildren<QPushButton*>().isEmpty());
        QTest::keyClick(d, Qt::Key_Escape);
        d->close();
        PanelsWorld::settle();
        QVERIFY(d->isVisible());
        QCOMPARE(w->dialog(), d);
    }

    void arrowKeysBrowseAndGreyTheEndButtons() {
        threeImages();
        w->start("a.dcm");
        QCOMPARE(w->picture(panelPreviousImage), int(picturePreviousGrey));
        QCOMPARE(w->picture(panelNextImage), int(pictureNext));

        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QVERIFY(w->patientLine().contains("Bravo"));
        QCOMPARE(w->dialog()->fileNameBox()->text(), QStringLiteral("b.dcm"));

        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        QCOMPARE(w->picture(panelPreviousImage), int(picturePrevious));
        QCOMPARE(w->picture(panelNextImage), int(pictureNextGrey));

        // Down on the last file moves nothing.
        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));

        w->key(w->list(), Qt::Key_Up);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
    }

    void oneFileGreysBothButtons() {
        w->image("only.dcm", "Solo^One");
        w->start("only.dcm");
        QCOMPARE(w->shown(), QStringLiteral("only.dcm"));
        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->picture(panelPreviousImage), int(picturePreviousGrey));
        QCOMPARE(w->picture(panelNextImage), int(pictureNextGrey));
    }

    void wheelNotchesAreArrowKeys() {
        threeImages();
        w->start("a.dcm");
        w->list()->setFocus();
        wheel(w->list()->viewport(), -120);  // towards the user: next file
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        wheel(w->list()->viewport(), -120);
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        wheel(w->list()->viewport(), 120);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        // A notch anywhere else reaches the focused list as one key press.
        wheel(w->panel(), -120);
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        // A wheel event without movement is left alone.
        wheel(w->list()->viewport(), 0);
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
    }

    void previewFollowsADragThroughTheList() {
        threeImages();
        w->start("a.dcm");
        leftDragTo(2);
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        leftDragTo(1);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
    }

    void theFileShownIsNotLoadedAgain() {
        threeImages();
        w->start("a.dcm");
        // The file changes on disk; choosing it again must not read it again.
        w->image("a.dcm", "Changed^Meanwhile");
        QTest::mouseClick(w->list()->viewport(), Qt::LeftButton, {},
                          w->list()->visualItemRect(w->list()->item(0)).center());
        PanelsWorld::settle();
        QVERIFY(w->patientLine().contains("Alpha"));
    }

    void clickAfterAnAbortedLoadRearmsTheSameFile() {
        threeImages();
        w->start("a.dcm");
        w->image("a.dcm", "Loaded^Again");
        w->viewer().loadProgressState = vs::loadAborted;
        QTest::mouseClick(w->list()->viewport(), Qt::LeftButton, {},
                          w->list()->visualItemRect(w->list()->item(0)).center());
        PanelsWorld::settle();
        QCOMPARE(w->viewer().loadProgressState, uint32_t(vs::loadIdle));
        QVERIFY(w->patientLine().contains("Loaded"));
    }

    void typingANameSelectsItWithoutLoading() {
        threeImages();
        w->start("a.dcm");
        QLineEdit* name = w->dialog()->fileNameBox();
        name->clear();
        QTest::keyClicks(name, "C.DCM.");  // any case, one trailing dot dropped
        PanelsWorld::settle();
        QCOMPARE(w->selected(), QStringLiteral("c.dcm"));
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));
        // The next list event loads it.
        w->key(w->list(), Qt::Key_Up);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
    }

    void fileTypesFilterTheList() {
        threeImages();
        w->image("UPPER.DCM", "Upper^Case");
        w->image("noext", "No^Extension");
        w->image("scan.ima", "Ima^File");
        w->image("notes.txt", "Text^File");
        w->start("a.dcm");
        QComboBox* types = w->dialog()->fileTypeList();
        auto choose = [&](int index) {
            types->setCurrentIndex(index);
            emit types->activated(index);
            PanelsWorld::settle();
        };
        QCOMPARE(w->entries(), (QStringList{"a.dcm", "b.dcm", "c.dcm", "noext", "notes.txt", "scan.ima", "UPPER.DCM"}));
        choose(2);  // Dicom Images
        QCOMPARE(w->entries(), (QStringList{"a.dcm", "b.dcm", "c.dcm", "UPPER.DCM"}));
        choose(4);  // IMA Files
        QCOMPARE(w->entries(), (QStringList{"scan.ima"}));
        // With no file selected the name is emptied and nothing is shown.
        QCOMPARE(w->patientLine(), QStringLiteral("<no file selected>"));
        QVERIFY(w->viewer().currentFileName.empty());
        QVERIFY(!w->app().host->imageWindowVisible());
        choose(5);  // No extension
        QCOMPARE(w->entries(), (QStringList{"noext"}));
    }

    void filterPatterns() {
        const struct { const char* name; const char* patterns; bool match; } cases[] = {
            {"x.dcm", "*.*;*.", true},       {"noext", "*.*;*.", true},
            {"noext", "*.", true},           {"x.dcm", "*.", false},
            {"X.DcM", "*.dcm", true},        {"x.dcm.bak", "*.dcm", false},
            {"x.dicom", "*.dcm;*.dicom", true}, {"x.nema", "*.acr;*.nema", true},
            {"x.ima", "*.acr;*.nema", false},
        };
        for (const auto& c : cases)
            QVERIFY2(OpenDialog::matchesFilter(c.name, c.patterns) == c.match,
                     qPrintable(QString("%1 %2").arg(c.name, c.patterns)));
    }

    void anotherFolderIsListedAndSortedAgain() {
        threeImages();
        QVERIFY(QDir(w->dir.path()).mkdir("series"));
        w->image("series/s1.dcm", "S^One", "30");
        w->image("series/s2.dcm", "S^Two", "20");
        w->image("series/s3.dcm", "S^Three", "10");
        w->start("a.dcm");
        QTest::mouseClick(w->panel()->sortImagesBox(), Qt::LeftButton);
        PanelsWorld::settle();
        QVERIFY(w->panel()->sortByNumber());

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
        threeImages();
        w->start("a.dcm");
        MainWindow* main = w->app().mainWindow;
        w->dialog()->move(w->dialog()->pos() + QPoint(-40, 30));
        const QPoint moved = w->dialog()->frameGeometry().topLeft();
        for (int i = 0; i < 40; ++i) {
            Viewer& v = w->viewer();
            v.currentFileName = i % 2 ? "b.dcm" : "c.dcm";
            v.loadOnOpen = 1;
            main->restartOpenDialog();
            // Nothing is re-created from inside the destruction.
            QVERIFY(!w->dialog());
            PanelsWorld::settle();
            QVERIFY(w->dialog());
            QCOMPARE(w->shown(), QString::fromStdString(v.currentFileName));
            QCOMPARE(w->selected(), QString::fromStdString(v.currentFileName));
            QCOMPARE(w->dialog()->fileNameBox()->text(), QString::fromStdString(v.currentFileName));
            QCOMPARE(v.loadOnOpen, uint16_t(0));
        }
        QCOMPARE(w->dialog()->frameGeometry().topLeft(), moved);
        QCOMPARE(QDir::currentPath(), QDir(w->dir.path()).absolutePath());
        // The wheel still works once: the filter of old dialogs went with them.
        w->list()->setFocus();
        wheel(w->list()->viewport(), 120);
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));
    }

    void firstPlacementAtTheRightOfTheScreen() {
        threeImages();
        w->start("a.dcm");
        const Viewer& v = w->viewer();
        QCOMPARE(w->dialog()->frameGeometry().topLeft(), QPoint(v.screenWidth - 340, 277));
        QCOMPARE(w->dialog()->frameGeometry().size(), QSize(324, 240));
    }
};

QTEST_MAIN(OpenDialogTest)
#include "test_panels_open_dialog.moc"
