// Shows the agreement dialog and the download dialog in their states on the
// current display and saves a screen grab of each into the folder given as
// the first argument: terms.png, download-progress.png,
// download-complete.png, download-failed.png. Run under scripts/test-session.
#include "app/config/configutil.h"
#include "support/castserver.h"
#include "support/testconfig.h"
#include "ui/downloaddialog/downloaddialog.h"
#include "ui/progressbar/qroundprogressbar.h"
#include "ui/termsdialog/termsdialog.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QStandardPaths>
#include <QtTest>

namespace {

bool saveGrab(QWidget *window, const QString &path) {
    QTest::qWait(300);
    const QRect area = window->frameGeometry().adjusted(-8, -8, 8, 8);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                      area.width(), area.height());
    const bool saved = shot.save(path);
    qInfo().noquote() << (saved ? "saved" : "could not save") << path;
    return saved;
}

DownloadDialog *showDownload(const QString &url) {
    ConfigUtil config;
    config.setValue(config.upgradePackageName, "setup_2.1.0.exe");
    config.setValue(config.downloadUrl, url);
    auto *dialog = new DownloadDialog();
    dialog->startDownload();
    dialog->move(200, 200);
    dialog->show();
    return dialog;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        qCritical("usage: sideflow_screens OUTPUT_FOLDER");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    QTemporaryDir home;
    QTemporaryDir served;
    qputenv("HOME", home.path().toLocal8Bit());
    QFile package(served.filePath("setup_2.1.0.exe"));
    if (!package.open(QIODevice::WriteOnly) ||
        package.write(QByteArray("MZ") + QByteArray(2 << 20, 'p')) < 0) {
        qCritical("cannot write the served package");
        return 1;
    }
    package.close();
    ConfigScope scope;
    TestServer server;
    const QString error = server.start({"--files", served.path()});
    if (!error.isEmpty()) {
        qCritical().noquote() << error;
        return 1;
    }

    bool ok = true;
    TermsDialog terms;
    terms.move(200, 200);
    terms.show();
    ok &= QTest::qWaitForWindowExposed(&terms) && saveGrab(&terms, out.filePath("terms.png"));
    terms.close();

    QPointer<DownloadDialog> dialog = showDownload(server.url("/files-slow/setup_2.1.0.exe"));
    auto *ring = dialog->findChild<QRoundProgressBar *>("download_process");
    auto *text = dialog->findChild<QLabel *>("tip_content");
    ok &= QTest::qWaitFor([&] { return ring->value() >= 40; }, 10000) &&
          saveGrab(dialog, out.filePath("download-progress.png"));
    ok &= QTest::qWaitFor([&] { return text->text() == "下载完成！"; }, 10000) &&
          saveGrab(dialog, out.filePath("download-complete.png"));
    dialog->close();

    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) +
                  "/setup_2.1.0.exe");
    dialog = showDownload(server.url("/files-cut/setup_2.1.0.exe"));
    text = dialog->findChild<QLabel *>("tip_content");
    ok &= QTest::qWaitFor([&] { return text->text() == "下载失败，请稍后重试"; }, 10000) &&
          saveGrab(dialog, out.filePath("download-failed.png"));
    dialog->close();
    return ok ? 0 : 1;
}
