// Every file of the test corpus opened as a user opens it: copied into a folder, that folder
// opened in the Open dialog, and each file selected in turn with the arrow keys. Whatever the
// bytes, each selection ends with a picture in a titled image window, or with the image
// window hidden and a status text on the panel's Patient line.
#include <QDirIterator>

#include "core/loader.h"
#include "tests/support/damaged_copies.h"
#include "tests/ui/world.h"

using namespace vs;
using namespace vs::testing;

namespace {

// The final texts of a load that shows no picture; the progress texts do not count.
bool isLoadStatus(const QString& line) {
    for (int code = statusNoFileSelected; code <= statusTooBig; ++code)
        if (code != statusLoading && code != statusExamining && line == QLatin1String(loadStatusText(LoadStatus(code))))
            return true;
    return false;
}

// The files below a folder, named as the dialog lists them: sub-folders joined with '_'.
std::vector<Variant> filesUnder(const QString& folder) {
    std::vector<Variant> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.push_back({QDir(folder).relativeFilePath(path).replace('/', '_').toStdString(),
                         readFile(QFile::encodeName(path).toStdString())});
    }
    return files;
}

// Our own encodings.
std::vector<Variant> ownEncodings() {
    std::vector<Variant> files;
    for (const ImageRecipe& image : encodingVariety()) files.push_back({describe(image) + ".dcm", makeImage(image)});
    return files;
}

// Each file cut and overwritten, named after the file and the damage.
std::vector<Variant> damagedCopies(const std::vector<Variant>& originals) {
    std::vector<Variant> files;
    uint32_t seed = 1;
    for (const Variant& original : originals) {
        std::vector<Variant> variants = truncations(original.bytes);
        for (Variant& damaged : damages(original.bytes, seed++)) variants.push_back(std::move(damaged));
        for (size_t k = 0; k < variants.size(); ++k)
            files.push_back({original.label + " - " + std::to_string(k) + ", " + variants[k].label, std::move(variants[k].bytes)});
    }
    return files;
}

}  // namespace

class CorpusThroughOpenDialog : public QObject {
    Q_OBJECT

private slots:
    void everyFileShowsAPictureOrAStatus_data() {
        QTest::addColumn<QString>("group");
        for (const char* group : {"samples", "own", "own damaged", "pydicom", "pydicom damaged"})
            QTest::newRow(group) << QString(group);
    }
    void everyFileShowsAPictureOrAStatus() {
        QFETCH(QString, group);
        World w;
        if (group.startsWith("pydicom") && pydicomTestFiles().empty()) QSKIP("pydicom's test files are not installed");
        const QString pydicom = QFile::decodeName(pydicomFilesFolder.string().c_str());
        std::vector<Variant> files = group.startsWith("samples") ? filesUnder(VIREOSCAN_SAMPLES_DIR)
                                     : group.startsWith("own")   ? ownEncodings()
                                                                 : filesUnder(pydicom);
        if (group.endsWith("damaged")) files = damagedCopies(files);
        for (const Variant& file : files) w.writeBytes(QString::fromStdString(file.label), file.bytes);
        w.start();
        w.dialog()->setDirectory(w.dir.path());
        World::settle();
        QCOMPARE(w.list()->count(), int(files.size()));

        int pictures = 0, statuses = 0;
        w.key(w.list(), Qt::Key_Home);
        for (int row = 0; row < int(files.size()); ++row) {
            if (row > 0) w.key(w.list(), Qt::Key_Down);
            const QString name = w.list()->item(row)->text(), line = w.line(vs::ui::PanelLine::patient);
            QCOMPARE(QString::fromStdString(w.viewer().currentFileName), name);
            const bool status = isLoadStatus(line);
            ++(status ? statuses : pictures);
            const vs::ui::ImageWindow* window = w.app().imageWindow;
            if (status) QVERIFY2(!window->isVisible(), qPrintable(name + ": shown with status " + line));
            else QVERIFY2(window->isVisible() && !window->windowTitle().isEmpty(), qPrintable(name + ": no picture, no status"));
        }
        // Every group has files that show; the damaged ones also files that cannot be shown.
        QVERIFY(pictures > 0);
        QVERIFY(statuses > 0 || !group.endsWith("damaged"));
    }
};

QTEST_MAIN(CorpusThroughOpenDialog)
#include "test_corpus_open_dialog.moc"
