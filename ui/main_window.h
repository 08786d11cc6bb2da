// The main window: the menu and its commands, frame stepping and list keys, drops, the
// hand-off of a second start, the Open dialog's re-starts and the clean-up at the end.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QStringList>

#include "core/host.h"
#include "ui/app.h"

class QMdiArea;
class QMenu;

namespace vs::ui {

inline constexpr const char* mainTitle = programCaption;

// The menu's commands.
enum MainCommand : int {
    commandAbout = 100,
    commandExit = 105,
    commandBatchConversion = 156,
    commandVisitWebsite = 180,
    commandHelp = 181,
    commandDonate = 183,
    commandNegativeImage = 184,
    commandContrastStretch = 185,
    commandSaveImageAs = 186,
    commandStoredSettings = 188,
    commandCtLung = 189,
    commandCtBone = 190,
    commandAutomaticZoom = 191,
    commandCtChest = 192,
    commandCtSoftTissue = 193,
    commandCtBrain = 194,
};

// The command of each window preset, in preset order.
inline constexpr int presetCommands[presetCount] = {
    commandContrastStretch, commandStoredSettings, commandCtLung,     commandCtBone,
    commandCtChest,         commandCtSoftTissue,   commandCtBrain,
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(App& app);

    QAction* commandAction(int commandId) const { return actions_.value(commandId); }
    QMenu* automaticWindowingMenu() const { return automaticWindowing_; }
    QMdiArea* workArea() const { return workArea_; }
    // What stands in for the user and the desktop in this program (see ui/seams.h).
    const Seams& seams() const { return app_.seams; }

    // Runs menu command commandId as a click on its item would.
    void runCommand(int commandId);
    void enableCommand(int commandId, bool enabled);
    void checkCommand(int commandId, bool checked);

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
    struct Command;
    static const Command commandTable[];

    void buildMenu();
    void about(int);
    void exitProgram(int);
    void batchConversion(int);
    void visitWebsite(int);
    void help(int);
    void donate(int);
    void negativeImage(int);
    void preset(int commandId);
    void saveImage(int);
    void automaticZoom(int);
    void openHandedPath(const QByteArray& path);
    void cleanUp();

    App& app_;
    QMdiArea* workArea_;
    QMenu* automaticWindowing_ = nullptr;
    QMap<int, QAction*> actions_;
    bool minimized_ = false;
    bool openDialogQueued_ = false;
};

}  // namespace vs::ui
