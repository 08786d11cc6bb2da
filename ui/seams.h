// Stand-ins for the user and the desktop: what answers a modal box, a message box or the save
// dialog, and what opens a web page. The program leaves them empty, so the real boxes and the
// browser answer; tests fill them, so that nothing waits for a click.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

#include "core/host.h"

class QDialog;

namespace vs::ui {

struct MessageRequest {
    QString text;
    QString caption;
    MessageButtons buttons = MessageButtons::ok;
    MessageIcon icon = MessageIcon::none;
};

// Acts on a shown modal box as a user would (a key press, a click) before its result is read.
using ModalHook = std::function<void(QDialog&)>;
// Answers a message box instead of the user.
using MessageHook = std::function<MessageAnswer(const MessageRequest&)>;
// Opens a web page instead of the browser.
using PageOpener = std::function<void(const QUrl&)>;
// The save dialog's answer; an empty string is a cancel.
using SaveDialogHook = std::function<QString()>;

struct Seams {
    ModalHook modal;
    MessageHook message;
    PageOpener pages;
    SaveDialogHook saveDialog;
};

}  // namespace vs::ui
