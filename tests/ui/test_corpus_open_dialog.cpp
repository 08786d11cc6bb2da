// Every file of the test corpus opened as a user opens it: copied into a folder, that folder
// opened in the Open dialog, and each file selected in turn with the arrow keys. Whatever the
// bytes, each selection ends with a picture in a titled image window, or with the image
// window hidden and a status text on the panel's Patient line.
#include <QDirIterator>
#include <QProcess>
#include <QtTest>

#include "core/loader.h"
#include "tests/support/damaged_copies.h"
#include "tests/ui/panels_fixture.h"
#include "ui/image_window.h"

using namespace vs;
using namespace vs::testing;

namespace {

// The final texts of a load that shows no picture; the progress texts do not count.
bool isLoadStatus(const QString& line) {
    for (int code = statusNoFileSelected; code <= statusTooBig; ++code)
        if (code != statusLoading && code != statusExamining && line == QLatin1String(loadStatusText(code)))
            return true;
    return false;
}

// A name the dialog lists for a file below a folder: sub-folders joined with '_'.
std::string flatName(const std::filesystem::path& relative) {
    std::string name = relative.string();
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

std::vector<Variant> filesUnder(const QString& folder) {
    std::vector<Variant> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const std::filesystem::path path = QFile::encodeName(it.next()).toStdString();
        files.push_back({flatName(std::filesystem::relative(path, QFile::encodeName(folder).toStdString())),
                         readFile(path)});
    }
    return files;
}

std::vector<Variant> ownEncodings() {
    std::vector<Variant> files;
    for (const ImageRecipe& image : encodingVariety()) files.push_back({describe(image) + ".dcm", makeImage(image)});
    return files;
}

// Each file cut and overwritten once, named after the file and the damage.
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

std::vector<Variant> pydicomFiles() {
    return filesUnder(QFile::decodeName(pydicomFilesFolder.string().c_str()));
}

// What the corpus checks' builder program writes, with its manifest.
std::vector<Variant> builderCases(const QString& scratch) {
#ifdef CORPUS_BUILDER_CASES
    if (QProcess::execute(QStringLiteral(CORPUS_BUILDER_CASES), {scratch}) != 0) return {};
    return filesUnder(scratch);
#else
    (void)scratch;
    return {};
#endif
}

}  // namespace

class CorpusThroughOpenDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<PanelsWorld> w;

    QString folderWith(const QString& group, const std::vector<Variant>& files) {
        QDir(w->dir.path()).mkdir(group);
        for (const Variant& file : files) w->writeBytes(group + "/" + QString::fromStdString(file.label), file.bytes);
        return w->dir.filePath(group);
    }

    int pictures_ = 0;
    int statuses_ = 0;

    // The selected file's outcome: a picture or a status, never both and never neither.
    void expectPictureOrStatus(int row) {
        const QString name = w->list()->item(row)->text();
        QCOMPARE(w->dialog()->selectedRow(), row);
        QCOMPARE(QString::fromStdString(w->viewer().currentFileName), name);
        const QString line = w->patientLine();
        const vs::ui::ImageWindow* window = w->app().imageWindow;
        const bool status = isLoadStatus(line);
        ++(status ? statuses_ : pictures_);
        if (status)
            QVERIFY2(!window->isVisible(), qPrintable(name + ": shown with status " + line));
        else
            QVERIFY2(window->isVisible() && !window->windowTitle().isEmpty(),
                     qPrintable(name + ": no picture and no status, Patient line '" + line + "'"));
    }

    std::vector<Variant> filesOf(const QString& group) {
        if (group == "samples") return filesUnder(QStringLiteral(VIREOSCAN_SAMPLES_DIR));
        if (group == "damaged") return damagedCopies(ownEncodings());
        if (group == "pydicom") return pydicomFiles();
        if (group == "pydicom-damaged") return damagedCopies(pydicomFiles());
        std::vector<Variant> made = ownEncodings();
        for (Variant& v : builderCases(folderWith("builder-scratch", {}))) made.push_back(std::move(v));
        return made;
    }

private slots:
    void initTestCase() {
        w = std::make_unique<PanelsWorld>();
        w->seams.message = [](const vs::ui::MessageRequest&) { return MessageAnswer::ok; };
        w->start();
    }
    void cleanupTestCase() { w.reset(); }

    void everyFileShowsAPictureOrAStatus_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("needsPydicom");
        QTest::newRow("bundled samples") << "samples" << false;
        QTest::newRow("builder files") << "builder" << false;
        QTest::newRow("own encodings damaged") << "damaged" << false;
        QTest::newRow("pydicom test files") << "pydicom" << true;
        QTest::newRow("pydicom test files damaged") << "pydicom-damaged" << true;
    }
    void everyFileShowsAPictureOrAStatus() {
        QFETCH(QString, group);
        QFETCH(bool, needsPydicom);
        if (needsPydicom && pydicomTestFiles().empty()) QSKIP("pydicom's test files are not installed");
        const std::vector<Variant> files = filesOf(group);
        QVERIFY(!files.empty());
        w->dialog()->setDirectory(folderWith(group, files));
        PanelsWorld::settle();
        QCOMPARE(w->list()->count(), int(files.size()));

        pictures_ = statuses_ = 0;
        w->key(w->list(), Qt::Key_Home);
        expectPictureOrStatus(0);
        for (int row = 1; row < int(files.size()); ++row) {
            w->key(w->list(), Qt::Key_Down);
            expectPictureOrStatus(row);
        }
        // Every group has files that show; the damaged ones also files that cannot be shown.
        QVERIFY(pictures_ > 0);
        if (group.contains("damaged")) QVERIFY(statuses_ > 0);
    }
};

QTEST_MAIN(CorpusThroughOpenDialog)
#include "test_corpus_open_dialog.moc"
