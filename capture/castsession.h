// One cast as the main window drives it: the engine bridge (on a thread object
// that is never started), the casting status, the heartbeat while the cast
// runs and the disconnect report when it ends.
#pragma once

#include "capture/capturestatus.h"

#include <QByteArray>
#include <QString>

class HeartUtil;
class QThread;
class YoxiCapture;

class CastSession {
public:
    CastSession();
    ~CastSession();
    CastSession(const CastSession &) = delete;
    CastSession &operator=(const CastSession &) = delete;

    // The bridge whose captureResult and cancelResult the window listens to.
    YoxiCapture *engine() const { return capture; }
    // Whose timed-out requests the window reports.
    HeartUtil *heart() const { return heartUtil; }
    bool isCasting() const { return status.getCaptureStatus(); }

    // Starts the engine; the outcome comes back as captureResult.
    void start(const QByteArray &host, int port, const QString &code, int width, int height);
    // The engine started: the cast is on and the heartbeat runs.
    void begin();
    // The engine did not start although the server paired the code.
    void reportFailedStart();
    // The engine ended the cast itself (any code that is not audio only).
    void releaseEndedCast();
    // The cast is over: the heartbeat stops and the disconnect goes out with code.
    void end(int code);
    // The user's quit: cancelResult(0) comes back on this call stack.
    void quit();
    // The program is ending: the engine stops without notice or disconnect.
    void stopForExit();

    // The message for an engine code, empty for the codes that need none.
    static QString messageFor(int code);

private:
    YoxiCapture *capture;
    QThread *captureThread;
    HeartUtil *heartUtil;
    CaptureStatus status;
    QString castCode;
};
