#include "capture/yoxicapture.h"

#include "capture/enginelibrary.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QThread>

namespace {
const int defaultWidth = 1920;
const int defaultHeight = 1080;
const unsigned long debugStartPauseMs = 1000;

// The engine takes port and sizes as 16-bit quantities.
int low16(int value) {
    return static_cast<quint16>(value);
}
} // namespace

YoxiCapture::YoxiCapture(QObject *parent) : QObject(parent) {
    qDebug() << "\r\n init yoxiCapture!";
}

void YoxiCapture::startCapture(char *host, int port, char *captureCode, int width, int heigth) {
    const EngineExports *engine = engineExports();
    if (!engine) {
        // Nothing can be cast without the engine: a failed start, so that the
        // window says so and the server hears that the pairing is over.
        emit captureResult(false);
        return;
    }
    if (width == 0 || heigth == 0) {
        width = defaultWidth;
        heigth = defaultHeight;
    }
    const int result =
        engine->startCapture(host, low16(port), captureCode, low16(width), low16(heigth));
    qDebug() << "\r\nstart capture result  = " << result;
    castOpen = result > 0;
    if (result > 0) {
        qDebug() << "\r\n capture setCallbackDll start--------------";
        engine->setCallback(reinterpret_cast<intptr_t>(this), &YoxiCapture::captureNotice);
    }
    if (config.isDebug()) {
        QThread::msleep(debugStartPauseMs);
    }
    emit captureResult(result > 0);
}

void YoxiCapture::stopCapture(bool isNotice) {
    qDebug() << "\r\nstop capture call dylib";
    castOpen = false;
    if (const EngineExports *engine = engineExports()) {
        const int result = engine->stopCapture();
        qDebug() << "\r\nstop capture result = " << result;
    }
    // Without an engine no cast can be running; the stop still counts as done.
    if (isNotice) {
        emit cancelResult(PIXPIPE_RECEIVER_QUIT);
    }
}

void YoxiCapture::releaseEndedCast() {
    if (castOpen) {
        stopCapture(false);
    }
}

void YoxiCapture::foreQuitCapture(int code) {
    qDebug() << "\r\n foreQuitCapture";
    // Every code reaches the window through the GUI thread's event loop
    // (this object sits on a thread that never runs one), also a code raised
    // on the GUI thread inside setCallback, which then arrives after
    // captureResult. A code that arrives after the cast was stopped (the
    // user's own quit, or an earlier code that ended it) is dropped.
    QPointer<YoxiCapture> self(this);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, code] {
            if (!self) {
                return;
            }
            if (!self->castOpen) {
                qDebug() << "engine code after the cast ended, dropped:" << code;
                return;
            }
            emit self->cancelResult(code);
        },
        Qt::QueuedConnection);
}

void PIXPIPE_CALL YoxiCapture::captureNotice(intptr_t userData, int code) {
    qDebug() << "\r\n captureNotice result ============= " << code;
    reinterpret_cast<YoxiCapture *>(userData)->foreQuitCapture(code);
}
