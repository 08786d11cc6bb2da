// The core's window-system effects, realised with the program's widgets.
#pragma once

#include <QObject>
#include <QPointer>

#include "core/host.h"
#include "ui/app.h"
#include "ui/boxes.h"
#include "ui/core_text.h"

namespace vs::ui {

// While a load polls for Escape it lets the window system run (so progress texts paint and a
// key press is seen) but keeps every other input from acting: this filter records Escape and
// swallows user input.
class LoadInputFilter : public QObject {
    Q_OBJECT
public:
    bool escapeSeen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class QtHost : public Host {
public:
    explicit QtHost(App& app);
    ~QtHost() override;

    void showDescription(const ImageDescription& description) override;
    void showLoadStatus(std::string_view status) override;
    void showLoadProgress(std::string_view text) override;
    void showFileSize(std::string_view text) override;
    void repaintPanel() override;
    void showWindowAtDataRange(bool fullRange) override;

    void showImageWindow() override;
    void hideImageWindow() override;
    bool imageWindowVisible() const override;
    void setImageWindowTitle(std::string_view title) override;
    void repaintImageWindow() override;
    void fitImageWindow() override;
    void selectZoomIndex(int index) override;
    ViewArea viewArea() const override;

    void stopAnimationTimer() override;
    void hideAnimationControl() override;
    void prepareAnimationControl(uint32_t frameCount, uint32_t currentFrame) override;

    void enableSaving(bool enabled) override;
    void showPreset(uint16_t preset) override;
    void showNegative(bool on) override;
    void showAutomaticWindowing(bool on) override;

    void setCursor(Cursor cursor) override;
    bool escapePressed() override;

    void selectInOpenDialog(std::string_view fileName) override;

    MessageAnswer messageBox(std::string_view text, std::string_view caption, MessageButtons buttons,
                             MessageIcon icon) override;
    void showStatusBox(std::string_view text) override;
    void closeStatusBox() override;

    StatusBox* statusBox() const { return statusBox_; }

private:
    App& app_;
    QPointer<StatusBox> statusBox_;
    bool overrideCursor_ = false;
};

// The window system's cursor for one of the core's cursors.
Qt::CursorShape cursorShape(Cursor cursor);

}  // namespace vs::ui
