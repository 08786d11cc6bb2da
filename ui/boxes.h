// The shell's small boxes: About, the status note of long operations, the donation request,
// and the one fatal error box; and how each is run, by the user or by a seam standing in.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <cstdint>

#include "ui/seams.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace vs::ui {

class MainWindow;

inline constexpr const char* websiteUrl = "https://vireoscan.example.org/";
inline constexpr const char* donationUrl = "https://vireoscan.example.org/donate";
inline constexpr const char* fatalCaption = "Vireoscan Error";

// Runs a modal box: exec(), or, with an answer, the box shown and answered at once.
int runModal(QDialog& box, const ModalHook& answer);

// A message box over the main window, answered by the user or by the main window's program's
// message seam. Without a main window (none yet) the user answers.
MessageAnswer showMessage(MainWindow* owner, const MessageRequest& request);

// Opens a web page in the default browser, or through the opener when there is one; a
// failure goes unnoticed.
void openWebPage(const QUrl& url, const PageOpener& opener);

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
    // pages opens the donation page (empty: the browser).
    DonationBox(QWidget* owner, uint64_t counter, PageOpener pages);
    bool swapped() const { return swapped_; }
    // Button 1 on the left, button 2 on the right; their texts swap with swapped().
    QPushButton* leftButton() const { return button1_; }
    QPushButton* rightButton() const { return button2_; }

protected:
    void reject() override;  // Escape acts as button 2

private:
    void buttonPressed(int id);

    bool swapped_ = false;
    PageOpener pages_;
    QListWidget* lines_;
    QPushButton* button1_;
    QPushButton* button2_;
};

// The lines of the donation box, in order.
QStringList donationLines();

// Closes an earlier fatal error box still on screen, then shows the stop box, answered by the
// user or by answer.
void showFatalError(const QString& text, const MessageHook& answer);

}  // namespace vs::ui
