#include "capture/yoxicapture.h"

#include "capture/enginelibrary.h"

#include <QDebug>
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
    if (const EngineExports *engine = engineExports()) {
        const int result = engine->stopCapture();
        qDebug() << "\r\nstop capture result = " << result;
    }
    // Without an engine no cast can be running; the stop still counts as done.
    if (isNotice) {
        emit cancelResult(0);
    }
}

void YoxiCapture::foreQuitCapture(int code) {
    qDebug() << "\r\n foreQuitCapture";
    emit cancelResult(code);
}

void PIXPIPE_CALL YoxiCapture::captureNotice(intptr_t userData, int code) {
    qDebug() << "\r\n captureNotice result ============= " << code;
    reinterpret_cast<YoxiCapture *>(userData)->foreQuitCapture(code);
}
