// The Open dialog: the program's file browser, a small tool panel that shows every file at
// once as the selection in its file list moves (arrow keys, the wheel, a drag, the panel's
// previous/next buttons).
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "ui/app.h"
#include "ui/dialog_units.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace vs::ui {

struct FileFilter {
    const char* label;
    const char* patterns;  // separated by ';'
};
inline constexpr FileFilter fileFilters[] = {
    {"All Files (*.*)", "*.*;*."},
    {"All Images(*.acr *.dcm *.dcma *.dicom *.dc3 *.ima *.ani *.nema)",
     "*.acr;*.dcm;*.dcma;*.dicom;*.dc3;*.ima;*.ani;*.nema"},
    {"Dicom Images (*.dcm *.dcma *.dicom *.dc3 *.dic)", "*.dcm;*.dcma;*.dicom;*.dic;*.dc3"},
    {"ACR-NEMA files (*.acr *.nema)", "*.acr;*.nema"},
    {"IMA Files(*.ima)", "*.ima"},
    {"No extension (*)", "*."},
};

class OpenDialog : public QWidget {
    Q_OBJECT
public:
    // Builds and places the dialog in the folder of currentDirectory, with the file list
    // focused and one preview queued; loads currentDirectory + currentFileName first as
    // loadOnOpen asks. The caller shows it.
    explicit OpenDialog(App& app, QWidget* owner = nullptr);
    // Remembers where the dialog was, for the next one.
    ~OpenDialog() override;

    // Puts a name in the file name box and selects it in the list when it is there, without
    // loading it.
    void selectInOpenDialog(const QString& name);
    void selectFile(const QString& name) { selectInOpenDialog(name); }
    bool hasSelection() const;
    // Moves the file list's selection one file down or up, as its arrow keys do, and so shows
    // that file. The panel's buttons, the main window's keys and the middle drag step so.
    void stepFile(bool down);
    int selectedRow() const;  // -1 for none

    // The current folder with its trailing separator.
    QString directory() const;
    // Opens another folder: the lists are refilled (and the panel re-sorts the file list).
    void setDirectory(const QString& path);
    // Refills the file list with names in that order and selects selectName again, all
    // without loading anything.
    void replaceEntries(const QStringList& names, const QString& selectName);

    QListWidget* fileList() const { return fileList_; }
    QListWidget* folderList() const { return folderList_; }
    QLineEdit* fileNameBox() const { return fileName_; }
    QComboBox* fileTypeList() const { return fileType_; }
    QComboBox* driveList() const { return drives_; }

    // Whether a file name matches a pattern list such as "*.dcm;*.ima": case-insensitive;
    // "*.*" takes every name, "*." the names without a dot.
    static bool matchesFilter(const QString& name, const QString& patterns);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls(const DialogUnits& units);
    void buildFileNameBox(const DialogUnits& units);
    void buildFileList(const DialogUnits& units);
    void buildFolderList(const DialogUnits& units);
    void buildFileTypeList(const DialogUnits& units);
    void buildDriveList(const DialogUnits& units);
    void place(const DialogUnits& units);
    void fillDrives();
    void fillFolders();
    void fillFiles();
    void requestPreview(int fromFileType);
    void previewRequest(int fromFileType);
    void reselectTypedName();
    void showNoSelection(int fromFileType);
    void showNeighbourPictures(bool previous, bool next);
    void takeSelectedName(int row);
    bool selectedFileShown() const;
    void loadPreview();
    void requestSortAfterRefill();
    void installProgramFilter();
    void fileNameEdited(const QString& text);
    // Selects the row once the events queued now are through, without a preview; none for -1.
    void selectRowLater(int row);
    void selectRowSilently(int row);
    int findExact(const QString& name) const;
    bool filterWheel(QObject* watched, QEvent* event);
    void followDrag(QPoint viewportPos);

    App& app_;
    QSize outerSize_;
    QString folder_;  // absolute, without trailing separator except for the root
    QLabel* currentFolder_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QListWidget* fileList_ = nullptr;
    QListWidget* folderList_ = nullptr;
    QComboBox* fileType_ = nullptr;
    QComboBox* drives_ = nullptr;
    bool previewPending_ = false;
    bool fileListWasEmpty_ = true;
    bool sortQueued_ = false;
    bool programFilterInstalled_ = false;
};

}  // namespace vs::ui
