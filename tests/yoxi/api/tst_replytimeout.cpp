// The watch of each request: replies live until the watch ends, open ones
// are aborted and reported as timed out, watchers release themselves; and the
// box that tells the user.
#include "api/network/networkutil.h"
#include "api/network/qreplytimeout.h"
#include "apitestsupport.h"
#include "httprecorder.h"
#include "support/messageboxes.h"
#include "ui/basedialog/basedialog.h"
#include "ui/basedialog/messagebox.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString serverError = QStringLiteral("服务器连接失败，请检查网络!");
} // namespace

class TestReplyTimeout : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void earlyReplyIsDeletedOnlyWhenTheWatchEnds();
    void openReplyIsAbortedBeforeTheTimeOutIsReported();
    void twoTimedOutRequestsReportTwice();
    void timeOutBoxIsModalWithOkAlone();
    void watcherReleasesItselfAfterItsCheck();
    void watcherOutlivingItsManagerDoesNothing();
};

void TestReplyTimeout::cleanup() {
    closeBoxes();
}

void TestReplyTimeout::earlyReplyIsDeletedOnlyWhenTheWatchEnds() {
    const int watchMs = 1000;
    HttpRecorder server;
    QVERIFY(server.listen());
    NetworkUtil util(true);
    util.setReplyTimeout(watchMs);
    QSignalSpy timedOut(&util, &NetworkUtil::requestTimedOut);
    QPointer<QNetworkReply> reply;
    qint64 finishedAt = -1;
    QElapsedTimer clock;
    connect(&util, &NetworkUtil::networkFinished, this, [&](QNetworkReply *finished) {
        reply = finished;
        finishedAt = clock.elapsed();
    });

    clock.start();
    QString url = server.baseUrl() + util.heartPath;
    util.sendGetRequest(url);
    QTRY_VERIFY_WITH_TIMEOUT(reply, 5000);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QTRY_VERIFY_WITH_TIMEOUT(reply.isNull(), watchMs + 5000);
    const qint64 deletedAt = clock.elapsed();
    QVERIFY2(finishedAt < watchMs, qPrintable(QString::number(finishedAt)));
    QVERIFY2(deletedAt >= watchMs, qPrintable(QString::number(deletedAt)));
    QCOMPARE(timedOut.size(), 0);
}

void TestReplyTimeout::openReplyIsAbortedBeforeTheTimeOutIsReported() {
    HttpRecorder silent(-1);
    QVERIFY(silent.listen());
    NetworkUtil util(true);
    util.setReplyTimeout(300);
    QSignalSpy timedOut(&util, &NetworkUtil::requestTimedOut);
    QPointer<QNetworkReply> reply;
    bool finished = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int timeOutsWhenFinished = -1;
    connect(&util, &NetworkUtil::networkFinished, this, [&](QNetworkReply *aborted) {
        finished = true;
        reply = aborted;
        error = aborted->error();
        timeOutsWhenFinished = timedOut.size();
    });

    QString url = silent.baseUrl() + util.heartPath;
    util.sendGetRequest(url);
    QTRY_VERIFY_WITH_TIMEOUT(finished, 5000);
    QCOMPARE(error, QNetworkReply::OperationCanceledError);
    QCOMPARE(timeOutsWhenFinished, 0);
    QCOMPARE(timedOut.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(reply.isNull(), 5000);
    // The network layer itself shows nothing.
    QVERIFY(visibleBoxes().isEmpty());
}

void TestReplyTimeout::timeOutBoxIsModalWithOkAlone() {
    showRequestTimeoutBox();
    QCOMPARE(visibleBoxes().size(), 1);
    BaseDialog *box = visibleBoxes().first();
    QCOMPARE(messageText(box), serverError);
    QVERIFY(box->isModal());
    QVERIFY(box->testAttribute(Qt::WA_DeleteOnClose));
    const auto ok = box->findChild<QPushButton *>(QStringLiteral("ok_button"));
    QVERIFY(ok && ok->isVisible());
    QCOMPARE(ok->text(), QStringLiteral("确定"));
    for (const char *hidden : {"cancel_button", "close_button", "min_button"}) {
        const auto button = box->findChild<QPushButton *>(QLatin1String(hidden));
        QVERIFY2(button && !button->isVisible(), hidden);
    }

    const QPointer<BaseDialog> closing(box);
    box->close();
    QTRY_VERIFY(closing.isNull()); // deletes itself when closed
}

void TestReplyTimeout::twoTimedOutRequestsReportTwice() {
    HttpRecorder silent(-1);
    QVERIFY(silent.listen());
    NetworkUtil util(true);
    util.setReplyTimeout(300);
    QSignalSpy timedOut(&util, &NetworkUtil::requestTimedOut);
    QString first = silent.baseUrl() + util.heartPath;
    QString second = silent.baseUrl() + util.connectPath;
    util.sendGetRequest(first);
    util.sendPostRequest(second);
    QTRY_COMPARE_WITH_TIMEOUT(timedOut.size(), 2, 5000);
    QTest::qWait(200);
    QCOMPARE(timedOut.size(), 2);
}

void TestReplyTimeout::watcherReleasesItselfAfterItsCheck() {
    HttpRecorder server;
    QVERIFY(server.listen());
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(server.baseUrl())));
    QPointer<QReplyTimeout> watcher = new QReplyTimeout(reply, 200);
    QSignalSpy timedOut(watcher.data(), &QReplyTimeout::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(watcher.isNull(), 5000);
    QCOMPARE(timedOut.size(), 0); // the reply had finished: no time-out

    // A reply that is not running arms nothing, and the watcher goes at once.
    QPointer<QReplyTimeout> idle = new QReplyTimeout(nullptr, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(idle.isNull(), 1000);
}

void TestReplyTimeout::watcherOutlivingItsManagerDoesNothing() {
    HttpRecorder silent(-1);
    QVERIFY(silent.listen());
    auto *util = new NetworkUtil(true);
    util->setReplyTimeout(300);
    QSignalSpy timedOut(util, &NetworkUtil::requestTimedOut);
    QString url = silent.baseUrl() + util->heartPath;
    util->sendGetRequest(url);
    QVERIFY(QTest::qWaitFor([&] { return !silent.requests().isEmpty(); }, 5000));
    delete util; // its manager deletes the open reply before the watch ends
    QTest::qWait(600);
    QCOMPARE(timedOut.size(), 0);
}

QTEST_MAIN(TestReplyTimeout)
#include "tst_replytimeout.moc"
