// The package download against cast-server: the partial file and its rename,
// progress, and the failures that must never be offered as a package; then
// the download dialog's states driven by real downloads.
#include "api/download/downloadutil.h"
#include "app/config/configutil.h"
#include "peakmemory.h"
#include "support/castserver.h"
#include "support/testconfig.h"
#include "ui/downloaddialog/downloaddialog.h"
#include "ui/progressbar/qroundprogressbar.h"

#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

const char *const packageName = "setup_2.1.0.exe";
const qint64 oneGiB = qint64(1) << 30;

// A query value with every reserved character percent-encoded.
QString encoded(const QString &value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), qint64(data.size()));
}

int requestsFor(const TestServer &server, const QString &name) {
    int count = 0;
    for (const QJsonObject &entry : server.requests()) {
        count += entry.value("path").toString().endsWith("/" + name) ? 1 : 0;
    }
    return count;
}

// Answers every GET with the first half of body at once and, 300 ms later,
// either the second half or nothing, then closes the connection. Held sends
// the first half in four pieces 200 ms apart (Qt reports progress at most
// every 100 ms) and the rest after release(). With announceLength false the
// end of the body is the closed connection.
// cast-server sends its variants in one go on loopback: too fast for a
// progress report before the end, and its cut arrives together with the close.
class PacedServer : public QObject {
public:
    enum Ending { SecondHalf, Cut, Held };

    PacedServer(const QByteArray &body, bool announceLength, Ending ending)
        : m_body(body), m_announceLength(announceLength), m_ending(ending) {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_request += socket->readAll();
                if (m_request.contains("\r\n\r\n")) {
                    respond(socket);
                }
            });
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/package").arg(m_server.serverPort());
    }
    int requests() const { return m_requests; }
    void release() {
        m_released = true;
        for (QTcpSocket *socket : m_held) {
            if (socket) {
                finish(socket);
            }
        }
        m_held.clear();
    }

private:
    void respond(QTcpSocket *socket) {
        ++m_requests;
        m_request.clear();
        const int half = m_body.size() / 2;
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n";
        if (m_announceLength) {
            head += "Content-Length: " + QByteArray::number(m_body.size()) + "\r\n";
        }
        socket->write(head + "Connection: close\r\n\r\n");
        if (m_ending == Held) {
            sendHeldPiece(socket, 0);
            return;
        }
        socket->write(m_body.left(half));
        QTimer::singleShot(300, socket, [this, socket] { finish(socket); });
    }
    void sendHeldPiece(QTcpSocket *socket, int sent) {
        const int half = m_body.size() / 2;
        if (sent >= half) {
            if (m_released) {
                finish(socket);
            } else {
                m_held << socket;
            }
            return;
        }
        const int piece = qMin(half / 4 + 1, half - sent);
        socket->write(m_body.mid(sent, piece));
        QTimer::singleShot(200, socket,
                           [this, socket, sent, piece] { sendHeldPiece(socket, sent + piece); });
    }
    void finish(QTcpSocket *socket) {
        if (m_ending != Cut) {
            socket->write(m_body.mid(m_body.size() / 2));
        }
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_body;
    bool m_announceLength;
    Ending m_ending;
    QByteArray m_request;
    int m_requests = 0;
    QList<QPointer<QTcpSocket>> m_held;
    bool m_released = false;
};

} // namespace

class DownloadTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void successWritesPartialFileThenRenames();
    void stalePartialFileIsRemovedFirst();
    void stalePackageIsReplacedOnCompletion();
    void unknownLengthReportsTotalMinusOne();
    void failedTransfersLeaveNothing_data();
    void failedTransfersLeaveNothing();
    void uncreatablePartialFileFailsWithoutRequest();
    void bodyShorterThanAnnouncedFails();
    void redirectToWebAddressIsFollowed();
    void oversizedStreamIsRefusedWithBoundedMemory();

    void dialogShowsProgressThenOpensPackage();
    void dialogOffersPresentPackageWithoutDownloading();
    void dialogShowsFailureAndOpensNothing_data();
    void dialogShowsFailureAndOpensNothing();
    void dialogRingShowsWholePercent();
    void dialogDeletesPackageThatCannotBeOpened();
    void dialogKeepsConfiguredNameInsideDownloadFolder();
    void dialogOpenedAgainFollowsRunningDownload();
    void plantedLinksAreReplacedNotFollowed();
    void dialogDownloadsAgainOverWhatCannotBeThePackage_data();
    void dialogDownloadsAgainOverWhatCannotBeThePackage();
    void failedFinalRenameKeepsTheOldAndShowsFailure();
    // Last: it runs the application's event loop to its end.
    void endingTheProgramRemovesThePartialFile();

private:
    struct DialogRun {
        QPointer<DownloadDialog> dialog;
        QStringList opened;
        QList<bool> upgrades;
        int closes = 0;
        int failureDismissals = 0;
    };
    // A shown dialog whose signals and package opening are recorded in run.
    void startDialog(DialogRun &run, const QString &url);
    QString downloadFolder() const;

    QTemporaryDir m_home;
    QTemporaryDir m_served;
    QTemporaryDir m_target;
    QByteArray m_package;
    TestServer m_server;
    ConfigScope m_config;
};

void DownloadTest::initTestCase() {
    // The dialog saves into the user's download folder: keep it in a scratch home.
    qputenv("HOME", m_home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(downloadFolder().startsWith(m_home.path()));

    m_package.resize(300 * 1024);
    QRandomGenerator generator(7);
    for (char &byte : m_package) {
        byte = char(generator.bounded(256));
    }
    m_package.replace(0, 2, "MZ");
    writeFile(m_served.filePath(packageName), m_package);
    writeFile(m_served.filePath("errorpage.html"), "<html><body>502 Bad Gateway</body></html>");
    const QString error = m_server.start({"--files", m_served.path()});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void DownloadTest::init() {
    ConfigScope::clear();
    QDir(downloadFolder()).removeRecursively();
    for (const QString &name : QDir(m_target.path()).entryList(QDir::Files)) {
        QFile::remove(m_target.filePath(name));
    }
}

void DownloadTest::cleanup() {
    DownloadDialog::setPackageOpener({});
}

QString DownloadTest::downloadFolder() const {
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

void DownloadTest::successWritesPartialFileThenRenames() {
    const QString target = m_target.filePath(packageName);
    DownloadUtil util;
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);
    QSignalSpy failed(&util, &DownloadUtil::downloadFailed);
    bool partialSeenAlone = false;
    QList<qint64> totals;
    connect(&util, &DownloadUtil::downloadProcess, this, [&](qint64 received, qint64 total) {
        totals << total;
        if (received > 0 && received < total) {
            partialSeenAlone |= QFile::exists(target + ".tmp") && !QFile::exists(target);
        }
    });

    util.downloadFileFromURL(m_server.url("/files-slow/") + packageName, target);
    QTRY_COMPARE_WITH_TIMEOUT(complete.count(), 1, 10000);
    QCOMPARE(complete.first().first().toString(), target);
    QCOMPARE(failed.count(), 0);
    QVERIFY(partialSeenAlone);
    QVERIFY(!QFile::exists(target + ".tmp"));
    QCOMPARE(readFile(target), m_package);
    QCOMPARE(totals.last(), qint64(m_package.size()));
}

void DownloadTest::stalePartialFileIsRemovedFirst() {
    const QString target = m_target.filePath(packageName);
    writeFile(target + ".tmp", QByteArray(5000, 'x'));
    DownloadUtil util;
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);

    util.downloadFileFromURL(m_server.url("/files-slow/") + packageName, target);
    QCOMPARE(QFileInfo(target + ".tmp").size(), qint64(0));
    QTRY_COMPARE_WITH_TIMEOUT(complete.count(), 1, 10000);
    QCOMPARE(readFile(target), m_package);
}

void DownloadTest::stalePackageIsReplacedOnCompletion() {
    const QString target = m_target.filePath(packageName);
    writeFile(target, "an older package");
    DownloadUtil util;
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);

    util.downloadFileFromURL(m_server.url("/files/") + packageName, target);
    QTRY_COMPARE(complete.count(), 1);
    QCOMPARE(readFile(target), m_package);
    QVERIFY(!QFile::exists(target + ".tmp"));
}

