#include "capture/castsession.h"

#include "api/heartbeat/heartutil.h"
#include "capture/yoxicapture.h"

#include <QThread>

CastSession::CastSession() : heartUtil(new HeartUtil(nullptr)) {
    // The thread is never started: the bridge only belongs to it, every call
    // into it is a direct call on the GUI thread.
    capture = new YoxiCapture(nullptr);
    captureThread = new QThread;
    capture->moveToThread(captureThread);
    QObject::connect(captureThread, SIGNAL(finished()), capture, SLOT(deleteLater()));
}

CastSession::~CastSession() {
    delete heartUtil;
    delete capture;
    captureThread->quit();
    delete captureThread;
}

void CastSession::start(const QByteArray &host, int port, const QString &code, int width,
                        int height) {
    castCode = code;
    QByteArray hostText = host;
    QByteArray code8 = code.toLatin1();
    capture->startCapture(hostText.data(), port, code8.data(), width, height);
}

void CastSession::begin() {
    status.changeStatus();
    heartUtil->startHeart(castCode);
}

void CastSession::reportFailedStart() {
    // The server paired this code with the receiver: tell it the cast is off.
    heartUtil->reportDisconnect(castCode, QString::number(PIXPIPE_LINK_LOST));
}

void CastSession::releaseEndedCast() {
    capture->releaseEndedCast();
}

void CastSession::end(int code) {
    status.changeStatus();
    heartUtil->stopHeart(QString::number(code));
}

void CastSession::quit() {
    capture->stopCapture(true);
}

void CastSession::stopForExit() {
    capture->stopCapture(false);
    // The cast counts as over, so an engine notification still queued from
    // before the stop neither reports a disconnect nor brings the window back.
    status.changeStatus();
}

QString CastSession::messageFor(int code) {
    if (!pixpipeCodeEndsCast(code)) {
        return QStringLiteral("音频异常（%1），请联系客服").arg(code);
    }
    if (code == PIXPIPE_LINK_LOST) {
        return QStringLiteral("TV端连接失败，请检查网络");
    }
    if (code == PIXPIPE_RECEIVER_QUIT) {
        return QString();
    }
    return QStringLiteral("投屏异常（%1），请联系客服").arg(code);
}
