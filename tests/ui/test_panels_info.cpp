// The information panel as a user meets it: its lines and controls, the previous/next
// buttons, the keys that reach it, and "Sort Images" over a folder of slices.
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "tests/ui/panels_fixture.h"
#include "ui/boxes.h"
#include "ui/qt_host.h"

using namespace vs;
using namespace vs::ui;
using vs::testing::PanelsWorld;
using vs::testing::Syntax;

namespace {

// Records the text of every status box that appears.
class StatusBoxWatcher : public QObject {
public:
    QStringList shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* box = qobject_cast<StatusBox*>(watched)) shown << box->text();
        return false;
    }
};

}  // namespace

class InfoPanelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PanelsWorld> w;

    void clickSort() {
        QTest::mouseClick(w->panel()->sortImagesBox(), Qt::LeftButton);
        PanelsWorld::settle();
    }
    // Slices whose names and instance numbers disagree, plus files that carry no number.
    void slices() {
        w->image("a.dcm", "Slice^Ten", "10");
        w->image("b.dcm", "Slice^Nine", "9");
        w->image("c.dcm", "Slice^Hundred", "100");
        w->image("d.dcm", "Slice^Zero", "0");
        w->image("e.dcm", "No^Number");
        w->writeBytes("f.dcm", {});
        w->image("G.dcm", "Slice^NineToo", "9");
    }

