// The "Image Information" panel: the five description lines and the file size, the zoom
// list, "Auto Adjust", "Sort Images", Reset Contrast and the previous/next image buttons.
#pragma once

#include <QString>
#include <QWidget>

#include "ui/app.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vs::ui {

inline constexpr int panelRightMargin = 340;  // left edge at screen width minus this
inline constexpr int panelTop = 55;
inline constexpr QSize panelSize{324, 216};

// Control identities, also the widgets' object names.
enum PanelControl : int {
    panelResetContrast = 1007,
    panelPatientLine = 1009,
    panelPreviousImage = 1012,
    panelDateLine = 1013,
    panelNextImage = 1014,
    panelStudyLine = 1015,
    panelSpareButton1 = 1016,
    panelPixsizeLine = 1017,
    panelImageLine = 1018,
    panelSpareButton2 = 1019,
    panelAutoAdjust = 1044,
    panelSortImages = 1045,
    panelZoomList = 1100,
    panelFileSizeLine = 1113,
};

class InfoPanel : public QWidget {
    Q_OBJECT
public:
    InfoPanel(App& app, QWidget* owner);
    ~InfoPanel() override;

    // Text of one of the lines 1009, 1013, 1015, 1017, 1018 or 1113; other ids are ignored.
    void setLineText(int controlId, const QString& text);
    QString lineText(int controlId) const;
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

    QLineEdit* line(int controlId) const;
    QPushButton* button(int controlId) const;
    QCheckBox* autoAdjustBox() const { return autoAdjust_; }
    QCheckBox* sortImagesBox() const { return sortImages_; }
    QComboBox* zoomList() const { return zoomList_; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildDescriptionLines();
    void buildButtonRowFrame();
    void buildZoomList();
    void buildSwitches();
    void buildPictureButtons();
    void buildFileSizeLine();
    QCheckBox* makeSwitch(int id, const char* text, QRect where);
    QPushButton* makePictureButton(int id, int left, const char* name);
    void place();
    void handleKey(QKeyEvent* event);
    void stepFileList(bool down);
    void zoomChosen();
    void autoAdjustChanged(bool on);

    App& app_;
    QLineEdit* lines_[5] = {};
    QLabel* fileSize_ = nullptr;
    QPushButton* resetContrast_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QCheckBox* autoAdjust_ = nullptr;
    QCheckBox* sortImages_ = nullptr;
    QComboBox* zoomList_ = nullptr;
    QTimer* tooltipTimer_ = nullptr;
    bool sortByNumber_ = false;
};

}  // namespace vs::ui