void DownloadTest::unknownLengthReportsTotalMinusOne() {
    const QString target = m_target.filePath(packageName);
    PacedServer server(m_package, false, PacedServer::SecondHalf);
    QVERIFY(server.listen());
    DownloadUtil util;
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);
    QSignalSpy progress(&util, &DownloadUtil::downloadProcess);

    util.downloadFileFromURL(server.url(), target);
    QTRY_COMPARE(complete.count(), 1);
    QVERIFY(progress.count() >= 2);
    QVERIFY(progress.first().at(0).toLongLong() > 0);
    QCOMPARE(progress.first().at(1).toLongLong(), qint64(-1));
    QCOMPARE(readFile(target), m_package);

    // cast-server's chunked answer, which reports no length either, is accepted whole.
    QFile::remove(target);
    DownloadUtil chunked;
    QSignalSpy chunkedComplete(&chunked, &DownloadUtil::downloadComplate);
    chunked.downloadFileFromURL(m_server.url("/files-nolength/") + packageName, target);
    QTRY_COMPARE(chunkedComplete.count(), 1);
    QCOMPARE(readFile(target), m_package);
}

void DownloadTest::failedTransfersLeaveNothing_data() {
    QTest::addColumn<QString>("url");
    QTest::newRow("HTTP 404") << m_server.url("/files/missing.exe");
    QTest::newRow("connection dropped half way") << m_server.url("/files-cut/") + packageName;
    QTest::newRow("server error page") << m_server.url("/prod-api/no/such/endpoint");
    QTest::newRow("not an executable") << m_server.url("/files/errorpage.html");
    QTest::newRow("local file address") << "file:///etc/passwd";
    QTest::newRow("other scheme") << "ftp://127.0.0.1/setup.exe";
    QTest::newRow("redirect to a local file")
        << m_server.url("/redirect?to=") + encoded("file:///etc/passwd");
    QTest::newRow("2 GiB announced") << m_server.url("/generated/2147483648");
    QTest::newRow("silent half way") << m_server.url("/generated-stall/300000");
    QTest::newRow("one byte a second") << m_server.url("/generated-drip/300000");
}

void DownloadTest::failedTransfersLeaveNothing() {
    QFETCH(QString, url);
    const QString target = m_target.filePath(packageName);
    DownloadUtil util;
    util.setStallTimeout(1500);
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);
    QSignalSpy failed(&util, &DownloadUtil::downloadFailed);

    util.downloadFileFromURL(url, target);
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
    QCOMPARE(failed.first().first().toString(), target);
    QTest::qWait(50);
    QCOMPARE(complete.count(), 0);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFile::exists(target + ".tmp"));
}

void DownloadTest::uncreatablePartialFileFailsWithoutRequest() {
    const QString target = m_target.filePath("no/such/folder/") + packageName;
    const int before = requestsFor(m_server, packageName);
    DownloadUtil util;
    QSignalSpy failed(&util, &DownloadUtil::downloadFailed);

    util.downloadFileFromURL(m_server.url("/files/") + packageName, target);
    QCOMPARE(failed.count(), 0); // reported from the event loop, after the caller connects
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(requestsFor(m_server, packageName), before);
}

void DownloadTest::bodyShorterThanAnnouncedFails() {
    const QString target = m_target.filePath(packageName);
    PacedServer server(m_package, true, PacedServer::Cut);
    QVERIFY(server.listen());
    DownloadUtil util;
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);
    QSignalSpy failed(&util, &DownloadUtil::downloadFailed);

    util.downloadFileFromURL(server.url(), target);
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(complete.count(), 0);
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFile::exists(target + ".tmp"));
}

