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
        emit cancelResult(0);
    }
}

void YoxiCapture::releaseEndedCast() {
    if (castOpen) {
        stopCapture(false);
    }
}

void YoxiCapture::foreQuitCapture(int code) {
    qDebug() << "\r\n foreQuitCapture";
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        // A code the engine raised during its start, delivered inside
        // setCallback before captureResult: queued, the window sees it after
        // the start, as it sees every later code.
        QPointer<YoxiCapture> self(this);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, code] {
                if (self) {
                    emit self->cancelResult(code);
                }
            },
            Qt::QueuedConnection);
        return;
    }
    emit cancelResult(code);
}

void PIXPIPE_CALL YoxiCapture::captureNotice(intptr_t userData, int code) {
    qDebug() << "\r\n captureNotice result ============= " << code;
    reinterpret_cast<YoxiCapture *>(userData)->foreQuitCapture(code);
}
