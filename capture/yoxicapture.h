#ifndef YOXICAPTURE_H
#define YOXICAPTURE_H

#include "app/config/configutil.h"
#include "engine/include/pixpipe.h"

#include <QObject>

// The bridge to the engine library: starts and stops casts through its
// exports and turns the engine's notifications into cancelResult(int). The
// engine notifies on its own threads; receivers on the GUI thread get those
// signals queued.
class YoxiCapture : public QObject {
    Q_OBJECT
public:
    explicit YoxiCapture(QObject *parent = nullptr);

    // Emits cancelResult(code) from the GUI thread's event loop, unless the
    // cast has been stopped by then; called on engine threads, or on the GUI
    // thread inside setCallback for a code raised during the start (then
    // emitted after captureResult).
    void foreQuitCapture(int code);
    // Frees the engine's cast after the engine ended it by itself (a code
    // that ends the cast): its memory and threads go before the next cast.
    // Nothing happens when no cast started here is still open.
    void releaseEndedCast();
    // The engine's notification callback; userData is the YoxiCapture.
    static void PIXPIPE_CALL captureNotice(intptr_t userData, int code);

signals:
    void captureResult(bool result);
    void cancelResult(int code);

public slots:
    // Loads the engine on first use and starts a cast; emits captureResult
    // before returning (false also when the engine cannot be loaded). A
    // width or height of 0 asks for 1920 x 1080.
    void startCapture(char *host, int port, char *captureCode, int width, int heigth);
    // Stops the engine's cast (blocking until its threads have ended); emits
    // cancelResult(0) when isNotice is set.
    void stopCapture(bool isNotice);

private:
    ConfigUtil config;
    // A started engine cast that no stopCapture has freed yet. GUI thread only.
    bool castOpen = false;
};

#endif // YOXICAPTURE_H
