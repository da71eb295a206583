#include "api/download/downloadutil.h"

#include "api/download/packagefile.h"
#include "api/network/logtext.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QNetworkAccessManager>
#include <QUrl>

namespace {

const qint64 maximumPackageBytes = qint64(1) << 30;
// What Qt may hold of the body before it is written to the partial file.
const qint64 readBufferBytes = 256 * 1024;
// A transfer must bring at least this much within each stall time-out.
const qint64 minimumProgressBytes = 1024;
const int defaultStallTimeoutMs = 30000;
const int maximumRedirects = 5;

bool isWebAddress(const QUrl &url) {
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

// The running transfers by the absolute path of the file each writes.
QHash<QString, DownloadUtil *> &runningTransfers() {
    static QHash<QString, DownloadUtil *> transfers;
    return transfers;
}

QString transferKey(const QString &fileName) {
    return QFileInfo(fileName).absoluteFilePath();
}

} // namespace

DownloadUtil::DownloadUtil(QObject *parent)
    : QObject(parent), manager(new QNetworkAccessManager()) {
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(defaultStallTimeoutMs);
    connect(&m_stallTimer, SIGNAL(timeout()), this, SLOT(doProcessStalled()));
    // The program may end while a transfer runs: the partial file goes with it.
    connect(QCoreApplication::instance(), SIGNAL(aboutToQuit()), this, SLOT(doProcessQuit()));
}

DownloadUtil::~DownloadUtil() {
    stopListing();
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

DownloadUtil *DownloadUtil::running(const QString &fileName) {
    return runningTransfers().value(transferKey(fileName), nullptr);
}

void DownloadUtil::stopListing() {
    auto &transfers = runningTransfers();
    const auto listed = transfers.constFind(transferKey(m_fileName));
    if (listed != transfers.constEnd() && listed.value() == this) {
        transfers.erase(listed);
    }
}

void DownloadUtil::setStallTimeout(int msec) {
    m_stallTimer.setInterval(msec);
}

void DownloadUtil::downloadFileFromURL(const QString &url, const QString &fileName) {
    if (m_reply) {
        qDebug() << "downloadFileFromURL----refused, a download is running:" << m_fileName;
        return;
    }
    if (running(fileName)) {
        // The partial file belongs to the other transfer: it is left alone.
        qDebug() << "downloadFailed----fileName=" << fileName << ", another download writes it";
        QTimer::singleShot(0, manager, [this, fileName] { emit downloadFailed(fileName); });
        return;
    }
    m_fileName = fileName;
    m_writeFailed = false;
    m_written = 0;
    m_received = 0;
    m_total = -1;
    m_head.clear();
    m_refusal.clear();
    qDebug() << "downloadFileFromURL----url=" << logText(url) << ",fileName=" << fileName;

    const QUrl address(url, QUrl::TolerantMode);
    QString refusal;
    if (!isWebAddress(address)) {
        refusal = QStringLiteral("not an http or https address: ") + logText(url);
    } else {
        QString error;
        m_file = PackageFile::createNew(partialPath(), &error);
        if (!m_file) {
            refusal = QStringLiteral("cannot create the partial file: ") + error;
        }
    }
    if (!refusal.isEmpty()) {
        // Reported from the event loop: the caller connects to the signals
        // after this call returns.
        QTimer::singleShot(0, manager, [this, refusal] { fail(refusal); });
        return;
    }

    // The default SSL configuration verifies the server's certificate: the
    // package is opened with the system's handler, so its origin must be proven.
    request.setUrl(address);
    // The body arrives as sent, so its size can be held against the announced
    // Content-Length: Qt may end a reply whose connection closed early as if
    // it were complete.
    request.setRawHeader("Accept-Encoding", "identity");
    // Every redirect is checked before it is followed (doProcessRedirected).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maximumRedirects);
    m_reply = manager->get(request);
    runningTransfers().insert(transferKey(m_fileName), this);
    // Qt stops reading from the server while this much waits unwritten.
    m_reply->setReadBufferSize(readBufferBytes);

    connect(m_reply, SIGNAL(readyRead()), this, SLOT(doProcessReadyRead()), Qt::DirectConnection);
    connect(m_reply, SIGNAL(finished()), this, SLOT(doProcessFinished()), Qt::DirectConnection);
    connect(m_reply, SIGNAL(downloadProgress(qint64, qint64)), this,
            SLOT(doProcessDownloadProgress(qint64, qint64)), Qt::DirectConnection);
    connect(m_reply, SIGNAL(error(QNetworkReply::NetworkError)), this,
            SLOT(doProcessError(QNetworkReply::NetworkError)), Qt::DirectConnection);
    connect(m_reply, SIGNAL(redirected(QUrl)), this, SLOT(doProcessRedirected(QUrl)),
            Qt::DirectConnection);
    m_sinceProgress = 0;
    m_stallTimer.start();
}

void DownloadUtil::doProcessReadyRead() {
    if (!m_file || !m_reply) {
        return;
    }
    // An error page is not written to disk, nor mistaken for a broken package.
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        refuse(QStringLiteral("HTTP status %1").arg(status.toInt()));
        return;
    }
    if (!writeAvailable(m_reply)) {
        refuse(QStringLiteral("the package could not be written"));
        return;
    }
    const QString refusal =
        refusalSoFar(m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), false);
    if (!refusal.isEmpty()) {
        refuse(refusal);
    }
}

