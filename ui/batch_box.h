// The batch conversion box: while it is open, files dropped on the main window (or on the
// box) are converted frame by frame into picture files beside their sources.
#pragma once

#include <QStringList>
#include <QWidget>

#include "ui/app.h"

class QComboBox;
class QPushButton;

namespace vs::ui {

// The caption that goes with an output format.
QString batchCaption(int format);

class BatchBox : public QWidget {
    Q_OBJECT
public:
    BatchBox(App& app, QWidget* owner);

    // Takes the Open dialog's place and starts batch mode.
    void open();
    // "Done": gives the place back to the Open dialog and ends batch mode.
    void done();

    // Converts the files of one drop; a drop that arrives while a run is under way (its
    // message boxes are open) is ignored.
    void convertFiles(const QStringList& paths);
    bool running() const { return running_; }

    QComboBox* formatList() const { return formats_; }
    QPushButton* doneButton() const { return done_; }

protected:
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;  // Escape does not close the box
    void closeEvent(QCloseEvent* event) override;

private:
    void formatChosen(int index);

    App& app_;
    QSize outerSize_;
    QComboBox* formats_;
    QPushButton* done_;
    bool running_ = false;
};

}  // namespace vs::ui
