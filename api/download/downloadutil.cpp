#include "api/download/downloadutil.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QTimer>
#include <QUrl>

DownloadUtil::DownloadUtil(QObject *parent)
    : QObject(parent), manager(new QNetworkAccessManager()) {}

DownloadUtil::~DownloadUtil() {
    if (m_reply) {
        // Deleting the manager ends the transfer; its last signals must not
        // reach this half-destroyed object.
        m_reply->disconnect(this);
        m_reply = nullptr;
    }
    delete manager;
    if (m_file) {
        m_file->close();
        delete m_file;
        m_file = nullptr;
        QFile::remove(partialPath());
    }
}

void DownloadUtil::downloadFileFromURL(const QString &url, const QString &fileName) {
    if (m_reply) {
        qDebug() << "downloadFileFromURL----refused, a download is running:" << m_fileName;
        return;
    }
    m_fileName = fileName;
    m_writeFailed = false;
    m_written = 0;
    qDebug() << "downloadFileFromURL----url=" << url << ",fileName=" << fileName;

    if (QFile::exists(partialPath())) {
        QFile::remove(partialPath());
    }
    m_file = new QFile(partialPath());
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString reason = m_file->errorString();
        delete m_file;
        m_file = nullptr;
        // Reported from the event loop: the caller connects to the signals
        // after this call returns.
        QTimer::singleShot(0, manager, [this, reason] {
            fail(QStringLiteral("cannot create the partial file: ") + reason);
        });
        return;
    }

    // The default SSL configuration verifies the server's certificate: the
    // package is opened with the system's handler, so its origin must be proven.
    request.setUrl(QUrl(url, QUrl::TolerantMode));
    // The body arrives as sent, so its size can be held against the announced
    // Content-Length: Qt may end a reply whose connection closed early as if
    // it were complete.
    request.setRawHeader("Accept-Encoding", "identity");
    m_reply = manager->get(request);

    connect(m_reply, SIGNAL(readyRead()), this, SLOT(doProcessReadyRead()), Qt::DirectConnection);
    connect(m_reply, SIGNAL(finished()), this, SLOT(doProcessFinished()), Qt::DirectConnection);
    connect(m_reply, SIGNAL(downloadProgress(qint64, qint64)), this,
            SLOT(doProcessDownloadProgress(qint64, qint64)), Qt::DirectConnection);
    connect(m_reply, SIGNAL(error(QNetworkReply::NetworkError)), this,
            SLOT(doProcessError(QNetworkReply::NetworkError)), Qt::DirectConnection);
}

void DownloadUtil::doProcessReadyRead() {
    if (m_file && m_reply && !writeAvailable(m_reply)) {
        // Aborting finishes the reply at once; doProcessFinished then discards the file.
        m_reply->abort();
    }
}

bool DownloadUtil::writeAvailable(QNetworkReply *reply) {
    if (m_writeFailed) {
        return false;
    }
    const QByteArray data = reply->readAll();
    const qint64 written = m_file->write(data);
    if (written != data.size()) {
        qDebug() << "download write error:" << m_file->errorString();
        m_writeFailed = true;
    }
    m_written += qMax<qint64>(written, 0);
    return !m_writeFailed;
}

void DownloadUtil::doProcessDownloadProgress(qint64 received, qint64 total) {
    emit downloadProcess(received, total);
}

void DownloadUtil::doProcessError(QNetworkReply::NetworkError code) {
    // The reply reports finished right after; the outcome is settled there.
    qDebug() << "download error----code=" << code << (m_reply ? m_reply->errorString() : QString());
}

void DownloadUtil::doProcessFinished() {
    if (!m_reply) {
        return;
    }
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();

    const bool transferred = reply->error() == QNetworkReply::NoError;
    if (m_file && transferred) {
        writeAvailable(reply);
    }
    bool written = false;
    if (m_file) {
        written = m_file->flush() && !m_writeFailed;
        m_file->close();
        delete m_file;
        m_file = nullptr;
    }

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (!transferred) {
        fail(QStringLiteral("network error: ") + reply->errorString());
    } else if (!status.isValid() || code < 200 || code > 299) {
        fail(QStringLiteral("HTTP status %1").arg(status.isValid() ? code : 0));
    } else if (length.isValid() && length.toLongLong() != m_written) {
        fail(QStringLiteral("incomplete: %1 of %2 bytes").arg(m_written).arg(length.toLongLong()));
    } else if (!written) {
        fail(QStringLiteral("the package could not be written"));
    } else if (moveIntoPlace()) {
        qDebug() << "downloadComplate----fileName=" << m_fileName;
        emit downloadComplate(m_fileName);
    }
}

// Replaces a package left at the final path by an earlier run with the new one.
bool DownloadUtil::moveIntoPlace() {
    if (QFileInfo::exists(m_fileName) && !QFile::remove(m_fileName)) {
        fail(QStringLiteral("cannot replace the old file at ") + m_fileName);
        return false;
    }
    if (!QFile::rename(partialPath(), m_fileName)) {
        fail(QStringLiteral("cannot rename the partial file to ") + m_fileName);
        return false;
    }
    return true;
}

void DownloadUtil::fail(const QString &reason) {
    qDebug() << "downloadFailed----fileName=" << m_fileName << "," << reason;
    QFile::remove(partialPath());
    emit downloadFailed(m_fileName);
}
