#ifndef DOWNLOADUTIL_H
#define DOWNLOADUTIL_H

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QTimer>

class QFile;
class QNetworkAccessManager;

// Fetches one file over HTTP(S). The data goes to "<fileName>.tmp" as it
// arrives, through a bounded read buffer; only a download that ends without a
// network error, with a 2xx status and with the whole announced body is moved
// to fileName (replacing an older file there) and reported through
// downloadComplate. Anything else removes the partial file and is reported
// through downloadFailed, so a broken transfer or an error page is never taken
// for the package. The server is untrusted: only http and https addresses
// (also after redirects) are fetched, a package over 1 GiB is refused, a
// transfer that stalls is given up, and a file named ".exe" must start like a
// Windows executable.
//
// One transfer at a time writes a given file: a request for a file that a
// running transfer is writing is refused, and callers follow that transfer
// instead (running()).
class DownloadUtil : public QObject {
    Q_OBJECT
public:
    explicit DownloadUtil(QObject *parent = nullptr);
    ~DownloadUtil() override;

    // Starts the download and returns at once. One object serves one download;
    // a call while a download runs is refused.
    void downloadFileFromURL(const QString &url, const QString &fileName);

    // The transfer now writing fileName, or null. It stops being listed just
    // before it reports its end, and when it is destroyed.
    static DownloadUtil *running(const QString &fileName);

    // The last progress report: bytes received and the total, -1 while unknown.
    qint64 receivedBytes() const { return m_received; }
    qint64 totalBytes() const { return m_total; }

    // A transfer that receives less than 1 KiB in this many milliseconds is
    // given up: 30000. Tests shorten it.
    void setStallTimeout(int msec);

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
    void doProcessRedirected(const QUrl &url);
    void doProcessStalled();
    void doProcessQuit();

private:
    QString partialPath() const { return m_fileName + QStringLiteral(".tmp"); }
    bool writeAvailable(QNetworkReply *reply);
    // Why what has arrived so far cannot be the package; empty while it can.
    QString refusalSoFar(qint64 announced, bool ended) const;
    // Ends the running transfer as failed for reason.
    void refuse(const QString &reason);
    bool moveIntoPlace();
    void fail(const QString &reason);
    void stopListing();

    QFile *m_file = nullptr;
    QNetworkReply *m_reply = nullptr;
    QNetworkAccessManager *manager;
    QNetworkRequest request;
    QString m_fileName;
    bool m_writeFailed = false;
    qint64 m_written = 0;
    // The body's first bytes, to tell an executable from an error page.
    QByteArray m_head;
    // Set when the transfer was aborted on purpose; says why.
    QString m_refusal;
    QTimer m_stallTimer;
    qint64 m_sinceProgress = 0;
    qint64 m_received = 0;
    qint64 m_total = -1;
};

#endif // DOWNLOADUTIL_H
