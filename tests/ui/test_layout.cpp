// The windows' sizes come from the font they use: at the font the layouts were drawn for they
// are the pixels they always were; at the desktop's font and at one half larger every text
// shows whole and no window covers another at start. Run once on a 1280 x 1024 screen and
// once with the scale factor 2 on a screen twice that size.
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QStyleOption>

#include "tests/ui/world.h"
#include "ui/animation_control.h"
#include "ui/batch_box.h"
#include "ui/dialog_units.h"

using namespace vs;
using namespace vs::ui;
using vs::testing::World;

namespace {

QRect onScreen(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

// Why a control's text does not show whole in it, measured with its own font; empty when it does.
QString cut(const QWidget* w) {
    const QFontMetrics metrics = w->fontMetrics();
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty()) return {};
        const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                            : label->sizeHint().width() <= label->width();
        return fits ? QString() : label->text();
    }
    if (const auto* box = qobject_cast<const QCheckBox*>(w))
        return box->sizeHint().width() <= box->width() ? QString() : box->text();
    if (const auto* button = qobject_cast<const QPushButton*>(w))
        return metrics.horizontalAdvance(button->text()) < button->width() ? QString() : button->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        return metrics.horizontalAdvance(combo->currentText()) <= field.width() ? QString() : combo->currentText();
    }
    if (const auto* line = qobject_cast<const QLineEdit*>(w)) {
        // Shown whole when the line need not scroll to put the cursor at the text's end.
        auto* edit = const_cast<QLineEdit*>(line);
        const int position = edit->cursorPosition();
        edit->home(false);
        const int start = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        edit->end(false);
        const int end = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        edit->setCursorPosition(position);
        return end - start == metrics.horizontalAdvance(edit->text()) && end < edit->width() ? QString() : edit->text();
    }
    return {};
}

// The controls of a window that stand over another or past the window's edge (the frames
// round groups of controls aside).
QStringList misplaced(const QWidget* window) {
    QList<const QWidget*> controls;
    for (const QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible() && !qobject_cast<const QGroupBox*>(w)) controls << w;
    QStringList found;
    for (qsizetype i = 0; i < controls.size(); ++i) {
        if (!window->rect().contains(controls[i]->geometry())) found << controls[i]->objectName() + " outside";
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            if (controls[i]->geometry().intersects(controls[j]->geometry()))
                found << controls[i]->objectName() + " over " + controls[j]->objectName();
    }
    return found;
}

QStringList cutTexts(const QWidget* window) {
    QStringList texts;
    for (const QWidget* w : window->findChildren<QWidget*>())
        if (w->isVisible() && w->objectName() != QLatin1String("pixsizeLine") && !cut(w).isEmpty())
            texts << w->objectName() + ": " + cut(w);
    return texts;
}

}  // namespace

class Layout : public QObject {
    Q_OBJECT

    QFont desktopFont_;

private slots:
    void initTestCase() { desktopFont_ = QApplication::font(); }
    void cleanup() {
        QApplication::setFont(desktopFont_);
        qApp->setStyleSheet({});
    }

    void referenceFontKeepsTheLayoutsPixels() {
        // Base units by Windows' rule: the 52 letters' average width rounded, and the height.
        const struct { const char* family; int pixels; DialogUnits units; } fonts[] = {
            {"DejaVu Sans Condensed", 11, referenceUnits},  // letters 6.10 pixels wide on average
            {"DejaVu Sans", 11, {7, 13}},                   // 6.79
            {"DejaVu Sans", 16, {10, 19}},                  // 9.88
        };
        for (const auto& f : fonts) {
            QFont font(QString::fromLatin1(f.family));
            font.setPixelSize(f.pixels);
            if (QFontInfo(font).family() != QLatin1String(f.family)) QSKIP("the DejaVu fonts are missing");
            QVERIFY(DialogUnits::of(font) == f.units);
        }
        QFont condensed(QStringLiteral("DejaVu Sans Condensed"));
        condensed.setPixelSize(11);
        QApplication::setFont(condensed);
        World w;
        w.write("cine.dcm", vs::testing::sized(16, 16, 3));
        w.start("cine.dcm");
        const App& app = w.app();
        const int right = app.screenWidth - 340;
        const struct { const QWidget* widget; QRect place; } places[] = {
            {app.infoPanel, {right, 55, 324, 216}},
            {app.openDialog, {right, 277, 324, 240}},
            {app.animControl, {right, 530, 324, 48}},
            {w.panel()->line(PanelLine::patient), {60, 8, 247, 21}},
            {w.panel()->line(PanelLine::pixsize), {60, 105, 247, 21}},
            {w.panel()->zoomList(), {60, 130, 67, 21}},
            {w.panel()->resetContrastButton(), {285, 162, 22, 24}},
            {w.list(), {6, 44, 150, 118}},
            {app.animControl->frameSlider(), {135, 0, 180, 22}},
        };
        for (const auto& p : places) {
            const QRect place = p.widget->isWindow() ? p.widget->frameGeometry() : p.widget->geometry();
            QVERIFY2(place == p.place, qPrintable(p.widget->objectName()));
        }
        QCOMPARE(AboutBox(nullptr).size(), QSize(276, 168));
        QCOMPARE(StatusBox(nullptr, "Sorting files...").size(), QSize(318, 27));
    }

