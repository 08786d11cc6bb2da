// The shell's small boxes: About, the status note of long operations, the donation request,
// and the one fatal error box. Also the seams through which tests answer modal boxes and see
// which web pages would open.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "core/host.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace vs::ui {

inline constexpr const char* websiteUrl = "https://vireoscan.example.org/";
inline constexpr const char* donationUrl = "https://vireoscan.example.org/donate";
inline constexpr const char* fatalCaption = "Vireoscan Error";

// Dialog units of the templates, converted at one fixed factor for every box and panel.
inline constexpr double pixelsPerUnitX = 1.5;
inline constexpr double pixelsPerUnitY = 1.625;
QRect dialogUnits(int x, int y, int width, int height);
// The About box is drawn in the larger "System" font, whose units are 2 pixels each way.
inline constexpr double systemPixelsPerUnit = 2.0;
QRect systemFontUnits(int x, int y, int width, int height);

// Runs a modal box. Without a hook it is exec(); with one, the box is shown and the hook
// acts on it as a user would (a key press, a click) before its result is read.
using ModalHook = std::function<void(QDialog&)>;
void setModalHook(ModalHook hook);
int runModal(QDialog& box);

// Message boxes. Without a hook a QMessageBox is run; with one the hook answers instead, so
// that no test ever waits for a click.
struct MessageRequest {
    QString text;
    QString caption;
    MessageButtons buttons = MessageButtons::ok;
    MessageIcon icon = MessageIcon::none;
};
using MessageHook = std::function<MessageAnswer(const MessageRequest&)>;
void setMessageHook(MessageHook hook);
MessageAnswer showMessage(QWidget* owner, const MessageRequest& request);

// Opens a web page in the default browser; a failure goes unnoticed. Tests replace it.
using PageOpener = std::function<void(const QUrl&)>;
void setPageOpener(PageOpener opener);
void openWebPage(const QUrl& url);

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* owner);

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Escape does nothing
    void reject() override {}
};

// Status box: a caption-less note that never takes the keyboard focus.
class StatusBox : public QWidget {
    Q_OBJECT
public:
    StatusBox(QWidget* owner, const QString& text);
    QString text() const;

private:
    QLabel* text_;
};

class DonationBox : public QDialog {
    Q_OBJECT
public:
    // counter: the high-resolution counter's reading; its bit 2 chooses the button order.
    DonationBox(QWidget* owner, uint64_t counter);
    bool swapped() const { return swapped_; }

protected:
    void reject() override;  // Escape acts as button 2

private:
    void buttonPressed(int id);

    bool swapped_ = false;
    QListWidget* lines_;
    QPushButton* button1_;
    QPushButton* button2_;
};

// The lines of the donation box, in order.
QStringList donationLines();

// Closes an earlier fatal error box still on screen, then shows the stop box.
void showFatalError(QWidget* owner, const QString& text);

}  // namespace vs::ui
