// The main window: the menu and its commands, frame stepping and list keys, drops, the
// hand-off of a second start, the Open dialog's re-starts and the clean-up at the end.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QStringList>

#include "core/host.h"
#include "ui/app.h"

class QMdiArea;
class QMenu;

namespace vs::ui {

inline constexpr const char* mainTitle = programCaption;

// The menu's commands, one action each; the windowing presets in the order of their values.
struct MenuActions {
    QAction* saveImageAs;
    QAction* batchConversion;
    QAction* exit;
    QAction* negativeImage;
    QAction* presets[presetCount];
    QAction* automaticZoom;
    QAction* help;
    QAction* donate;
    QAction* visitWebsite;
    QAction* about;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(App& app);

    const MenuActions& actions() const { return actions_; }
    QMenu* automaticWindowingMenu() const { return automaticWindowing_; }
    QMdiArea* workArea() const { return workArea_; }
    // What stands in for the user and the desktop in this program (see ui/seams.h).
    const Seams& seams() const { return app_.seams; }

    // Up and down go to the Open dialog's file list; left and right step frames.
    // Returns false for any other key.
    bool handleKey(int key);

    // Arrow keys that reach w or its children while they have the focus are the main
    // window's keys (the work area and the image window would otherwise scroll with them).
    void takeKeysOf(QWidget* w);

    // Files dropped on the main window (or on the batch box).
    void dropPaths(const QStringList& paths);
    // A path handed over by a second start (empty: only come to the front).
    void handOff(const QByteArray& path);

    // The Open dialog: created and shown (placing and first load are its own), or destroyed
    // and shown again anew from the event loop, never from inside its own destruction.
    void showOpenDialog();
    void restartOpenDialog();

    // The help text of the Help menu.
    static QString helpText();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    struct MenuItem;
    static const MenuItem menuItems[];

    void buildMenu();
    void about();
    void exitProgram();
    void batchConversion();
    void visitWebsite();
    void help();
    void donate();
    void negativeImage();
    void saveImage();
    void automaticZoom();
    void openHandedPath(const QByteArray& path);
    void cleanUp();

    App& app_;
    QMdiArea* workArea_;
    QMenu* automaticWindowing_ = nullptr;
    MenuActions actions_{};
    bool minimized_ = false;
    bool openDialogQueued_ = false;
};

}  // namespace vs::ui
