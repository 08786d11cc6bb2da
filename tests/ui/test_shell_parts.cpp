// The shell's pieces that need no running viewer: the command line, the donation choice and
// its box, the About box, the single-instance channel, the save format rule, the painting.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "shell_fixture.h"
#include "ui/animation_control.h"
#include "ui/image_window.h"
#include "ui/save_image_as.h"
#include "ui/single_instance.h"

using namespace vs;
using namespace vs::ui;
using namespace vs::ui::test;

class ShellParts : public QObject {
    Q_OBJECT
private slots:
    void init() {
        resetSeen();
        installAnswerHooks();
    }

    void commandLineTakesOnePath_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "/data/a.dcm" << "/data/a.dcm";
        QTest::newRow("leading blanks skipped") << "   /data/a.dcm" << "/data/a.dcm";
        QTest::newRow("quoted with blanks, further word dropped") << "\"/my data/a b.dcm\" extra" << "/my data/a b.dcm";
        QTest::newRow("unquoted keeps further words") << "/my data/a b.dcm extra" << "/my data/a b.dcm extra";
        QTest::newRow("missing closing quote takes the rest") << "  \"/data/a b" << "/data/a b";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("only blanks") << "    " << "";
    }
    void commandLineTakesOnePath() {
        QFETCH(QString, text);
        QFETCH(QString, path);
        QCOMPARE(QString::fromStdString(commandLineToPath(text.toStdString())), path);
    }

    void commandLineIsCutAt2047Characters() {
        const std::string longText(3000, 'x');
        QCOMPARE(commandLineToPath(longText).size(), size_t(2047));
        // The quote search happens within the cut text too.
        QCOMPARE(commandLineToPath("\"" + longText + "\"").size(), size_t(2046));
    }

    void argumentsAreJoinedBySingleBlanks() {
        const char* argv[] = {"vireoscan", "/my", "data/a.dcm"};
        QCOMPARE(argumentText(3, argv), std::string("/my data/a.dcm"));
        QCOMPARE(commandLineToPath(argumentText(3, argv)), std::string("/my data/a.dcm"));
        const char* none[] = {"vireoscan"};
        QCOMPARE(argumentText(1, none), std::string());
    }

    void donationIsDueWhenTheLowTwoBitsAre01() {
        for (uint64_t counter = 0; counter < 16; ++counter)
            QCOMPARE(donationDueAtStart(counter), (counter & 3) == 1);
    }

    void donationBoxButtonOrderFollowsCounterBit2() {
        {
            DonationBox box(nullptr, 4 | 1);
            QVERIFY(!box.swapped());
            QCOMPARE(box.findChild<QPushButton*>("1")->text(), QString("Make a Donation"));
            QCOMPARE(box.findChild<QPushButton*>("2")->text(), QString("Maybe Later"));
            QVERIFY(box.findChild<QPushButton*>("1")->isDefault());
        }
        {
            DonationBox box(nullptr, 1);
            QVERIFY(box.swapped());
            QCOMPARE(box.findChild<QPushButton*>("1")->text(), QString("Maybe Later"));
            QCOMPARE(box.findChild<QPushButton*>("2")->text(), QString("Make a Donation"));
            QVERIFY(box.findChild<QPushButton*>("2")->isDefault());
        }
    }

    void donationBoxOpensThePageOnlyFromMakeADonation_data() {
        QTest::addColumn<uint64_t>("counter");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("opens");
        QTest::newRow("in order, left button") << uint64_t(4) << "1" << true;
        QTest::newRow("in order, right button") << uint64_t(4) << "2" << false;
        QTest::newRow("in order, Escape") << uint64_t(4) << "escape" << false;
        QTest::newRow("swapped, left button") << uint64_t(0) << "1" << false;
        QTest::newRow("swapped, right button") << uint64_t(0) << "2" << true;
        QTest::newRow("swapped, Escape") << uint64_t(0) << "escape" << true;
    }
    void donationBoxOpensThePageOnlyFromMakeADonation() {
        QFETCH(uint64_t, counter);
        QFETCH(QString, action);
        QFETCH(bool, opens);
        setModalHook([action](QDialog& box) {
            if (action == "escape") QTest::keyClick(&box, Qt::Key_Escape);
            else QTest::mouseClick(box.findChild<QPushButton*>(action), Qt::LeftButton);
        });
        DonationBox box(nullptr, counter);
        runModal(box);
        QVERIFY(!box.isVisible());
        QCOMPARE(seen().pages.size(), opens ? 1 : 0);
        if (opens) QCOMPARE(seen().pages.first().host(), QString("vireoscan.example.org"));
    }

    void donationBoxListsItsLinesInOrder() {
        DonationBox box(nullptr, 4);
        auto* lines = box.findChild<QListWidget*>("1004");
        QCOMPARE(lines->count(), 13);
        QCOMPARE(lines->item(1)->text(), QString("Although Vireoscan is FREE software and you may use it as"));
        QCOMPARE(lines->item(12)->text(), QString("All donations will be used for further development!"));
        QCOMPARE(lines->selectionMode(), QAbstractItemView::NoSelection);
    }

    void aboutBoxIgnoresEscapeAndClosesOnEnter() {
        bool openAfterEscape = false;
        setModalHook([&](QDialog& box) {
            QTest::keyClick(&box, Qt::Key_Escape);
            openAfterEscape = box.isVisible();
            QTest::keyClick(box.findChild<QPushButton*>("1"), Qt::Key_Return);
        });
        AboutBox box(nullptr);
        runModal(box);
        QVERIFY(openAfterEscape);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.windowTitle(), QString("About Vireoscan v 1.2"));
    }

    void aSecondFatalErrorBoxReplacesTheFirst() {
        QWidget stale;
        stale.setWindowTitle(fatalCaption);
        stale.show();
        showFatalError(nullptr, "Exit - Not enough free memory.");
        QVERIFY(!stale.isVisible());
        QCOMPARE(seen().messages.size(), size_t(1));
        QCOMPARE(seen().messages[0].caption, QString("Vireoscan Error"));
        QCOMPARE(seen().messages[0].icon, MessageIcon::stop);
    }

    void saveFormatFollowsTheFileNamesOwnExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("format");  // -1: no valid extension
        QTest::newRow("bmp") << "/tmp/out.bmp" << int(formatBmp);
        QTest::newRow("upper TIF") << "/tmp/OUT.TIF" << int(formatTiff8);
        QTest::newRow("tiff") << "/tmp/out.tiff" << int(formatTiff8);
        QTest::newRow("folder named .tif, bmp file") << "/tmp/scans.tif/x.bmp" << int(formatBmp);
        QTest::newRow("folder named .bmp, tif file") << "/tmp/a.bmp/x.Tif" << int(formatTiff8);
        QTest::newRow("jpg") << "/tmp/out.jpg" << -1;
        QTest::newRow("tif inside the name") << "/tmp/out.tif.jpg" << -1;
        QTest::newRow("folder .tif, no extension") << "/tmp/a.tif/x" << -1;
    }
    void saveFormatFollowsTheFileNamesOwnExtension() {
        QFETCH(QString, path);
        QFETCH(int, format);
        const std::optional<uint16_t> chosen = saveFormatOf(path);
        QCOMPARE(chosen ? int(*chosen) : -1, format);
    }

    void stepRateIsCappedByTheFramePeriod() {
        const uint64_t second = 1000000000;
        QCOMPARE(measuredStepRate(second, second / 40, 40), 25u);     // 25 ms apart: 41 capped to 25
        QCOMPARE(measuredStepRate(second, second / 10, 40), 11u);     // 100 ms apart
        QCOMPARE(measuredStepRate(second, 0, 40), 25u);               // no time at all
        QCOMPARE(measuredStepRate(second, 5 * second, 1500), 0u);     // slowest speed: nominal 0 fps
    }

    void paintingTakesTheNearestPixelAtEachZoom() {
        Viewer v;
        v.image.rows = 8;
        v.image.columns = 8;
        v.window.displayStride = 8;
        for (int i = 0; i < 64; ++i) v.display[size_t(i)] = uint8_t(i * 3);
        const auto at = [](const QImage& image, int x, int y) { return int(image.pixelIndex(x, y)); };

        v.zoomFactor = 2;
        QImage twice = paintDisplay(v, QSize(16, 16), 0, 0);
        QCOMPARE(at(twice, 0, 0), 0);
        QCOMPARE(at(twice, 3, 1), v.display[1]);
        QCOMPARE(at(twice, 15, 15), v.display[63]);
        // Scrolled 4 display pixels right and 2 down at zoom 2: buffer column 2, row 1 first.
        QImage scrolled = paintDisplay(v, QSize(8, 8), 4, 2);
        QCOMPARE(at(scrolled, 0, 0), v.display[1 * 8 + 2]);
        QCOMPARE(at(scrolled, 7, 7), v.display[4 * 8 + 5]);

        v.zoomFactor = 0.5;
        QImage half = paintDisplay(v, QSize(4, 4), 0, 0);
        QCOMPARE(at(half, 1, 1), v.display[2 * 8 + 2]);
        QCOMPARE(at(half, 3, 2), v.display[4 * 8 + 6]);
    }

    void scrollRangesFollowTheZoomedImage() {
        QCOMPARE(scrollRange(512, 2.0, 400), 624);
        QCOMPARE(scrollRange(512, 1.0, 600), 0);       // wider client than image
        QCOMPARE(scrollRange(4000, 4.0, 1000), 0);     // 15000 is beyond the limit
        QCOMPARE(scrollRange(100, 0.25, 10), 15);
    }

    void handOffReachesTheRunningInstanceOnly() {
        const QString channel = QDir::temp().filePath(QString("vs-test-%1").arg(getpid()));
        QVERIFY(!SingleInstance::handOff(channel, "/a.dcm"));  // nobody is running
        SingleInstance first;
        QVERIFY(first.listen(channel));
        QSignalSpy received(&first, &SingleInstance::pathReceived);
        QVERIFY(SingleInstance::handOff(channel, "/data/x y.dcm"));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toByteArray(), QByteArray("/data/x y.dcm"));
        // Only the owner may use the socket.
        const QFileInfo socketFile(channel);
        QCOMPARE(socketFile.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup |
                                             QFile::WriteGroup),
                 QFile::Permissions());
        // A second instance may not start a channel of its own meanwhile.
        SingleInstance second;
        QVERIFY(!second.listen(channel));
        first.close();
    }

    void oneConnectionCarriesOnePathAtMost() {
        const QString channel = QDir::temp().filePath(QString("vs-test-one-%1").arg(getpid()));
        SingleInstance first;
        QVERIFY(first.listen(channel));
        QSignalSpy received(&first, &SingleInstance::pathReceived);
        QLocalSocket sender;
        sender.connectToServer(channel);
        QVERIFY(sender.waitForConnected(1000));
        const auto message = [](const QByteArray& path) {
            QByteArray m(4, 0);
            m[3] = char(path.size());
            return m + path;
        };
        sender.write(message("/first.dcm") + message("/second.dcm"));
        sender.flush();
        QTRY_COMPARE(received.size(), 1);
        QTest::qWait(50);  // a late second path must not come through
        QCOMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toByteArray(), QByteArray("/first.dcm"));

        // A length beyond any path is refused.
        QLocalSocket liar;
        liar.connectToServer(channel);
        QVERIFY(liar.waitForConnected(1000));
        liar.write(QByteArray("\x7f\xff\xff\xff", 4) + "x");
        liar.flush();
        QTRY_VERIFY(liar.state() == QLocalSocket::UnconnectedState);
        QCOMPARE(received.size(), 1);
    }

    void aStaleChannelIsTakenOver() {
        const QByteArray channel = QDir::temp().filePath(QString("vs-test-stale-%1").arg(getpid())).toLocal8Bit();
        // A socket file that nobody listens on, as a crashed instance leaves it.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, channel.constData(), sizeof(address.sun_path) - 1);
        ::unlink(channel.constData());
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
        QVERIFY(QFileInfo::exists(QString::fromLocal8Bit(channel)));
        QVERIFY(!SingleInstance::handOff(QString::fromLocal8Bit(channel), "/a.dcm"));
        SingleInstance first;
        QVERIFY(first.listen(QString::fromLocal8Bit(channel)));
        first.close();
    }
};

QTEST_MAIN(ShellParts)
#include "test_shell_parts.moc"
