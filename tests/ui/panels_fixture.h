// Shared set-up of the panel tests: a folder of synthetic DICOM files and the real program
// started on one of them, with the start-up boxes answered at once.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QPushButton>
#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>

#include "tests/support/dicom_builder.h"
#include "ui/boxes.h"
#include "ui/button_pictures.h"
#include "ui/info_panel.h"
#include "ui/main_window.h"
#include "ui/open_dialog.h"
#include "ui/qt_host.h"
#include "ui/startup.h"

namespace vs::testing {

struct PanelsWorld {
    QTemporaryDir dir;
    std::unique_ptr<vs::ui::Program> program;
    vs::ui::Seams seams;  // tests add to them before start()

    PanelsWorld() { seams.modal = [](QDialog& box) { box.accept(); }; }  // start-up boxes: accepted

    ~PanelsWorld() {
        program.reset();
        settle();
    }

    void writeBytes(const QString& name, const std::vector<uint8_t>& bytes) const {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    void image(const QString& name, const std::string& patient, const std::string& instance = {},
               Syntax syntax = Syntax::explicitLittle) const {
        ImageRecipe recipe;
        recipe.syntax = syntax;
        recipe.rows = recipe.columns = 16;
        recipe.patientName = patient;
        recipe.instanceNumber = instance;
        writeBytes(name, makeImage(recipe));
    }

    // Starts the program as "vireoscan FILE" (or with no file).
    void start(const QString& file = {}) {
        static int starts = 0;
        vs::ui::StartOptions options;
        if (!file.isEmpty()) options.commandText = "\"" + QFile::encodeName(dir.filePath(file)).toStdString() + "\"";
        options.counter = 0;  // no donation box
        options.seams = seams;
        options.channel = QStringLiteral("vs-panels-%1-%2").arg(QCoreApplication::applicationPid()).arg(++starts);
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

    QStringList entries() {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i) names << list()->item(i)->text();
        return names;
    }
    QString selected() {
        const int row = dialog()->selectedRow();
        return row < 0 ? QString() : list()->item(row)->text();
    }
    // The file in memory, by name.
    QString shown() { return QFileInfo(QFile::decodeName(QByteArray::fromStdString(viewer().loadedPath))).fileName(); }
    QString patientLine() { return panel()->lineText(vs::ui::panelPatientLine); }
    int picture(int buttonId) { return vs::ui::buttonPictureOf(panel()->button(buttonId)); }

    void key(QWidget* w, Qt::Key k) {
        QTest::keyClick(w, k);
        settle();
    }
};

}  // namespace vs::testing
