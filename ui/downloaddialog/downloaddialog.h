#ifndef DOWNLOADDIALOG_H
#define DOWNLOADDIALOG_H

#include "app/config/configutil.h"

#include "ui/common/promptdialog.h"

#include <QPointer>
#include <functional>

namespace Ui {
class DownloadDialog;
}

class DownloadUtil;
class QUrl;

// Downloads the announced upgrade package into the user's download folder with
// a progress ring, then offers to open it ("立即升级") or to leave ("稍后"). A
// package already in the folder is offered at once; a failed download is said
// so and offers only "稍后". The dialog deletes itself when it closes.
//
// Leaving through "稍后" or the close button reports closeClick(), after which
// the program makes way for the upgrade; after a failed download it reports
// failureDismissed() instead, and the program may go on.
class DownloadDialog : public PromptDialog {
    Q_OBJECT
public:
    // Opens the finished package; true when the system accepted it.
    using PackageOpener = std::function<bool(const QUrl &)>;

    explicit DownloadDialog(QWidget *parent = nullptr);
    ~DownloadDialog() override;

    // Replaces how every dialog opens the package (the system's handler by
    // default); an empty function restores the default.
    static void setPackageOpener(PackageOpener opener);

    void startDownload();

signals:
    void startUpgrade(bool openResult);
    void closeClick();
    void failureDismissed();

public slots:
    void receiveDownloadComplate(QString fileName);
    void receiveDownloadProcess(qint64 recv_total, qint64 all_total);
    void receiveDownloadFailed(QString fileName);

protected:
    // Closes the dialog and reports how it was left.
    void turnedDown() override;

private slots:
    void on_ok_button_clicked();

private:
    // The package's path in the download folder, or empty when the configured
    // name leaves no usable file name.
    QString packagePath() const;
    void showComplete(const QString &text);
    void showFailed();

    Ui::DownloadDialog *ui;
    // Outlives the dialog while a transfer runs and deletes itself when it
    // ends; shared with a dialog opened again during the transfer.
    QPointer<DownloadUtil> downloader;
    ConfigUtil config;
    // The download failed: there is no package to make way for.
    bool failed = false;
};

#endif // DOWNLOADDIALOG_H
