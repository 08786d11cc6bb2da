// The shell's pieces that need no running viewer: the command line, the donation box, the
// About box, the single-instance channel, the save format rule, the painting.
#include <QApplication>
#include <QListWidget>
#include <QLocalSocket>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
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

    static QString channel(const char* name) { return QDir::temp().filePath(QString("vs-%1-%2").arg(name).arg(getpid())); }

    Seen seen_;
    Seams seams_ = answering(seen_);
    Seen& seen() { return seen_; }

private slots:
    void init() { seen_ = Seen{}; }

    void commandLineTakesOnePath() {
        const struct { std::string text, path; } cases[] = {
            {"   /data/a.dcm", "/data/a.dcm"},
            {"\"/my data/a b.dcm\" extra", "/my data/a b.dcm"},  // quoted: a further word dropped
            {"/my data/a b.dcm extra", "/my data/a b.dcm extra"},
            {"  \"/data/a b", "/data/a b"},  // a missing closing quote takes the rest
            {"    ", ""},
        };
        for (const auto& c : cases) QCOMPARE(commandLineToPath(c.text), c.path);
        const std::string longText(3000, 'x');
        QCOMPARE(commandLineToPath(longText).size(), size_t(2047));
        QCOMPARE(commandLineToPath("\"" + longText + "\"").size(), size_t(2046));  // the quote search is within the cut
        const char* argv[] = {"vireoscan", "/my", "data/a.dcm"};
        QCOMPARE(argumentText(3, argv), std::string("/my data/a.dcm"));
    }

    void donationBoxOpensThePageOnlyFromMakeADonation() {
        // Bit 2 of the counter keeps "Make a Donation" on the left; otherwise the buttons are
        // swapped and Escape, which stands for the right-hand button, opens the page too.
        const struct { uint64_t counter; const char* action; bool opens; } cases[] = {
            {4, "1", true}, {4, "2", false}, {4, "escape", false},
            {0, "1", false}, {0, "2", true}, {0, "escape", true},
        };
        for (const auto& c : cases) {
            seen_ = Seen{};
            DonationBox box(nullptr, c.counter, seams_.pages);
            runModal(box, [&c](QDialog& shown) {
                if (QString(c.action) == "escape") QTest::keyClick(&shown, Qt::Key_Escape);
                else QTest::mouseClick(shown.findChild<QPushButton*>(c.action), Qt::LeftButton);
            });
            QVERIFY(!box.isVisible());
            QCOMPARE(seen().pages.size(), c.opens ? 1 : 0);
        }
    }

    void donationLinesShowWholeAtTheFontInUse() {
        const QFont normal = QApplication::font();
        for (double scale : {1.0, 1.6}) {
            QFont font = normal;
            font.setPointSizeF(normal.pointSizeF() * scale);
            QApplication::setFont(font);
            DonationBox box(nullptr, 4, {});
            box.show();
            const auto* list = box.findChild<QListWidget*>("1004");
            const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
            for (int i = 0; i < list->count(); ++i) {
                const QRect place = list->visualItemRect(list->item(i));
                const QString text = list->item(i)->text();
                QVERIFY2(list->viewport()->rect().contains(place), qPrintable(text));
                QVERIFY2(list->fontMetrics().horizontalAdvance(text) + margins <= place.width(), qPrintable(text));
            }
            for (const QPushButton* b : box.findChildren<QPushButton*>()) QVERIFY(box.rect().contains(b->geometry()));
        }
        QApplication::setFont(normal);
    }

    void aboutBoxIgnoresEscapeAndClosesOnEnter() {
        bool openAfterEscape = false;
        AboutBox box(nullptr);
        runModal(box, [&](QDialog& shown) {
            QTest::keyClick(&shown, Qt::Key_Escape);
            openAfterEscape = shown.isVisible();
            QTest::keyClick(shown.findChild<QPushButton*>("1"), Qt::Key_Return);
        });
        QVERIFY(openAfterEscape);
        QVERIFY(!box.isVisible());
    }

    void aSecondFatalErrorBoxReplacesTheFirst() {
        QWidget stale;
        stale.setWindowTitle(fatalCaption);
        stale.show();
        showFatalError("Exit - Not enough free memory.", seams_.message);
        QVERIFY(!stale.isVisible());
        QCOMPARE(seen().messages.size(), size_t(1));
        QCOMPARE(seen().messages[0].caption, QString("Vireoscan Error"));
        QCOMPARE(seen().messages[0].icon, MessageIcon::stop);
    }

    void saveFormatFollowsTheFileNamesOwnExtension() {
        const struct { const char* path; int format; } cases[] = {
            {"/tmp/OUT.TIF", formatTiff8},        {"/tmp/out.tiff", formatTiff8},
            {"/tmp/scans.tif/x.bmp", formatBmp},  {"/tmp/a.bmp/x.Tif", formatTiff8},
            {"/tmp/out.tif.jpg", -1},             {"/tmp/a.tif/x", -1},
        };
        for (const auto& c : cases) {
            const std::optional<uint16_t> chosen = saveFormatOf(c.path);
            QVERIFY2((chosen ? int(*chosen) : -1) == c.format, c.path);
        }
    }

    void stepRateIsCappedByTheFramePeriod() {
        const uint64_t second = 1000000000;
        QCOMPARE(measuredStepRate(second, second / 40, 40), 25u);  // 25 ms apart: 41 capped to 25
        QCOMPARE(measuredStepRate(second, second / 10, 40), 11u);
        QCOMPARE(measuredStepRate(second, 0, 40), 25u);
        QCOMPARE(measuredStepRate(second, 5 * second, 1500), 0u);
    }

    void paintingTakesTheNearestPixelAtEachZoom() {
        Viewer v;
        v.dicom.image.rows = v.dicom.image.columns = 8;
        v.window.displayStride = 8;
        for (int i = 0; i < 64; ++i) v.display[size_t(i)] = uint8_t(i * 3);
        const auto at = [](const QImage& image, int x, int y) { return int(image.pixelIndex(x, y)); };
        v.zoomFactor = 2;
        QImage twice = paintDisplay(v, QSize(16, 16), 0, 0);
        QCOMPARE(at(twice, 3, 1), v.display[1]);
        QCOMPARE(at(twice, 15, 15), v.display[63]);
        v.zoomFactor = 0.5;
        QImage half = paintDisplay(v, QSize(4, 4), 0, 0);
        QCOMPARE(at(half, 3, 2), v.display[4 * 8 + 6]);

        QCOMPARE(scrollRange(512, 2.0, 400), 624);
        QCOMPARE(scrollRange(512, 1.0, 600), 0);    // wider client than image
        QCOMPARE(scrollRange(4000, 4.0, 1000), 0);  // 15000 is beyond the limit
        QCOMPARE(scrollRange(100, 0.25, 10), 15);
    }

    void handOffReachesTheRunningInstanceOnly() {
        const QString name = channel("handoff");
        QVERIFY(!SingleInstance::handOff(name, "/a.dcm"));  // nobody is running
        SingleInstance first;
        QVERIFY(first.listen(name));
        QSignalSpy received(&first, &SingleInstance::pathReceived);
        // Only the owner may use the socket; a second instance may not listen meanwhile.
        QCOMPARE(QFileInfo(name).permissions() &
                     (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
                 QFile::Permissions());
        SingleInstance second;
        QVERIFY(!second.listen(name));

        // One connection carries one path at most; a length beyond any path is refused.
        QLocalSocket sender;
        sender.connectToServer(name);
        QVERIFY(sender.waitForConnected(1000));
        const auto message = [](const QByteArray& path) { return QByteArray(3, 0) + char(path.size()) + path; };
        sender.write(message("/data/x y.dcm") + message("/second.dcm"));
        sender.flush();
        QTRY_COMPARE(received.size(), 1);
        QTest::qWait(50);
        QCOMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toByteArray(), QByteArray("/data/x y.dcm"));
        QLocalSocket liar;
        liar.connectToServer(name);
        QVERIFY(liar.waitForConnected(1000));
        liar.write(QByteArray("\x7f\xff\xff\xff", 4) + "x");
        liar.flush();
        QTRY_VERIFY(liar.state() == QLocalSocket::UnconnectedState);
        QCOMPARE(received.size(), 1);
    }

    void handOffStaysOnItsOwnDisplay() {
        // A start on another X server, Wayland socket or remote session gets a viewer of its
        // own; one on the same display reaches the running one.
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const auto channelOn = [](const QByteArray& wayland, const QByteArray& x11) {
            qputenv("WAYLAND_DISPLAY", wayland);
            qputenv("DISPLAY", x11);
            return SingleInstance::defaultChannel();
        };
        const QByteArray longWayland = "/run/user/1000/" + QByteArray(120, 'w');
        const struct { QByteArray runningWayland, runningX11, startWayland, startX11; bool reaches; } cases[] = {
            {"", ":0", "", ":0", true},
            {"", ":0", "", ":1", false},
            {"", ":0", "", "%3A0", false},  // names are encoded, never folded together
            {"", "localhost:10.0", "", "localhost:11.0", false},
            {"wayland-0", ":0", "wayland-0", ":1", true},  // Wayland's socket names the session
            {"wayland-0", ":0", "wayland-1", ":0", false},
            {longWayland, "", longWayland, "", true},
            {"", "", "", "", true},  // no display at all: the platform's name keys the channel
        };
        for (const auto& c : cases) {
            SingleInstance running;
            QVERIFY(running.listen(channelOn(c.runningWayland, c.runningX11)));
            const QString start = channelOn(c.startWayland, c.startX11);
            QVERIFY(start.startsWith(runtime.path()));
            QCOMPARE(SingleInstance::handOff(start, "/a.dcm"), c.reaches);
        }
        QVERIFY(channelOn("", "").endsWith("offscreen"));
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("DISPLAY");
        qunsetenv("XDG_RUNTIME_DIR");
    }

    void aStaleChannelIsTakenOver() {
        const QByteArray name = channel("stale").toLocal8Bit();
        // A socket file that nobody listens on, as a crashed instance leaves it.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, name.constData(), sizeof(address.sun_path) - 1);
        ::unlink(name.constData());
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
        QVERIFY(!SingleInstance::handOff(QString::fromLocal8Bit(name), "/a.dcm"));
        SingleInstance first;
        QVERIFY(first.listen(QString::fromLocal8Bit(name)));
    }
};

QTEST_MAIN(ShellParts)
#include "test_shell_parts.moc"
