#ifndef DOWNLOADUTIL_H
#define DOWNLOADUTIL_H

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QString>

class QFile;
class QNetworkAccessManager;

// Fetches one file over HTTP(S). The data goes to "<fileName>.tmp" while it
// arrives; only a download that ends without a network error and with a 2xx
// status is moved to fileName (replacing an older file there) and reported
// through downloadComplate. Anything else removes the partial file and is
// reported through downloadFailed, so a broken transfer or an error page is
// never taken for the package.
class DownloadUtil : public QObject {
    Q_OBJECT
public:
    explicit DownloadUtil(QObject *parent = nullptr);
    ~DownloadUtil() override;

    // Starts the download and returns at once. One object serves one download;
    // a call while a download runs is refused.
    void downloadFileFromURL(const QString &url, const QString &fileName);

signals:
    void downloadComplate(QString fileName);
    // Bytes received so far and the total, -1 while the total is unknown.
    void downloadProcess(qint64 recv_total, qint64 all_total);
    void downloadFailed(QString fileName);

private slots:
    void doProcessReadyRead();
    void doProcessFinished();
    void doProcessDownloadProgress(qint64 received, qint64 total);
    void doProcessError(QNetworkReply::NetworkError code);

private:
    QString partialPath() const { return m_fileName + QStringLiteral(".tmp"); }
    bool writeAvailable(QNetworkReply *reply);
    bool moveIntoPlace();
    void fail(const QString &reason);

    QFile *m_file = nullptr;
    QNetworkReply *m_reply = nullptr;
    QNetworkAccessManager *manager;
    QNetworkRequest request;
    QString m_fileName;
    bool m_writeFailed = false;
    qint64 m_written = 0;
};

#endif // DOWNLOADUTIL_H