bool DownloadUtil::writeAvailable(QNetworkReply *reply) {
    if (m_writeFailed) {
        return false;
    }
    const QByteArray data = reply->readAll();
    if (m_head.size() < 2) {
        m_head += data.left(2 - m_head.size());
    }
    m_sinceProgress += data.size();
    if (m_sinceProgress >= minimumProgressBytes) {
        m_sinceProgress = 0;
        m_stallTimer.start();
    }
    const qint64 written = m_file->write(data);
    if (written != data.size()) {
        qDebug() << "download write error:" << m_file->errorString();
        m_writeFailed = true;
    }
    m_written += qMax<qint64>(written, 0);
    return !m_writeFailed;
}

QString DownloadUtil::refusalSoFar(qint64 announced, bool ended) const {
    if (announced > maximumPackageBytes) {
        return QStringLiteral("announced %1 bytes, more than the %2 allowed")
            .arg(announced)
            .arg(maximumPackageBytes);
    }
    if (m_written > maximumPackageBytes) {
        return QStringLiteral("more than the %1 bytes allowed").arg(maximumPackageBytes);
    }
    // An installer (a Windows executable) starts with "MZ"; an error page
    // answered with 200 does not. Other package kinds (an .msi) start otherwise.
    const bool executable = m_fileName.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive);
    if (executable && (m_head.size() == 2 || ended) && m_head != "MZ") {
        return QStringLiteral("not a Windows executable");
    }
    return QString();
}

void DownloadUtil::refuse(const QString &reason) {
    if (!m_reply) {
        return;
    }
    m_refusal = reason;
    // Aborting finishes the reply at once; doProcessFinished then discards the file.
    m_reply->abort();
}

void DownloadUtil::doProcessRedirected(const QUrl &url) {
    const bool downgrade = m_reply && m_reply->url().scheme() == QLatin1String("https") &&
                           url.scheme() == QLatin1String("http");
    if (!isWebAddress(url) || downgrade) {
        refuse(QStringLiteral("redirect refused: ") + logText(url.toString()));
        return;
    }
    qDebug() << "download redirected to" << logText(url.toString());
    emit m_reply->redirectAllowed();
}

void DownloadUtil::doProcessStalled() {
    refuse(QStringLiteral("less than %1 bytes arrived in %2 ms")
               .arg(minimumProgressBytes)
               .arg(m_stallTimer.interval()));
}

void DownloadUtil::doProcessQuit() {
    refuse(QStringLiteral("the program is ending"));
}

void DownloadUtil::doProcessDownloadProgress(qint64 received, qint64 total) {
    m_received = received;
    m_total = total;
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
    m_stallTimer.stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    // Whoever asks for the file from now on finds it in place or starts afresh.
    stopListing();

    const bool transferred = m_refusal.isEmpty() && reply->error() == QNetworkReply::NoError;
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
    const QString refusal = refusalSoFar(length.toLongLong(), true);
    if (!m_refusal.isEmpty()) {
        fail(m_refusal);
    } else if (!transferred) {
        fail(QStringLiteral("network error: ") + reply->errorString());
    } else if (!status.isValid() || code < 200 || code > 299) {
        fail(QStringLiteral("HTTP status %1").arg(status.isValid() ? code : 0));
    } else if (length.isValid() && length.toLongLong() != m_written) {
        fail(QStringLiteral("incomplete: %1 of %2 bytes").arg(m_written).arg(length.toLongLong()));
    } else if (!written) {
        fail(QStringLiteral("the package could not be written"));
    } else if (!refusal.isEmpty()) {
        fail(refusal);
    } else if (moveIntoPlace()) {
        qDebug() << "downloadComplate----fileName=" << m_fileName;
        emit downloadComplate(m_fileName);
    }
}

// Replaces whatever an earlier run left at the final path with the new
// package. When that fails (the old package is in use), the old one stays and
// the partial file goes.
bool DownloadUtil::moveIntoPlace() {
    QString error;
    if (!PackageFile::replace(partialPath(), m_fileName, &error)) {
        fail(QStringLiteral("cannot rename the partial file to ") + m_fileName +
             QStringLiteral(": ") + error);
        return false;
    }
    return true;
}

void DownloadUtil::fail(const QString &reason) {
    qDebug() << "downloadFailed----fileName=" << m_fileName << "," << reason;
    QString error;
    if (!PackageFile::removeEntry(partialPath(), &error)) {
        qDebug() << "cannot remove the partial file" << partialPath() << ":" << error;
    }
    emit downloadFailed(m_fileName);
}