void DownloadTest::redirectToWebAddressIsFollowed() {
    const QString target = m_target.filePath(packageName);
    DownloadUtil util;
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);

    util.downloadFileFromURL(
        m_server.url("/redirect?to=") + encoded(m_server.url("/files/") + packageName), target);
    QTRY_COMPARE(complete.count(), 1);
    QCOMPARE(readFile(target), m_package);
}

// A 2 GiB body without a length, made by the server as it sends it: written
// to disk as it arrives, and refused as soon as it passes 1 GiB.
void DownloadTest::oversizedStreamIsRefusedWithBoundedMemory() {
    const QString target = m_target.filePath(packageName);
    DownloadUtil util;
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);
    QSignalSpy failed(&util, &DownloadUtil::downloadFailed);
    qint64 received = 0;
    connect(&util, &DownloadUtil::downloadProcess, this,
            [&received](qint64 bytes, qint64) { received = bytes; });

    util.downloadFileFromURL(m_server.url("/generated-nolength/2147483648"), target);
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 180000);
    QCOMPARE(complete.count(), 0);
    QVERIFY2(received > oneGiB - 4 * 1024 * 1024 && received <= oneGiB + 4 * 1024 * 1024,
             qPrintable(QString::number(received)));
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFile::exists(target + ".tmp"));

    const double peak = peakResidentMiB();
    qInfo("peak resident memory of the test program: %.1f MiB", peak);
    QVERIFY(peak > 0 && peak < 200);
}

void DownloadTest::startDialog(DialogRun &run, const QString &url) {
    ConfigUtil config;
    config.setValue(config.upgradePackageName, packageName);
    config.setValue(config.downloadUrl, url);
    DownloadDialog::setPackageOpener([&run](const QUrl &file) {
        run.opened << file.toLocalFile();
        return true;
    });

    run.dialog = new DownloadDialog();
    connect(run.dialog, &DownloadDialog::startUpgrade, this,
            [&run](bool result) { run.upgrades << result; });
    connect(run.dialog, &DownloadDialog::closeClick, this, [&run] { ++run.closes; });
    connect(run.dialog, &DownloadDialog::failureDismissed, this,
            [&run] { ++run.failureDismissals; });
    run.dialog->startDownload();
    run.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.dialog));
}

void DownloadTest::dialogShowsProgressThenOpensPackage() {
    DialogRun run;
    startDialog(run, m_server.url("/files-slow/") + packageName);
    auto *ring = run.dialog->findChild<QRoundProgressBar *>("download_process");
    auto *text = run.dialog->findChild<QLabel *>("tip_content");
    auto *ok = run.dialog->findChild<QPushButton *>("ok_button");
    auto *cancel = run.dialog->findChild<QPushButton *>("cancel_button");

    QCOMPARE(text->text(), QString("下载中..."));
    QVERIFY(ring->isVisible());
    QVERIFY(!ok->isVisible() && !cancel->isVisible());
    QTRY_VERIFY(ring->value() > 0 && ring->value() < 100);

    QTRY_COMPARE_WITH_TIMEOUT(text->text(), QString("下载完成！"), 10000);
    QVERIFY(!ring->isVisible());
    QVERIFY(run.dialog->findChild<QLabel *>("tip_icon")->isVisible());
    QVERIFY(ok->isVisible() && cancel->isVisible());
    QCOMPARE(ok->text(), QString("立即升级"));
    QCOMPARE(cancel->text(), QString("稍后"));

    const QString package = downloadFolder() + "/" + packageName;
    QCOMPARE(readFile(package), m_package);
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(run.opened, QStringList{package});
    QCOMPARE(run.upgrades, QList<bool>{true});
    QCOMPARE(run.closes, 0);
    QTRY_VERIFY(run.dialog.isNull());
}

