#include "ui/downloaddialog/downloaddialog.h"
#include "ui_downloaddialog.h"

#include "api/download/downloadutil.h"
#include "api/download/packagefile.h"
#include "api/upgrade/packagename.h"
#include "app/display/roundedmask.h"
#include "ui/common/fonts.h"
#include "ui/common/textlines.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace {

const qreal cornerRadius = 6.0;

const char *const completeIconStyle = "border-image:url(:images/download_complete.png)";
const char *const failedIconStyle = "border-image:url(:images/tip.png)";

DownloadDialog::PackageOpener &packageOpener() {
    static DownloadDialog::PackageOpener opener;
    return opener;
}

bool openPackage(const QUrl &url) {
    const DownloadDialog::PackageOpener &opener = packageOpener();
    return opener ? opener(url) : QDesktopServices::openUrl(url);
}

} // namespace

DownloadDialog::DownloadDialog(QWidget *parent) : PromptDialog(parent), ui(new Ui::DownloadDialog) {
    ui->setupUi(this);
    const int h = height();

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setMask(roundedMask(size(), cornerRadius));

    QRoundProgressBar *ring = ui->download_process;
    ring->move(50, (h - ring->height()) / 2);
    ring->setShape(QRoundProgressBar::ShapeArc);
    ring->setStartAngle(180);
    ring->setRimWidth(2);
    ring->setArcWidth(2);
    ring->setPrecision(0);
    ring->setMaximun(100);
    ring->setValue(0);
    QPalette ringPalette = ring->palette();
    ringPalette.setBrush(QPalette::Window, QBrush(Qt::red));
    ringPalette.setBrush(QPalette::WindowText, QBrush(Qt::red));
    qDebug() << "ui->download_process->backgroundRole()--" << ring->backgroundRole();
    qDebug() << "ui->download_process->foregroundRole()--" << ring->foregroundRole();
    ring->setPalette(ringPalette);

    ui->tip_icon->move(50, (h - ui->tip_icon->height()) / 2);

    ui->tip_content->setFont(pingFangFont(ui->tip_content->font(), 16));
    ui->tip_content->setStyleSheet(QStringLiteral("QLabel{color: #555C82}"));
    fitHeightToText(ui->tip_content);
    ui->tip_content->move(ring->width() + 70, (h - ui->tip_content->height()) / 2);

    adoptButtons(ui->ok_button, ui->cancel_button, ui->close_button, ui->min_button);
}

DownloadDialog::~DownloadDialog() {
    delete ui;
}

void DownloadDialog::setPackageOpener(PackageOpener opener) {
    packageOpener() = std::move(opener);
}

QString DownloadDialog::packagePath() const {
    const QString name = config.getValue(config.upgradePackageName, QString());
    const QString plain = PackageName::plainFileName(name);
    if (plain.isEmpty()) {
        return QString();
    }
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) + QLatin1Char('/') +
           plain;
}

void DownloadDialog::startDownload() {
    setAttribute(Qt::WA_DeleteOnClose);
    setButtons(false, QStringLiteral("立即升级"), false, QStringLiteral("稍后"));
    setTitleButtons(true, true);
    ui->tip_content->setText(QStringLiteral("下载中..."));
    ui->download_process->show();
    ui->tip_icon->hide();

    qDebug() << "upgradePackageName=======null"
             << config.getValue(config.upgradePackageName, QString());
    const QString path = packagePath();
    if (path.isEmpty()) {
        qDebug() << "upgradePackageName=======no usable package name";
        showFailed();
        return;
    }
    // Only a plain file that can be the package is offered; anything else
    // (a link, a folder, an error page under the package's name) is
    // downloaded again and replaced.
    if (PackageFile::isCompletePackage(path)) {
        qDebug() << "upgradePackageName=======is download complete!";
        showComplete(QStringLiteral("下载完成!"));
        return;
    }

    // A dialog closed during its download leaves the transfer running; a
    // dialog opened again meanwhile follows it rather than start a second
    // transfer into the same file.
    downloader = DownloadUtil::running(path);
    if (downloader) {
        qDebug() << "upgradePackageName=======following the running download";
        receiveDownloadProcess(downloader->receivedBytes(), downloader->totalBytes());
    } else {
        QDir().mkpath(QFileInfo(path).absolutePath());
        downloader = new DownloadUtil();
        // The downloader may outlive the dialog (closing the dialog does not
        // stop the transfer); it goes away once the transfer has ended either way.
        connect(downloader, SIGNAL(downloadComplate(QString)), downloader, SLOT(deleteLater()));
        connect(downloader, SIGNAL(downloadFailed(QString)), downloader, SLOT(deleteLater()));
        downloader->downloadFileFromURL(config.getValue(config.downloadUrl, QString()), path);
    }
    connect(downloader, SIGNAL(downloadComplate(QString)), this,
            SLOT(receiveDownloadComplate(QString)));
    connect(downloader, SIGNAL(downloadProcess(qint64, qint64)), this,
            SLOT(receiveDownloadProcess(qint64, qint64)));
    connect(downloader, SIGNAL(downloadFailed(QString)), this,
            SLOT(receiveDownloadFailed(QString)));
}

void DownloadDialog::receiveDownloadProcess(qint64 recv_total, qint64 all_total) {
    const int percent = all_total > 0 ? int(double(recv_total) / double(all_total) * 100) : 0;
    ui->download_process->setValue(percent);
}

void DownloadDialog::receiveDownloadComplate(QString fileName) {
    showComplete(QStringLiteral("下载完成！"));
    qDebug() << "receiveDownloadComplate---------fileName-------" << fileName;
}

void DownloadDialog::receiveDownloadFailed(QString fileName) {
    showFailed();
    qDebug() << "receiveDownloadFailed---------fileName-------" << fileName;
}

void DownloadDialog::showComplete(const QString &text) {
    failed = false;
    ui->download_process->hide();
    ui->tip_icon->setStyleSheet(QLatin1String(completeIconStyle));
    ui->tip_icon->show();
    setButtons(true, QStringLiteral("立即升级"), true, QStringLiteral("稍后"));
    setTitleButtons(true, true);
    ui->tip_content->setText(text);
}

// Only "稍后" is offered, in the place of "立即升级": there is nothing to open.
void DownloadDialog::showFailed() {
    failed = true;
    ui->download_process->hide();
    ui->tip_icon->setStyleSheet(QLatin1String(failedIconStyle));
    ui->tip_icon->show();
    setButtons(false, QStringLiteral("立即升级"), true, QStringLiteral("稍后"));
    const QRect okPlace = ui->ok_button->geometry();
    ui->cancel_button->move(okPlace.right() + 1 - ui->cancel_button->width(),
                            ui->cancel_button->y());
    setTitleButtons(true, true);
    ui->tip_content->setText(QStringLiteral("下载失败，请稍后重试"));
}

void DownloadDialog::on_ok_button_clicked() {
    qDebug() << "openFileName-----------" << config.getValue(config.upgradePackageName, QString());
    const QString path = packagePath();
    const bool opened = !path.isEmpty() && openPackage(QUrl::fromLocalFile(path));
    qDebug() << "openResult-----------" << opened;
    if (!opened && !path.isEmpty()) {
        // Removed so that the next attempt downloads the package afresh.
        QFile::remove(path);
        qDebug() << "delete file!";
    }
    close();
    emit startUpgrade(opened);
}

void DownloadDialog::turnedDown() {
    close();
    if (failed) {
        emit failureDismissed();
    } else {
        emit closeClick();
    }
}
