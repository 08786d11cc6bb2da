// The information panel as a user meets it: its lines and pictures, the previous/next
// buttons, the keys that reach it, and "Sort Images" over a folder of slices.
#include <QCheckBox>
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

    void click(QWidget* target) {
        QTest::mouseClick(target, Qt::LeftButton);
        PanelsWorld::settle();
    }
    void clickSort() { click(w->panel()->sortImagesBox()); }

private slots:
    void init() { w = std::make_unique<PanelsWorld>(); }
    void cleanup() { w.reset(); }

    void linesPicturesAndPlace() {
        w->image("a.dcm", "Doe^Jane");
        w->start("a.dcm");
        InfoPanel* p = w->panel();
        QVERIFY(p->line(panelPatientLine)->isReadOnly());
        QVERIFY(p->lineText(panelPatientLine).contains("Doe"));
        QCOMPARE(p->frameGeometry().topLeft(), QPoint(w->app().screenWidth - 340, 55));
        QVERIFY(!p->close());  // a close request only hides
        QVERIFY(!p->isVisible());
        QCOMPARE(w->panel(), p);

        // Nine distinct pictures; blue shows a usable button, grey one that does nothing.
        QList<QImage> images;
        for (int id : {picturePrevious, pictureNext, picturePreviousGrey, pictureNextGrey, pictureWindowed,
                       pictureFullRange, picturePause, pictureFrameBack, pictureFrameForward}) {
            const QImage image = buttonPicture(id).toImage();
            QCOMPARE(image.size(), QSize(21, 22));
            QVERIFY(!images.contains(image));
            images << image;
        }
        const QColor blue = buttonPicture(pictureNext).toImage().pixelColor(10, 11);
        const QColor grey = buttonPicture(pictureNextGrey).toImage().pixelColor(10, 11);
        QVERIFY(blue.blue() > blue.red() + 60);
        QCOMPARE(grey.red(), grey.blue());

        // The host's calls reach the Reset Contrast picture and the zoom list.
        w->app().host->showWindowAtDataRange(false);
        QCOMPARE(w->picture(panelResetContrast), int(pictureWindowed));
        QCOMPARE(p->button(panelResetContrast)->icon().pixmap(21, 22).toImage(), buttonPicture(pictureWindowed).toImage());
        w->app().host->showWindowAtDataRange(true);
        QCOMPARE(w->picture(panelResetContrast), int(pictureFullRange));
        w->app().host->selectZoomIndex(4);
        QCOMPARE(p->zoomList()->currentText(), QStringLiteral("300%"));
    }

    void buttonsAndKeysStepFilesAndFrames() {
        w->image("a.dcm", "Alpha^One");
        vs::testing::ImageRecipe recipe;
        recipe.rows = recipe.columns = 8;
        recipe.frames = 3;
        w->writeBytes("b.dcm", vs::testing::makeImage(recipe));
        w->start("a.dcm");
        click(w->panel()->button(panelNextImage));
        QCOMPARE(w->shown(), QStringLiteral("b.dcm"));
        QCOMPARE(w->picture(panelNextImage), int(pictureNextGrey));
        click(w->panel()->button(panelNextImage));  // on the last file: nothing moves
        QCOMPARE(w->selected(), QStringLiteral("b.dcm"));

        // Left and right on the panel step frames with wrap-around, also with a button focused.
        w->key(w->panel(), Qt::Key_Left);
        QCOMPARE(w->viewer().currentFrame, 2u);
        w->key(w->panel()->button(panelNextImage), Qt::Key_Right);
        QCOMPARE(w->viewer().currentFrame, 0u);
        w->panel()->button(panelResetContrast)->setFocus();
        w->key(w->panel()->button(panelResetContrast), Qt::Key_Up);
        QCOMPARE(w->shown(), QStringLiteral("a.dcm"));
        QCOMPARE(w->picture(panelPreviousImage), int(picturePreviousGrey));
    }

    void autoAdjustAndResetContrastAct() {
        w->image("a.dcm", "Alpha^One");
        w->start("a.dcm");
        QCheckBox* autoAdjust = w->panel()->autoAdjustBox();
        click(autoAdjust);
        QCOMPARE(w->viewer().window.autoWindowing, uint16_t(0));
        // A window moved away from the preset comes back with Reset Contrast.
        vs::WindowState& window = w->viewer().window;
        const int32_t low = window.windowLow, high = window.windowHigh;
        window.windowLow = low + 3;
        window.windowHigh = high - 3;
        click(w->panel()->button(panelResetContrast));
        QCOMPARE(window.windowLow, low);
        QCOMPARE(window.windowHigh, high);
        click(autoAdjust);
        QCOMPARE(w->viewer().window.autoWindowing, uint16_t(1));
    }

    void sortImagesOrdersByInstanceNumberAndBack() {
        // Names and instance numbers disagree; some files carry no number.
        w->image("a.dcm", "Slice^Ten", "10");
        w->image("b.dcm", "Slice^Nine", "9");
        w->image("c.dcm", "Slice^Hundred", "100");
        w->image("d.dcm", "Slice^Zero", "0");
        w->image("e.dcm", "No^Number");
        w->writeBytes("f.dcm", {});
        w->image("G.dcm", "Slice^NineToo", "9");
        w->start("a.dcm");
        StatusBoxWatcher watcher;
        qApp->installEventFilter(&watcher);
        w->image("a.dcm", "Changed^OnDisk", "10");  // shows whether a.dcm is read into view again
        const QStringList byName = {"a.dcm", "b.dcm", "c.dcm", "d.dcm", "e.dcm", "f.dcm", "G.dcm"};
        QCOMPARE(w->entries(), byName);
        clickSort();
        qApp->removeEventFilter(&watcher);
        // 9, 9 by name, 10, 100; then number 0, no number, an empty file.
        QCOMPARE(w->entries(), (QStringList{"b.dcm", "G.dcm", "a.dcm", "c.dcm", "d.dcm", "e.dcm", "f.dcm"}));
        QCOMPARE(watcher.shown, QStringList{"Sorting files..."});
        QVERIFY(!w->app().host->statusBox());
        // The selection stays on the file shown, which is not loaded again.
        QCOMPARE(w->selected(), QStringLiteral("a.dcm"));
        QVERIFY(w->patientLine().contains("Slice^Ten"));
        w->key(w->list(), Qt::Key_Down);  // browsing now goes in slice order
        QCOMPARE(w->shown(), QStringLiteral("c.dcm"));
        clickSort();
        QCOMPARE(w->entries(), byName);
        QCOMPARE(w->selected(), QStringLiteral("c.dcm"));
    }

    void sortFindsEveryByteOrderWhileABigEndianImageIsShown() {
        // Each byte order holds half of the numbers, so a search in one byte order only would
        // leave the other half unnumbered at the end.
        w->image("s1.dcm", "Big^Two", "2", Syntax::explicitBig);
        w->image("s2.dcm", "Little^Four", "4", Syntax::explicitLittle);
        w->image("s3.dcm", "Big^One", "1", Syntax::explicitBig);
        w->image("s4.dcm", "Implicit^Three", "3", Syntax::implicitLittle);
        w->start("s1.dcm");
        QCOMPARE(w->viewer().dicom.image.bigEndian, uint16_t(1));
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