void DownloadTest::dialogOffersPresentPackageWithoutDownloading() {
    QDir().mkpath(downloadFolder());
    writeFile(downloadFolder() + "/" + packageName, "MZ already here");
    const int before = requestsFor(m_server, packageName);

    DialogRun run;
    startDialog(run, m_server.url("/files/") + packageName);
    QCOMPARE(run.dialog->findChild<QLabel *>("tip_content")->text(), QString("下载完成!"));
    QVERIFY(run.dialog->findChild<QPushButton *>("ok_button")->isVisible());
    QVERIFY(run.dialog->findChild<QPushButton *>("cancel_button")->isVisible());
    QVERIFY(!run.dialog->findChild<QRoundProgressBar *>("download_process")->isVisible());
    QTest::qWait(100);
    QCOMPARE(requestsFor(m_server, packageName), before);

    QTest::mouseClick(run.dialog->findChild<QPushButton *>("close_button"), Qt::LeftButton);
    QCOMPARE(run.closes, 1);
    QCOMPARE(run.failureDismissals, 0);
    QVERIFY(run.upgrades.isEmpty());
    QTRY_VERIFY(run.dialog.isNull());
}

void DownloadTest::dialogShowsFailureAndOpensNothing_data() {
    QTest::addColumn<QString>("url");
    QTest::newRow("HTTP 404") << m_server.url("/files/missing.exe");
    QTest::newRow("connection dropped") << m_server.url("/files-cut/") + packageName;
    QTest::newRow("local file address") << "file:///etc/passwd";
    QTest::newRow("redirect to a local file")
        << m_server.url("/redirect?to=") + encoded("file:///etc/passwd");
}

