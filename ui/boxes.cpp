#include "ui/boxes.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "ui/dialog_units.h"
#include "ui/main_window.h"

namespace vs::ui {

namespace {

void centreOnScreen(QWidget& box) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = box.frameGeometry();
    frame.moveCenter(screen->geometry().center());
    box.move(frame.topLeft());
}

// A flat push button of a box.
QPushButton* boxButton(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFlat(true);
    button->setGeometry(place);
    button->setAccessibleName(text);
    return button;
}

constexpr uint64_t donationOrderBit = 4;  // bit 2 of the counter's low word
constexpr int donationTextSlack = 4;      // pixels beside the donation text, so no line touches the frame

MessageAnswer runMessageBox(QWidget* owner, const MessageRequest& request, const MessageHook& answer) {
    if (answer) return answer(request);
    QMessageBox box(owner);
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    switch (request.icon) {
        case MessageIcon::stop: box.setIcon(QMessageBox::Critical); break;
        case MessageIcon::exclamation: box.setIcon(QMessageBox::Warning); break;
        case MessageIcon::information: box.setIcon(QMessageBox::Information); break;
        case MessageIcon::none: break;
    }
    switch (request.buttons) {
        case MessageButtons::ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MessageButtons::okCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MessageButtons::yesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MessageButtons::yesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    box.setAccessibleName(request.caption);
    box.raise();
    box.activateWindow();
    switch (box.exec()) {
        case QMessageBox::Cancel: return MessageAnswer::cancel;
        case QMessageBox::Yes: return MessageAnswer::yes;
        case QMessageBox::No: return MessageAnswer::no;
        default: return MessageAnswer::ok;
    }
}

}  // namespace

int runModal(QDialog& box, const ModalHook& answer) {
    if (!answer) return box.exec();
    box.setModal(true);
    box.show();
    answer(box);
    if (box.isVisible()) box.hide();
    return box.result();
}

MessageAnswer showMessage(MainWindow* owner, const MessageRequest& request) {
    return runMessageBox(owner, request, owner ? owner->seams().message : MessageHook());
}

void openWebPage(const QUrl& url, const PageOpener& opener) {
    if (opener) {
        opener(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

AboutBox::AboutBox(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("aboutBox");
    setWindowTitle(QString("About ") + programCaption);
    setAccessibleName("About Vireoscan");
    const DialogUnits units = DialogUnits::of(this).systemFont();
    setFixedSize(units.rect(0, 0, 138, 84).size());
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* picture = new QLabel(this);
    picture->setObjectName("aboutPicture");
    picture->setPixmap(QPixmap(":/vireoscan/about.png"));
    picture->setAlignment(Qt::AlignCenter);
    picture->setGeometry(units.rect(5, 0, 128, 61));
    picture->setAccessibleName("Vireoscan picture");

    auto* notice = new QLabel("Free software. Share it freely.", this);
    notice->setAlignment(Qt::AlignCenter);
    notice->setObjectName("notice");
    notice->setGeometry(units.rect(5, 60, 130, 8));
    notice->setAccessibleName("Notice");

    QPushButton* ok = boxButton(this, "okButton", "OK", units.rect(55, 70, 32, 10));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    centreOnScreen(*this);
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

StatusBox::StatusBox(QWidget* owner, const QString& text)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName("statusBox");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    const DialogUnits units = DialogUnits::of(this);
    setFixedSize(units.rect(0, 0, 212, 17).size());
    setAccessibleName("Status");
    text_ = new QLabel(text, this);
    text_->setObjectName("statusText");
    text_->setAlignment(Qt::AlignCenter);
    text_->setGeometry(units.rect(5, 5, 200, 10));
    text_->setAccessibleName("Status text");
    centreOnScreen(*this);
    show();
    raise();
    repaint();
}

QString StatusBox::text() const { return text_->text(); }

QStringList donationLines() {
    return {
        " ",
        "Although Vireoscan is FREE software and you may use it as",
        "many times as you like on as many computers as you want,",
        "please realize that software development is expensive and",
        "that similar software is being sold for hundreds of dollars per",
        "license.",
        " ",
        "If you find this software useful, use it on a regular basis and",
        "if you can spare a few dollars or euros, we would greatly",
        "appreciate your contribution. You can support us by making",
        "any donation through the secure PayPal credit card service.",
        " ",
        "All donations will be used for further development!",
    };
}

DonationBox::DonationBox(QWidget* owner, uint64_t counter, PageOpener pages)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), pages_(std::move(pages)) {
    setObjectName("donationBox");
    setWindowTitle("Vireoscan Donation Program");
    setAccessibleName("Donation request");

    lines_ = new QListWidget(this);
    lines_->setObjectName("donationText");
    lines_->setSelectionMode(QAbstractItemView::NoSelection);
    lines_->setFocusPolicy(Qt::NoFocus);
    lines_->setAccessibleName("Donation text");
    lines_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lines_->setTextElideMode(Qt::ElideNone);
    // The template's small font.
    QFont small = lines_->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    lines_->setFont(small);
    lines_->addItems(donationLines());

    // The template's place for the text fits it only at the font it was drawn with: at other
    // fonts the list grows to its widest line and to all its lines, and the box with it.
    const DialogUnits units = DialogUnits::of(this);
    const QRect place = units.rect(5, 5, 200, 115);
    const int frame = 2 * lines_->frameWidth() + donationTextSlack;
    const QSize grown(std::max(0, lines_->sizeHintForColumn(0) + frame - place.width()),
                      std::max(0, lines_->sizeHintForRow(0) * lines_->count() + frame - place.height()));
    lines_->setGeometry(place.adjusted(0, 0, grown.width(), grown.height()));
    setFixedSize(units.rect(0, 0, 211, 145).size() + grown);

    const QRect left = units.rect(5, 125, 95, 14).translated(0, grown.height());
    const QRect right = units.rect(110, 125, 95, 14).translated(grown.width(), grown.height());
    button1_ = boxButton(this, "leftButton", "Make a Donation", left);
    button2_ = boxButton(this, "rightButton", "Maybe Later", right);
    for (QPushButton* b : {button1_, button2_}) b->setAutoDefault(true);
    connect(button1_, &QPushButton::clicked, this, [this] { buttonPressed(1); });
    connect(button2_, &QPushButton::clicked, this, [this] { buttonPressed(2); });

    swapped_ = (counter & donationOrderBit) == 0;
    if (swapped_) {
        button1_->setText("Maybe Later");
        button2_->setText("Make a Donation");
    }
    // The button that reads "Make a Donation" starts with the focus.
    QPushButton* donate = swapped_ ? button2_ : button1_;
    for (QPushButton* b : {button1_, button2_}) {
        b->setAccessibleName(b->text());
        b->setDefault(b == donate);
    }
    donate->setFocus();
    centreOnScreen(*this);
}

void DonationBox::buttonPressed(int id) {
    // Button 1 donates unless the texts are swapped; button 2 (and Escape) only when they are.
    const bool donate = (id == 1) != swapped_;
    done(id);
    if (donate) openWebPage(QUrl(donationUrl), pages_);
}

void DonationBox::reject() { buttonPressed(2); }

void showFatalError(const QString& text, const MessageHook& answer) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == fatalCaption) {
            if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->done(1);
            else w->close();
        }
    }
    runMessageBox(nullptr, {text, fatalCaption, MessageButtons::ok, MessageIcon::stop}, answer);
}

}  // namespace vs::ui