    // The larger font comes as a user may set it: in a style sheet (vireoscan -stylesheet FILE).
    void textsShowWholeAndNoWindowCoversAnother_data() {
        QTest::addColumn<double>("fontScale");
        QTest::newRow("desktop font") << 1.0;
        QTest::newRow("one half larger") << 1.5;
    }
    void textsShowWholeAndNoWindowCoversAnother() {
        QFETCH(double, fontScale);
        QFont font = desktopFont_;
        font.setPointSizeF(font.pointSizeF() * fontScale);
        if (fontScale != 1.0) qApp->setStyleSheet(QStringLiteral("* { font-size: %1pt; }").arg(font.pointSizeF()));
        World w;
        vs::testing::ImageRecipe ct = vs::testing::sized(512, 512, 1, "PHANTOM^CHEST", "42");
        ct.studyDescription = "CT THORAX W/O CONTRAST";
        ct.protocolName = "CHEST 5MM";
        w.write("ct.dcm", ct);
        w.writeBytes("cine.dcm", vs::testing::losslessCine(std::vector(12, false)));
        w.start("ct.dcm");
        App& app = w.app();
        QVERIFY(w.line(PanelLine::study).contains("CHEST 5MM"));
        QCOMPARE(w.panel()->zoomList()->currentText(), QStringLiteral("100%"));
        QCOMPARE(DialogUnits::of(app.infoPanel), DialogUnits::of(font));

        // At start: the image window left of the column, the panel, the Open dialog and the
        // animation control one below another.
        app.animControl->show();
        const QRect windows[] = {onScreen(app.imageWindow), app.infoPanel->frameGeometry(),
                                 app.openDialog->frameGeometry(), app.animControl->frameGeometry()};
        for (size_t i = 0; i < std::size(windows); ++i) {
            QVERIFY(QRect(0, 0, app.screenWidth, app.screenHeight).contains(windows[i]));
            for (size_t j = i + 1; j < std::size(windows); ++j)
                QVERIFY2(!windows[i].intersects(windows[j]), qPrintable(QString("windows %1 and %2").arg(i).arg(j)));
        }
        for (QWidget* window : {static_cast<QWidget*>(app.infoPanel), static_cast<QWidget*>(app.openDialog)}) {
            QCOMPARE(cutTexts(window), QStringList());
            QCOMPARE(misplaced(window), QStringList());
        }

        // A JPEG frame that cannot be decoded says so whole on the Image line: the panel
        // widens to the left, and Reset Contrast keeps its place below the lines' end.
        const auto resetContrastFromLinesEnd = [&] {
            return w.panel()->line(PanelLine::image)->geometry().right() - w.panel()->resetContrastButton()->x();
        };
        const int resetContrastPlace = resetContrastFromLinesEnd();
        w.key(w.list(), Qt::Key_Up);
        QCOMPARE(resetContrastFromLinesEnd(), resetContrastPlace);
        QVERIFY(w.line(PanelLine::image).endsWith("Frames, Jpeg  <JPEG frame cannot be decoded>"));
        QCOMPARE(cutTexts(app.infoPanel), QStringList());
        QCOMPARE(cutTexts(app.animControl), QStringList());
        QCOMPARE(misplaced(app.animControl), QStringList());
        QCOMPARE(app.infoPanel->frameGeometry().right(), app.openDialog->frameGeometry().right());

        w.command(w.menu().batchConversion);
        QCOMPARE(cutTexts(app.batchBox), QStringList());
        QCOMPARE(misplaced(app.batchBox), QStringList());
        AboutBox about(nullptr);
        about.show();
        QCOMPARE(cutTexts(&about), QStringList());
    }
};

QTEST_MAIN(Layout)
#include "test_layout.moc"
