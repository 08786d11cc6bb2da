// Shared set-up of the widget tests: a folder of synthetic DICOM files and the real program
// started on one of them, with every box answered at once and recorded.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "samples/dicom_builder.h"
#include "tests/support/lossless_cine.h"
#include "ui/boxes.h"
#include "ui/button_pictures.h"
#include "ui/image_window.h"
#include "ui/info_panel.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/startup.h"

namespace vs::testing {

inline ImageRecipe sized(uint16_t rows, uint16_t columns, uint32_t frames = 1, const std::string& patient = {},
                         const std::string& instance = {}, Syntax syntax = Syntax::explicitLittle) {
    return {.syntax = syntax, .rows = rows, .columns = columns, .frames = frames, .patientName = patient,
            .instanceNumber = instance};
}

struct World {
    QTemporaryDir dir;
    std::unique_ptr<vs::ui::Program> program;
    QString channel;
    int starts = 0;
    QStringList boxes;  // object names of the modal boxes, in order
    std::vector<vs::ui::MessageRequest> messages;
    QList<QUrl> pages;
    std::vector<vs::MessageAnswer> answers;  // the next message answers; then yes or ok
    std::function<void()> duringMessage;
    vs::ui::Seams seams;

    World() {
        // The user's settings live in the test's folder, so that no test reads or changes those
        // of whoever runs it (Decode All Compressions is remembered there).
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath("config"));
        seams.modal = [this](QDialog& box) {
            boxes << box.objectName();
            if (box.isVisible()) box.done(1);
        };
        seams.message = [this](const vs::ui::MessageRequest& request) {
            messages.push_back(request);
            if (duringMessage) duringMessage();
            if (!answers.empty()) {
                const vs::MessageAnswer answer = answers.front();
                answers.erase(answers.begin());
                return answer;
            }
            const bool asks = request.buttons != vs::MessageButtons::ok;
            return asks ? vs::MessageAnswer::yes : vs::MessageAnswer::ok;
        };
        seams.pages = [this](const QUrl& url) { pages << url; };
    }
    ~World() {
        program.reset();
        settle();
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    void writeBytes(const QString& name, const std::vector<uint8_t>& bytes) const {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    void write(const QString& name, const ImageRecipe& recipe) const { writeBytes(name, makeImage(recipe)); }

    // Starts the program as "vireoscan FILE" (or with no file); counter 1 brings the donation box.
    void start(const QString& file = {}, uint64_t counter = 0) {
        vs::ui::StartOptions options;
        if (!file.isEmpty()) options.arguments = {QFile::encodeName(path(file)).toStdString()};
        options.counter = counter;
        options.seams = seams;
        const QString name = QStringLiteral("vs-ui-%1-%2-%3").arg(QCoreApplication::applicationPid());
        channel = QDir::temp().filePath(name.arg(quintptr(this)).arg(++starts));
        options.channel = channel;
        program = vs::ui::Program::start(options);
        QVERIFY(program);
        settle();
    }

    // Runs every queued call (previews, sorts, re-starts) to the end.
    static void settle() {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    vs::ui::App& app() { return program->app(); }
    vs::Viewer& viewer() { return app().viewer; }
    vs::ui::OpenDialog* dialog() { return app().openDialog; }
    vs::ui::InfoPanel* panel() { return app().infoPanel; }
    QListWidget* list() { return dialog()->fileList(); }
    QWidget* imageView() { return app().imageWindow->view()->viewport(); }
    QImage painted() { return imageView()->grab().toImage(); }
    QString title() { return app().imageWindow->windowTitle(); }
    const vs::ui::MenuActions& menu() { return app().mainWindow->actions(); }
    void command(QAction* action) {
        action->trigger();
        settle();
    }

    QStringList entries() {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i) names << list()->item(i)->text();
        return names;
    }
    QString selected() {
        const int row = dialog()->selectedRow();
        return row < 0 ? QString() : list()->item(row)->text();
    }
    // The file in memory, by name, when the image window shows it.
    QString shown() {
        if (!app().imageWindow->isVisible()) return {};
        return QFileInfo(QFile::decodeName(QByteArray::fromStdString(viewer().loadedPath))).fileName();
    }
    QString line(vs::ui::PanelLine which) { return panel()->lineText(which); }
    vs::ui::ButtonPicture picture(QAbstractButton* button) { return vs::ui::buttonPictureOf(button); }
    void key(QWidget* w, Qt::Key k) {
        QTest::keyClick(w, k);
        settle();
    }
    void choose(QComboBox* list, int index) {
        list->setCurrentIndex(index);
        emit list->activated(index);
        settle();
    }
};

}  // namespace vs::testing