void DownloadTest::dialogShowsFailureAndOpensNothing() {
    QFETCH(QString, url);
    DialogRun run;
    startDialog(run, url);
    auto *text = run.dialog->findChild<QLabel *>("tip_content");
    auto *ok = run.dialog->findChild<QPushButton *>("ok_button");
    auto *cancel = run.dialog->findChild<QPushButton *>("cancel_button");

    QTRY_COMPARE(text->text(), QString("下载失败，请稍后重试"));
    QVERIFY(!ok->isVisible());
    QVERIFY(cancel->isVisible());
    QCOMPARE(cancel->text(), QString("稍后"));
    // "稍后" takes the place of the missing "立即升级".
    QCOMPARE(cancel->geometry().right(), run.dialog->width() - 15);
    QCOMPARE(QDir(downloadFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // Leaving reports the failure's dismissal, not the wish to make way.
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(run.failureDismissals, 1);
    QCOMPARE(run.closes, 0);
    QVERIFY(run.upgrades.isEmpty());
    QVERIFY(run.opened.isEmpty());
    QTRY_VERIFY(run.dialog.isNull());
}

void DownloadTest::dialogRingShowsWholePercent() {
    DownloadDialog dialog;
    auto *ring = dialog.findChild<QRoundProgressBar *>("download_process");
    QCOMPARE(ring->geometry(), QRect(50, 57, 36, 36));
    QCOMPARE(ring->shape(), int(QRoundProgressBar::ShapeArc));
    QCOMPARE(ring->value(), 0.0);

    const struct {
        qint64 received, total;
        double shown;
    } reports[] = {{512, 1024, 50}, {1023, 1024, 99}, {1024, 1024, 100}, {7, 0, 0}, {7, -1, 0}};
    for (const auto &report : reports) {
        dialog.receiveDownloadProcess(report.received, report.total);
        QCOMPARE(ring->value(), report.shown);
    }
}

void DownloadTest::dialogDeletesPackageThatCannotBeOpened() {
    QDir().mkpath(downloadFolder());
    const QString package = downloadFolder() + "/" + packageName;
    writeFile(package, "MZ cannot be opened");

    DialogRun run;
    startDialog(run, m_server.url("/files/") + packageName);
    QList<bool> visibleAtSignal;
    connect(run.dialog, &DownloadDialog::startUpgrade, this,
            [&] { visibleAtSignal << run.dialog->isVisible(); });
    DownloadDialog::setPackageOpener([&run](const QUrl &file) {
        run.opened << file.toLocalFile();
        return false;
    });

    QTest::mouseClick(run.dialog->findChild<QPushButton *>("ok_button"), Qt::LeftButton);
    QCOMPARE(run.opened, QStringList{package});
    QCOMPARE(run.upgrades, QList<bool>{false});
    QCOMPARE(visibleAtSignal, QList<bool>{false});
    QVERIFY(!QFile::exists(package));
}

void DownloadTest::dialogKeepsConfiguredNameInsideDownloadFolder() {
    ConfigUtil config;
    DialogRun run;
    startDialog(run, m_server.url("/files/") + packageName);
    // The first download must end before its folder goes away.
    QTRY_COMPARE(run.dialog->findChild<QLabel *>("tip_content")->text(), QString("下载完成！"));
    run.dialog->close();
    QTRY_VERIFY(run.dialog.isNull());
    QDir(downloadFolder()).removeRecursively();

    config.setValue(config.upgradePackageName, QString("..\\../") + packageName);
    run.dialog = new DownloadDialog();
    run.dialog->startDownload();
    auto *text = run.dialog->findChild<QLabel *>("tip_content");
    QTRY_COMPARE(text->text(), QString("下载完成！"));
    QCOMPARE(readFile(downloadFolder() + "/" + packageName), m_package);
    QVERIFY(!QFile::exists(QFileInfo(downloadFolder()).path() + "/" + packageName));
    run.dialog->close();
    QTRY_VERIFY(run.dialog.isNull());
}

// Closing the dialog leaves its download running; the dialog opened again
// meanwhile must follow that transfer, not start a second one into the same
// partial file, which the first would then move into place half written.
void DownloadTest::dialogOpenedAgainFollowsRunningDownload() {
    PacedServer server(m_package, true, PacedServer::Held);
    QVERIFY(server.listen());
    const QString package = downloadFolder() + "/" + packageName;
    DialogRun first;
    startDialog(first, server.url());
    QTRY_VERIFY(first.dialog->findChild<QRoundProgressBar *>("download_process")->value() > 0);
    QTest::keyClick(first.dialog, Qt::Key_Escape);
    QTRY_VERIFY(first.dialog.isNull());

    DialogRun second;
    startDialog(second, server.url());
    auto *ring = second.dialog->findChild<QRoundProgressBar *>("download_process");
    auto *text = second.dialog->findChild<QLabel *>("tip_content");
    QCOMPARE(text->text(), QString("下载中..."));
    QVERIFY(ring->isVisible());
    QVERIFY(ring->value() > 0);

    // Nor may a downloader asked directly for the file touch it.
    DownloadUtil intruder;
    QSignalSpy refused(&intruder, &DownloadUtil::downloadFailed);
    intruder.downloadFileFromURL(server.url(), package);
    QTRY_COMPARE(refused.count(), 1);

    server.release();
    QTRY_COMPARE_WITH_TIMEOUT(text->text(), QString("下载完成！"), 10000);
    QCOMPARE(ring->value(), 100.0);
    QCOMPARE(server.requests(), 1);
    QCOMPARE(readFile(package), m_package);
    QVERIFY(!QFile::exists(package + ".tmp"));
    QCOMPARE(first.closes + first.failureDismissals, 0);
    second.dialog->close();
    QTRY_VERIFY(second.dialog.isNull());
}

// Dangling links planted at the partial and the final name point outside the
// folder: the package must land in the folder, the link targets stay absent.
void DownloadTest::plantedLinksAreReplacedNotFollowed() {
    QTemporaryDir outside;
    const QString target = m_target.filePath(packageName);
    QVERIFY(QFile::link(outside.filePath("partial-target"), target + ".tmp"));
    QVERIFY(QFile::link(outside.filePath("final-target"), target));
    DownloadUtil util;
    QSignalSpy complete(&util, &DownloadUtil::downloadComplate);

    util.downloadFileFromURL(m_server.url("/files/") + packageName, target);
    QTRY_COMPARE(complete.count(), 1);
    qInfo("package landed at: %s", qPrintable(QDir(outside.path()).entryList(QDir::Files).isEmpty()
                                                  ? QStringLiteral("the download folder only")
                                                  : QStringLiteral("the link targets outside")));
    QVERIFY(QDir(outside.path()).entryList(QDir::Files).isEmpty());
    QVERIFY(!QFileInfo(target).isSymLink());
    QCOMPARE(readFile(target), m_package);
    QVERIFY(!QFileInfo(target + ".tmp").exists() && !QFileInfo(target + ".tmp").isSymLink());
}

void DownloadTest::dialogDownloadsAgainOverWhatCannotBeThePackage_data() {
    QTest::addColumn<bool>("link");
    QTest::newRow("link to a package outside") << true;
    QTest::newRow("error page under the package's name") << false;
}

void DownloadTest::dialogDownloadsAgainOverWhatCannotBeThePackage() {
    QFETCH(bool, link);
    QTemporaryDir outside;
    const QString elsewhere = outside.filePath("other.exe");
    writeFile(elsewhere, "MZ something else");
    QDir().mkpath(downloadFolder());
    const QString package = downloadFolder() + "/" + packageName;
    if (link) {
        QVERIFY(QFile::link(elsewhere, package));
    } else {
        writeFile(package, "<html>502 Bad Gateway</html>");
    }
    const int before = requestsFor(m_server, packageName);

    DialogRun run;
    startDialog(run, m_server.url("/files/") + packageName);
    auto *text = run.dialog->findChild<QLabel *>("tip_content");
    QCOMPARE(text->text(), QString("下载中..."));
    QTRY_COMPARE(text->text(), QString("下载完成！"));
    QCOMPARE(requestsFor(m_server, packageName), before + 1);
    QVERIFY(!QFileInfo(package).isSymLink());
    QCOMPARE(readFile(package), m_package);
    QCOMPARE(readFile(elsewhere), QByteArray("MZ something else"));
    run.dialog->close();
    QTRY_VERIFY(run.dialog.isNull());
}

// The final rename fails (here a folder holds the name, as a package in use
// would): the old entry stays, the partial file goes, the user sees the failure.
void DownloadTest::failedFinalRenameKeepsTheOldAndShowsFailure() {
    const QString package = downloadFolder() + "/" + packageName;
    QVERIFY(QDir().mkpath(package));
    writeFile(package + "/kept", "old");

    DialogRun run;
    startDialog(run, m_server.url("/files/") + packageName);
    auto *text = run.dialog->findChild<QLabel *>("tip_content");
    QTRY_COMPARE(text->text(), QString("下载失败，请稍后重试"));
    QCOMPARE(readFile(package + "/kept"), QByteArray("old"));
    QVERIFY(!QFileInfo::exists(package + ".tmp"));
    run.dialog->close();
    QTRY_VERIFY(run.dialog.isNull());
}

void DownloadTest::endingTheProgramRemovesThePartialFile() {
    PacedServer server(m_package, true, PacedServer::Held);
    QVERIFY(server.listen());
    const QString target = m_target.filePath(packageName);
    auto *util = new DownloadUtil();
    QSignalSpy progress(util, &DownloadUtil::downloadProcess);
    util->downloadFileFromURL(server.url(), target);
    QTRY_VERIFY(progress.count() > 0);
    QVERIFY(QFileInfo::exists(target + ".tmp"));

    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    qApp->exec();
    QVERIFY(!QFileInfo::exists(target + ".tmp"));
    QVERIFY(!QFileInfo::exists(target));
    delete util;
}

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