private slots:
    void init() { w = std::make_unique<PanelsWorld>(); }
    void cleanup() { w.reset(); }

    void linesLabelsAndControlsAtStart() {
        w->image("a.dcm", "Doe^Jane");
        w->start("a.dcm");
        InfoPanel* p = w->panel();
        QCOMPARE(p->windowTitle(), QStringLiteral("Image Information"));
        const struct { int id; const char* name; } lines[] = {
            {panelPatientLine, "Patient"}, {panelDateLine, "Date"}, {panelStudyLine, "Study"},
            {panelImageLine, "Image"},     {panelPixsizeLine, "Pixsize"},
        };
        for (const auto& l : lines) {
            QLineEdit* edit = p->line(l.id);
            QVERIFY(edit);
            QCOMPARE(edit->accessibleName(), QString::fromLatin1(l.name));
            QVERIFY(edit->isReadOnly());
            QCOMPARE(edit->palette().color(QPalette::Base), QColor(Qt::white));
        }
        QVERIFY(p->lineText(panelPatientLine).contains("Doe"));
        QCOMPARE(p->findChild<QWidget*>("1113")->accessibleName(), QStringLiteral("Filesize"));
        QCOMPARE(p->zoomList()->count(), 6);
        QCOMPARE(p->zoomList()->itemText(0), QStringLiteral("25%"));
        QCOMPARE(p->zoomList()->itemText(5), QStringLiteral("400%"));
        QCOMPARE(p->autoAdjustBox()->text(), QStringLiteral("Auto Adjust"));
        QVERIFY(p->autoAdjustBox()->isChecked());
        QCOMPARE(p->sortImagesBox()->text(), QStringLiteral("Sort Images"));
        QVERIFY(!p->sortImagesBox()->isChecked());
        for (int id : {panelResetContrast, panelPreviousImage, panelNextImage})
            QVERIFY(!p->button(id)->accessibleName().isEmpty());
        QVERIFY(!p->button(panelSpareButton1)->isVisibleTo(p));
        const Viewer& v = w->viewer();
        QCOMPARE(p->frameGeometry().topLeft(), QPoint(v.screenWidth - 340, 55));
    }

    void picturesAreDrawnAndDistinct() {
        const int ids[] = {picturePrevious, pictureNext, picturePreviousGrey, pictureNextGrey,
                           pictureWindowed, pictureFullRange, picturePause, pictureFrameBack,
                           pictureFrameForward};
        QList<QImage> images;
        for (int id : ids) {
            const QPixmap pixmap = buttonPicture(id);
            QCOMPARE(pixmap.size(), QSize(21, 22));
            const QImage image = pixmap.toImage();
            QVERIFY2(!images.contains(image), qPrintable(QString::number(id)));
            images << image;
        }
        // Blue shows a usable button, grey one that does nothing.
        const QImage next = buttonPicture(pictureNext).toImage();
        const QImage nextGrey = buttonPicture(pictureNextGrey).toImage();
        const QColor centre = next.pixelColor(10, 11), greyCentre = nextGrey.pixelColor(10, 11);
        QVERIFY(centre.blue() > centre.red() + 60);
        QCOMPARE(greyCentre.red(), greyCentre.blue());
        QVERIFY(buttonPicture(999).isNull());
    }

    void resetContrastPictureFollowsTheHost() {
        w->image("a.dcm", "Doe^Jane");
        w->start("a.dcm");
        w->app().host->setResetContrastPicture(false);
        QCOMPARE(w->picture(panelResetContrast), int(pictureWindowed));
        QCOMPARE(w->panel()->button(panelResetContrast)->icon().pixmap(21, 22).toImage(),
                 buttonPicture(pictureWindowed).toImage());
        w->app().host->setResetContrastPicture(true);
        QCOMPARE(w->picture(panelResetContrast), int(pictureFullRange));
        w->app().host->selectZoomIndex(4);
        QCOMPARE(w->panel()->zoomList()->currentText(), QStringLiteral("300%"));
    }

    void previousAndNextButtonsStepTheFileList() {
        w->image("a.dcm", "Alpha^One");
        w->image("b.dcm", "Bravo^Two");
        w->start("a.dcm");
        QTest::mouseClick(w->panel()->button(panelNextImage), Qt::LeftButton);
        PanelsWorld::settle();
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QCOMPARE(w->picture(panelNextImage), int(pictureNextGrey));
        // On the last file the next button moves nothing.
        QTest::mouseClick(w->panel()->button(panelNextImage), Qt::LeftButton);
        PanelsWorld::settle();
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QCOMPARE(w->selected(), QStringLiteral("b.dcm"));
        QTest::mouseClick(w->panel()->button(panelPreviousImage), Qt::LeftButton);
        PanelsWorld::settle();
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));
        QCOMPARE(w->picture(panelPreviousImage), int(picturePreviousGrey));
    }

    void arrowKeysOnThePanelMoveTheFileList() {
        w->image("a.dcm", "Alpha^One");
        w->image("b.dcm", "Bravo^Two");
        w->start("a.dcm");
        w->key(w->panel(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        // Also with a button focused, which would otherwise take the arrows.
        w->panel()->button(panelResetContrast)->setFocus();
        w->key(w->panel()->button(panelResetContrast), Qt::Key_Up);
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));
    }

    void leftAndRightOnThePanelStepFramesWithWrapAround() {
        vs::testing::ImageSpec spec;
        spec.rows = spec.columns = 8;
        spec.frames = 3;
        spec.patientName = "Cine^Three";
        w->writeBytes("cine.dcm", vs::testing::makeImage(spec));
        w->start("cine.dcm");
        QCOMPARE(w->viewer().image.frameCount, 3u);
        w->key(w->panel(), Qt::Key_Left);
        QCOMPARE(w->viewer().image.currentFrame, 2u);
        w->key(w->panel()->button(panelNextImage), Qt::Key_Right);
        QCOMPARE(w->viewer().image.currentFrame, 0u);
        w->key(w->panel(), Qt::Key_Right);
        QCOMPARE(w->viewer().image.currentFrame, 1u);
    }

    void autoAdjustAndResetContrastAct() {
        w->image("a.dcm", "Alpha^One");
        w->start("a.dcm");
        QCheckBox* autoAdjust = w->panel()->autoAdjustBox();
        QTest::mouseClick(autoAdjust, Qt::LeftButton);
        QVERIFY(!autoAdjust->isChecked());
        QCOMPARE(w->viewer().window.autoWindowing, uint16_t(0));
        // A window moved away from the preset comes back with Reset Contrast.
        vs::WindowState& window = w->viewer().window;
        const int32_t low = window.windowLow, high = window.windowHigh;
        window.windowLow = low + 3;
        window.windowHigh = high - 3;
        QTest::mouseClick(w->panel()->button(panelResetContrast), Qt::LeftButton);
        QCOMPARE(window.windowLow, low);
        QCOMPARE(window.windowHigh, high);
        QTest::mouseClick(autoAdjust, Qt::LeftButton);
        QCOMPARE(w->viewer().window.autoWindowing, uint16_t(1));
    }

    void aCloseRequestOnlyHides() {
        w->image("a.dcm", "Alpha^One");
        w->start("a.dcm");
        InfoPanel* p = w->panel();
        QVERIFY(!p->close());
        QVERIFY(!p->isVisible());
        QCOMPARE(w->panel(), p);
    }

    void sortImagesOrdersByInstanceNumberAndBack() {
        slices();
        w->start("a.dcm");
        StatusBoxWatcher watcher;
        qApp->installEventFilter(&watcher);
        w->image("a.dcm", "Changed^OnDisk", "10");  // shows whether a.dcm is read into view again
        const QStringList byName = {"a.dcm", "b.dcm", "c.dcm", "d.dcm", "e.dcm", "f.dcm", "G.dcm"};
        QCOMPARE(w->entries(), byName);

        clickSort();
        qApp->removeEventFilter(&watcher);
        QVERIFY(w->panel()->sortImagesBox()->isChecked());
        // 9, 9 by name, 10, 100; then number 0, no number, an empty file.
        QCOMPARE(w->entries(), (QStringList{"b.dcm", "G.dcm", "a.dcm", "c.dcm", "d.dcm", "e.dcm", "f.dcm"}));
        QCOMPARE(watcher.shown, QStringList{"Sorting files..."});
        QVERIFY(!w->app().host->statusBox());
        // The selection stays on the file shown, which is not loaded again.
        QCOMPARE(w->selected(), QStringLiteral("a.dcm"));
        QVERIFY(w->patientLine().contains("Slice^Ten"));

        // Browsing now goes in slice order.
        w->key(w->list(), Qt::Key_Down);
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));

        clickSort();
        QCOMPARE(w->entries(), byName);
        QCOMPARE(w->selected(), QStringLiteral("c.dcm"));
    }

    void sortFindsEveryByteOrderWhileABigEndianImageIsShown() {
        // Numbers and names disagree, and each byte order holds half of the numbers, so a
        // search in one byte order only would leave the other half unnumbered at the end.
        w->image("s1.dcm", "Big^Two", "2", Syntax::explicitBig);
        w->image("s2.dcm", "Little^Four", "4", Syntax::explicitLittle);
        w->image("s3.dcm", "Big^One", "1", Syntax::explicitBig);
        w->image("s4.dcm", "Implicit^Three", "3", Syntax::implicitLittle);
        w->start("s1.dcm");
        QCOMPARE(w->viewer().image.bigEndian, uint16_t(1));
        clickSort();
        QCOMPARE(w->entries(), (QStringList{"s3.dcm", "s1.dcm", "s4.dcm", "s2.dcm"}));
        QCOMPARE(w->selected(), QStringLiteral("s1.dcm"));
    }

    void sortSurvivesAnotherFileTypeAndKeepsNamesWithSpaces() {
        w->image("slice two.dcm", "Two^Spaces", "2");
        w->image("slice one.dcm", "One^Spaces", "1");
        w->image("x.ima", "Ima^Ten", "10");
        w->image("y.ima", "Ima^Five", "5");
        w->start("slice two.dcm");
        clickSort();
        QCOMPARE(w->entries(), (QStringList{"slice one.dcm", "slice two.dcm", "y.ima", "x.ima"}));
        QComboBox* types = w->dialog()->fileTypeList();
        types->setCurrentIndex(4);  // IMA Files: the list is refilled and sorted again
        emit types->activated(4);
        PanelsWorld::settle();
        QCOMPARE(w->entries(), (QStringList{"y.ima", "x.ima"}));
        // Clicking the box twice quickly with no change in between does nothing more.
        w->panel()->sortImages(false);
        QCOMPARE(w->entries(), (QStringList{"y.ima", "x.ima"}));
    }
};

QTEST_MAIN(InfoPanelTest)
#include "test_panels_info.moc"
