// The "Image Information" panel: the five description lines and the file size, the zoom
// list, "Auto Adjust", "Sort Images", Reset Contrast and the previous/next image buttons.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

#include "ui/app.h"
#include "ui/dialog_units.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace vs::ui {

// The panel's text lines, top to bottom, and the file size line below the buttons.
enum class PanelLine { patient, date, study, image, pixsize, fileSize };
inline constexpr int descriptionLineCount = 5;

// A read-only description line, white like an editable one.
class DescriptionLine : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    // The width at which the line shows text whole, in the line's own font and style.
    int widthToShow(const QString& text) const;
};

class InfoPanel : public QWidget {
    Q_OBJECT
public:
    InfoPanel(App& app, QWidget* owner);
    ~InfoPanel() override;

    // A line's text. The Patient, Date, Study and Image lines show theirs whole: the lines
    // widen, and the panel with them, when a text needs more room than the layout gives; the
    // Pixsize line scrolls sideways instead.
    void setLineText(PanelLine line, const QString& text);
    QString lineText(PanelLine line) const;
    QLineEdit* line(PanelLine line) const;
    void setResetContrastPicture(bool fullRange);
    // Selects a zoom list entry without acting on it (as a program's selection does).
    void selectZoomIndex(int index);
    // Paints the panel now, for texts written while a load blocks the event loop.
    void repaintNow();

    // The pictures of the previous/next image buttons: the normal ones, or the grey ones
    // when there is no file in that direction.
    void setPreviousPicture(bool available);
    void setNextPicture(bool available);

    bool sortByNumber() const { return sortByNumber_; }

    // "Sort Images": reorders the Open dialog's file list by instance number while the box is
    // checked, by name otherwise. Does nothing when the box has not changed, unless asked by
    // the Open dialog after refilling its list (autoSortRequest).
    Q_INVOKABLE void sortImages(bool autoSortRequest);

    QPushButton* resetContrastButton() const { return resetContrast_; }
    QPushButton* previousImageButton() const { return previous_; }
    QPushButton* nextImageButton() const { return next_; }
    QCheckBox* autoAdjustBox() const { return autoAdjust_; }
    QCheckBox* sortImagesBox() const { return sortImages_; }
    QComboBox* zoomList() const { return zoomList_; }
    // The outer size the panel keeps: the layout's, wider while a line needs it.
    QSize outerSize() const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    QCheckBox* makeSwitch(const char* name, const char* text);
    QPushButton* makePictureButton(const char* name, const char* accessibleName);
    void layOut();
    void widenForTexts();
    void place();
    void handleKey(QKeyEvent* event);
    void stepFileList(bool down);
    void zoomChosen();
    void autoAdjustChanged(bool on);

    App& app_;
    DialogUnits units_ = referenceUnits;
    // How much wider than the layout's the description lines are now, in pixels.
    int linesWidened_ = 0;
    QLabel* labels_[descriptionLineCount] = {};
    DescriptionLine* lines_[descriptionLineCount] = {};
    QLabel* fileSize_ = nullptr;
    QGroupBox* buttonRow_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QComboBox* zoomList_ = nullptr;
    QCheckBox* sortImages_ = nullptr;
    QCheckBox* autoAdjust_ = nullptr;
    QPushButton* resetContrast_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QTimer* tooltipTimer_ = nullptr;
    bool sortByNumber_ = false;
};

}  // namespace vs::ui
